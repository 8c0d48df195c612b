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
            joins_.insert(joins_.end(), run.begin() + qsizetype(g * kGroup), run.begin() + qsizetype(g * kGroup + kGroup - 1));
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

void LineJoins::dropFrom(qsizetype offset) {
    joins_.erase(std::lower_bound(joins_.begin(), joins_.end(), offset), joins_.end());
}

qsizetype LineJoins::countBefore(qsizetype offset) const {
    return std::lower_bound(joins_.begin(), joins_.end(), offset) - joins_.begin();
}

bool LineJoins::isJoin(qsizetype offset) const {
    return std::binary_search(joins_.begin(), joins_.end(), offset);
}

std::vector<qsizetype>::const_iterator LineJoins::firstTouched(qsizetype at) const {
    return std::lower_bound(joins_.begin(), joins_.end(), at - kReachBefore);
}

std::vector<qsizetype>::const_iterator LineJoins::pastTouched(qsizetype at, qsizetype removed) const {
    return std::upper_bound(joins_.begin(), joins_.end(), at + removed + kReachAfter);
}

TextRange LineJoins::touchedBy(qsizetype at, qsizetype removed) const {
    const auto first = firstTouched(at);
    const auto last = pastTouched(at, removed);
    if (first >= last) return {at, 0};
    return {*first, *(last - 1) + 1 - *first};
}

void LineJoins::edit(qsizetype at, qsizetype removed, qsizetype added) {
    const auto first = joins_.begin() + (firstTouched(at) - joins_.cbegin());
    const auto last = joins_.begin() + (pastTouched(at, removed) - joins_.cbegin());
    const auto rest = first < last ? joins_.erase(first, last) : last;
    for (auto it = rest; it != joins_.end(); ++it) *it += added - removed;
}
