#pragma once
// One changed or untracked path of the repository's status listing.
#include <QChar>
#include <QHash>
#include <QString>

struct GitFileChange {
    QString path;          // relative to the repository root, raw; for a rename or copy the new path
    QChar staged = u' ';   // index column of the short status
    QChar unstaged = u' '; // work-tree column
    QString originalPath;  // the old path of a rename or copy; empty otherwise

    // The badge the views show: "U" for untracked, else the work-tree letter when nothing is
    // staged, else the index letter.
    QString displayStatus() const;

    bool isUntracked() const { return staged == u'?' && unstaged == u'?'; }
    // A conflict left by a merge: either side "U", or both sides added or both deleted.
    bool isUnmerged() const;
    bool isRenameOrCopy() const;

    // Identity for lists and selection.
    const QString& id() const { return path; }

    friend bool operator==(const GitFileChange&, const GitFileChange&) = default;
};

inline size_t qHash(const GitFileChange& change, size_t seed = 0) {
    return qHashMulti(seed, change.path, change.staged, change.unstaged, change.originalPath);
}
