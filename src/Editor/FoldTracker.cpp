#include "Editor/FoldTracker.h"

#include <algorithm>
#include <array>

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

// A checkpoint every so many units: an edit rescans about this much.
constexpr qsizetype kCheckpointSpacing = 4096;

using Checkpoint = FoldTracker::Checkpoint;
using Open = FoldTracker::Open;

// The scan from one checkpoint on. Of the brackets open there only those a closer reaches are
// loaded (from the checkpoints that opened them), so a deep stack costs nothing to resume from.
class Scan {
public:
    Scan(QStringView text, const std::vector<Checkpoint>& known, size_t start)
        : text_(text), known_(known), below_(known[start].depth), loadFrom_(start), inString_(known[start].inString),
          floor_(below_), lowest_(below_), lastLaid_(known[start].offset) {}

    qsizetype depth() const { return below_ + qsizetype(stack_.size()); }
    char16_t inString() const { return inString_; }
    // The fewest brackets open at any point of the scan so far: those below were never touched.
    qsizetype lowest() const { return std::min(lowest_, floor_); }
    // The open bracket at a depth not below lowest().
    const Open& at(qsizetype depth) const { return stack_[size_t(depth - below_)]; }

    // Scans from `from` (a line start) to the end of the text. At every line start at or past
    // `meetFrom`, `meet(lineStart)` may end the scan, which then lays a checkpoint there; returns
    // where it ended.
    template <typename Meet>
    qsizetype run(qsizetype from, qsizetype meetFrom, Meet meet) {
        const char16_t* s = text_.utf16();
        const qsizetype n = text_.size();
        qsizetype lineStart = from;
        bool inComment = false;
        for (qsizetype i = from; i < n; ++i) {
            const char16_t c = s[i];
            const Kind kind = kindOf(c);
            if (kind == lineBreak) {
                for (auto it = stack_.rbegin(); it != stack_.rend() && it->terminator < 0; ++it) it->terminator = i;
                if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') ++i;
                lineStart = i + 1;
                inComment = false;  // a quoted run stays open across lines
                if (lineStart >= meetFrom && meet(lineStart)) {
                    lay(lineStart);
                    return lineStart;
                }
                if (lineStart - lastLaid_ >= kCheckpointSpacing) lay(lineStart);
                continue;
            }
            if (kind == plain || inComment) continue;
            if (inString_) {
                if (c == inString_) inString_ = 0;
                continue;
            }
            switch (kind) {
            case quote: inString_ = c; break;
            case slash:
                if (i + 1 < n && s[i + 1] == u'/') {
                    inComment = true;
                    ++i;
                }
                break;
            case opener: stack_.push_back({closerOf(c), lineStart, -1}); break;
            case closer: {
                if (stack_.empty()) {
                    if (below_ == 0) break;
                    load();
                }
                if (stack_.back().closer != c) break;  // a stray closer changes nothing
                const Open open = stack_.back();
                stack_.pop_back();
                floor_ = std::min(floor_, depth());
                if (open.terminator < 0) break;  // opened on this line
                regions.append(FoldRegion{open.lineStart, TextRange{open.terminator, lineStart - open.terminator}});
                closeAt.push_back(i);
                break;
            }
            default: break;
            }
        }
        return n;
    }

    QList<FoldRegion> regions;
    std::vector<qsizetype> closeAt;  // of each region's closing bracket
    std::vector<Checkpoint> laid;

private:
    // Loads the brackets under the loaded ones from the checkpoint that opened them.
    void load() {
        for (;; --loadFrom_) {
            const Checkpoint& c = known_[loadFrom_];
            if (c.floor >= below_) continue;
            const qsizetype base = loadFrom_ == 0 ? 0 : known_[loadFrom_ - 1].offset;
            std::vector<Open> more;
            more.reserve(size_t(below_ - c.floor) + stack_.size());
            for (auto it = c.top.begin(), end = it + (below_ - c.floor); it != end; ++it)
                more.push_back({it->closer, it->lineStart + base, it->terminator + base});
            more.insert(more.end(), stack_.begin(), stack_.end());
            stack_ = std::move(more);
            below_ = c.floor;
            --loadFrom_;
            return;
        }
    }

    void lay(qsizetype lineStart) {
        Checkpoint c{lineStart, inString_, depth(), floor_, {}};
        c.top.reserve(size_t(depth() - floor_));
        for (auto it = stack_.begin() + (floor_ - below_); it != stack_.end(); ++it)
            c.top.push_back({it->closer, it->lineStart - lastLaid_, it->terminator - lastLaid_});
        laid.push_back(std::move(c));
        lowest_ = std::min(lowest_, floor_);
        floor_ = depth();
        lastLaid_ = lineStart;
    }

