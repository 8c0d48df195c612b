#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdint>
#include <cstring>

#include "SteppedClock.h"
#include "TestSupport.h"
#include "UI/AuroraBackground.h"
#include "UI/AuroraRenderer.h"
#include "UI/NoiseOverlay.h"
#include "UI/Timeline.h"
#include "UI/WindowCoverage.h"

namespace {
QImage renderOver(const QColor& behind, double intensity, QSize size = QSize(800, 600), double now = 0) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(behind);
    AuroraRenderer renderer;
    QPainter p(&img);
    renderer.render(p, QRectF(QPointF(0, 0), size), now, intensity);
    return img;
}
int brightness(QRgb c) { return qRed(c) + qGreen(c) + qBlue(c); }
} // namespace

TEST(AuroraRenderer, IntensityIsTheOpacityOfTheWholeBackdrop) {
    const QColor grey(200, 200, 200);
    const QImage none = renderOver(grey, 0);
    EXPECT_EQ(none.pixel(400, 300), grey.rgb());
    EXPECT_EQ(none.pixel(0, 0), grey.rgb());

    // At full intensity the black ground hides what is behind completely.
    const QImage red = renderOver(Qt::red, 1), blue = renderOver(Qt::blue, 1);
    for (QPoint pt : {QPoint(0, 0), QPoint(400, 300), QPoint(799, 599)}) EXPECT_EQ(red.pixel(pt), blue.pixel(pt));

    // At half intensity what lies behind shows through the ground as well as the blobs.
    const QImage half = renderOver(Qt::white, 0.5);
    const QImage full = renderOver(Qt::white, 1);
    EXPECT_NEAR(qRed(half.pixel(0, 0)), (255 + qRed(full.pixel(0, 0))) / 2, 3);

    // Colour lies near the centre, the vignette darkens the corners.
    EXPECT_GT(brightness(full.pixel(400, 300)), 3 * 40);
    EXPECT_LT(brightness(full.pixel(0, 0)), brightness(full.pixel(400, 300)));
}

namespace {

struct CountingWidget : QWidget {
    using QWidget::QWidget;
    int paints = 0;
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// Runs clock frames until the backdrop has moved to a new moment (frames hold for a moment after
// a key press, which an earlier test may have sent), then lets the repaint happen. With clock, the
// new moment is one backdrop frame after the last.
bool runFrame(const AuroraBackground& aurora, SteppedClock* clock = nullptr) {
    if (clock) clock->time += aurora.timeline().frameDivisor() * Timeline::kFrameIntervalMs / 1000.0;
    const double before = aurora.frameTime();
    const bool moved = testing_support::waitUntil([&] {
        Timeline::advanceClock();
        return aurora.frameTime() != before;
    });
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return moved;
}

} // namespace

TEST(AuroraBackground, ATickRepaintsOnlyWhatOpaqueViewsLeaveUncovered) {
    QWidget window;
    window.resize(400, 300);
    auto* aurora = new AuroraBackground(0.5, &window);
    aurora->setGround(Qt::black);
    aurora->setGeometry(window.rect());
    // An opaque editor, and a translucent column holding an opaque list.
    auto* editor = new CountingWidget(&window);
    editor->setAttribute(Qt::WA_OpaquePaintEvent);
    editor->setGeometry(200, 0, 200, 300);
    auto* column = new CountingWidget(&window);
    column->setGeometry(0, 0, 200, 300);
    auto* list = new CountingWidget(column);
    list->setAutoFillBackground(true);
    list->setGeometry(0, 100, 200, 100);
    aurora->lower();
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return aurora->timeline().isRunning(); }));

    EXPECT_EQ(aurora->exposedRegion(), QRegion(0, 0, 200, 300) - QRegion(0, 100, 200, 100));
    QCoreApplication::processEvents();
    const int editorPaints = editor->paints, listPaints = list->paints, columnPaints = column->paints;
    ASSERT_TRUE(runFrame(*aurora));
    ASSERT_TRUE(runFrame(*aurora));
    EXPECT_GT(column->paints, columnPaints);  // it lies over the backdrop where the backdrop shows
    EXPECT_EQ(editor->paints, editorPaints);
    EXPECT_EQ(list->paints, listPaints);

    // Hidden behind opaque views everywhere, the backdrop asks for no repaint at all.
    column->setAutoFillBackground(true);
    EXPECT_TRUE(aurora->exposedRegion().isEmpty());
}

