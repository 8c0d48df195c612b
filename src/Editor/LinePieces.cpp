#include "Editor/LinePieces.h"

#include <algorithm>

#include "Platform/Lines.h"

namespace {

// The best place to break a piece that starts at `from` and must end by `limit`, over `least` long:
// after the last space past that, else after the last punctuation mark there, else at the limit,
// never inside a surrogate pair or before a combining mark.
qsizetype breakPoint(QStringView text, qsizetype from, qsizetype limit, qsizetype least) {
    const qsizetype shortest = from + least;
    for (qsizetype i = limit; i > shortest; --i)
        if (text[i - 1] == u' ' || text[i - 1] == u'\t') return i;
    for (qsizetype i = limit; i > shortest; --i) {
        const char16_t c = text[i - 1].unicode();
        if (c == u',' || c == u';' || c == u'{' || c == u'}' || c == u'(' || c == u')' || c == u'[' || c == u']' ||
            c == u'>' || c == u':')
            return i;
    }
    qsizetype at = limit;
    while (at > shortest && (text[at].isLowSurrogate() || text[at].isMark())) --at;
    return at;
}

} // namespace

void LinePieces::reset(QStringView text) {
    breaks_.clear();
    // Lines are found by their LF first; only a run longer than a piece is looked at closely (it may
    // hold other terminators). An LF within a piece's length of a line's start ends that line and
    // every line up to it short enough: the last such LF is found looking back from there, so a text
    // of short lines is read a line in every piece's length, not whole.
    qsizetype start = 0;
    while (text.size() - start > kMaxPiece) {
        const qsizetype near = text.lastIndexOf(u'\n', start + kMaxPiece);
        if (near >= start) {
            start = near + 1;
            continue;
        }
        qsizetype end = text.indexOf(u'\n', start + kMaxPiece);
        end = end < 0 ? text.size() : end;
        split(text, start, end, breaks_);
        start = end + 1;
    }
}

void LinePieces::split(QStringView text, qsizetype from, qsizetype to, std::vector<qsizetype>& out, qsizetype most,
                       qsizetype least) {
    qsizetype pieceStart = from;
    for (qsizetype i = from; i < to; ++i) {
        if (Lines::isBreak(text[i].unicode())) {
            pieceStart = i + 1;
            continue;
        }
        if (i - pieceStart < most) continue;
        // [pieceStart, i] is one longer than a piece may be.
        const qsizetype at = breakPoint(text, pieceStart, i, least);
        out.push_back(at);
        pieceStart = at;
    }
}

bool LinePieces::canBreakAt(QStringView text, qsizetype offset) {
    return offset > 0 && offset < text.size() && !Lines::isBreak(text[offset - 1].unicode()) &&
           !Lines::isBreak(text[offset].unicode());
}

qsizetype LinePieces::countUpTo(qsizetype offset) const {
    return std::upper_bound(breaks_.begin(), breaks_.end(), offset) - breaks_.begin();
}

qsizetype LinePieces::countBefore(qsizetype offset) const {
    return std::lower_bound(breaks_.begin(), breaks_.end(), offset) - breaks_.begin();
}

bool LinePieces::isBreak(qsizetype offset) const {
    return std::binary_search(breaks_.begin(), breaks_.end(), offset);
}

qsizetype LinePieces::pieceStart(QStringView text, qsizetype offset) const {
    offset = qBound<qsizetype>(0, offset, text.size());
    const qsizetype n = countUpTo(offset);
    const qsizetype floor = n > 0 ? breaks_[n - 1] : 0;
    for (qsizetype i = offset; i > floor; --i)
        if (Lines::isBreak(text[i - 1].unicode())) return i;
    return floor;
}

qsizetype LinePieces::pieceEnd(QStringView text, qsizetype offset) const {
    offset = qBound<qsizetype>(0, offset, text.size());
    if (offset > 0 && Lines::isBreak(text[offset - 1].unicode())) return offset;
    const qsizetype n = countBefore(offset);
    const qsizetype ceiling = n < qsizetype(breaks_.size()) ? breaks_[n] : text.size();
    for (qsizetype i = offset; i < ceiling; ++i)
        if (Lines::isBreak(text[i].unicode())) return i;
    return ceiling;
}

