#include "Editor/FoldTracker.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>

#include "Platform/ParallelChunks.h"
#include "Editor/PerStringTest.h"

namespace {

enum Kind : unsigned char { plain, lineBreak, quote, slash, opener, closer };

// One lookup per ASCII unit keeps the scan a single tight pass.
constexpr std::array<Kind, 128> makeTable() {
    std::array<Kind, 128> kind{};
    kind[u'\n'] = kind[u'\r'] = lineBreak;
    kind[u'"'] = kind[u'\''] = kind[u'`'] = quote;
    kind[u'/'] = slash;
    kind[u'('] = kind[u'['] = kind[u'{'] = opener;
    kind[u')'] = kind[u']'] = kind[u'}'] = closer;
    return kind;
}
constexpr std::array<Kind, 128> kTable = makeTable();

inline Kind kindOf(char16_t c) {
    if (c < 128) return kTable[c];
    return (c == 0x85 || c == 0x2028 || c == 0x2029) ? lineBreak : plain;
}

char16_t closerOf(char16_t c) { return c == u'(' ? u')' : c == u'[' ? u']' : u'}'; }

// A checkpoint every so many units, inside a line or not: an edit rescans about this much.
constexpr qsizetype kCheckpointSpacing = 4096;
constexpr qsizetype kNever = std::numeric_limits<qsizetype>::max();

using Checkpoint = FoldTracker::Checkpoint;
using Open = FoldTracker::Open;

// An open bracket as a checkpoint holds it, with its offsets made whole again from the offset and
// line start of the checkpoint before.
Open decode(qsizetype beforeOffset, qsizetype beforeLineStart, const Open& kept) {
    return {kept.closer, kept.lineStart < 0 ? beforeLineStart : beforeOffset + kept.lineStart,
            kept.terminator < 0 ? qsizetype(-1) : beforeOffset + kept.terminator};
}

// The scan from one checkpoint on. Of the brackets open there only those a closer or a line's end
// reaches are loaded (from the checkpoints that opened them), so a deep stack costs nothing to
// resume from.
class Scan {
public:
    Scan(FoldTracker::Runs text, const std::vector<Checkpoint>& known, size_t start)
        : text_(text), known_(known), below_(known[start].depth), loadFrom_(start), inString_(known[start].inString),
          inComment_(known[start].inComment), lineStart_(known[start].lineStart), lineFloor_(known[start].lineFloor),
          floor_(below_), lowest_(below_), lastLaid_(known[start].offset), lastLaidLine_(known[start].lineStart) {}

    qsizetype depth() const { return below_ + qsizetype(stack_.size()); }
    char16_t inString() const { return inString_; }
    bool inComment() const { return inComment_; }
    qsizetype lineStart() const { return lineStart_; }
    qsizetype lineFloor() const { return lineFloor_; }
    // The fewest brackets open at any point of the scan so far, a line's end counting as touching
    // the brackets it gives a terminator: those below were never touched.
    qsizetype lowest() const { return std::min(lowest_, floor_); }
    // The open bracket at a depth not below lowest().
    const Open& at(qsizetype depth) const { return stack_[size_t(depth - below_)]; }

