#pragma once
// What the watcher saw change below its folder since it was last asked: the entries made, removed,
// renamed or written, each by its path relative to the folder. When events were lost, or the folder
// itself went and came back, nothing is known but that anything may have changed.
#include <QSet>
#include <QString>

struct FolderChanges {
    bool everything = false;
    QSet<QString> paths;  // relative to the folder, "/"-separated, never empty

    bool isEmpty() const { return !everything && paths.isEmpty(); }
};