TextRange LinePieces::pieceAt(QStringView text, qsizetype offset) const {
    offset = qBound<qsizetype>(0, offset, text.size());
    const qsizetype start = pieceStart(text, offset);
    const qsizetype n = countUpTo(offset);
    const qsizetype ceiling = n < qsizetype(breaks_.size()) ? breaks_[n] : text.size();
    qsizetype end = offset;
    while (end < ceiling && !Lines::isBreak(text[end].unicode())) ++end;
    return {start, end - start};
}

TextRange LinePieces::around(QStringView text, TextRange range) const {
    qsizetype from = pieceStart(text, range.location);
    if (from > 0 && isBreak(from)) from = pieceStart(text, from - 1);
    qsizetype to = pieceEnd(text, range.end());
    if (to < text.size() && isBreak(to)) to = pieceEnd(text, to + 1);
    return {from, to - from};
}

bool LinePieces::edit(QStringView text, qsizetype at, qsizetype removed, qsizetype added, qsizetype from,
                      qsizetype to) {
    const qsizetype delta = added - removed;
    // Breaks inside the replaced text go; those after it move with the text.
    auto first = std::upper_bound(breaks_.begin(), breaks_.end(), at);
    auto last = std::lower_bound(first, breaks_.end(), at + removed);
    first = breaks_.erase(first, last);
    for (auto it = first; it != breaks_.end(); ++it) *it += delta;
    // A deletion ending at a break brings it onto the one at its start.
    bool redo = false;
    if (first != breaks_.begin() && first != breaks_.end() && *(first - 1) == *first) {
        breaks_.erase(first);
        redo = true;
    }

    to += delta;
    const auto inRegion = [&](qsizetype b) { return b > from && b < to; };
    // The edit may have put a break at a line's edge, or left a piece too long: break the pieces
    // around it afresh.
    for (auto it = std::upper_bound(breaks_.begin(), breaks_.end(), from); it != breaks_.end() && *it < to; ++it)
        if (!canBreakAt(text, *it)) redo = true;
    if (!redo) {
        qsizetype pieceStart = from;
        auto next = std::upper_bound(breaks_.begin(), breaks_.end(), from);
        for (qsizetype i = from; i < to && !redo; ++i) {
            if (next != breaks_.end() && *next == i) {
                pieceStart = i;
                ++next;
            }
            if (Lines::isBreak(text[i].unicode())) pieceStart = i + 1;
            else if (i - pieceStart >= kMaxPiece) redo = true;
        }
    }
    if (!redo) {
        // The piece the edit starts in, read no further than the pieces around it (the text may be
        // known no further); only in a line shown in pieces already: a shorter one stays whole.
        const qsizetype start = pieceStart(text, at);
        const auto next = std::upper_bound(breaks_.begin(), breaks_.end(), at);
        const qsizetype ceiling = next == breaks_.end() ? to : qMin(to, *next);
        qsizetype end = at;
        while (end < ceiling && !Lines::isBreak(text[end].unicode())) ++end;
        redo = end - start > kRoomyPiece && (isBreak(start) || isBreak(end));
    }
    if (!redo) return false;
    // The pieces before the one the edit starts in stay as they are (the display may hold them
    // already); from that one on they are broken afresh.
    auto begin = std::upper_bound(breaks_.begin(), breaks_.end(), from);
    const auto end = std::find_if_not(begin, breaks_.end(), inRegion);
    begin = std::lower_bound(begin, end, at);
    const qsizetype start = begin == breaks_.begin() || *(begin - 1) <= from ? from : *(begin - 1);
    std::vector<qsizetype> fresh;
    // Pieces broken afresh leave room to type: pieces as long as they may be would each be
    // outgrown, and broken afresh, by the next key typed into them.
    split(text, start, to, fresh, kFreshPiece, kFreshLeast);
    breaks_.insert(breaks_.erase(begin, end), fresh.begin(), fresh.end());
    return true;
}
