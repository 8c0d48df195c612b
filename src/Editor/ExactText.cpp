#include "Editor/ExactText.h"

#include <algorithm>
#include <atomic>

#include <cstdint>
#include <cstring>
#include <utility>

#include "Platform/LateRelease.h"
#include "Platform/MapAhead.h"
#include "Platform/ParallelChunks.h"
#include "Platform/Lines.h"
#include "Platform/PageShift.h"
#include "Platform/TextSplice.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define EXACT_TEXT_GUARD 1
#endif

namespace {

// Where the line ends of [from, to) of `units` (size of them in all) are: each CR LF's start
// (plus base), whether a CR or an LF is there, and whether any terminator is. A chunk without any
// (a long line) is passed over at memory speed.
struct LineEnds {
    std::vector<qsizetype> crlf;
    bool crOrLf = false;
    bool any = false;
};
LineEnds lineEndsIn(const char16_t* units, qsizetype size, qsizetype from, qsizetype to, qsizetype base) {
    LineEnds ends;
    constexpr qsizetype kChunk = 4096;
    for (qsizetype start = from; start < to; start += kChunk) {
        const qsizetype end = qMin(to, start + kChunk);
        unsigned any = 0;
        for (qsizetype i = start; i < end; ++i) any |= LinePieces::endsLine(units[i]);
        if (!any) continue;
        ends.any = true;
        for (qsizetype i = start; i < end; ++i) {
            if (units[i] != u'\r' && units[i] != u'\n') continue;
            ends.crOrLf = true;
            if (units[i] == u'\r' && i + 1 < size && units[i + 1] == u'\n') ends.crlf.push_back(base + i++);
        }
    }
    return ends;
}

// QTextCursor::insertText starts a new block at these two as well.
bool isFrameMark(char16_t c) { return c == 0xFDD0 || c == 0xFDD1; }

// The gap a text is given when it needs one: a typing run of this many units moves nothing, and a
// long text gets a little more (at most a few megabytes), never enough to weigh on its memory.
constexpr qsizetype kMinGap = 16 * 1024;
constexpr qsizetype kMaxGap = 1024 * 1024;
// A gap is a whole number of pages (of any common size), so that what crosses it can be moved
// by pages (PageShift) while it keeps that length.
constexpr qsizetype kGapStep = 32 * 1024;
qsizetype gapFor(qsizetype need, qsizetype textSize) {
    const qsizetype room = qMax(need, qBound(kMinGap, textSize / 64, kMaxGap));
    return (room + kGapStep - 1) / kGapStep * kGapStep;
}
// How far an edit reads the text past its end: the pieces of a long line around it.
constexpr qsizetype kPiecesReach = 2 * LinePieces::kMaxPiece + 4;

// A long text is copied or moved in stretches of this many units, each on a thread of its own,
// from a text of kParallelFrom units on.
constexpr qsizetype kRebuildPiece = qsizetype(1) << 22;
constexpr qsizetype kParallelFrom = 4 * kRebuildPiece;

}

ExactText::Change::~Change() {
    LateRelease::drop(removed);
    LateRelease::drop(text);
    LateRelease::drop(displayText);
}

ExactText::ExactText(QString text) { reset(std::move(text)); }

ExactText::ExactText(const ExactText& other)
    : text_(other.text()), gap_(other.gap_), crlf_(other.crlf_), firstBreak_(other.firstBreak_), pieces_(other.pieces_),
      joins_(other.joins_) {}

ExactText::ExactText(ExactText&& other) noexcept { *this = std::move(other); }

ExactText& ExactText::operator=(ExactText&& other) noexcept {
    if (this == &other) return *this;
    guardGap(false);
    text_ = std::move(other.text_);
    gap_ = std::exchange(other.gap_, 0);
    gapLength_ = std::exchange(other.gapLength_, 0);
    other.text_ = QString();
    crlf_ = std::move(other.crlf_);
    firstBreak_ = other.firstBreak_;
    pieces_ = std::move(other.pieces_);
    joins_ = std::move(other.joins_);
    unitsMoved_ = other.unitsMoved_;
    unitsRead_ += std::exchange(other.unitsRead_, 0);  // what built the text taken counts too
    return *this;
}

ExactText::~ExactText() { guardGap(false); }

void ExactText::reset(QString text) {
    guardGap(false);
    text_ = std::move(text);
    gap_ = text_.size();
    gapLength_ = 0;
    // Read here, with the rest of the text, rather than by the first key (a line of megabytes).
    const qsizetype lf = text_.indexOf(u'\n');
    const qsizetype cr = QStringView(text_).first(lf < 0 ? text_.size() : lf).indexOf(u'\r');
    firstBreak_ = cr >= 0 ? cr : lf;
    indexCrlf();
    pieces_.reset(text_);
    joins_.clear();
    unitsRead_ += text_.size();
}

void ExactText::group(qsizetype from, qsizetype to) {
    from = qBound<qsizetype>(0, from, size());
    to = qBound<qsizetype>(from, to, size());
    joins_.group(within(qMax<qsizetype>(0, from - 1), to), from, to);
}

