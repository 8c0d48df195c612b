#include "Editor/LongLineCheck.h"

#include <atomic>

#include "Editor/ExactText.h"
#include "Editor/LinePieces.h"
#include "Platform/Lines.h"
#include "Platform/ParallelChunks.h"

namespace LongLineCheck {

namespace {

// Looks at the lines whose first lengthening part is in [first, last): a line's parts past `last`
// are taken with it, so a line whose parts two runs share is judged whole by the run it starts in.
bool growsIn(const ExactText& text, const QList<EditHistory::Part>& parts, qsizetype first, qsizetype last) {
    // The parts of a long text lie far apart: the line of each is asked of memory a few parts ahead
    // of its turn, so that those waits overlap rather than follow one another.
    constexpr qsizetype kReadAhead = 16;
    qsizetype asked = first;
    for (qsizetype i = first; i < last;) {
        for (asked = qMax(asked, i + 1); asked < qMin(parts.size(), i + kReadAhead); ++asked)
            __builtin_prefetch(text.run(parts[asked].location).data());
        if (parts[i].inserted.size() <= parts[i].removed.size()) {
            ++i;
            continue;
        }
        const qsizetype at = parts[i].location, start = text.lineStart(at);
        // Where the line's terminator starts (lineEnd() is past it).
        qsizetype end = text.lineEnd(at, text.size());
        while (end > at && Lines::isBreak(text.at(end - 1).unicode())) --end;
        qsizetype length = end - start;
        for (; i < parts.size() && parts[i].location <= end; ++i)
            length += parts[i].inserted.size() - parts[i].removed.size();
        if (length >= LinePieces::kMaxPiece) return true;
    }
    return false;
}

} // namespace

bool growsALineLong(const ExactText& text, const QList<EditHistory::Part>& parts, qsizetype partsPerRun) {
    partsPerRun = qMax<qsizetype>(1, partsPerRun);
    const qsizetype runs = (parts.size() + partsPerRun - 1) / partsPerRun;
    if (runs <= 1) return growsIn(text, parts, 0, parts.size());
    std::atomic<bool> grows{false};
    ParallelChunks::run(int(runs), ParallelChunks::threadCount(), [&](int, int k) {
        if (grows.load(std::memory_order_relaxed)) return;
        const qsizetype first = k * partsPerRun, last = qMin(parts.size(), first + partsPerRun);
        if (growsIn(text, parts, first, last)) grows.store(true, std::memory_order_relaxed);
    });
    return grows.load();
}

} // namespace LongLineCheck