    // Scans from the start checkpoint to the end of the text. `next()` is the next offset where
    // the scans may meet again, and `meet(offset)` tries it: meeting ends the scan, which then lays
    // a checkpoint there. Returns where it ended.
    // Past `limit` it lays a checkpoint at the next place one may be and ends there too.
    template <typename Next, typename Meet>
    qsizetype run(Next next, Meet meet, qsizetype limit = kNever) {
        const qsizetype n = text_.size();
        const qsizetype split = text_.head.size();
        // The hot state lives in locals, saved to the members only where a checkpoint may be.
        char16_t inString = inString_;
        bool inComment = inComment_;
        qsizetype lineStart = lineStart_;
        qsizetype stop = std::min({next(), lastLaid_ + kCheckpointSpacing, limit});
        // Each run in one tight pass: unit i is s[i - base] before runEnd.
        for (qsizetype i = lastLaid_; i < n;) {
            const bool inHead = i < split;
            const char16_t* const s = inHead ? text_.head.utf16() : text_.tail.utf16();
            const qsizetype base = inHead ? 0 : split;
            const qsizetype runEnd = inHead ? split : n;
            // The unit after i, which may lie in the other run (0 past the end).
            const auto after = [s, base, runEnd, this](qsizetype at) { return at + 1 < runEnd ? s[at + 1 - base] : unit(at + 1); };
            for (; i < runEnd; ++i) {
                if (i >= stop) {
                    inString_ = inString;
                    inComment_ = inComment;
                    lineStart_ = lineStart;
                    if ((i >= next() && meet(i)) || i >= limit) {
                        lay(i);
                        return i;
                    }
                    // A checkpoint due shortly before one that may be met is laid there instead, so
                    // that typing at one place does not crowd checkpoints together.
                    if (i - lastLaid_ >= kCheckpointSpacing && next() > lastLaid_ + kCheckpointSpacing * 3 / 2) lay(i);
                    const bool putOff = i - lastLaid_ >= kCheckpointSpacing;
                    stop = std::min(putOff ? next() : std::min(next(), lastLaid_ + kCheckpointSpacing), limit);
                }
                const char16_t c = s[i - base];
                const Kind kind = kindOf(c);
                if (kind == lineBreak) {
                    endLine(i);
                    if (c == u'\r' && after(i) == u'\n') ++i;
                    lineStart = i + 1;
                    inComment = false;  // a quoted run stays open across lines
                    continue;
                }
                if (kind == plain || inComment) continue;
                if (inString) {
                    if (c == inString) inString = 0;
                    continue;
                }
                switch (kind) {
                case quote: inString = c; break;
                case slash:
                    if (after(i) == u'/') {
                        inComment = true;
                        ++i;
                    }
                    break;
                case opener: stack_.push_back({closerOf(c), lineStart, -1}); break;
                case closer: {
                    if (stack_.empty()) {
                        if (below_ == 0) break;
                        loadDownTo(below_ - 1);
                    }
                    if (stack_.back().closer != c) break;  // a stray closer changes nothing
                    const Open open = stack_.back();
                    stack_.pop_back();
                    floor_ = std::min(floor_, depth());
                    lineFloor_ = std::min(lineFloor_, depth());
                    if (open.terminator < 0) break;  // opened on this line
                    regions.append(FoldRegion{open.lineStart, TextRange{open.terminator, lineStart - open.terminator}});
                    closeAt.push_back(i);
                    break;
                }
                default: break;
                }
            }
        }
        return n;
    }

    QList<FoldRegion> regions;
    std::vector<qsizetype> closeAt;  // of each region's closing bracket
    std::vector<Checkpoint> laid;

private:
    char16_t unit(qsizetype i) const {
        const qsizetype split = text_.head.size();
        return i < split ? text_.head[i].unicode() : i < text_.size() ? text_.tail[i - split].unicode() : char16_t(0);
    }

    // The brackets opened on the line ending at `terminator` learn where it ends; the next
    // checkpoint keeps them again, so that no older one must be read to know it.
    void endLine(qsizetype terminator) {
        if (lineFloor_ < below_) loadDownTo(lineFloor_);
        for (auto it = stack_.begin() + (lineFloor_ - below_); it != stack_.end(); ++it) it->terminator = terminator;
        floor_ = std::min(floor_, lineFloor_);
        lineFloor_ = depth();
    }