    QStringView text_;
    const std::vector<Checkpoint>& known_;
    std::vector<Open> stack_;  // the loaded open brackets, innermost last
    qsizetype below_;          // open brackets under stack_, not loaded
    size_t loadFrom_;          // the checkpoint the next load starts looking at
    char16_t inString_;
    qsizetype floor_;     // the fewest open since the last checkpoint laid (or the start)
    qsizetype lowest_;    // the fewest open from the start to the last checkpoint laid
    qsizetype lastLaid_;  // offset of the last checkpoint laid (or the start)
};

bool isLineBreak(char16_t c) { return kindOf(c) == lineBreak; }

} // namespace

void FoldTracker::reset(QStringView text) {
    checkpoints_.assign(1, Checkpoint{});
    Scan scan(text, checkpoints_, 0);
    scan.run(0, text.size() + 1, [](qsizetype) { return false; });
    lastScanLength_ = text.size();
    regions_ = std::move(scan.regions);
    closeAt_ = std::move(scan.closeAt);
    std::move(scan.laid.begin(), scan.laid.end(), std::back_inserter(checkpoints_));
    byHeader_.clear();
    byHeader_.reserve(size_t(regions_.size()));
    for (qsizetype i = 0; i < regions_.size(); ++i) byHeader_.emplace_back(regions_[i].headerLineStart, i);
    std::sort(byHeader_.begin(), byHeader_.end());
}

