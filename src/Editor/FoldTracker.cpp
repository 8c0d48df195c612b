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

// Checkpoints every so many units, where the open brackets are few enough to copy.
constexpr qsizetype kCheckpointSpacing = 4096;
constexpr size_t kCheckpointDepth = 64;

struct Output {
    QList<FoldRegion> regions;
    std::vector<qsizetype> closeAt;
    std::vector<FoldTracker::Checkpoint> checkpoints;
};

// Scans from `from` in `state`. At every offset at or past `resyncFrom` that `nextResync` names,
// `resync(offset, state)` may end the scan; returns where it ended (the text's length at its end).
template <typename Resync, typename NextResync>
qsizetype scan(QStringView text, qsizetype from, FoldTracker::State& state, qsizetype resyncFrom, Resync resync,
               NextResync nextResync, Output& out) {
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    qsizetype lastCheckpoint = from;
    qsizetype lineStart = state.lineStart;
    bool inComment = state.inComment;
    auto& stack = state.stack;
    qsizetype resyncAt = nextResync(qMax(from + 1, resyncFrom));
    const auto capture = [&] {
        state.lineStart = lineStart;
        state.inComment = inComment;
    };
    for (qsizetype i = from; i < n; ++i) {
        if (i >= resyncAt) {
            capture();
            if (resync(i, state)) return i;
            resyncAt = nextResync(i + 1);
        }
        if (i - lastCheckpoint >= kCheckpointSpacing && stack.size() <= kCheckpointDepth) {
            capture();
            out.checkpoints.push_back({i, state});
            lastCheckpoint = i;
        }
        const char16_t c = s[i];
        const Kind kind = kindOf(c);
        if (kind == lineBreak) {
            for (auto it = stack.rbegin(); it != stack.rend() && it->terminator < 0; ++it) it->terminator = i;
            if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') ++i;
            lineStart = i + 1;
            inComment = false;  // a quoted run stays open across lines
            continue;
        }
        if (kind == plain || inComment) continue;
        if (state.inString) {
            if (c == state.inString) state.inString = 0;
            continue;
        }
        switch (kind) {
        case quote: state.inString = c; break;
        case slash:
            if (i + 1 < n && s[i + 1] == u'/') {
                inComment = true;
                ++i;
            }
            break;
        case opener: stack.push_back({closerOf(c), lineStart, -1}); break;
        case closer: {
            if (stack.empty() || stack.back().closer != c) break;  // a stray closer changes nothing
            const FoldTracker::Open open = stack.back();
            stack.pop_back();
            if (open.terminator < 0) break;  // opened on this line
            out.regions.append(FoldRegion{open.lineStart, TextRange{open.terminator, lineStart - open.terminator}});
            out.closeAt.push_back(i);
            break;
        }
        default: break;
        }
    }
    return n;
}

bool isLineBreak(char16_t c) { return kindOf(c) == lineBreak; }

} // namespace

void FoldTracker::reset(QStringView text) {
    Output out;
    State state;
    const qsizetype never = text.size() + 1;
    scan(text, 0, state, never, [](qsizetype, const State&) { return false; }, [never](qsizetype) { return never; }, out);
    regions_ = std::move(out.regions);
    closeAt_ = std::move(out.closeAt);
    checkpoints_ = std::move(out.checkpoints);
    byHeader_.clear();
    byHeader_.reserve(size_t(regions_.size()));
    for (qsizetype i = 0; i < regions_.size(); ++i) byHeader_.emplace_back(regions_[i].headerLineStart, i);
    std::sort(byHeader_.begin(), byHeader_.end());
}

