#pragma once
// The rows a laid-out line shows, each with its place, characters and colours. A long line laid out
// again after a key repaints only the rows that now show something else, not all of its rows.
#include <QFont>
#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextLayout>
#include <optional>
#include <vector>

class QTextBlock;

class ShownRows {
public:
    ShownRows() = default;
    // The rows of the block's current layout.
    explicit ShownRows(const QTextBlock& block);

    // Top and bottom, within the block, of the band of rows that show something else than before
    // (top == bottom when none does; bottom is infinite when rows moved, and with them the lines
    // after); nullopt when the whole line must be repainted, as the text's direction lets one row's
    // look depend on the others.
    static std::optional<std::pair<qreal, qreal>> changedBand(const ShownRows& before, const ShownRows& after);

private:
    struct Row {
        qreal x = 0;
        qreal y = 0;
        qreal height = 0;
        qreal width = 0;
        QString text;
        QList<QTextLayout::FormatRange> formats;  // from the row's start
        friend bool operator==(const Row&, const Row&) = default;
    };
    std::vector<Row> rows_;
    QFont font_;
    QTextBlockFormat blockFormat_;
    QTextCharFormat charFormat_;
    bool comparable_ = false;
};
