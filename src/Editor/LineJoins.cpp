#include "Editor/LineJoins.h"

#include <algorithm>

#include "Platform/Lines.h"

namespace {
// A join reads the unit before it and the terminator after it: an edit this near may change them.
constexpr qsizetype kReachBefore = 3;
constexpr qsizetype kReachAfter = 1;
// Joins stay this far before the end of the range grouped when the text goes on, out of reach of an
// edit past it (which the display does not hold yet, so it could not be shown the joins it takes away).
constexpr qsizetype kEndMargin = 8;
}

void LineJoins::group(QStringView text, qsizetype from, qsizetype to) {
    to = qMin(to, text.size());
    const qsizetype limit = to < text.size() ? to - kEndMargin : to;
    text = text.first(to);
    // Terminators of consecutive empty lines; each full kGroup of them becomes a block of that many
    // lines, all of its terminators but the last joined.
    std::vector<qsizetype> run;
    const auto flush = [&] {
        for (size_t g = 0; (g + 1) * kGroup <= run.size(); ++g) {
            if (run[(g + 1) * kGroup - 1] >= limit) break;
            joins_.append(std::vector<qsizetype>(run.begin() + qsizetype(g * kGroup), run.begin() + qsizetype(g * kGroup + kGroup - 1)));
        }
        run.clear();
    };
    for (qsizetype i = from; i < to;) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x7F) {  // most of any text
            if (!run.empty()) flush();
            ++i;
            continue;
        }
        const qsizetype t = Lines::terminatorLength(text, i);
        if (t == 0) {
            if (!run.empty()) flush();
            ++i;
            continue;
        }
        // An empty line's terminator starts the text or follows another terminator.
        if (i == 0 || Lines::isBreak(text[i - 1].unicode())) run.push_back(i);
        else if (!run.empty()) flush();
        i += t;
    }
    flush();
}

bool LineJoins::isJoin(qsizetype offset) const {
    const qsizetype at = countBefore(offset);
    return at < joins_.size() && joins_[at] == offset;
}

TextRange LineJoins::touchedBy(qsizetype at, qsizetype removed) const {
    const qsizetype first = countBefore(at - kReachBefore);
    const qsizetype last = countBefore(at + removed + kReachAfter + 1);
    if (first >= last) return {at, 0};
    return {joins_[first], joins_[last - 1] + 1 - joins_[first]};
}

void LineJoins::edit(qsizetype at, qsizetype removed, qsizetype added) {
    // The touched joins go (the range reaches past the edit on both sides), those after move with it.
    const qsizetype from = at - kReachBefore, to = at + removed + kReachAfter + 1;
    joins_.replace(from, to, (to - from) + added - removed, {});
}