    // Loads the brackets under the loaded ones, down to `target` open, from the checkpoints that
    // last kept them; the stack is rebuilt once however many checkpoints that takes.
    void loadDownTo(qsizetype target) {
        struct Stretch {
            size_t checkpoint;
            qsizetype from, to;  // depths
        };
        std::vector<Stretch> stretches;
        qsizetype need = below_;
        for (; need > target; --loadFrom_) {
            const Checkpoint& c = known_[loadFrom_];
            if (c.floor >= need) continue;
            stretches.push_back({loadFrom_, c.floor, need});
            need = c.floor;
        }
        std::vector<Open> more;
        more.reserve(size_t(below_ - need) + stack_.size());
        for (auto s = stretches.rbegin(); s != stretches.rend(); ++s) {
            const Checkpoint& c = known_[s->checkpoint];
            const Checkpoint& before = known_[s->checkpoint - 1];
            for (qsizetype d = s->from; d < s->to; ++d) more.push_back(decode(before.offset, before.lineStart, c.top[size_t(d - c.floor)]));
        }
        more.insert(more.end(), stack_.begin(), stack_.end());
        stack_ = std::move(more);
        below_ = need;
    }

    void lay(qsizetype offset) {
        Checkpoint c{offset, inString_, inComment_, lineStart_, depth(), floor_, lineFloor_, {}};
        c.top.reserve(size_t(depth() - floor_));
        for (auto it = stack_.begin() + (floor_ - below_); it != stack_.end(); ++it) {
            Q_ASSERT(it->lineStart >= lastLaid_ || it->lineStart == lastLaidLine_);
            Q_ASSERT(it->terminator < 0 || it->terminator >= lastLaid_);
            c.top.push_back({it->closer, it->lineStart >= lastLaid_ ? it->lineStart - lastLaid_ : -1,
                             it->terminator < 0 ? -1 : it->terminator - lastLaid_});
        }
        laid.push_back(std::move(c));
        lowest_ = std::min(lowest_, floor_);
        floor_ = depth();
        lastLaid_ = offset;
        lastLaidLine_ = lineStart_;
    }

    FoldTracker::Runs text_;
    const std::vector<Checkpoint>& known_;
    std::vector<Open> stack_;  // the loaded open brackets, innermost last
    qsizetype below_;          // open brackets under stack_, not loaded
    size_t loadFrom_;          // the checkpoint the next load starts looking at
    char16_t inString_;
    bool inComment_;
    qsizetype lineStart_;
    qsizetype lineFloor_;     // the fewest open since lineStart_
    qsizetype floor_;         // the fewest open since the last checkpoint laid (or the start)
    qsizetype lowest_;        // the fewest open from the start to the last checkpoint laid
    qsizetype lastLaid_;      // offset of the last checkpoint laid (or the start)
    qsizetype lastLaidLine_;  // and its line start
};

bool isLineBreak(char16_t c) { return kindOf(c) == lineBreak; }

} // namespace

qsizetype FoldTracker::orderByHeader(std::vector<std::pair<qsizetype, qsizetype>>& entries) {
    // Entries come in closing order with ascending indices: a nest of blocks closes innermost first,
    // so its headers descend. Each run that descends is turned round (keeping the order of equal
    // headers), then the runs are merged: a nest a million deep costs a pass, not a sort.
    qsizetype compared = 0;
    const auto before = [&compared](const auto& a, const auto& b) {
        ++compared;
        return a < b;
    };
    // Indices ascend: the headers alone tell which way a run goes, and equal ones are in order.
    const auto header = [&](size_t k) {
        ++compared;
        return entries[k].first;
    };
    const auto begin = entries.begin();
    std::vector<size_t> runs;
    for (size_t i = 0, n = entries.size(); i < n;) {
        runs.push_back(i);
        size_t j = i + 1;
        while (j < n && header(j) == entries[i].first) ++j;
        if (j < n && header(j) < entries[i].first) {
            while (j < n && header(j) <= entries[j - 1].first) ++j;
            std::reverse(begin + qsizetype(i), begin + qsizetype(j));
            for (size_t k = i; k < j;) {
                size_t same = k + 1;
                while (same < j && header(same) == entries[k].first) ++same;
                std::reverse(begin + qsizetype(k), begin + qsizetype(same));
                k = same;
            }
        } else {
            while (j < n && header(j) >= entries[j - 1].first) ++j;
        }
        i = j;
    }
    runs.push_back(entries.size());
    for (size_t width = 1; width + 1 < runs.size(); width *= 2) {
        for (size_t r = 0; r + width + 1 < runs.size(); r += 2 * width) {
            const auto mid = begin + qsizetype(runs[r + width]);
            const auto last = begin + qsizetype(runs[std::min(r + 2 * width, runs.size() - 1)]);
            if (!before(*mid, *(mid - 1))) continue;  // nests side by side are in order already
            std::inplace_merge(begin + qsizetype(runs[r]), mid, last, before);
        }
    }
    return compared;
}

