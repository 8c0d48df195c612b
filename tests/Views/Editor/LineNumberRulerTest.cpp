// The gutter as keys are typed above foldable blocks: its picture stays, so it is not painted
// again, and each chevron still folds the block it is drawn beside.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QPaintEvent>
#include <functional>

#include "EditorFixture.h"

namespace {

struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

TEST(LineNumberRuler, KeysAboveFoldableBlocksRepaintNothingAndTheChevronsStillFoldTheirBlocks) {
    QString text;
    for (int i = 0; i < 30; ++i) text += QStringLiteral("if x%1 {\n  a\n}\n").arg(i);
    EditorFixture f(text);
    LineNumberRuler* ruler = f.view->ruler();
    ruler->grab();
    ASSERT_GE(ruler->chevronHits().size(), 2);
    f.select(3);
    EditorFixture::settle();
    PaintCount painted;
    ruler->installEventFilter(&painted);
    f.type(QStringLiteral("yz"));
    f.settleColours();
    EXPECT_EQ(painted.paints, 0);

    const LineNumberRuler::ChevronHit second = ruler->chevronHits()[1];
    EXPECT_EQ(second.headerStart, f.text().indexOf(QStringLiteral("if x1 ")));
    EXPECT_FALSE(second.folded);
    QTest::mouseClick(ruler, Qt::LeftButton, {}, second.rect.center().toPoint());
    EditorFixture::settle();
    ruler->grab();
    ASSERT_GE(ruler->chevronHits().size(), 2);
    EXPECT_FALSE(ruler->chevronHits()[0].folded);
    EXPECT_TRUE(ruler->chevronHits()[1].folded);
}

namespace {

// Paints of the ruler until it has painted once more; the deadline only bounds a hang.
int paintsAfter(EditorFixture& f, PaintCount& painted, const std::function<void()>& change) {
    painted.paints = 0;
    change();
    (void)QTest::qWaitFor([&] { return painted.paints > 0; }, 10000);
    EditorFixture::settle();
    return painted.paints;
}

} // namespace

// Every change of the picture is painted: the caret on another line, a line added above, and a
// chevron that moves to another line while every number stays as it was.
TEST(LineNumberRuler, WhatChangesThePictureRepaintsIt) {
    QString text = QStringLiteral("a {\n  b\nx\nc\n  d\n}\n");
    for (int i = 0; i < 6; ++i) text += QStringLiteral("line %1\n").arg(i);
    EditorFixture f(text);
    LineNumberRuler* ruler = f.view->ruler();
    f.select(f.text().indexOf(u'x'));
    EditorFixture::settle();
    ruler->grab();
    ASSERT_EQ(ruler->chevronHits().size(), 1);
    EXPECT_EQ(ruler->chevronHits()[0].headerStart, 0);
    PaintCount painted;
    ruler->installEventFilter(&painted);

    EXPECT_GT(paintsAfter(f, painted, [&] { f.select(f.text().indexOf(QStringLiteral("line 2"))); }), 0);
    EXPECT_GT(paintsAfter(f, painted, [&] { f.select(f.text().indexOf(u'x')); }), 0);

    // In one turn: the block's opener goes from the first line to the fourth, the caret comes back.
    EXPECT_GT(paintsAfter(f, painted, [&] {
        f.select(f.text().indexOf(u'{'), 1);
        f.backspace();
        f.select(f.text().indexOf(QStringLiteral("c\n")) + 1);
        f.type(QStringLiteral("{"));
        f.key(Qt::Key_Delete);  // the closer put in beside it
        f.select(f.text().indexOf(u'x'));
    }), 0);
    ASSERT_EQ(ruler->chevronHits().size(), 1) << qPrintable(f.text());
    EXPECT_EQ(ruler->chevronHits()[0].headerStart, f.text().indexOf(QStringLiteral("c{")));

    EXPECT_GT(paintsAfter(f, painted, [&] {
        f.select(0);
        f.enter();
    }), 0);
    EXPECT_EQ(ruler->drawnNumbers().size(), 14);
}

// Numbers of one, two and more digits end at the same place, however many digits were measured first.
TEST(LineNumberRuler, NumbersOfEveryWidthAreRightAligned) {
    EditorFixture f(QStringLiteral("x\n").repeated(120));
    LineNumberRuler* ruler = f.view->ruler();
    f.view->verticalScrollBar()->setValue(f.view->verticalScrollBar()->maximum());
    EditorFixture::settle();
    ruler->grab();
    f.view->verticalScrollBar()->setValue(0);
    EditorFixture::settle();
    ruler->grab();
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    const QFontMetricsF metrics(font);
    ASSERT_GE(ruler->drawnNumbers().size(), 10);
    const LineNumberRuler::DrawnNumber first = ruler->drawnNumbers()[0];
    const qreal end = first.left + metrics.horizontalAdvance(QString::number(first.number));
    for (const LineNumberRuler::DrawnNumber& n : ruler->drawnNumbers())
        EXPECT_NEAR(n.left + metrics.horizontalAdvance(QString::number(n.number)), end, 0.01) << n.number;
}
