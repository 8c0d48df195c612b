// The scaffold dims the window under an overlay as far as the overlay has come in, and draws again
// at each step of the way.
#include <gtest/gtest.h>

#include "Views/PaletteScaffold.h"
#include "ViewsTestSupport.h"

using namespace testing_support;

namespace {

struct Paints : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

TEST(PaletteScaffoldDim, TheWindowUnderTheOverlayDimsAsItComesIn) {
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette white = window.palette();
    white.setColor(QPalette::Window, Qt::white);
    window.setPalette(white);
    window.resize(1040, 720);
    auto* scaffold = new PaletteScaffold([] {}, new QWidget, &window);
    scaffold->resize(window.size());
    window.show();
    Paints paints;
    scaffold->installEventFilter(&paints);
    ASSERT_TRUE(waitUntil([&] { return paints.count > 0; }));

    // Far from the card: the window under it, white, through the dim alone.
    const auto far = [&] { return window.grab().toImage().pixelColor(20, 700).red(); };
    EXPECT_NEAR(far(), 255 * (1 - 0.45), 3);
    paints.count = 0;
    scaffold->setPresence(0.5);
    EXPECT_TRUE(waitUntil([&] { return paints.count > 0; })) << "a step of the way draws again";
    EXPECT_NEAR(far(), 255 * (1 - 0.45 * 0.5), 3);
}

// The card's shadow comes in with the card: faint while the card has barely come, and around the
// card, not at the scaffold's corner, on the way.
TEST(PaletteScaffoldDim, TheCardsShadowComesInWithTheCard) {
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette white = window.palette();
    white.setColor(QPalette::Window, Qt::white);
    window.setPalette(white);
    window.resize(1040, 720);
    auto* content = new QWidget;
    content->setFixedHeight(200);
    auto* scaffold = new PaletteScaffold([] {}, content, &window);
    scaffold->resize(window.size());
    window.show();
    ASSERT_TRUE(waitUntil([&] { return scaffold->card()->height() >= 200; }));
    const QRect card = scaffold->card()->geometry();
    // How much darker than the dim alone a point is.
    const auto shade = [&](QPoint at) {
        const QImage shot = window.grab().toImage();
        return shot.pixelColor(20, 700).red() - shot.pixelColor(at).red();
    };
    const QPoint below(card.center().x(), card.bottom() + 24), corner(card.left() / 2, card.top() / 2);
    EXPECT_GT(shade(below), 15) << "in place, the card casts its shadow below it";
    for (const qreal presence : {0.5, 0.05}) {
        scaffold->setPresence(presence);
        EXPECT_LE(shade(corner), 1) << presence;
    }
    EXPECT_LT(shade(below), 6) << "barely come, the shadow is faint";
}

// While an overlay comes or goes, the scaffold draws the window under it from a picture taken as the
// way began: in place to the pixel, and kept if the overlay leaves before it had settled.
TEST(PaletteScaffoldDim, ThePictureOfTheWindowUnderIsDrawnInPlaceAndKeptForTheWayOut) {
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette white = window.palette();
    white.setColor(QPalette::Window, Qt::white);
    window.setPalette(white);
    window.resize(1040, 720);
    auto* line = new QWidget(&window);  // one dark row of pixels
    line->setAutoFillBackground(true);
    QPalette black = line->palette();
    black.setColor(QPalette::Window, Qt::black);
    line->setPalette(black);
    line->setGeometry(0, 600, 1040, 1);
    auto* scaffold = new PaletteScaffold([] {}, new QWidget, &window);
    scaffold->resize(window.size());
    scaffold->hide();
    window.show();
    Paints paints;
    window.installEventFilter(&paints);
    ASSERT_TRUE(waitUntil([&] { return paints.count > 0; }));
    QCoreApplication::processEvents();

    scaffold->setPresence(0.5);
    scaffold->show();
    ASSERT_TRUE(scaffold->holdWhatLiesUnder());
    line->hide();  // only the picture still holds the row
    const QImage shot = window.grab().toImage();
    EXPECT_LT(shot.pixelColor(20, 600).red(), 40);
    EXPECT_GT(shot.pixelColor(20, 599).red(), 150);
    EXPECT_GT(shot.pixelColor(20, 601).red(), 150);

    // In place, then going again before the hold ended: the way out keeps drawing the picture.
    scaffold->setPresence(1);
    scaffold->settle();
    scaffold->setPresence(0.9);
    Paints scaffoldPaints;
    scaffold->installEventFilter(&scaffoldPaints);
    scaffold->update();
    ASSERT_TRUE(waitUntil([&] { return scaffoldPaints.count > 0; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(scaffold->testAttribute(Qt::WA_OpaquePaintEvent)) << "the picture was let go";
}

} // namespace
