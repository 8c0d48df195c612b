#pragma once
// The two lists the source-control panel shows. Only the index column decides, so every change
// stands in exactly one list: a file changed in both columns is listed as staged.
#include <QList>

#include "Git/GitFileChange.h"

namespace ChangeLists {

bool isStaged(const GitFileChange& change);
QList<GitFileChange> staged(const QList<GitFileChange>& changes);
QList<GitFileChange> unstaged(const QList<GitFileChange>& changes);

} // namespace ChangeLists
