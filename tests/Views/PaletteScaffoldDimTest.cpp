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

} // namespace
