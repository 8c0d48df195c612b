#pragma once
// The lists the source-control panel shows. A path a merge or rebase left in conflict is a
// conflict, whatever its letters; otherwise only the index column decides, so every change
// stands in exactly one list: a file changed in both columns is listed as staged.
#include <QList>
#include <atomic>

#include "Git/GitFileChange.h"

namespace ChangeLists {

// Changes the lists below have looked at, so tests can tell that a keystroke looks at none.
inline std::atomic<qint64> changesLookedAt{0};

bool isStaged(const GitFileChange& change);
QList<GitFileChange> conflicts(const QList<GitFileChange>& changes);
QList<GitFileChange> staged(const QList<GitFileChange>& changes);
QList<GitFileChange> unstaged(const QList<GitFileChange>& changes);

} // namespace ChangeLists
