#include "Git/GitFileChange.h"

QString GitFileChange::displayStatus() const {
    if (staged == u'?' || unstaged == u'?') return QStringLiteral("U");
    return QString(staged == u' ' ? unstaged : staged);
}

bool GitFileChange::isUnmerged() const {
    return staged == u'U' || unstaged == u'U' || (staged == u'A' && unstaged == u'A') ||
           (staged == u'D' && unstaged == u'D');
}

bool GitFileChange::isRenameOrCopy() const {
    return staged == u'R' || staged == u'C' || unstaged == u'R' || unstaged == u'C';
}