void FoldTracker::reset(Runs text) {
    complete_ = true;
    moves_.clear();
    regionShift_.clear();
    checkpointShift_.clear();
    headerShift_.clear();
    checkpoints_.assign(1, Checkpoint{});
    Scan scan(text, checkpoints_, 0);
    scan.run([] { return kNever; }, [](qsizetype) { return false; });
    lastScanLength_ = text.size();
    regions_ = std::move(scan.regions);
    closeAt_ = std::move(scan.closeAt);
    std::move(scan.laid.begin(), scan.laid.end(), std::back_inserter(checkpoints_));
    byHeader_.clear();
    byHeader_.reserve(size_t(regions_.size()));
    for (qsizetype i = 0; i < regions_.size(); ++i) byHeader_.emplace_back(regions_[i].headerLineStart, i);
    headersCompared_ = orderByHeader(byHeader_);
}

void FoldTracker::edit(Runs text, qsizetype at, qsizetype removed, qsizetype inserted, qsizetype budget) {
    if (checkpoints_.empty()) return reset(text);
    settleMoves();
    rescan(text, at, removed, inserted, budget, false);
}

bool FoldTracker::moveAlong(QStringView text, const QList<EditHistory::Part>& parts) {
    return moveAlong([text](qsizetype i) { return i >= 0 && i < text.size() ? text[i].unicode() : char16_t(0); }, parts);
}

bool FoldTracker::moveAlong(const std::function<char16_t(qsizetype)>& at, const QList<EditHistory::Part>& parts) {
    if (checkpoints_.empty() || parts.isEmpty()) return false;
    const auto neutral = [](QStringView s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return kindOf(c.unicode()) == plain; });
    };
    // Many parts are read on every thread, a run of them each, from where the parts before it put it.
    constexpr qsizetype kRun = 16384;
    const int runs = int((parts.size() + kRun - 1) / kRun);
    std::vector<qsizetype> shiftBefore(size_t(runs), 0);
    for (int k = 1; k < runs; ++k) {
        shiftBefore[size_t(k)] = shiftBefore[size_t(k) - 1];
        for (qsizetype i = (k - 1) * kRun; i < k * kRun; ++i)
            shiftBefore[size_t(k)] += parts[i].inserted.size() - parts[i].removed.size();
    }
    std::atomic<bool> movable{true};
    ParallelChunks::run(runs, ParallelChunks::threadCount(), [&](int, int k) {
        PerStringTest removedNeutral(neutral), insertedNeutral(neutral);
        qsizetype delta = shiftBefore[size_t(k)];
        for (qsizetype i = k * kRun; i < qMin(parts.size(), (k + 1) * kRun) && movable.load(std::memory_order_relaxed); ++i) {
            const EditHistory::Part& part = parts[i];
            const qsizetype newAt = part.location + delta;
            const qsizetype newEnd = newAt + part.inserted.size();
            // A slash beside a part could make or break a "//" with what it takes away or puts there.
            const bool slashBeside = at(newAt - 1) == u'/' || at(newEnd) == u'/';
            // Two checkpoints inside one part would land on the same place.
            if (slashBeside || part.removed.size() >= kCheckpointSpacing || !removedNeutral(part.removed) ||
                !insertedNeutral(part.inserted))
                movable.store(false, std::memory_order_relaxed);
            delta += part.inserted.size() - part.removed.size();
        }
    });
    if (!movable.load()) return false;
    settleMoves();  // an earlier batch first
    moves_ = parts;
    lastEntriesShifted_ = 0;
    lastScanLength_ = 0;
    return true;
}

