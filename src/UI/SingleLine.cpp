#include "UI/SingleLine.h"

#include "Platform/Lines.h"

namespace SingleLine {

QString of(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (Lines::isBreak(c.unicode())) c = u' ';
    return out;
}

} // namespace SingleLine
