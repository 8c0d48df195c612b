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
    joinRuns(text, from, to, to < text.size() ? to - kEndMargin : to, nullptr);
}

LineJoins::Regrouped LineJoins::regroup(QStringView text, qsizetype from, qsizetype to) {
    Regrouped out;
    out.firsts = joinRuns(text, from, qMin(to, text.size()), text.size(), &out.resume);
    return out;
}

std::vector<qsizetype> LineJoins::joinRuns(QStringView text, qsizetype from, qsizetype to, qsizetype limit, qsizetype* resume) {
    const qsizetype whole = text.size();
    text = text.first(to);
    std::vector<qsizetype> firsts;
    // Terminators of consecutive empty lines no block of joined lines holds yet; each full kGroup of
    // them becomes a block of that many lines, all of its terminators but the last joined.
    std::vector<qsizetype> run;
    // The first join at or after where the scan is, and whether the last terminator passed was one.
    qsizetype next = countBefore(from);
    // The terminator before from is one or two units long; a join two back that is not it only
    // keeps the first line from a block, which is always safe.
    bool lastJoined = (from >= 1 && isJoin(from - 1)) || (from >= 2 && isJoin(from - 2));
    const auto flush = [&] {
        for (size_t g = 0; (g + 1) * kGroup <= run.size(); ++g) {
            if (run[(g + 1) * kGroup - 1] >= limit) break;
            const auto first = run.begin() + qsizetype(g * kGroup);
            joins_.replace(*first, *first, 0, std::vector<qsizetype>(first, first + kGroup - 1));
            next += kGroup - 1;
            firsts.push_back(*first);
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
        while (next < joins_.size() && joins_[next] < i) ++next;
        const bool joined = next < joins_.size() && joins_[next] == i;
        // An empty line's terminator starts the text or follows another terminator; one a block of
        // joined lines holds is a join or follows one.
        if ((i == 0 || Lines::isBreak(text[i - 1].unicode())) && !joined && !lastJoined) run.push_back(i);
        else if (!run.empty()) flush();
        lastJoined = joined;
        i += t;
    }
    // A run the range cuts short is taken up again from its first line not joined.
    const size_t left = run.size() % size_t(kGroup);
    if (resume) *resume = to < whole && left > 0 && run[run.size() - left] > from ? run[run.size() - left] : to;
    flush();
    return firsts;
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
