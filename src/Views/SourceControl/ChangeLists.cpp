#include "Views/SourceControl/ChangeLists.h"

bool ChangeLists::isStaged(const GitFileChange& change) {
    return change.staged != u' ' && change.staged != u'?';
}

QList<GitFileChange> ChangeLists::staged(const QList<GitFileChange>& changes) {
    QList<GitFileChange> out;
    for (const GitFileChange& c : changes)
        if (isStaged(c)) out.append(c);
    return out;
}

QList<GitFileChange> ChangeLists::unstaged(const QList<GitFileChange>& changes) {
    QList<GitFileChange> out;
    for (const GitFileChange& c : changes)
        if (!isStaged(c)) out.append(c);
    return out;
}