LineJoins::Regrouped ExactText::regroup(qsizetype from, qsizetype to) {
    from = qBound<qsizetype>(0, from, size());
    // Never from the LF of a CR LF, which would read as a line of its own.
    if (from > 0 && from < size() && at(from - 1) == u'\r' && at(from) == u'\n') ++from;
    to = qBound<qsizetype>(from, to, size());
    return joins_.regroup(within(qMax<qsizetype>(0, from - 1), to), from, to);
}

void ExactText::guardGap(bool on) const {
#ifdef EXACT_TEXT_GUARD
    if (gapLength_ == 0) return;
    const char16_t* gap = reinterpret_cast<const char16_t*>(text_.constData()) + gap_;
    if (on) ASAN_POISON_MEMORY_REGION(gap, size_t(gapLength_) * 2);
    else ASAN_UNPOISON_MEMORY_REGION(gap, size_t(gapLength_) * 2);
#else
    (void)on;
#endif
}

void ExactText::moveGap(qsizetype to) const {
    if (gapLength_ == 0) gap_ = to;  // no gap: nothing to move
    if (to == gap_) return;
    guardGap(false);
    char16_t* s = reinterpret_cast<char16_t*>(text_.data_ptr().data());
    // The units between the gap and `to` cross it: by whole pages when the gap is a whole number of
    // them and they are many, else copied.
    char16_t* const from = to < gap_ ? s + to : s + gap_ + gapLength_;
    const qsizetype units = to < gap_ ? gap_ - to : to - gap_;
    const std::ptrdiff_t by = (to < gap_ ? gapLength_ : -gapLength_) * 2;
    const std::ptrdiff_t copied = PageShift::move(reinterpret_cast<char*>(from), size_t(units) * 2, by);
    if (copied < 0) std::memmove(reinterpret_cast<char*>(from) + by, from, size_t(units) * 2);
    unitsMoved_ += copied < 0 ? units : copied / 2;
    gap_ = to;
    guardGap(true);
}

void ExactText::close() const {
    if (gapLength_ == 0) return;
    moveGap(size());
    guardGap(false);
    QString::DataPointer& d = text_.data_ptr();
    d.size -= gapLength_;
    d.data()[d.size] = 0;
    gapLength_ = 0;
}

void ExactText::ensureGap(qsizetype need, qsizetype at) {
    if (gapLength_ >= need && !text_.data_ptr().needsDetach()) return;
    QString::DataPointer& d = text_.data_ptr();
    if (d.needsDetach() || d.freeSpaceAtBegin() > 0) {
        // Shared (a reader holds the whole text) or placed for another use: a buffer of its own,
        // laid out with the gap already at `at`, so that nothing moves to bring it there after.
        const qsizetype n = size();
        const qsizetype room = gapFor(need, n);
        const qsizetype gapAt = qBound<qsizetype>(0, at, n);
        QString own;
        own.reserve(n + room + 1);
        char16_t* to = reinterpret_cast<char16_t*>(own.data_ptr().data());
        MapAhead::forWriting(to, size_t(n + room) * 2);
        guardGap(false);
        copyOut(0, gapAt, to);
        copyOut(gapAt, n, to + gapAt + room);
        unitsMoved_ += n;
        unitsRead_ += n;
        own.data_ptr().size = n + room;
        text_ = std::move(own);
        gap_ = gapAt;
        gapLength_ = room;
        guardGap(true);
        return;
    }
    close();
    const qsizetype n = text_.size();
    const qsizetype room = gapFor(need, n);
    if (d.freeSpaceAtEnd() < room + 1) text_.reserve(n + room + 1);  // a buffer of its own grows where it lies
    text_.data_ptr().size = n + room;
    gap_ = n;
    gapLength_ = room;
    guardGap(true);
}

const QString& ExactText::text() const {
    close();
    return text_;
}

const QString& ExactText::through(qsizetype end) const {
    if (gapLength_ == 0) return text_;
    end = qBound<qsizetype>(0, end, size());
    if (gap_ < end) moveGap(end);
    view_ = QString::fromRawData(text_.constData(), size());
    return view_;
}

QStringView ExactText::within(qsizetype from, qsizetype to) const {
    const qsizetype n = size();
    from = qBound<qsizetype>(0, from, n);
    to = qBound<qsizetype>(from, to, n);
    if (gap_ > from && gap_ < to) moveGap(gap_ - from < to - gap_ ? from : to);
    // Before the gap the buffer holds the text where it is; after it, gapLength_ units further on.
    return QStringView(text_.constData() + (gap_ >= to ? 0 : gapLength_), n);
}

QStringView ExactText::slice(qsizetype from, qsizetype to) const {
    from = qBound<qsizetype>(0, from, size());
    to = qBound<qsizetype>(from, to, size());
    return within(from, to).sliced(from, to - from);
}

QString ExactText::mid(qsizetype from, qsizetype length) const {
    from = qBound<qsizetype>(0, from, size());
    length = qBound<qsizetype>(0, length, size() - from);
    QString out(length, Qt::Uninitialized);
    copyOut(from, from + length, reinterpret_cast<char16_t*>(out.data()));
    return out;
}