// A repaint of part of the backdrop looks only at the widgets over that part: rows of a long list
// elsewhere in the window, or inside an opaque view, are not walked at every frame.
TEST(AuroraBackground, APaintLooksOnlyAtTheWidgetsOverWhatItPaints) {
    const auto visitsForRows = [](int rows) {
        QWidget window;
        window.resize(400, 300);
        auto* aurora = new AuroraBackground(0.5, &window);
        aurora->setGround(Qt::black);
        aurora->setGeometry(window.rect());
        aurora->setResting(true);
        auto* column = new CountingWidget(&window);  // translucent: the backdrop shows between its rows
        column->setGeometry(0, 0, 150, 300);
        auto* editor = new CountingWidget(&window);
        editor->setAttribute(Qt::WA_OpaquePaintEvent);
        editor->setGeometry(150, 0, 150, 300);
        for (int i = 0; i < rows; ++i) {
            (new CountingWidget(column))->setGeometry(0, (i * 7) % 280, 150, 18);
            (new CountingWidget(editor))->setGeometry(0, (i * 7) % 280, 150, 18);
        }
        aurora->lower();
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window, 60000));
        QCoreApplication::processEvents();
        const qint64 before = aurora->widgetsVisited();
        aurora->repaint(QRect(320, 10, 60, 60));
        return aurora->widgetsVisited() - before;
    };
    const qint64 few = visitsForRows(10), many = visitsForRows(1000);
    EXPECT_GT(few, 0);
    EXPECT_LE(few, 2);
    EXPECT_EQ(many, few);
}

// The blobs drift across the middle of a large window; its edges stay black under the vignette.
// A frame rebuilds only the pixels that differ from the frame before, and the screen still shows a
// whole frame of one moment.
TEST(AuroraBackground, AFrameRebuildsOnlyWhatMovedAndShowsOneMoment) {
    SteppedClock clock;
    QWidget window;
    window.resize(2560, 1440);
    auto* aurora = new AuroraBackground(1, &window);
    aurora->setGeometry(window.rect());
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return aurora->timeline().isRunning(); }));
    ASSERT_TRUE(runFrame(*aurora, &clock));
    const qint64 whole = qint64(window.width()) * window.height();
    for (int frame = 0; frame < 3; ++frame) {
        const qint64 before = aurora->renderer().pixelsBuilt();
        ASSERT_TRUE(runFrame(*aurora, &clock));
        const qint64 built = aurora->renderer().pixelsBuilt() - before;
        EXPECT_GT(built, 0);
        EXPECT_LT(built, whole / 2) << "frame " << frame;
    }
    QImage shown = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    QImage full(shown.size(), QImage::Format_RGB32);
    full.setDevicePixelRatio(shown.devicePixelRatio());
    {
        QPainter p(&full);
        AuroraRenderer().paint(p, QRegion(window.rect()), window.size(), aurora->frameTime(), 1);
    }
    full.setDevicePixelRatio(1);
    shown.setDevicePixelRatio(1);
    EXPECT_TRUE(shown == full);
}

