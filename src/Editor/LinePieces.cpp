#include "Editor/LinePieces.h"

#include <algorithm>
#include <atomic>

#include "Platform/Lines.h"
#include "Platform/ParallelChunks.h"

namespace {

std::atomic<qsizetype> stepped{0};
std::atomic<qsizetype> readForEnds{0};

// The last line terminator in [from, to), or -1: blocks without one (all of a long line) are passed
// over whole, from the end; the units of the block holding one, and those short of a block at the
// start, are looked at one by one.
qsizetype lastTerminator(QStringView text, qsizetype from, qsizetype to) {
    if (to <= from) return -1;
    readForEnds.fetch_add(to - from, std::memory_order_relaxed);
    constexpr qsizetype kBlock = 64;
    const char16_t* const units = reinterpret_cast<const char16_t*>(text.data());
    qsizetype end = to;
    for (; end - from >= kBlock; end -= kBlock) {
        unsigned any = 0;
        for (qsizetype i = end - kBlock; i < end; ++i) any |= LinePieces::endsLine(units[i]);
        if (any) break;
    }
    const qsizetype start = qMax(from, end - kBlock);
    stepped.fetch_add(end - start, std::memory_order_relaxed);
    for (qsizetype i = end; i > start; --i)
        if (LinePieces::endsLine(units[i - 1])) return i - 1;
    return -1;
}

// The same, [plain] known to hold none: only the units of [from, to) outside it are read.
qsizetype lastTerminator(QStringView text, qsizetype from, qsizetype to, TextRange plain) {
    if (plain.length <= 0 || plain.end() <= from || plain.location >= to) return lastTerminator(text, from, to);
    if (const qsizetype after = lastTerminator(text, plain.end(), to); after >= 0) return after;
    return lastTerminator(text, from, plain.location);
}

// The best place to break a piece that starts at `from` and must end by `limit`, over `least` long:
// after the last space past that, else after the last punctuation mark there, else at the limit,
// never inside a surrogate pair or before a combining mark.
qsizetype breakPoint(QStringView text, qsizetype from, qsizetype limit, qsizetype least) {
    const qsizetype shortest = from + least;
    const auto found = [&](qsizetype at) {
        stepped.fetch_add(limit - at + 1, std::memory_order_relaxed);
        return at;
    };
    for (qsizetype i = limit; i > shortest; --i)
        if (text[i - 1] == u' ' || text[i - 1] == u'\t') return found(i);
    for (qsizetype i = limit; i > shortest; --i) {
        const char16_t c = text[i - 1].unicode();
        if (c == u',' || c == u';' || c == u'{' || c == u'}' || c == u'(' || c == u')' || c == u'[' || c == u']' ||
            c == u'>' || c == u':')
            return found(i);
    }
    qsizetype at = limit;
    while (at > shortest && (text[at].isLowSurrogate() || text[at].isMark())) --at;
    return found(at);
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
                       qsizetype least, TextRange plain) {
    // A long range is cut into stretches broken apart, on several threads: each cut is where a
    // piece may start, and the piece before it may be short.
    std::vector<qsizetype> cuts{from};
    if (to - from >= 2 * kStretch && ParallelChunks::threadCount() > 1)
        for (qsizetype target = from + kStretch; target < to - kStretch / 2; target += kStretch)
            if (const qsizetype cut = cutNear(text, target, to); cut > cuts.back() && cut < to) cuts.push_back(cut);
    cuts.push_back(to);
    if (cuts.size() == 2) {
        splitFrom(text, from, to, out, most, least, plain);
        return;
    }
    const int stretches = int(cuts.size()) - 1;
    std::vector<std::vector<qsizetype>> found(static_cast<size_t>(stretches));
    ParallelChunks::run(stretches, ParallelChunks::threadCount(), [&](int, int k) {
        splitFrom(text, cuts[size_t(k)], cuts[size_t(k) + 1], found[size_t(k)], most, least, plain);
    });
    for (int k = 0; k < stretches; ++k) {
        // A cut at a line's start is no break.
        if (k > 0 && !Lines::isBreak(text[cuts[size_t(k)] - 1].unicode())) out.push_back(cuts[size_t(k)]);
        out.insert(out.end(), found[size_t(k)].begin(), found[size_t(k)].end());
    }
}

void LinePieces::splitFrom(QStringView text, qsizetype from, qsizetype to, std::vector<qsizetype>& out, qsizetype most,
                           qsizetype least, TextRange plain) {
    // Only the line going on past the last terminator a piece's length reaches matters: each reach
    // is read for one a block at a time, and where there is none the piece ends near its limit.
    qsizetype pieceStart = from, unread = from;
    while (to - pieceStart > most) {
        const qsizetype limit = pieceStart + most;  // a unit there, not a terminator, is one too many
        if (const qsizetype last = lastTerminator(text, unread, limit + 1, plain); last >= 0) {
            pieceStart = unread = last + 1;
            continue;
        }
        pieceStart = breakPoint(text, pieceStart, limit, least);
        out.push_back(pieceStart);
        unread = limit + 1;
    }
}

qsizetype LinePieces::cutNear(QStringView text, qsizetype target, qsizetype to) {
    // A line's start, or a place a break may stand that holds no low surrogate nor mark; near the
    // target, or none (the stretch then goes on).
    for (qsizetype at = target; at < qMin(to, target + 64); ++at) {
        const char16_t before = text[at - 1].unicode(), c = text[at].unicode();
        if (Lines::isBreak(before) ? !(before == u'\r' && c == u'\n')
                                   : !Lines::isBreak(c) && !text[at].isLowSurrogate() && !text[at].isMark())
            return at;
    }
    return -1;
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
                      qsizetype to, bool addedPlain) {
    const qsizetype delta = added - removed;
    const TextRange plain = addedPlain ? TextRange{at, added} : TextRange{};
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
        // Each piece in the region is read for one that runs past a piece's length, as split() would.
        auto next = std::upper_bound(breaks_.begin(), breaks_.end(), from);
        for (qsizetype start = from; start < to && !redo;) {
            const qsizetype end = next != breaks_.end() && *next < to ? *next++ : to;
            for (qsizetype pieceStart = start, unread = start; end - pieceStart > kMaxPiece;) {
                const qsizetype last = lastTerminator(text, unread, pieceStart + kMaxPiece + 1, plain);
                if (last < 0) {
                    redo = true;
                    break;
                }
                pieceStart = unread = last + 1;
            }
            start = end;
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
    split(text, start, to, fresh, kFreshPiece, kFreshLeast, plain);
    breaks_.insert(breaks_.erase(begin, end), fresh.begin(), fresh.end());
    return true;
}

qsizetype LinePieces::unitsStepped() { return stepped.load(std::memory_order_relaxed); }

qsizetype LinePieces::unitsRead() { return readForEnds.load(std::memory_order_relaxed); }