void ExactText::copyOut(qsizetype from, qsizetype to, char16_t* into) const {
    const char16_t* const s = reinterpret_cast<const char16_t*>(text_.constData());
    const qsizetype beforeGap = qBound(from, gapLength_ > 0 ? gap_ : size(), to);
    if (beforeGap > from) std::memcpy(into, s + from, size_t(beforeGap - from) * 2);
    if (to > beforeGap) std::memcpy(into + (beforeGap - from), s + beforeGap + gapLength_, size_t(to - beforeGap) * 2);
}

qsizetype ExactText::indexOf(char16_t c, qsizetype from, qsizetype to) const {
    const QStringView head = QStringView(text_.constData(), gap_);
    if (from < gap_) {
        const qsizetype found = head.first(qMin(to, gap_)).indexOf(QChar(c), from);
        if (found >= 0 || to <= gap_) return found;
        from = gap_;
    }
    const QStringView tail = QStringView(text_.constData() + gap_ + gapLength_, size() - gap_);
    const qsizetype found = tail.first(to - gap_).indexOf(QChar(c), from - gap_);
    return found < 0 ? -1 : found + gap_;
}

qsizetype ExactText::lineStart(qsizetype offset) const {
    qsizetype i = qBound<qsizetype>(0, offset, size());
    // Each side of the gap read where it lies, without asking at every unit which side it is on.
    const char16_t* const units = reinterpret_cast<const char16_t*>(text_.constData());
    const char16_t* const after = units + gapLength_;
    while (i > gap_ && !Lines::isBreak(after[i - 1])) --i;
    if (i > gap_) return i;
    while (i > 0 && !Lines::isBreak(units[i - 1])) --i;
    return i;
}

qsizetype ExactText::lineEnd(qsizetype offset, qsizetype limit) const {
    limit = qBound<qsizetype>(0, limit, size());
    qsizetype i = qBound<qsizetype>(0, offset, limit);
    const char16_t* const units = reinterpret_cast<const char16_t*>(text_.constData());
    const qsizetype beforeGap = qMin(limit, gap_);
    while (i < beforeGap && !Lines::isBreak(units[i])) ++i;
    if (i >= beforeGap) {
        const char16_t* const after = units + gapLength_;
        while (i < limit && !Lines::isBreak(after[i])) ++i;
    }
    if (i >= size()) return i;
    return i + (at(i) == u'\r' && i + 1 < size() && at(i + 1) == u'\n' ? 2 : 1);
}

void ExactText::indexCrlf() {
    std::vector<qsizetype> offsets;
    const QStringView text(text_);
    // From CR to CR: most texts have none, or one per line.
    for (qsizetype i = text.indexOf(u'\r'); i >= 0 && i + 1 < text.size(); i = text.indexOf(u'\r', i + 1))
        if (text[i + 1] == u'\n') offsets.push_back(i);
    crlf_.reset(std::move(offsets));
}

