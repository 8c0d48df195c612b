#include <gtest/gtest.h>

#include <QBackingStore>
#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QTest>
#include <QWidget>

#include "TestSupport.h"
#include "UI/GlassBackdrop.h"
#include "UI/LiquidGlassBackground.h"

namespace {

// Sharp black and white stripes, two pixels each, across the whole widget: the worst backdrop
// for legibility, and one whose blur is plainly measurable.
struct Stripes : QWidget {
    using QWidget::QWidget;
    int shift = 0;
    int faint = 0;  // blue in the black stripes
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0, 0, faint));
        for (int y = shift % 4; y < height(); y += 4) p.fillRect(0, y, width(), 2, Qt::white);
    }
};

// The largest step in brightness between vertically neighbouring pixels inside area.
int largestStep(const QImage& image, const QRect& area) {
    int largest = 0;
    for (int y = area.top(); y < area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); x += 7)
            largest = std::max(largest, std::abs(qGray(image.pixel(x, y)) - qGray(image.pixel(x, y + 1))));
    return largest;
}

struct Scene {
    QWidget window;
    Stripes* behind = new Stripes(&window);
    QWidget* glass = new QWidget(&window);
    Scene() {
        window.resize(300, 200);
        behind->setGeometry(window.rect());
        glass->setGeometry(50, 40, 200, 120);
        liquidGlass(glass, 16);
        window.show();
    }
    const GlassBackdrop& backdrop() const { return glass->findChild<LiquidGlassBackground*>()->backdrop(); }
    QImage onScreen() {
        QCoreApplication::processEvents();
        return static_cast<QImage*>(window.backingStore()->paintDevice())->copy();
    }
};

} // namespace

TEST(GlassBackdrop, WhatLiesBehindTheGlassIsBlurredOnScreenAndInAGrab) {
    Scene scene;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    QCoreApplication::processEvents();
    const QRect inside = scene.glass->geometry().adjusted(20, 20, -20, -20);
    const QRect outside(10, 10, 30, 150);
    for (const QImage& shot : {scene.onScreen(), scene.window.grab().toImage()}) {
        EXPECT_GT(largestStep(shot, outside), 200);  // the stripes themselves
        // Under the glass only a faint ripple of them is left, whatever tint lies over it.
        EXPECT_LT(largestStep(shot, inside), 12);
    }
}

// A grab draws the window afresh: its glass blurs what the grab drew behind it, not the window's
// picture on screen, which may be older.
TEST(GlassBackdrop, AGrabBlursWhatItDrewBehindTheGlassNotWhatTheScreenLastShowed) {
    Scene scene;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    const QPoint centre = scene.glass->geometry().center();
    const int blueOnScreen = qBlue(scene.onScreen().pixel(centre));
    scene.behind->faint = 255;  // blue in the dark stripes, not yet on screen
    const QImage shot = scene.window.grab().toImage();
    EXPECT_GT(qBlue(shot.pixel(centre)), blueOnScreen + 30);
}

TEST(GlassBackdrop, TheRoundedCornersLeaveWhatIsBehindAsItIs) {
    Scene scene;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    const QImage shot = scene.onScreen();
    // Just inside the glass's rectangle but outside its rounded corner the stripes stay sharp.
    EXPECT_GT(largestStep(shot, QRect(scene.glass->x(), scene.glass->y(), 1, 3)), 200);
}

TEST(GlassBackdrop, UnderAnEffectTheGlassReadsTheWindowAndAGrabReadsNothing) {
    Scene scene;
    auto* fade = new QGraphicsOpacityEffect(scene.glass);
    fade->setOpacity(0.99);
    scene.glass->setGraphicsEffect(fade);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    QCoreApplication::processEvents();
    const int made = scene.backdrop().blurCount();
    ASSERT_GE(made, 1);
    // What was read is the stripes where they lie behind the glass (its top is row 40).
    const QImage& sharp = scene.backdrop().sharp();
    for (int y = 0; y < 8; ++y) EXPECT_EQ(qGray(sharp.pixel(30, y)), (y + 40) % 4 < 2 ? 255 : 0) << y;
    // A grab draws the glass into the effect's image with no window painting around it: nothing
    // fresh lies behind, and the glass keeps what it has.
    (void)scene.window.grab();
    EXPECT_EQ(scene.backdrop().blurCount(), made);
}

TEST(GlassBackdrop, ATurnedOrScaledPainterGetsNoBackdrop) {
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    GlassBackdrop backdrop;
    QPainter p(&image);
    p.rotate(10);
    EXPECT_FALSE(backdrop.paint(p, nullptr, QRectF(10, 10, 50, 50), 8));
    p.resetTransform();
    EXPECT_FALSE(backdrop.paint(p, nullptr, QRectF(10, 10, 0, 50), 8));
    EXPECT_TRUE(backdrop.paint(p, nullptr, QRectF(10, 10, 50, 50), 8));
    // A device whose pixels cannot be read (a recording) gives a glass that has read nothing yet
    // nothing to draw.
    QPicture picture;
    QPainter recorder(&picture);
    EXPECT_FALSE(GlassBackdrop().paint(recorder, nullptr, QRectF(10, 10, 50, 50), 8));
}

