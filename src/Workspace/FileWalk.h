#pragma once
// The walk behind the file list: every file below a folder, in the order a depth-first walk meets
// them in the file system's listing order. Folders are listed on several threads at once, ahead of
// the caller, who receives the files in that order all the same. Hidden and ignored names are left
// out; links to folders are never followed.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <string_view>

namespace FileWalk {

// Files found by a walk, each with whether the listing saw a regular file (not a link or a device).
struct Files {
    QStringList paths;
    QList<bool> regular;
};

// Walks below dir, handing the files to batch on the calling thread: a batch before each subfolder
// is entered (possibly empty) and one at the end. Stops when batch returns false. Lists on up to
// threads threads, the calling one included (0: one per core).
void walk(const QString& dir, const std::function<bool(Files&&)>& batch, int threads = 0);

// Whether a name found inside a folder is left out: hidden names and tool folders.
bool isExcluded(std::string_view name);
bool isExcluded(const QString& name);

} // namespace FileWalk