ExactText::Change ExactText::replace(TextRange range, const QString& text) {
    const qsizetype n = size();
    qsizetype a = qBound<qsizetype>(0, range.location, n);
    qsizetype b = qBound<qsizetype>(a, range.end(), n);
    QString t = text;
    const auto at = [&](qsizetype i) { return (i >= 0 && i < n) ? this->at(i).unicode() : char16_t(0); };

    // Widen so the replaced range never splits a CR LF and the result never joins a CR to an LF
    // across its edges; each display block then stays one exact line.
    const char16_t firstAfter = t.isEmpty() ? at(b) : std::as_const(t).front().unicode();
    if (at(a - 1) == u'\r' && (at(a) == u'\n' || firstAfter == u'\n')) {
        --a;
        t.prepend(u'\r');
    }
    const char16_t lastBefore = t.isEmpty() ? at(a - 1) : std::as_const(t).back().unicode();
    if (at(b) == u'\n' && (at(b - 1) == u'\r' || lastBefore == u'\r')) {
        ++b;
        t.append(u'\n');
    }

    Change change;
    change.range = {a, b - a};
    // The separator of a piece break at a stays before the new text, one at b after it.
    change.displayStart = toDisplay(a);
    change.displayEnd = toDisplay(b) - (b > a && pieces_.isBreak(b) ? 1 : 0);
    // The pieces around the edit end by the end of its line, and within two pieces of it.
    const qsizetype readsTo = qMin(b + kPiecesReach, lineEnd(b, b + kPiecesReach) + 1);
    const TextRange around = pieces_.around(through(readsTo), {a, b - a});
    const qsizetype aroundStart = toDisplay(around.location);
    const qsizetype aroundEnd = toDisplay(around.end()) - (pieces_.isBreak(around.end()) ? 1 : 0);
    // The lines of the joins the edit takes away are shown one block each again: the display takes
    // them too. The last one's terminator ends a line, never where a piece starts.
    const TextRange joined = joins_.touchedBy(a, b - a);
    const qsizetype joinedEnd = joined.length > 0 ? lineEnd(joined.end() - 1, joined.end() + 1) : 0;
    const qsizetype joinedStart = toDisplay(joined.location), joinedDisplayEnd = toDisplay(joinedEnd);

    // CR LF index: those inside [a, b) go, the new ones come.
    const qsizetype delta = t.size() - (b - a);
    // One pass over the new text for both, and for whether it ends any line at all (the pieces then
    // need not read it again), read only (a text shared with the caller stays shared); a long one a
    // stretch per thread.
    std::vector<qsizetype> added;
    bool addsBreak = false, endsALine = false;
    {
        const char16_t* const units = reinterpret_cast<const char16_t*>(t.constData());
        const qsizetype stretch = t.size() >= kParallelFrom && ParallelChunks::threadCount() > 1 ? kRebuildPiece : qMax<qsizetype>(1, t.size());
        std::vector<LineEnds> found(size_t((t.size() + stretch - 1) / stretch));
        ParallelChunks::run(int(found.size()), ParallelChunks::threadCount(), [&](int, int k) {
            found[size_t(k)] = lineEndsIn(units, t.size(), k * stretch, qMin(t.size(), (k + 1) * stretch), a);
        });
        for (const LineEnds& ends : found) {
            added.insert(added.end(), ends.crlf.begin(), ends.crlf.end());
            addsBreak = addsBreak || ends.crOrLf;
            endsALine = endsALine || ends.any;
        }
    }
    crlf_.replace(a, b, t.size(), added);

    if (firstBreak_ == -1 && addsBreak) {
        // A text without any line break gets its first in t: known without reading the rest.
        const qsizetype lf = t.indexOf(u'\n'), cr = t.indexOf(u'\r');
        firstBreak_ = a + (lf < 0 ? cr : cr < 0 ? lf : qMin(lf, cr));
    } else if (firstBreak_ >= 0 && a <= firstBreak_ + 1) firstBreak_ = -2;
    if (b - a >= kParallelFrom && b - a >= n / 2 && !isShared() && ParallelChunks::threadCount() > 1) {
        // Most of a long text replaced (a long line's Replace All, or its undo): the old buffer keeps
        // what was removed where it lies, and the rest of the text goes with the new units into a
        // buffer of its own, rather than the removed units being copied out and the new ones copied
        // over them.
        change.removed = replaceInNewBuffer(a, b, t);
    } else {
        change.removed = mid(a, b - a);
        unitsRead_ += b - a;
        // The gap goes to the edit and takes the removed units; the new ones fill its start.
        // The removed units join it: only what the new text needs beyond them is made room for.
        ensureGap(qMax<qsizetype>(0, t.size() - (b - a)), a);
        moveGap(a);
        guardGap(false);
        gapLength_ += b - a;
        if (!t.isEmpty()) std::memcpy(text_.data_ptr().data() + a, t.constData(), size_t(t.size()) * 2);
        gap_ += t.size();
        gapLength_ -= t.size();
        guardGap(true);
    }
    joins_.edit(a, b - a, t.size());
    // The exact range the display takes afresh, when it is more than the edit itself.
    qsizetype from = a, to = b;
    if (pieces_.edit(through(around.end() + delta + 2), a, b - a, t.size(), around.location, around.end(), !endsALine)) {
        // The pieces around the edit were broken afresh: the display takes them whole.
        from = around.location;
        to = around.end();
        change.displayStart = aroundStart;
        change.displayEnd = aroundEnd;
    }
    if (joined.length > 0) {
        if (joined.location < from) {
            from = joined.location;
            change.displayStart = joinedStart;
        }
        if (joinedEnd > to) {
            to = joinedEnd;
            change.displayEnd = joinedDisplayEnd;
        }
    }
    // What the display takes is converted once, from the text as it is now, and only when short.
    change.shownFrom = from;
    change.shownTo = to + delta;
    change.displayMade = change.shownTo - change.shownFrom < kLongDisplay;
    if (change.displayMade) change.displayText = from != a || to != b ? displayOf(from, to + delta) : display(t);
    change.text = std::move(t);
    return change;
}

namespace {
// The first part at or after `at`.
qsizetype firstPartFrom(const QList<EditHistory::Part>& parts, qsizetype at) {
    return std::lower_bound(parts.begin(), parts.end(), at,
                            [](const EditHistory::Part& p, qsizetype x) { return p.location < x; }) -
           parts.begin();
}

// Stretches of a text of n units, of about kRebuildPiece units each, cut anywhere but inside a part:
// where each starts, then n.
std::vector<qsizetype> stretchesOf(const QList<EditHistory::Part>& parts, qsizetype n) {
    std::vector<qsizetype> cuts{0};
    for (qsizetype cut = kRebuildPiece; cut <= n - kRebuildPiece; cut += kRebuildPiece) {  // none much shorter
        const qsizetype before = firstPartFrom(parts, cut) - 1;
        const qsizetype at = before < 0 ? cut : qMax(cut, parts[before].location + parts[before].removed.size());
        if (at > cuts.back() && at < n) cuts.push_back(at);
    }
    cuts.push_back(n);
    return cuts;
}

// What the parts before each one add: where the text between them lands.
std::vector<qsizetype> addedBefore(const QList<EditHistory::Part>& parts) {
    std::vector<qsizetype> added(size_t(parts.size()) + 1, 0);
    for (qsizetype i = 0; i < parts.size(); ++i)
        added[size_t(i) + 1] = added[size_t(i)] + parts[i].inserted.size() - parts[i].removed.size();
    return added;
}

std::vector<TextSplice::Piece> piecesOf(const QList<EditHistory::Part>& parts) {
    std::vector<TextSplice::Piece> pieces;
    pieces.reserve(size_t(parts.size()));
    for (const EditHistory::Part& part : parts) pieces.push_back({part.location, part.removed.size(), part.inserted});
    return pieces;
}
} // namespace