void FoldTracker::settleMoves() const {
    if (moves_.isEmpty()) return;
    // Each part's start and end before the parts, its start after them, and how far what follows
    // it has moved.
    struct Moved {
        qsizetype oldAt, oldEnd, newAt, delta;
    };
    std::vector<Moved> moved;
    moved.reserve(size_t(moves_.size()));
    qsizetype delta = 0;
    for (const EditHistory::Part& part : std::as_const(moves_)) {
        const qsizetype newAt = part.location + delta;
        delta += part.inserted.size() - part.removed.size();
        moved.push_back({part.location, part.location + part.removed.size(), newAt, delta});
    }
    moves_ = {};
    // Where an offset of the text before the changes is now: a unit inside a part goes to the part's
    // start; a line start where a part is inserted stays before it, a unit there moves after it.
    settleRegions();
    settleCheckpoints();
    settleHeaders();
    const auto map = [&](qsizetype y, bool lineStart) {
        const auto after = lineStart ? std::lower_bound(moved.begin(), moved.end(), y, [](const Moved& m, qsizetype at) { return m.oldAt < at; })
                                     : std::upper_bound(moved.begin(), moved.end(), y, [](qsizetype at, const Moved& m) { return at < m.oldAt; });
        if (after == moved.begin()) return y;
        const Moved& m = *(after - 1);
        return y >= m.oldEnd ? y + m.delta : m.newAt;
    };
    for (FoldRegion& r : regions_) {
        const qsizetype end = map(r.hiddenRange.end(), true);
        r.headerLineStart = map(r.headerLineStart, true);
        r.hiddenRange.location = map(r.hiddenRange.location, false);
        r.hiddenRange.length = end - r.hiddenRange.location;
    }
    for (qsizetype& at : closeAt_) at = map(at, false);
    for (auto& [header, index] : byHeader_) header = map(header, true);
    // A checkpoint's brackets are kept relative to the checkpoint before it, as it was.
    qsizetype oldBefore = 0, newBefore = 0;
    for (Checkpoint& c : checkpoints_) {
        for (Open& open : c.top) {
            if (open.lineStart >= 0) open.lineStart = map(oldBefore + open.lineStart, true) - newBefore;
            if (open.terminator >= 0) open.terminator = map(oldBefore + open.terminator, false) - newBefore;
        }
        oldBefore = c.offset;
        c.offset = newBefore = map(c.offset, false);
        c.lineStart = map(c.lineStart, true);
    }
}

void FoldTracker::scanOn(Runs text, qsizetype budget) {
    if (checkpoints_.empty()) return reset(text);
    settleMoves();
    if (complete_) return;
    const qsizetype saved = lastScanLength_;
    rescan(text, checkpoints_.back().offset, 0, 0, budget, true);
    lastScanLength_ = saved;  // what an edit cost, not the scan going on after it
}