void FoldTracker::edit(QStringView text, qsizetype at, qsizetype removed, qsizetype inserted) {
    const qsizetype oldEnd = at + removed;
    const qsizetype delta = inserted - removed;
    // Where an offset of the earlier text is now; -1 inside the replaced part.
    const auto map = [&](qsizetype y) { return y < at ? y : y >= oldEnd ? y + delta : qsizetype(-1); };

    // Restart at the last checkpoint strictly before the edit: everything before it is unchanged.
    auto first = std::lower_bound(checkpoints_.begin(), checkpoints_.end(), at,
                                  [](const Checkpoint& c, qsizetype offset) { return c.offset < offset; });
    qsizetype from = 0;
    State state;
    if (first != checkpoints_.begin()) {
        from = std::prev(first)->offset;
        state = std::prev(first)->state;
    }
    // The old checkpoints past the edit are where the scans may meet again.
    auto candidate = std::lower_bound(first, checkpoints_.end(), oldEnd,
                                      [](const Checkpoint& c, qsizetype offset) { return c.offset < offset; });
    const auto endOfOld = checkpoints_.end();
    auto met = endOfOld;
    const auto resync = [&](qsizetype offset, const State& now) {
        while (candidate != endOfOld && candidate->offset + delta < offset) ++candidate;
        if (candidate == endOfOld || candidate->offset + delta != offset) return false;
        const State& then = candidate->state;
        if (then.inString != now.inString || then.inComment != now.inComment ||
            map(then.lineStart) != now.lineStart || then.stack.size() != now.stack.size())
            return false;
        for (size_t k = 0; k < now.stack.size(); ++k) {
            const Open& a = then.stack[k];
            const Open& b = now.stack[k];
            if (a.closer != b.closer || map(a.lineStart) != b.lineStart || map(a.terminator) != b.terminator) return false;
        }
        met = candidate;
        return true;
    };
    // The next old checkpoint, as an offset of the edited text, at or after an offset.
    const auto nextResync = [&](qsizetype offset) {
        while (candidate != endOfOld && candidate->offset + delta < offset) ++candidate;
        return candidate == endOfOld ? text.size() + 1 : candidate->offset + delta;
    };
    Output out;
    const qsizetype end = scan(text, from, state, at + inserted, resync, nextResync, out);
    const qsizetype oldResume = met == endOfOld ? -1 : met->offset;  // in the earlier text

    // Regions: those closed before `from` stay, the rescan's replace the old ones up to where the
    // scans met, and the rest move with the edit.
    const qsizetype keepBefore = std::lower_bound(closeAt_.begin(), closeAt_.end(), from) - closeAt_.begin();
    const qsizetype resumeAt = oldResume < 0 ? qsizetype(closeAt_.size())
                                             : std::lower_bound(closeAt_.begin(), closeAt_.end(), oldResume) -
                                                   closeAt_.begin();
    const qsizetype added = out.regions.size();
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
    std::copy(out.regions.cbegin(), out.regions.cend(), r + keepBefore);
    std::copy(out.closeAt.begin(), out.closeAt.end(), c + keepBefore);
    for (qsizetype i = keepBefore + added; i < newCount; ++i) {
        FoldRegion& moved = r[i];
        const qsizetype hiddenStart = map(moved.hiddenRange.location);
        moved = FoldRegion{map(moved.headerLineStart), {hiddenStart, map(moved.hiddenRange.end()) - hiddenStart}};
        c[i] += delta;
    }
    if (newCount < oldCount) {
        regions_.resize(newCount);
        closeAt_.resize(size_t(newCount));
    }

    // The header index, kept sorted: the entries that stay are moved along in place, then the
    // rescan's merged in.
    std::vector<std::pair<qsizetype, qsizetype>> fresh;
    fresh.reserve(size_t(added));
    for (qsizetype i = 0; i < added; ++i) fresh.emplace_back(out.regions[i].headerLineStart, keepBefore + i);
    std::sort(fresh.begin(), fresh.end());
    size_t kept = 0;
    for (const auto& [header, index] : byHeader_) {
        if (index >= keepBefore && index < resumeAt) continue;
        byHeader_[kept++] = {index < keepBefore ? header : map(header), index < keepBefore ? index : index + shift};
    }
    byHeader_.resize(kept);
    if (fresh.size() <= 64) {
        for (const auto& entry : fresh) byHeader_.insert(std::lower_bound(byHeader_.begin(), byHeader_.end(), entry), entry);
    } else {
        std::vector<std::pair<qsizetype, qsizetype>> merged;
        merged.reserve(byHeader_.size() + fresh.size());
        std::merge(byHeader_.begin(), byHeader_.end(), fresh.begin(), fresh.end(), std::back_inserter(merged));
        byHeader_ = std::move(merged);
    }

    // Checkpoints: the ones before the rescan, the rescan's, then the old ones past the meeting point.
    std::vector<Checkpoint> checkpoints(std::make_move_iterator(checkpoints_.begin()), std::make_move_iterator(first));
    for (Checkpoint& c : out.checkpoints)
        if (c.offset < end) checkpoints.push_back(std::move(c));
    if (met != endOfOld) {
        for (auto it = met; it != endOfOld; ++it) {
            Checkpoint moved{it->offset + delta, std::move(it->state)};
            moved.state.lineStart = map(moved.state.lineStart);
            for (Open& o : moved.state.stack) {
                o.lineStart = map(o.lineStart);
                o.terminator = map(o.terminator);
            }
            checkpoints.push_back(std::move(moved));
        }
    }
    checkpoints_ = std::move(checkpoints);
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
