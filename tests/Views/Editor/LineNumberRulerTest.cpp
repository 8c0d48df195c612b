// The gutter as keys are typed above foldable blocks: its picture stays, so it is not painted
// again, and each chevron still folds the block it is drawn beside.
#include <gtest/gtest.h>

#include <QPaintEvent>

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