// Outside what advancing a frame reports as changed, the new frame is the old one pixel for pixel,
// at a fractional pixel ratio too; over a fainter backdrop a new look changes all of it.
TEST(AuroraRenderer, AdvancingReportsEveryPixelThatChanges) {
    for (const qreal dpr : {1.0, 1.5}) {
        const QSize size(1800, 1000);
        const auto frameAt = [&](double now) {
            QImage img(size * dpr, QImage::Format_RGB32);
            img.setDevicePixelRatio(dpr);
            QPainter p(&img);
            AuroraRenderer().paint(p, QRegion(QRect(QPoint(0, 0), size)), size, now, 1);
            return img;
        };
        AuroraRenderer renderer;
        EXPECT_EQ(renderer.advance(size, dpr, 1000, 1), QRegion(QRect(QPoint(0, 0), size)));  // nothing built yet
        QImage scratch(size * dpr, QImage::Format_RGB32);
        scratch.setDevicePixelRatio(dpr);
        {
            QPainter p(&scratch);
            renderer.paint(p, QRegion(0, 0, 10, 10), size, 1000, 1);
        }
        const QRegion changed = renderer.advance(size, dpr, 1000 + 4 / 30.0, 1);
        EXPECT_FALSE(changed.isEmpty());
        EXPECT_NE(changed, QRegion(QRect(QPoint(0, 0), size)));
        const QImage before = frameAt(1000), after = frameAt(1000 + 4 / 30.0);
        int differ = 0, outside = 0;
        for (int y = 0; y < before.height(); ++y)
            for (int x = 0; x < before.width(); ++x) {
                if (before.pixel(x, y) == after.pixel(x, y)) continue;
                ++differ;
                if (!changed.contains(QPoint(int(x / dpr), int(y / dpr)))) ++outside;
            }
        EXPECT_GT(differ, 0);
        EXPECT_EQ(outside, 0) << "at " << dpr;
        EXPECT_TRUE(renderer.advance(size, dpr, 1000 + 4 / 30.0, 1).isEmpty());  // the same moment again
        EXPECT_EQ(renderer.advance(size, dpr, 1000 + 4 / 30.0, 0.5, Qt::black), QRegion(QRect(QPoint(0, 0), size)));
        const QSize wider = size + QSize(10, 0);  // and so does a new size at the same moment
        EXPECT_EQ(renderer.advance(wider, dpr, 1000 + 4 / 30.0, 0.5, Qt::black), QRegion(QRect(QPoint(0, 0), wider)));
    }
}

TEST(AuroraBackground, OpaqueOverAKnownGroundAndSlowerWhenFainter) {
    AuroraBackground view(0.5);
    EXPECT_FALSE(view.testAttribute(Qt::WA_OpaquePaintEvent));  // what is behind shows through
    view.setGround(Qt::black);
    EXPECT_TRUE(view.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_TRUE(AuroraBackground(1).testAttribute(Qt::WA_OpaquePaintEvent));
    // Fainter runs slower; the intensity is clamped, and the frame rate follows it.
    EXPECT_EQ(view.timeline().frameDivisor(), 6);
    view.setIntensity(3);
    EXPECT_DOUBLE_EQ(view.intensity(), 1);
    EXPECT_EQ(view.timeline().frameDivisor(), 4);
}

TEST(Timeline, TicksOnlyWhileItsWidgetCanBeSeen) {
    QWidget window;
    window.resize(200, 100);
    auto* child = new QWidget(&window);
    Timeline timeline(child);
    int ticks = 0;
    QObject::connect(&timeline, &Timeline::tick, [&] { ++ticks; });
    EXPECT_FALSE(timeline.isRunning());
    Timeline::advanceClock();
    EXPECT_EQ(ticks, 0);

    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));
    ASSERT_TRUE(testing_support::waitUntil([&] {
        Timeline::advanceClock();
        return ticks == 1;
    }));

    // Minimized: no frame at all, and the clock stops when nothing else runs.
    window.showMinimized();
    ASSERT_TRUE(testing_support::waitUntil([&] { return !timeline.isRunning(); }));
    Timeline::advanceClock();
    EXPECT_EQ(ticks, 1);
    window.showNormal();
    ASSERT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));

    // Wholly covered by another window, as the X server reports it: no frame either.
    const auto report = [&](std::uint8_t state) {
        std::uint8_t event[32] = {15};  // VisibilityNotify
        const auto id = std::uint32_t(window.windowHandle()->winId());
        std::memcpy(event + 4, &id, sizeof id);
        event[8] = state;
        WindowCoverage::shared().nativeEventFilter("xcb_generic_event_t", event, nullptr);
    };
    report(2);  // fully obscured
    EXPECT_FALSE(timeline.isRunning());
    Timeline::advanceClock();
    EXPECT_EQ(ticks, 1);
    report(1);  // partly obscured: some of it shows
    EXPECT_TRUE(timeline.isRunning());
    report(2);
    report(0);  // unobscured
    EXPECT_TRUE(timeline.isRunning());

    // Held by its owner (dimmed under an overlay): no frame until it lets go, whatever shows.
    timeline.setHeld(true);
    EXPECT_FALSE(timeline.isRunning());
    Timeline::advanceClock();
    EXPECT_EQ(ticks, 1);
    window.showMinimized();
    window.showNormal();
    QCoreApplication::processEvents();
    EXPECT_FALSE(timeline.isRunning());
    timeline.setHeld(false);
    ASSERT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));

    child->hide();
    EXPECT_FALSE(timeline.isRunning());
    EXPECT_FALSE(Timeline::clockIsActive());
    Timeline::advanceClock();
    EXPECT_EQ(ticks, 1);
}

