// A long line laid out again repaints the band of rows that show something else: none when nothing
// does, to the bottom when rows came, went or moved, and the whole line when its direction or look
// may make one row depend on the others.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <limits>

#include "Views/Editor/ShownRows.h"

namespace {

constexpr qreal kBottom = std::numeric_limits<qreal>::infinity();

// One line, laid out in rows of ten characters, one under the other.
class Line {
public:
    explicit Line(const QString& text) {
        document_.setPlainText(text);
        layOut();
    }

    QTextBlock block() const { return document_.firstBlock(); }
    QTextLayout* layout() const { return block().layout(); }
    ShownRows rows() const { return ShownRows(block()); }
    int start(int row) const { return layout()->lineAt(row).textStart(); }
    qreal top(int row) const { return layout()->lineAt(row).y(); }
    qreal bottom(int row) const { return top(row) + layout()->lineAt(row).height(); }

    // `gap` pushes the rows from `row` on down.
    void layOut(int gapBefore = -1, qreal gap = 0) {
        QTextLayout* layout = this->layout();
        QTextOption option = layout->textOption();
        option.setWrapMode(QTextOption::WrapAnywhere);
        layout->setTextOption(option);
        layout->beginLayout();
        qreal y = 0;
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setNumColumns(10);
            if (line.lineNumber() == gapBefore) y += gap;
            line.setPosition({0, y});
            y += line.height();
        }
        layout->endLayout();
    }
    void replace(int at, int length, const QString& text) {
        QTextCursor cursor(&document_);
        cursor.setPosition(at);
        cursor.setPosition(at + length, QTextCursor::KeepAnchor);
        cursor.insertText(text);
        layOut();
    }
    void colour(const QList<QTextLayout::FormatRange>& ranges) {
        layout()->setFormats(ranges);
        layOut();
    }
    QTextDocument& document() { return document_; }

private:
    QTextDocument document_;
};

using Band = std::optional<std::pair<qreal, qreal>>;

// Four rows of about ten.
const QString kText = QStringLiteral("(first)abcdefghijklmnopqrstuvwxyz0123456");

QTextLayout::FormatRange red(int start, int length) {
    QTextCharFormat format;
    format.setForeground(Qt::red);
    return {start, length, format};
}

}  // namespace

TEST(ShownRows, OnlyTheRowsThatShowSomethingElseAreRepainted) {
    Line line(kText);
    const ShownRows same = line.rows();
    ASSERT_EQ(line.layout()->lineCount(), 4);
    line.layOut();
    const Band none = ShownRows::changedBand(same, line.rows());
    ASSERT_TRUE(none);
    EXPECT_EQ(none->first, none->second) << "nothing changed";

    line.replace(line.start(2) + 4, 1, QStringLiteral("P"));
    EXPECT_EQ(ShownRows::changedBand(same, line.rows()), Band({line.top(2), line.bottom(2)})) << "a letter of the third row";
    const ShownRows once = line.rows();
    line.replace(line.start(0) + 3, 1, QStringLiteral("I"));
    line.replace(line.start(2) + 3, 1, QStringLiteral("Q"));
    EXPECT_EQ(ShownRows::changedBand(once, line.rows()), Band({line.top(0), line.bottom(2)})) << "the first and the third row";
}

TEST(ShownRows, RowsComeGoneOrMovedRepaintToTheBottom) {
    Line line(kText);
    const ShownRows four = line.rows();
    line.replace(line.start(2), 0, QStringLiteral("0123456789"));
    ASSERT_EQ(line.layout()->lineCount(), 5);
    EXPECT_EQ(ShownRows::changedBand(four, line.rows()), Band({line.top(2), kBottom})) << "a row came";
    const ShownRows five = line.rows();
    line.replace(line.start(1), line.start(3) - line.start(1), {});
    ASSERT_EQ(line.layout()->lineCount(), 3);
    EXPECT_EQ(ShownRows::changedBand(five, line.rows()), Band({line.top(1), kBottom})) << "two rows went";

    Line moved(kText);
    const ShownRows was = moved.rows();
    const qreal second = moved.top(1);
    moved.layOut(1, 5);
    EXPECT_EQ(ShownRows::changedBand(was, moved.rows()), Band({second, kBottom})) << "rows moved down";

    Line taller(kText);
    const ShownRows before = taller.rows();
    const qreal height = taller.bottom(2) - taller.top(2);
    QTextLayout::FormatRange large = red(taller.start(2) + 2, 3);
    large.format.setFontPointSize(taller.document().defaultFont().pointSizeF() * 3);
    taller.colour({large});
    ASSERT_GT(taller.bottom(2) - taller.top(2), height);
    EXPECT_EQ(ShownRows::changedBand(before, taller.rows()), Band({taller.top(2), kBottom})) << "a row grew";
}

TEST(ShownRows, ColoursRepaintTheRowsTheyChangeIn) {
    Line line(kText);
    const ShownRows plain = line.rows();
    line.colour({red(line.start(1), line.start(2) - line.start(1))});  // exactly the second row
    EXPECT_EQ(ShownRows::changedBand(plain, line.rows()), Band({line.top(1), line.bottom(1)}));
    const ShownRows second = line.rows();
    const int half = line.start(2) - 5;
    line.colour({red(half, 10)});  // half of the second row and half of the third
    EXPECT_EQ(ShownRows::changedBand(second, line.rows()), Band({line.top(1), line.bottom(2)}));
    const ShownRows across = line.rows();
    line.colour({red(half, 5)});  // the second row keeps its half
    EXPECT_EQ(ShownRows::changedBand(across, line.rows()), Band({line.top(2), line.bottom(2)}));
}

TEST(ShownRows, TheWholeLineIsRepaintedWhenOneRowMayDependOnAnother) {
    Line line(kText);
    const ShownRows before = line.rows();

    Line hebrew(QStringLiteral("abc \u05E9\u05DC\u05D5\u05DD def ghijklmnopqrstuvwxyz"));
    EXPECT_FALSE(ShownRows::changedBand(hebrew.rows(), hebrew.rows())) << "right-to-left letters";

    line.layout()->setPreeditArea(3, QStringLiteral("xy"));
    line.layOut();
    EXPECT_FALSE(ShownRows::changedBand(before, line.rows())) << "text being composed";
    line.layout()->setPreeditArea(-1, {});
    line.layOut();
    ASSERT_TRUE(ShownRows::changedBand(before, line.rows()));

    QTextCursor cursor(&line.document());
    QTextBlockFormat indented;
    indented.setIndent(1);
    cursor.setBlockFormat(indented);
    line.layOut();
    EXPECT_FALSE(ShownRows::changedBand(before, line.rows())) << "another block format";

    Line other(kText);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCursor(&other.document()).setBlockCharFormat(bold);
    other.layOut();
    EXPECT_FALSE(ShownRows::changedBand(before, other.rows())) << "another character format";

    Line larger(kText);
    QFont font = larger.document().defaultFont();
    font.setPointSizeF(font.pointSizeF() * 2);
    larger.layout()->setFont(font);
    larger.layOut();
    EXPECT_FALSE(ShownRows::changedBand(before, larger.rows())) << "another font";
}