QString ExactText::replaceInNewBuffer(qsizetype a, qsizetype b, const QString& t) {
    within(a, b);  // [a, b) in one stretch of the old buffer
    const qsizetype n = size(), size = n - (b - a) + t.size();
    const qsizetype room = gapFor(0, size);
    QString own;
    own.reserve(size + room + 1);
    char16_t* const to = reinterpret_cast<char16_t*>(own.data_ptr().data());
    guardGap(false);
    // What lands where: the text before the edit, the new units, the gap, the text after the edit.
    struct Stretch {
        qsizetype from, to;  // of the old text, or of t when inNew
        bool inNew;
        char16_t* into;
    };
    std::vector<Stretch> stretches;
    const auto add = [&](qsizetype from, qsizetype end, bool inNew, char16_t* into) {
        for (qsizetype at = from; at < end; at += kRebuildPiece)
            stretches.push_back({at, qMin(end, at + kRebuildPiece), inNew, into + (at - from)});
    };
    add(0, a, false, to);
    add(0, t.size(), true, to + a);
    add(b, n, false, to + a + t.size() + room);
    const char16_t* const units = reinterpret_cast<const char16_t*>(t.constData());
    ParallelChunks::run(int(stretches.size()), ParallelChunks::threadCount(), [&](int, int k) {
        const Stretch& s = stretches[size_t(k)];
        MapAhead::forWriting(s.into, size_t(s.to - s.from) * 2);
        if (s.inNew) std::memcpy(s.into, units + s.from, size_t(s.to - s.from) * 2);
        else copyOut(s.from, s.to, s.into);
    });
    unitsRead_ += n - (b - a) + t.size();
    // The removed units stay where they lie, the old buffer now theirs alone.
    const qsizetype removedAt = gap_ >= b ? a : a + gapLength_;
    QString removed = std::exchange(text_, std::move(own));
    QString::DataPointer& d = removed.data_ptr();
    d.setBegin(d.data() + removedAt);
    d.size = b - a;
    d.data()[d.size] = 0;
    text_.data_ptr().size = size + room;
    gap_ = a + t.size();
    gapLength_ = room;
    guardGap(true);
    return removed;
}

void ExactText::rebuild(const QList<EditHistory::Part>& parts, qsizetype delta) {
    const qsizetype n = size();
    const qsizetype room = qBound(kMinGap, (n + delta) / 64, kMaxGap);
    const qsizetype partCount = parts.size();
    const std::vector<qsizetype> added = addedBefore(parts);
    const std::vector<qsizetype> cuts = stretchesOf(parts, n);
    QString own;
    own.reserve(n + delta + room + 1);
    char16_t* const to = reinterpret_cast<char16_t*>(own.data_ptr().data());
    guardGap(false);
    // Where `from` lands, `next` being the first part at or after it; the gap follows the last part.
    const auto landing = [&](qsizetype from, qsizetype next) {
        return from + added[size_t(next)] + (next == partCount ? room : 0);
    };
    const auto firstFrom = [&](qsizetype at) { return firstPartFrom(parts, at); };
    ParallelChunks::run(int(cuts.size()) - 1, ParallelChunks::threadCount(), [&](int, int k) {
        const qsizetype end = cuts[size_t(k) + 1];
        qsizetype from = cuts[size_t(k)], i = firstFrom(from);
        const qsizetype lands = landing(from, i);
        MapAhead::forWriting(to + lands, size_t((end == n ? n + delta + room : landing(end, firstFrom(end))) - lands) * 2);
        // A part at the very end is the last stretch's.
        for (; i < partCount && (parts[i].location < end || end == n); ++i) {
            const EditHistory::Part& part = parts[i];
            char16_t* const at = to + landing(from, i);
            copyOut(from, part.location, at);
            if (!part.inserted.isEmpty())
                std::memcpy(at + (part.location - from), part.inserted.constData(), size_t(part.inserted.size()) * 2);
            from = part.location + part.removed.size();
        }
        copyOut(from, end, to + landing(from, i));
    });
    unitsRead_ += n;
    own.data_ptr().size = n + delta + room;
    text_ = std::move(own);
    gap_ = parts.back().location + parts.back().removed.size() + delta;
    gapLength_ = room;
    guardGap(true);
}