void FoldTracker::rescan(Runs text, qsizetype at, qsizetype removed, qsizetype inserted, qsizetype budget, bool onward) {
    const qsizetype oldEnd = at + removed;
    const qsizetype delta = inserted - removed;
    // Where an offset of the earlier text is now; -1 inside the replaced part.
    const auto map = [&](qsizetype y) { return y < at ? y : y >= oldEnd ? y + delta : qsizetype(-1); };
    // The same for a line start: one at the edit stays, since the line break before it does.
    const auto mapLine = [&](qsizetype y) { return y <= at ? y : y >= oldEnd ? y + delta : qsizetype(-1); };
    lastEntriesShifted_ = 0;
    headersCompared_ = 0;
    // An edit away from where the last ones were made: what they moved is brought up to date first.
    if (!regionShift_.absorbs(at, removed, inserted)) lastEntriesShifted_ += settleRegions();
    if (!checkpointShift_.absorbs(at, removed, inserted)) lastEntriesShifted_ += settleCheckpoints();
    if (!headerShift_.absorbs(at, removed, inserted)) lastEntriesShifted_ += settleHeaders();
    // The first checkpoint from `lo` on at or past an offset.
    const auto checkpointFrom = [&](size_t lo, qsizetype offset) {
        for (size_t hi = checkpoints_.size(); lo < hi;) {
            const size_t mid = lo + (hi - lo) / 2;
            if (checkpointOffset(mid) < offset) lo = mid + 1;
            else hi = mid;
        }
        return lo;
    };

    // Restart at the last checkpoint strictly before the edit (or the text's start): everything
    // before it is unchanged.
    const std::vector<Checkpoint>& old = checkpoints_;
    const size_t count = old.size();
    const size_t start = onward ? count - 1 : checkpointFrom(1, at) - 1;
    // The scan reads the checkpoints up to its start as they are.
    if (start >= checkpointShift_.first()) lastEntriesShifted_ += settleCheckpoints();
    const qsizetype from = checkpointOffset(start);
    Scan scan(text, old, start);

    // The old checkpoints past the edit are where the scans may meet again: same quote, comment and
    // line, and the same brackets open. Those both scans left alone are the same; the ones touched
    // since the restart are compared, read from the checkpoints between.
    size_t candidate = onward ? count : checkpointFrom(start + 1, oldEnd);
    while (candidate < count && checkpointOffset(candidate) + delta <= from) ++candidate;
    size_t floorsTo = start + 1;
    qsizetype oldLowest = old[start].depth;
    size_t met = count;
    const auto next = [&] { return candidate < count ? checkpointOffset(candidate) + delta : kNever; };
    const auto meet = [&](qsizetype offset) {
        while (candidate < count && checkpointOffset(candidate) + delta < offset) ++candidate;
        if (candidate == count || checkpointOffset(candidate) + delta != offset) return false;
        const size_t k = candidate++;
        const Checkpoint& then = old[k];
        if (then.inString != scan.inString() || then.inComment != scan.inComment() || then.depth != scan.depth() ||
            then.lineFloor != scan.lineFloor() || mapLine(checkpointLineStart(k)) != scan.lineStart())
            return false;
        for (; floorsTo <= k; ++floorsTo) oldLowest = std::min(oldLowest, old[floorsTo].floor);
        const qsizetype lowest = scan.lowest();
        if (oldLowest != lowest) return false;
        qsizetype need = then.depth;
        for (size_t i = k; need > lowest; --i) {
            const Checkpoint& c = old[i];
            if (c.floor >= need) continue;
            for (qsizetype d = c.floor; d < need; ++d) {
                const Open a = decode(checkpointOffset(i - 1), checkpointLineStart(i - 1), c.top[size_t(d - c.floor)]);
                const Open& b = scan.at(d);
                if (a.closer != b.closer || mapLine(a.lineStart) != b.lineStart ||
                    (a.terminator < 0 ? b.terminator >= 0 : map(a.terminator) != b.terminator))
                    return false;
            }
            need = c.floor;
        }
        met = k;
        return true;
    };
    const qsizetype end = scan.run(next, meet, budget >= kWhole - from ? kNever : from + std::max(budget, kCheckpointSpacing));
    lastScanLength_ = end - from;
    // Met: what lies past is as the earlier scan left it, stopped or not. Else it is known so far.
    if (met == count) complete_ = end == text.size();
    const qsizetype oldResume = met == count ? -1 : checkpointOffset(met);  // in the earlier text

    // Regions: those closed before `from` stay, the rescan's replace the old ones up to where the
    // scans met, and the rest move with the edit.
    const auto regionFrom = [&](qsizetype offset) {
        qsizetype lo = 0;
        for (qsizetype hi = qsizetype(closeAt_.size()); lo < hi;) {
            const qsizetype mid = lo + (hi - lo) / 2;
            if (closeAt(mid) < offset) lo = mid + 1;
            else hi = mid;
        }
        return lo;
    };
    const qsizetype keepBefore = regionFrom(from);
    const qsizetype resumeAt = oldResume < 0 ? qsizetype(closeAt_.size()) : regionFrom(oldResume);
    const qsizetype added = scan.regions.size();
    const qsizetype shift = added - (resumeAt - keepBefore);
    // Only what follows the regions the rescan replaced may be left behind the edit's shift.
    if (size_t(resumeAt) < regionShift_.first() || size_t(keepBefore) > regionShift_.first())
        lastEntriesShifted_ += settleRegions();

    // Typing mostly rescans blocks that keep their headers: the header index then only moves along.
    bool sameHeaders = shift == 0;
    for (qsizetype i = 0; sameHeaders && i < added; ++i)
        sameHeaders = mapLine(region(keepBefore + i).headerLineStart) == scan.regions[i].headerLineStart;

    // Edited in place: the unchanged start stays, the rescan's regions replace the old ones, the
    // rest moves along. Building fresh lists instead would fault in new pages of a large text's
    // regions on every keystroke.
    const qsizetype oldCount = regions_.size();
    const qsizetype tail = oldCount - resumeAt;
    const qsizetype newCount = keepBefore + added + tail;
    if (newCount > oldCount) {
        regions_.resize(newCount);
        closeAt_.resize(size_t(newCount));
    }
    FoldRegion* r = regions_.data();
    qsizetype* c = closeAt_.data();
    if (keepBefore + added > resumeAt) {
        std::move_backward(r + resumeAt, r + oldCount, r + newCount);
        std::move_backward(c + resumeAt, c + oldCount, c + newCount);
    } else if (keepBefore + added < resumeAt) {
        std::move(r + resumeAt, r + oldCount, r + keepBefore + added);
        std::move(c + resumeAt, c + oldCount, c + keepBefore + added);
    }
    if (newCount != oldCount) lastEntriesShifted_ += tail;
    std::copy(scan.regions.cbegin(), scan.regions.cend(), r + keepBefore);
    std::copy(scan.closeAt.begin(), scan.closeAt.end(), c + keepBefore);
    if (newCount < oldCount) {
        regions_.resize(newCount);
        closeAt_.resize(size_t(newCount));
    }
    // Those that close past the edit move with it: those opened before it grow or shrink.
    regionShift_.add(at, removed, inserted);
    regionShift_.setFirst(size_t(keepBefore + added));

    // The header index, kept sorted: the entries that stay move along with the edit, then the
    // rescan's are merged in.
    if (sameHeaders) {
        headerShift_.add(at, removed, inserted);
        headerShift_.setFirst(0);
    } else {
        settleHeaders();  // every entry is rewritten below
        std::vector<std::pair<qsizetype, qsizetype>> fresh;
        fresh.reserve(size_t(added));
        for (qsizetype i = 0; i < added; ++i) fresh.emplace_back(scan.regions[i].headerLineStart, keepBefore + i);
        headersCompared_ += orderByHeader(fresh);
        size_t kept = 0;
        for (const auto& [header, index] : byHeader_) {
            if (index >= keepBefore && index < resumeAt) continue;
            byHeader_[kept++] = {index < keepBefore ? header : mapLine(header), index < keepBefore ? index : index + shift};
        }
        byHeader_.resize(kept);
        std::vector<std::pair<qsizetype, qsizetype>> merged;
        merged.reserve(byHeader_.size() + fresh.size());
        std::merge(byHeader_.begin(), byHeader_.end(), fresh.begin(), fresh.end(), std::back_inserter(merged));
        byHeader_ = std::move(merged);
        lastEntriesShifted_ += qsizetype(byHeader_.size());
    }

    // Checkpoints: those before the rescan stay, the rescan's replace the old ones up to where the
    // scans met, and the rest move with the edit (what they hold is relative to the one before).
    const size_t first = start + 1;
    const size_t replaced = (met == count ? count : met + 1) - first;
    if (first + replaced < checkpointShift_.first() && first + replaced < count) lastEntriesShifted_ += settleCheckpoints();
    const size_t laid = scan.laid.size();
    if (laid > replaced) checkpoints_.insert(checkpoints_.begin() + qsizetype(first + replaced), laid - replaced, Checkpoint{});
    else checkpoints_.erase(checkpoints_.begin() + qsizetype(first + laid), checkpoints_.begin() + qsizetype(first + replaced));
    std::move(scan.laid.begin(), scan.laid.end(), checkpoints_.begin() + qsizetype(first));
    if (laid != replaced) lastEntriesShifted_ += qsizetype(checkpoints_.size() - first - laid);
    checkpointShift_.add(at, removed, inserted);
    checkpointShift_.setFirst(first + laid);
}

