#include "Editor/Outdent.h"

#include <QList>

#include "Platform/Lines.h"

namespace Outdent {

namespace {
struct Cut {
    qsizetype lineStart;
    qsizetype length;
};

// Where an offset of the old text lands once the cuts are made.
qsizetype follow(qsizetype offset, const QList<Cut>& cuts) {
    qsizetype removed = 0;
    for (const Cut& cut : cuts) {
        if (offset < cut.lineStart) break;
        removed += std::min(cut.length, offset - cut.lineStart);
    }
    return offset - removed;
}
} // namespace

std::optional<Change> of(QStringView text, TextRange selection) {
    const Lines::Range first = Lines::containing(text, selection.location);
    // A selection that ends at a line's very start does not take that line along.
    qsizetype lastOffset = selection.end();
    if (selection.length > 0 && lastOffset > first.start && Lines::lineStart(text, lastOffset) == lastOffset) --lastOffset;
    const Lines::Range last = Lines::containing(text, std::max(lastOffset, selection.location));

    Change change{{first.start, last.contentEnd - first.start}, {}, {}};
    change.replacement.reserve(change.range.length);
    QList<Cut> cuts;
    for (qsizetype at = first.start;;) {
        const Lines::Range line = Lines::containing(text, at);
        qsizetype cut = 0;
        if (line.start < line.contentEnd && text[line.start] == u'\t') cut = 1;
        else
            while (cut < kSpacesPerLevel && line.start + cut < line.contentEnd && text[line.start + cut] == u' ') ++cut;
        if (cut > 0) cuts.append({line.start, cut});
        change.replacement += text.sliced(line.start + cut, std::min(line.end, last.contentEnd) - line.start - cut);
        if (line.end >= last.contentEnd || line.end == line.contentEnd) break;
        at = line.end;
    }
    if (cuts.isEmpty()) return std::nullopt;
    const qsizetype from = follow(selection.location, cuts);
    change.selection = {from, follow(selection.end(), cuts) - from};
    return change;
}

} // namespace Outdent