bool ExactText::moveInPlace(const QList<EditHistory::Part>& parts, qsizetype delta) {
    const qsizetype n = size();
    const std::vector<qsizetype> added = addedBefore(parts);
    const std::vector<qsizetype> cuts = stretchesOf(parts, n);
    const int stretches = int(cuts.size()) - 1;
    // Where the text at each cut lands: the stretch before it writes up to there, over the start of
    // this one's (the text grows) or the end of the one before's (it shrinks). That much is kept
    // aside first and read from there; more than a stretch is left to one walk.
    std::vector<qsizetype> lands(cuts.size());
    for (size_t k = 0; k < cuts.size(); ++k) lands[k] = cuts[k] + added[size_t(firstPartFrom(parts, cuts[k]))];
    for (size_t k = 1; k < cuts.size() - 1; ++k)
        if (lands[k] - cuts[k] >= cuts[k + 1] - cuts[k] || cuts[k] - lands[k] >= cuts[k] - cuts[k - 1]) return false;
    if (delta > 0) text_.reserve(n + delta + 1);  // a no-op: a text that outgrows its buffer is copied
    char16_t* const s = reinterpret_cast<char16_t*>(text_.data_ptr().data());
    // The units kept aside for stretch k: [aside[k], aside[k] + kept[k].size()).
    std::vector<std::vector<char16_t>> kept(static_cast<size_t>(stretches));
    std::vector<qsizetype> aside(size_t(stretches), 0);
    ParallelChunks::run(stretches, ParallelChunks::threadCount(), [&](int, int k) {
        const qsizetype from = delta > 0 ? cuts[size_t(k)] : qMin(lands[size_t(k) + 1], cuts[size_t(k) + 1]);
        const qsizetype to = delta > 0 ? qMax(lands[size_t(k)], cuts[size_t(k)]) : cuts[size_t(k) + 1];
        if ((delta > 0 && k == 0) || (delta < 0 && k == stretches - 1) || to <= from) return;
        aside[size_t(k)] = from;
        kept[size_t(k)].assign(s + from, s + to);
    });
    ParallelChunks::run(stretches, ParallelChunks::threadCount(), [&](int, int k) {
        const qsizetype start = cuts[size_t(k)], end = cuts[size_t(k) + 1];
        const std::vector<char16_t>& mine = kept[size_t(k)];
        const qsizetype asideFrom = aside[size_t(k)], asideTo = asideFrom + qsizetype(mine.size());
        // [from, to) of the old text to `at`, the units kept aside read from where they were kept.
        const auto move = [&](qsizetype from, qsizetype to, qsizetype at) {
            if (to <= from || at == from) return;
            const qsizetype a = qBound(from, asideFrom, to), b = qBound(from, asideTo, to);
            if (delta > 0) {
                if (to > b) std::memmove(s + at + (b - from), s + b, size_t(to - b) * 2);
                if (b > a) std::memcpy(s + at + (a - from), mine.data() + (a - asideFrom), size_t(b - a) * 2);
                if (a > from) std::memmove(s + at, s + from, size_t(a - from) * 2);
            } else {
                if (a > from) std::memmove(s + at, s + from, size_t(a - from) * 2);
                if (b > a) std::memcpy(s + at + (a - from), mine.data() + (a - asideFrom), size_t(b - a) * 2);
                if (to > b) std::memmove(s + at + (b - from), s + b, size_t(to - b) * 2);
            }
        };
        const auto put = [&](const EditHistory::Part& part, qsizetype i) {
            if (!part.inserted.isEmpty())
                std::memcpy(s + part.location + added[size_t(i)], part.inserted.constData(), size_t(part.inserted.size()) * 2);
        };
        const qsizetype first = firstPartFrom(parts, start);
        qsizetype last = first;  // past the stretch's last part; one at the very end is the last stretch's
        while (last < parts.size() && (parts[last].location < end || end == n)) ++last;
        // From the last part back when the text grows, from the first on when it shrinks: no unit
        // is written over before it has moved.
        if (delta > 0) {
            for (qsizetype i = last - 1; i >= first; --i) {
                const qsizetype partEnd = parts[i].location + parts[i].removed.size();
                move(partEnd, i + 1 < last ? parts[i + 1].location : end, partEnd + added[size_t(i) + 1]);
                put(parts[i], i);
            }
            move(start, first < last ? parts[first].location : end, start + added[size_t(first)]);
        } else {
            move(start, first < last ? parts[first].location : end, start + added[size_t(first)]);
            for (qsizetype i = first; i < last; ++i) {
                const qsizetype partEnd = parts[i].location + parts[i].removed.size();
                put(parts[i], i);
                move(partEnd, i + 1 < last ? parts[i + 1].location : end, partEnd + added[size_t(i) + 1]);
            }
        }
    });
    QString::DataPointer& d = text_.data_ptr();
    d.size = n + delta;
    d.data()[d.size] = 0;
    gap_ = d.size;
    unitsMoved_ += n - parts.front().location;
    return true;
}

