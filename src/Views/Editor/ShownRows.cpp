#include "Views/Editor/ShownRows.h"

#include <QTextBlock>
#include <algorithm>
#include <limits>

namespace {

// Text whose rows each look the same whatever the others hold: no right-to-left letters, Arabic
// digits or direction marks, whose resolved order may reach across rows.
bool leftToRightOnly(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        switch (c.direction()) {
        case QChar::DirL:
        case QChar::DirEN:
        case QChar::DirES:
        case QChar::DirET:
        case QChar::DirCS:
        case QChar::DirNSM:
        case QChar::DirBN:
        case QChar::DirB:
        case QChar::DirS:
        case QChar::DirWS:
        case QChar::DirON: return true;
        default: return false;
        }
    });
}

} // namespace

ShownRows::ShownRows(const QTextBlock& block) {
    const QTextLayout* layout = block.layout();
    if (!layout) return;
    const QString text = block.text();
    comparable_ = layout->preeditAreaText().isEmpty() && leftToRightOnly(text);
    if (!comparable_) return;
    font_ = layout->font();
    blockFormat_ = block.blockFormat();
    charFormat_ = block.charFormat();
    const QList<QTextLayout::FormatRange> formats = layout->formats();
    rows_.reserve(layout->lineCount());
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const int start = line.textStart();
        const int end = start + line.textLength();
        Row row{line.x(), line.y(), line.height(), line.naturalTextWidth(), text.mid(start, end - start), {}};
        for (const QTextLayout::FormatRange& range : formats) {
            const int from = qMax(range.start, start);
            const int to = qMin(range.start + range.length, end);
            if (to > from) row.formats.append({from - start, to - from, range.format});
        }
        rows_.push_back(std::move(row));
    }
}

std::optional<std::pair<qreal, qreal>> ShownRows::changedBand(const ShownRows& before, const ShownRows& after) {
    if (!before.comparable_ || !after.comparable_ || before.font_ != after.font_ ||
        before.blockFormat_ != after.blockFormat_ || before.charFormat_ != after.charFormat_)
        return std::nullopt;
    std::optional<std::pair<qreal, qreal>> band;
    const auto include = [&band](qreal top, qreal bottom) {
        if (!band) band = {top, bottom};
        band = std::pair{qMin(band->first, top), qMax(band->second, bottom)};
    };
    for (size_t i = 0; i < qMax(before.rows_.size(), after.rows_.size()); ++i) {
        const Row* was = i < before.rows_.size() ? &before.rows_[i] : nullptr;
        const Row* now = i < after.rows_.size() ? &after.rows_[i] : nullptr;
        // A row come, gone or of another height moves the rest of the line and the lines after it.
        if (!was || !now || was->y != now->y || was->height != now->height) {
            include(was ? was->y : now->y, std::numeric_limits<qreal>::infinity());
            break;
        }
        if (*was != *now) include(now->y, now->y + now->height);
    }
    return band ? band : std::pair<qreal, qreal>{0, 0};
}