TEST(Timeline, HoldsFramesWhileTheUserTypes) {
    QWidget window;
    Timeline timeline(&window);
    int ticks = 0;
    QObject::connect(&timeline, &Timeline::tick, [&] { ++ticks; });
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&window, &key);
    Timeline::advanceClock();
    EXPECT_EQ(ticks, 0);  // the keystroke goes first; the frame waits for a pause in typing
}

TEST(AuroraRenderer, PaintsTheSameMomentFromItsCacheAndWithoutSeams) {
    const QSize size(640, 400);
    // Shown through (no ground), the frame is kept: the same moment again is a copy.
    {
        AuroraRenderer renderer;
        QImage img(size, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        renderer.paint(p, QRegion(0, 0, 300, 400), size, 1000, 0.5);
        EXPECT_EQ(renderer.pixelsBuilt(), 300 * 400);
        renderer.paint(p, QRegion(0, 0, 300, 400), size, 1000, 0.5);
        EXPECT_EQ(renderer.pixelsBuilt(), 300 * 400);
        renderer.paint(p, QRegion(0, 0, 300, 400), size, 1001, 0.5);
        EXPECT_EQ(renderer.pixelsBuilt(), 2 * 300 * 400);
    }
    // Painted in pieces or at once, through a kept frame or straight over a ground: no seams.
    for (const QColor& ground : {QColor(), QColor(Qt::black)}) {
        QImage pieces(size, QImage::Format_RGB32), whole(size, QImage::Format_RGB32);
        pieces.fill(Qt::black);
        whole.fill(Qt::black);
        {
            AuroraRenderer renderer;
            QPainter p(&pieces);
            renderer.paint(p, QRegion(0, 0, 300, 400), size, 1000, 0.5, ground);
            p.translate(300, 0);  // a painter for a view further right, as the window's painter is
            p.setClipRect(QRect(0, 0, 340, 400));
            p.translate(-300, 0);
            renderer.paint(p, QRegion(300, 0, 340, 400), size, 1000, 0.5, ground);
        }
        {
            AuroraRenderer renderer;
            QPainter p(&whole);
            renderer.paint(p, QRegion(0, 0, 640, 400), size, 1000, 0.5, ground);
        }
        EXPECT_EQ(pieces, whole) << ground.isValid();
    }
    // Written straight in strips of every width from 1 to 11 pixels, at a fractional scale, rows are
    // the same as written whole: no pixel is skipped or doubled where a row piece starts or ends.
    {
        const qreal dpr = 1.5;
        QImage strips(size * dpr, QImage::Format_RGB32), whole(size * dpr, QImage::Format_RGB32);
        strips.setDevicePixelRatio(dpr);
        whole.setDevicePixelRatio(dpr);
        strips.fill(Qt::red);
        whole.fill(Qt::blue);
        AuroraRenderer renderer;
        {
            QPainter p(&strips);
            for (int x = 0, w = 1; x < size.width(); x += w, w = w % 11 + 1)
                renderer.paint(p, QRegion(x, 0, w, size.height()), size, 1000, 1);
        }
        {
            QPainter p(&whole);
            renderer.paint(p, QRegion(0, 0, size.width(), size.height()), size, 1000, 1);
        }
        EXPECT_EQ(strips, whole);
    }

    // Over a known black ground the finished colours match drawing the backdrop at half strength over black.
    QImage over(size, QImage::Format_RGB32), flat(size, QImage::Format_RGB32);
    over.fill(Qt::black);
    flat.fill(Qt::white);
    {
        QPainter p(&over);
        AuroraRenderer().paint(p, QRegion(0, 0, 640, 400), size, 1000, 0.5);
        QPainter q(&flat);
        AuroraRenderer().paint(q, QRegion(0, 0, 640, 400), size, 1000, 0.5, Qt::black);
    }
    int worst = 0;
    for (int y = 0; y < size.height(); y += 7)
        for (int x = 0; x < size.width(); x += 7)
            worst = std::max({worst, std::abs(qRed(over.pixel(x, y)) - qRed(flat.pixel(x, y))),
                              std::abs(qBlue(over.pixel(x, y)) - qBlue(flat.pixel(x, y)))});
    EXPECT_LE(worst, 2);
}

// What shows of the backdrop beside an editor is a narrow strip: a frame scales along x only the
// columns it paints, not whole rows, and pieces painted in any order match the frame drawn whole.
TEST(AuroraRenderer, WidensOnlyTheColumnsItPaints) {
    const QSize size(1800, 600);
    const int layerRows = size.height() / AuroraRenderer::kBlobLayerScale + 2;
    for (const QColor& ground : {QColor(), QColor(Qt::black)}) {
        AuroraRenderer renderer;
        QImage img(size, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        renderer.paint(p, QRegion(0, 0, 200, 600), size, 1000, 0.5, ground);
        const qint64 first = renderer.pixelsWidened();
        EXPECT_GT(first, 0);
        EXPECT_LE(first, qint64(layerRows) * 200) << ground.isValid();
        renderer.paint(p, QRegion(0, 0, 200, 600), size, 1000 + 4 / 30.0, 0.5, ground);
        EXPECT_LE(renderer.pixelsWidened() - first, qint64(layerRows) * 200) << ground.isValid();
    }

    const qreal dpr = 1.5;
    QImage pieces(size * dpr, QImage::Format_RGB32), whole(size * dpr, QImage::Format_RGB32);
    pieces.setDevicePixelRatio(dpr);
    whole.setDevicePixelRatio(dpr);
    pieces.fill(Qt::red);
    whole.fill(Qt::blue);
    AuroraRenderer renderer;
    {
        QPainter p(&pieces);
        // Right of what was widened, left of it, then the gaps between.
        for (const QRect& r : {QRect(900, 0, 100, 600), QRect(1500, 0, 300, 600), QRect(0, 0, 120, 600),
                               QRect(120, 0, 780, 600), QRect(1000, 0, 500, 600)})
            renderer.paint(p, QRegion(r), size, 1000, 1);
    }
    {
        QPainter p(&whole);
        AuroraRenderer().paint(p, QRegion(QRect(QPoint(0, 0), size)), size, 1000, 1);
    }
    EXPECT_EQ(pieces, whole);
}

TEST(AuroraRenderer, WritesStraightOnlyWhereItIsAskedToPaint) {
    // Straight onto the painter's image, inside a view placed at (50, 30): nothing outside its region changes.
    const QSize size(200, 100);
    QImage window(400, 300, QImage::Format_RGB32);
    window.fill(Qt::white);
    QImage shared = window;  // another holder of the same pixels keeps its own
    {
        QPainter p(&window);
        p.translate(50, 30);
        AuroraRenderer().paint(p, QRegion(10, 10, 50, 40), size, 1000, 1);
    }
    EXPECT_EQ(shared.pixel(70, 50), qRgb(255, 255, 255));
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            const bool inside = QRect(60, 40, 50, 40).contains(x, y);
            ASSERT_EQ(window.pixel(x, y) == qRgb(255, 255, 255), !inside) << x << "," << y;
        }
}

TEST(NoiseOverlay, GrainMaskSoftLightsOnlyTheSpecks) {
    EXPECT_DOUBLE_EQ(NoiseOverlay::softLight(0.3, 0), 0.3);
    EXPECT_NEAR(NoiseOverlay::softLight(0.25, 1), 0.5, 1e-12);  // both curves meet at a quarter
    EXPECT_NEAR(NoiseOverlay::softLight(0.25 - 1e-9, 1), 0.5, 1e-6);

    const NoiseOverlay::Mask mask(QSizeF(400, 300), 1);
    EXPECT_GT(mask.pixelCount(), 600);
    EXPECT_LT(mask.pixelCount(), 600 * 9);
    QImage grey(400, 300, QImage::Format_RGB32);
    grey.fill(QColor(128, 128, 128));
    QImage left = grey;
    mask.apply(grey.bits(), grey.bytesPerLine(), grey.size(), QRegion(0, 0, 400, 300));
    mask.apply(left.bits(), left.bytesPerLine(), left.size(), QRegion(0, 0, 200, 300));
    int brighter = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            const int v = qRed(grey.pixel(x, y));
            ASSERT_GE(v, 128);
            ASSERT_LE(v, 131);  // faint: soft light at a fraction of 0.14 x 0.18
            brighter += v > 128;
            if (x >= 200) ASSERT_EQ(qRed(left.pixel(x, y)), 128);
        }
    EXPECT_GT(brighter, 100);
}