void ExactText::replaceEach(const QList<EditHistory::Part>& parts) {
    if (parts.isEmpty()) return;
    const qsizetype n = size();
    qsizetype delta = 0;
    for (const EditHistory::Part& part : parts) delta += part.inserted.size() - part.removed.size();
    // A gap too small for what the parts add, in a buffer too small to widen it, would be moved to the
    // end, the buffer grown and every unit moved again walking back: one copy that takes the parts on
    // its way does all of it.
    // A long text's buffer, once its gap has been moved by pages, is no longer one mapping that
    // could grow where it lies: growing it copies it, on one thread. Copied, it is copied by all.
    const bool long_ = n >= kParallelFrom && ParallelChunks::threadCount() > 1;
    const bool outgrown = gapLength_ < delta && text_.capacity() < n + delta + 1 && (gapLength_ > 0 || long_);
    if (isShared() || outgrown) {
        // Copied anyway: the copy takes the parts on its way, the gap left after the last.
        rebuild(parts, delta);
    } else if (std::vector<TextSplice::Piece> pieces; gapLength_ == 0 && TextSplice::oneWay(pieces = piecesOf(parts))) {
        // A text in one piece stays so, each stretch moved once straight to its place: a gap would
        // have to be closed again by the first whole-text read (the search of the new text). A long
        // one is moved a stretch on each thread.
        if (!long_ || !moveInPlace(parts, delta)) {
            TextSplice::replaceEach(text_, pieces);
            unitsMoved_ += n - parts.front().location;
            gap_ = text_.size();
        }
    } else if ((gapLength_ > 0 ? gap_ : n) > (parts.front().location + parts.back().location) / 2) {
        // The gap nearer the last part (as a new gap is, at the end): it walks back from part to part,
        // each part's new units put after it, moving each stretch between them once.
        qsizetype need = 0, added = 0;
        for (qsizetype i = parts.size() - 1; i >= 0; --i) {
            need = qMax(need, added + parts[i].inserted.size());
            added += parts[i].inserted.size() - parts[i].removed.size();
        }
        ensureGap(need, parts.back().location + parts.back().removed.size());
        for (qsizetype i = parts.size() - 1; i >= 0; --i) {
            const EditHistory::Part& part = parts[i];
            moveGap(part.location + part.removed.size());
            guardGap(false);
            gap_ = part.location;
            gapLength_ += part.removed.size() - part.inserted.size();
            if (!part.inserted.isEmpty())
                std::memcpy(text_.data_ptr().data() + gap_ + gapLength_, part.inserted.constData(), size_t(part.inserted.size()) * 2);
            guardGap(true);
        }
    } else {
        // Forward from the first part, each part's new units put before the gap.
        qsizetype need = 0, added = 0;
        for (const EditHistory::Part& part : parts) {
            need = qMax(need, added + part.inserted.size());
            added += part.inserted.size() - part.removed.size();
        }
        ensureGap(need, parts.front().location);
        added = 0;
        for (const EditHistory::Part& part : parts) {
            moveGap(part.location + added);
            guardGap(false);
            gapLength_ += part.removed.size() - part.inserted.size();
            if (!part.inserted.isEmpty())
                std::memcpy(text_.data_ptr().data() + gap_, part.inserted.constData(), size_t(part.inserted.size()) * 2);
            gap_ += part.inserted.size();
            guardGap(true);
            added += part.inserted.size() - part.removed.size();
        }
    }
    // The CR LF offsets and joins past a part move with it; from the last part back, so that each
    // part's location is as it was.
    // An empty list only moves on by what all of them add: once, not once a part.
    const qsizetype first = parts.front().location, span = parts.back().location + parts.back().removed.size() - first;
    if (crlf_.isEmpty()) crlf_.replace(first, first + span, span + delta, {});
    else
        for (qsizetype i = parts.size() - 1; i >= 0; --i)
            crlf_.replace(parts[i].location, parts[i].location + parts[i].removed.size(), parts[i].inserted.size(), {});
    if (joins_.isEmpty()) joins_.edit(first, span, span + delta);
    else
        for (qsizetype i = parts.size() - 1; i >= 0; --i)
            joins_.edit(parts[i].location, parts[i].removed.size(), parts[i].inserted.size());
    if (firstBreak_ >= 0 && parts.front().location <= firstBreak_ + 1) firstBreak_ = -2;
}

qsizetype ExactText::withoutPieces(qsizetype exact) const {
    exact = qBound<qsizetype>(0, exact, size());
    return exact - crlf_.countBefore(exact);
}

qsizetype ExactText::toDisplay(qsizetype exact) const {
    exact = qBound<qsizetype>(0, exact, size());
    return withoutPieces(exact) + pieces_.countUpTo(exact);
}

qsizetype ExactText::toExact(qsizetype display) const {
    // The separator of the j-th piece break stands at withoutPieces(break) + j; those before the
    // offset are not characters of the text.
    const std::vector<qsizetype>& breaks = pieces_.breaks();
    qsizetype lo = 0, hi = qsizetype(breaks.size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (withoutPieces(breaks[mid]) + mid < display) lo = mid + 1;
        else hi = mid;
    }
    return fromWithoutPieces(display - lo);
}