FoldRegion FoldTracker::region(qsizetype i) const {
    FoldRegion r = regions_[i];
    if (size_t(i) < regionShift_.first()) return r;
    const qsizetype end = regionShift_.lineStart(r.hiddenRange.end());
    r.headerLineStart = regionShift_.lineStart(r.headerLineStart);
    r.hiddenRange.location = regionShift_.unit(r.hiddenRange.location);
    r.hiddenRange.length = end - r.hiddenRange.location;
    return r;
}

qsizetype FoldTracker::closeAt(qsizetype i) const {
    return size_t(i) < regionShift_.first() ? closeAt_[size_t(i)] : regionShift_.unit(closeAt_[size_t(i)]);
}

qsizetype FoldTracker::checkpointOffset(size_t i) const {
    return i < checkpointShift_.first() ? checkpoints_[i].offset : checkpointShift_.unit(checkpoints_[i].offset);
}

qsizetype FoldTracker::checkpointLineStart(size_t i) const {
    return i < checkpointShift_.first() ? checkpoints_[i].lineStart : checkpointShift_.lineStart(checkpoints_[i].lineStart);
}

qsizetype FoldTracker::settleRegions() const {
    qsizetype settled = 0;
    for (size_t i = regionShift_.first(); i < closeAt_.size(); ++i, ++settled) {
        regions_[qsizetype(i)] = region(qsizetype(i));
        closeAt_[i] = closeAt(qsizetype(i));
    }
    regionShift_.clear();
    return settled;
}