void FoldTracker::edit(QStringView text, qsizetype at, qsizetype removed, qsizetype inserted) {
    if (checkpoints_.empty()) return reset(text);
    const qsizetype oldEnd = at + removed;
    const qsizetype delta = inserted - removed;
    // Where an offset of the earlier text is now; -1 inside the replaced part.
    const auto map = [&](qsizetype y) { return y < at ? y : y >= oldEnd ? y + delta : qsizetype(-1); };
    const auto offsetBelow = [](const Checkpoint& c, qsizetype offset) { return c.offset < offset; };

    // Restart at the last checkpoint strictly before the edit (or the text's start): everything
    // before it is unchanged.
    const std::vector<Checkpoint>& old = checkpoints_;
    const size_t count = old.size();
    const size_t start = size_t(std::lower_bound(old.begin() + 1, old.end(), at, offsetBelow) - old.begin()) - 1;
    const qsizetype from = old[start].offset;
    Scan scan(text, old, start);

    // The old checkpoints past the edit are where the scans may meet again: same quote, and the
    // same brackets open. Those both scans left alone are the same; the ones opened since the
    // restart are compared, read from the checkpoints between.
    size_t candidate = size_t(std::lower_bound(old.begin() + qsizetype(start) + 1, old.end(), oldEnd, offsetBelow) - old.begin());
    size_t floorsTo = start + 1;
    qsizetype oldLowest = old[start].depth;
    size_t met = count;
    const auto meet = [&](qsizetype lineStart) {
        while (candidate < count && old[candidate].offset + delta < lineStart) ++candidate;
        if (candidate == count || old[candidate].offset + delta != lineStart) return false;
        const Checkpoint& then = old[candidate];
        if (then.inString != scan.inString() || then.depth != scan.depth()) return false;
        for (; floorsTo <= candidate; ++floorsTo) oldLowest = std::min(oldLowest, old[floorsTo].floor);
        const qsizetype lowest = scan.lowest();
        if (oldLowest != lowest) return false;
        qsizetype need = then.depth;
        for (size_t i = candidate; need > lowest; --i) {
            const Checkpoint& c = old[i];
            if (c.floor >= need) continue;
            const qsizetype base = old[i - 1].offset;
            for (qsizetype d = c.floor; d < need; ++d) {
                const Open& a = c.top[size_t(d - c.floor)];
                const Open& b = scan.at(d);
                if (a.closer != b.closer || map(base + a.lineStart) != b.lineStart || map(base + a.terminator) != b.terminator)
                    return false;
            }
            need = c.floor;
        }
        met = candidate;
        return true;
    };
    const qsizetype end = scan.run(from, at + inserted, meet);
    lastScanLength_ = end - from;
    const qsizetype oldResume = met == count ? -1 : old[met].offset;  // in the earlier text

    // Regions: those closed before `from` stay, the rescan's replace the old ones up to where the
    // scans met, and the rest move with the edit.
    const qsizetype keepBefore = std::lower_bound(closeAt_.begin(), closeAt_.end(), from) - closeAt_.begin();
    const qsizetype resumeAt = oldResume < 0 ? qsizetype(closeAt_.size())
                                             : std::lower_bound(closeAt_.begin(), closeAt_.end(), oldResume) -
                                                   closeAt_.begin();
    const qsizetype added = scan.regions.size();
    const qsizetype shift = added - (resumeAt - keepBefore);

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
    // Typing mostly rescans blocks that keep their headers: the header index then only moves along.
    bool sameHeaders = shift == 0;
    for (qsizetype i = 0; sameHeaders && i < added; ++i)
        sameHeaders = map(r[keepBefore + i].headerLineStart) == scan.regions[i].headerLineStart;
    std::copy(scan.regions.cbegin(), scan.regions.cend(), r + keepBefore);
    std::copy(scan.closeAt.begin(), scan.closeAt.end(), c + keepBefore);
    // These close past the edit; those opened before it grow or shrink with it.
    for (qsizetype i = keepBefore + added; i < newCount; ++i) {
        FoldRegion& moved = r[i];
        const bool after = moved.hiddenRange.location >= at;
        moved.headerLineStart += moved.headerLineStart >= at ? delta : 0;
        moved.hiddenRange.location += after ? delta : 0;
        moved.hiddenRange.length += after ? 0 : delta;
        c[i] += delta;
    }
    if (newCount < oldCount) {
        regions_.resize(newCount);
        closeAt_.resize(size_t(newCount));
    }

    // The header index, kept sorted: the entries that stay are moved along in place, then the
    // rescan's merged in.
    if (sameHeaders) {
        for (auto it = std::lower_bound(byHeader_.begin(), byHeader_.end(), std::pair{at, qsizetype(-1)}); it != byHeader_.end(); ++it)
            it->first += delta;
    } else {
        std::vector<std::pair<qsizetype, qsizetype>> fresh;
        fresh.reserve(size_t(added));
        for (qsizetype i = 0; i < added; ++i) fresh.emplace_back(scan.regions[i].headerLineStart, keepBefore + i);
        std::sort(fresh.begin(), fresh.end());
        size_t kept = 0;
        for (const auto& [header, index] : byHeader_) {
            if (index >= keepBefore && index < resumeAt) continue;
            byHeader_[kept++] = {index < keepBefore ? header : map(header), index < keepBefore ? index : index + shift};
        }
        byHeader_.resize(kept);
        std::vector<std::pair<qsizetype, qsizetype>> merged;
        merged.reserve(byHeader_.size() + fresh.size());
        std::merge(byHeader_.begin(), byHeader_.end(), fresh.begin(), fresh.end(), std::back_inserter(merged));
        byHeader_ = std::move(merged);
    }

    // Checkpoints: those before the rescan stay, the rescan's replace the old ones up to where the
    // scans met, and the rest move with the edit (what they hold is relative to the one before).
    const size_t first = start + 1;
    const size_t replaced = (met == count ? count : met + 1) - first;
    const size_t laid = scan.laid.size();
    if (laid > replaced) checkpoints_.insert(checkpoints_.begin() + qsizetype(first + replaced), laid - replaced, Checkpoint{});
    else checkpoints_.erase(checkpoints_.begin() + qsizetype(first + laid), checkpoints_.begin() + qsizetype(first + replaced));
    std::move(scan.laid.begin(), scan.laid.end(), checkpoints_.begin() + qsizetype(first));
    if (delta != 0)
        for (auto it = checkpoints_.begin() + qsizetype(first + laid); it != checkpoints_.end(); ++it) it->offset += delta;
}

const FoldRegion* FoldTracker::withHeader(qsizetype headerLineStart) const {
    const auto it = std::lower_bound(byHeader_.begin(), byHeader_.end(), std::pair{headerLineStart, qsizetype(-1)});
    if (it == byHeader_.end() || it->first != headerLineStart) return nullptr;
    return &regions_[it->second];
}

bool FoldTracker::hides(QStringView text, TextRange hiddenRange) const {
    // Every region hiding this range starts at the terminator of its header line.
    qsizetype header = qBound<qsizetype>(0, hiddenRange.location, text.size());
    while (header > 0 && !isLineBreak(text[header - 1].unicode())) --header;
    auto it = std::lower_bound(byHeader_.begin(), byHeader_.end(), std::pair{header, qsizetype(-1)});
    for (; it != byHeader_.end() && it->first == header; ++it)
        if (regions_[it->second].hiddenRange == hiddenRange) return true;
    return false;
}