QString ExactText::displayOf(qsizetype from, qsizetype to) const {
    from = qBound<qsizetype>(0, from, size());
    to = qBound<qsizetype>(from, to, size());
    const QStringView text = within(from, to);
    const std::vector<qsizetype>& breaks = pieces_.breaks();
    // Written in place, piece after piece: a long line is megabytes of them.
    QString out(to - from + std::distance(std::upper_bound(breaks.begin(), breaks.end(), from),
                                          std::lower_bound(breaks.begin(), breaks.end(), to)),
                Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(out.data());
    const qsizetype base = toDisplay(from);
    // [s, e) written from `end` on: the separator of a break at s first (none at `from`, which the
    // display has before the range), then piece after piece with a separator between.
    const auto convert = [&](qsizetype s, qsizetype e, char16_t* end) {
        if (s > from && pieces_.isBreak(s)) *end++ = kSeparator;
        for (auto it = std::upper_bound(breaks.begin(), breaks.end(), s);; ++it) {
            const qsizetype pieceEnd = (it == breaks.end() || *it >= e) ? e : *it;
            end = displayInto(text.sliced(s, pieceEnd - s), end);
            if (pieceEnd == e) return end;
            *end++ = kSeparator;
            s = pieceEnd;
        }
    };
    // A long range is cut into stretches, each at a piece break or a line start (never inside a CR
    // LF), converted on several threads, each written where toDisplay() says it lands.
    std::vector<qsizetype> cuts{from};
    if (to - from >= kParallelFrom && ParallelChunks::threadCount() > 1) {
        // Looked for in the stretch past each target: a line without a break in it goes on.
        for (qsizetype target = from + kRebuildPiece; target < to; target += kRebuildPiece) {
            if (target <= cuts.back()) continue;
            const qsizetype window = qMin(to, target + kRebuildPiece);
            const auto next = std::lower_bound(breaks.begin(), breaks.end(), target);
            const qsizetype lineEnd = text.sliced(target, window - target).indexOf(u'\n');
            qsizetype cut = lineEnd < 0 ? window : target + lineEnd + 1;
            if (next != breaks.end() && *next < cut) cut = *next;
            else if (lineEnd < 0) continue;
            if (cut >= to) break;
            cuts.push_back(cut);
        }
    }
    cuts.push_back(to);
    const int stretches = int(cuts.size()) - 1;
    char16_t* end = start;
    if (stretches == 1) {
        end = convert(from, to, start);
    } else {
        std::vector<char16_t*> ends(size_t(stretches), nullptr);
        ParallelChunks::run(stretches, ParallelChunks::threadCount(), [&](int, int k) {
            const qsizetype s = cuts[size_t(k)];
            char16_t* const into = start + (toDisplay(s) - base) - (s > from && pieces_.isBreak(s) ? 1 : 0);
            ends[size_t(k)] = convert(s, cuts[size_t(k) + 1], into);
        });
        end = ends.back();
    }
    out.truncate(end - start);
    // Joined terminators: one unit each in the display, as any terminator.
    const SplitOffsets& joins = joins_.joins();
    for (qsizetype i = joins_.countBefore(from); i < joins.size() && joins[i] < to; ++i)
        out[toDisplay(joins[i]) - base] = QChar(kJoin);
    return out;
}

qsizetype ExactText::fromWithoutPieces(qsizetype display) const {
    // The display offset of the j-th CR LF is crlf_[j] - j, strictly ascending.
    qsizetype lo = 0, hi = qsizetype(crlf_.size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (crlf_[mid] - mid < display) lo = mid + 1;
        else hi = mid;
    }
    return qBound<qsizetype>(0, display + lo, size());
}

QString ExactText::display(QStringView exact) {
    QString out(exact.size(), Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(out.data());
    out.truncate(displayInto(exact, start) - start);
    return out;
}

namespace {
std::atomic<qsizetype> converted{0};
} // namespace

qsizetype ExactText::unitsConverted() {
    return converted.load(std::memory_order_relaxed);
}

char16_t* ExactText::displayInto(QStringView exact, char16_t* to) {
    converted.fetch_add(exact.size(), std::memory_order_relaxed);
    // Stretches of printable ASCII, most of any text, are copied as they are; a stretch holding
    // anything else is converted unit by unit.
    constexpr qsizetype kStretch = 32;
    const char16_t* const units = reinterpret_cast<const char16_t*>(exact.data());
    qsizetype stretchEnd = 0;
    for (qsizetype i = 0; i < exact.size();) {
        if (i >= stretchEnd) {
            if (exact.size() - i >= kStretch) {
                unsigned other = 0;
                for (qsizetype k = i; k < i + kStretch; ++k) other |= unsigned(units[k] < 0x20) | unsigned(units[k] >= 0x7F);
                if (!other) {
                    std::memcpy(to, units + i, size_t(kStretch) * 2);
                    to += kStretch;
                    i += kStretch;
                    continue;
                }
            }
            stretchEnd = i + kStretch;
        }
        const char16_t c = exact[i].unicode();
        if (c >= 0x20 && c < 0x7F) {  // most of any text, shown as it is
            *to++ = c;
            ++i;
            continue;
        }
        const qsizetype t = Lines::terminatorLength(exact, i);
        if (t > 0) {
            *to++ = kSeparator;
            i += t;
            continue;
        }
        *to++ = isFrameMark(c) ? char16_t(QChar::ReplacementCharacter) : c;
        ++i;
    }
    return to;
}

QString ExactText::newline() const {
    if (firstBreak_ == -2) {
        const qsizetype lf = indexOf(u'\n', 0, size());
        const qsizetype cr = indexOf(u'\r', 0, lf < 0 ? size() : lf);
        firstBreak_ = cr >= 0 ? cr : lf;
    }
    if (firstBreak_ < 0 || at(firstBreak_) == u'\n') return QStringLiteral("\n");
    return firstBreak_ + 1 < size() && at(firstBreak_ + 1) == u'\n' ? QStringLiteral("\r\n") : QStringLiteral("\r");
}