qsizetype FoldTracker::settleCheckpoints() const {
    qsizetype settled = 0;
    for (size_t i = checkpointShift_.first(); i < checkpoints_.size(); ++i, ++settled) {
        checkpoints_[i].lineStart = checkpointLineStart(i);
        checkpoints_[i].offset = checkpointOffset(i);
    }
    checkpointShift_.clear();
    return settled;
}

qsizetype FoldTracker::settleHeaders() const {
    qsizetype settled = 0;
    for (size_t i = headerShift_.first(); i < byHeader_.size(); ++i, ++settled) byHeader_[i].first = header(i);
    headerShift_.clear();
    return settled;
}

size_t FoldTracker::firstHeaderFrom(qsizetype lineStart) const {
    size_t lo = 0;
    for (size_t hi = byHeader_.size(); lo < hi;) {
        const size_t mid = lo + (hi - lo) / 2;
        if (header(mid) < lineStart) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

const QList<FoldRegion>& FoldTracker::regions() const {
    settleMoves();
    settleRegions();
    return regions_;
}

std::optional<FoldRegion> FoldTracker::withHeader(qsizetype headerLineStart) const {
    settleMoves();
    const size_t i = firstHeaderFrom(headerLineStart);
    if (i == byHeader_.size() || header(i) != headerLineStart) return std::nullopt;
    return region(byHeader_[i].second);
}

bool FoldTracker::hides(QStringView text, TextRange hiddenRange) const {
    settleMoves();
    // Every region hiding this range starts at the terminator of its header line.
    qsizetype header = qBound<qsizetype>(0, hiddenRange.location, text.size());
    while (header > 0 && !isLineBreak(text[header - 1].unicode())) --header;
    for (size_t i = firstHeaderFrom(header); i < byHeader_.size() && this->header(i) == header; ++i)
        if (region(byHeader_[i].second).hiddenRange == hiddenRange) return true;
    return false;
}