TEST(GlassBackdrop, BlursAgainOnlyWhenWhatLiesBehindChanges) {
    Scene scene;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    QCoreApplication::processEvents();
    const int made = scene.backdrop().blurCount();
    ASSERT_GE(made, 1);

    // Repaints of the glass or of what it holds, with nothing changed behind: read, not blurred.
    auto* content = new QWidget(scene.glass);
    content->setGeometry(20, 20, 4, 16);
    content->show();
    for (int i = 0; i < 5; ++i) {
        content->update();
        scene.glass->update();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(scene.backdrop().blurCount(), made);

    // The stripes move: the glass shows them where they now are.
    scene.behind->shift = 1;
    scene.behind->update();
    QCoreApplication::processEvents();
    EXPECT_EQ(scene.backdrop().blurCount(), made + 1);
    const QImage& sharp = scene.backdrop().sharp();
    EXPECT_EQ(qGray(sharp.pixel(10, 50 - 40)), 255);  // row 50 of the window is white now
    EXPECT_EQ(qGray(sharp.pixel(10, 52 - 40)), 0);

    // A repaint of part of what is behind reads only that part.
    scene.behind->shift = 2;
    scene.behind->update(QRect(60, 60, 10, 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(scene.backdrop().blurCount(), made + 2);
}

TEST(GlassBackdrop, TheDifferenceCountsOnlyWhatWasPaintedAfresh) {
    QImage basis(40, 20, QImage::Format_ARGB32_Premultiplied);
    basis.fill(QColor(100, 120, 140));
    QImage drifted(60, 40, QImage::Format_RGB32);
    drifted.fill(QColor(103, 120, 135));
    const QRect under(10, 10, 40, 20);
    EXPECT_EQ(GlassBackdrop::difference(basis, drifted, under, QRegion(drifted.rect())), 5);
    drifted.setPixel(49, 29, qRgb(100, 180, 140));
    EXPECT_GE(GlassBackdrop::difference(basis, drifted, under, QRegion(drifted.rect())), GlassBackdrop::kChange);
    // The changed pixel lies outside this repaint.
    EXPECT_EQ(GlassBackdrop::difference(basis, drifted, under, QRegion(10, 10, 20, 20)), 5);
    // A device of another pixel format is read through a converted copy.
    const QImage packed = drifted.convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(GlassBackdrop::difference(basis, packed, under, QRegion(10, 10, 20, 20)), 5);
    EXPECT_GE(GlassBackdrop::difference(basis, packed, under, QRegion(40, 20, 20, 20)), GlassBackdrop::kChange);
}

TEST(GlassBackdrop, ADriftIsBlurredAtMostOnceAnIntervalAndNeverLeftBehind) {
    Scene scene;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    QCoreApplication::processEvents();
    const int made = scene.backdrop().blurCount();
    // A faint change right after a blur waits; once its turn comes the glass repaints by itself,
    // although nothing behind it repaints again.
    scene.behind->faint = 20;
    scene.behind->update();
    QCoreApplication::processEvents();
    EXPECT_EQ(scene.backdrop().blurCount(), made);
    EXPECT_TRUE(testing_support::waitUntil([&] { return scene.backdrop().blurCount() == made + 1; }));
    EXPECT_EQ(qBlue(scene.backdrop().sharp().pixel(1, 3)), 20);  // a black stripe, tinted now
}

TEST(GlassBackdrop, TheBlurKeepsTheEdgesColourAndItsSize) {
    // A red left half and a blue right half: after the blur the far edges keep their colour (no
    // fade to transparent or black), the middle mixes them.
    QImage image(64, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, 32, 32, Qt::red);
    const QImage small = GlassBackdrop::blurred(image, 4, 2);
    ASSERT_EQ(small.size(), QSize(16, 8));
    EXPECT_EQ(small.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(small.pixelColor(15, 7), QColor(Qt::blue));
    EXPECT_GT(qRed(small.pixel(8, 4)), 40);
    EXPECT_GT(qBlue(small.pixel(8, 4)), 40);
    // Sizes that the step does not divide keep their last partial block.
    EXPECT_EQ(GlassBackdrop::blurred(QImage(65, 29, QImage::Format_RGB32), 4, 2).size(), QSize(17, 8));
}

// Settled: the glass shows a blur of all that lies behind it, young enough that no drift check is
// due, so a backdrop moving behind it need not be drawn. Not before the first blur, not once its
// interval has passed, and again after the next blur.
TEST(GlassBackdrop, IsSettledFromABlurUntilItsDriftCheckIsDue) {
    GlassBackdrop unseen;
    EXPECT_FALSE(unseen.isSettled());
    Scene scene;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    ASSERT_TRUE(testing_support::waitUntil([&] { return scene.backdrop().blurCount() > 0; }));
    const int made = scene.backdrop().blurCount();
    EXPECT_TRUE(scene.backdrop().isSettled());
    ASSERT_TRUE(testing_support::waitUntil([&] { return !scene.backdrop().isSettled(); }));
    scene.behind->shift = 1;
    scene.behind->update();
    ASSERT_TRUE(testing_support::waitUntil([&] { return scene.backdrop().blurCount() > made; }));
    EXPECT_TRUE(scene.backdrop().isSettled());
}
