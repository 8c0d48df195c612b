// The palette's card casts its shadow on the scaffold: when the card changes size, the scaffold
// draws over where the old shadow lay, or a dark ghost of the old size stays on screen.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QWidget>

#include "UI/Blur.h"
#include "Views/PaletteScaffold.h"
#include "ViewsTestSupport.h"

using namespace testing_support;

namespace {

class PaintedRegion : public QObject {
public:
    explicit PaintedRegion(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }

private:
    QWidget* widget_;
};

} // namespace

TEST(PaletteScaffold, ACardThatShrinksHasItsOldShadowDrawnOver) {
    auto* content = new QWidget;
    content->setFixedHeight(400);
    PaletteScaffold scaffold([] {}, content);
    PaintedRegion region(&scaffold);
    scaffold.resize(1040, 720);
    scaffold.show();
    ASSERT_TRUE(waitUntil([&] { return scaffold.card()->height() >= 400 && !region.painted.isEmpty(); }));

    const QRect before = scaffold.card()->geometry();
    region.painted = QRegion();
    content->setFixedHeight(120);
    ASSERT_TRUE(waitUntil([&] { return scaffold.card()->height() < 400 && !region.painted.isEmpty(); }));
    // Just below the old card, inside the band its shadow reached, and clear of the new card.
    const QPoint oldShadow(before.center().x(), before.bottom() + Blur::margin(40) / 2);
    ASSERT_FALSE(scaffold.card()->geometry().adjusted(0, 0, 0, Blur::margin(40)).contains(oldShadow));
    EXPECT_TRUE(region.painted.contains(oldShadow));
}
