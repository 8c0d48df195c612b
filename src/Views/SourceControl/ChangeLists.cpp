#include "Views/SourceControl/ChangeLists.h"

namespace {
template <typename Keep>
QList<GitFileChange> select(const QList<GitFileChange>& changes, Keep keep) {
    QList<GitFileChange> out;
    ChangeLists::changesLookedAt += changes.size();
    for (const GitFileChange& c : changes)
        if (keep(c)) out.append(c);
    return out;
}
} // namespace

bool ChangeLists::isStaged(const GitFileChange& change) {
    return !change.isUnmerged() && change.staged != u' ' && change.staged != u'?';
}

QList<GitFileChange> ChangeLists::conflicts(const QList<GitFileChange>& changes) {
    return select(changes, [](const GitFileChange& c) { return c.isUnmerged(); });
}

QList<GitFileChange> ChangeLists::staged(const QList<GitFileChange>& changes) {
    return select(changes, [](const GitFileChange& c) { return isStaged(c); });
}

QList<GitFileChange> ChangeLists::unstaged(const QList<GitFileChange>& changes) {
    return select(changes, [](const GitFileChange& c) { return !c.isUnmerged() && !isStaged(c); });
}
