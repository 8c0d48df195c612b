#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <numbers>

#include "TestSupport.h"
#include "UI/AuroraBackground.h"
#include "UI/AuroraBlob.h"
#include "UI/AuroraRenderer.h"
#include "UI/Brand.h"
#include "UI/NoiseOverlay.h"
#include "UI/SplitMix64.h"
#include "UI/Timeline.h"

TEST(AuroraBlob, FirstBlobFollowsItsPathOverAPeriod) {
    const AuroraBlob& b = AuroraBlob::all()[0];
    const auto start = b.at(0);
    EXPECT_NEAR(start.offset.x(), -120, 1e-9);
    EXPECT_NEAR(start.offset.y(), -150, 1e-9);
    EXPECT_NEAR(start.scale, 1, 1e-9);
    EXPECT_NEAR(start.opacity, 0.42, 1e-9);

    const auto quarter = b.at(11 * 0.25);
    EXPECT_NEAR(quarter.offset.x(), -200, 1e-9);
    EXPECT_NEAR(quarter.offset.y(), std::sin(0.65 * std::numbers::pi) * 80 - 150, 1e-9);
    EXPECT_NEAR(quarter.offset.y(), -78.7, 0.05);
    EXPECT_NEAR(quarter.scale, 1, 1e-9);
    EXPECT_NEAR(quarter.opacity, 0.465, 0.0005);
    EXPECT_EQ(b.color, Brand::palette()[0]);
}

TEST(AuroraBlob, OnlyTheFractionOfThePhaseMattersAndWrapsJump) {
    const auto& blobs = AuroraBlob::all();
    ASSERT_EQ(blobs.size(), 5);
    const double ahead[] = {0, 0.3, 0.7, 0.1, 0.6};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(blobs[i].turn(0), ahead[i], 1e-9) << i;
    // Negative time truncates toward zero: the turn fraction keeps the sign.
    EXPECT_NEAR(blobs[0].turn(-11 * 0.25), -0.25, 1e-12);

    // Just before and at the end of a period: x and scale pass smoothly, y and opacity jump.
    const AuroraBlob& b = blobs[0];
    const auto before = b.at(11 * (1 - 1e-9)), after = b.at(11.0);
    EXPECT_NEAR(before.offset.x(), after.offset.x(), 1e-6);
    EXPECT_NEAR(before.scale, after.scale, 1e-6);
    EXPECT_NEAR(before.offset.y() + 150, 76.1, 0.05);
    EXPECT_NEAR(after.offset.y() + 150, 0, 1e-6);
    EXPECT_NEAR(before.opacity, 0.325, 0.0005);
    EXPECT_NEAR(after.opacity, 0.42, 1e-6);

    // Ranges over a long run.
    for (double t = 0; t < 200; t += 0.37) {
        for (const auto& blob : blobs) {
            const auto p = blob.at(t);
            ASSERT_GE(p.scale, 0.85 - 1e-9);
            ASSERT_LE(p.scale, 1.15 + 1e-9);
            ASSERT_GE(p.opacity, 0.32 - 1e-9);
            ASSERT_LE(p.opacity, 0.52 + 1e-9);
        }
    }
}

TEST(NoiseOverlay, GrainIsTheSameSplitMix64PatternAtEveryDraw) {
    SplitMix64 rng;
    EXPECT_DOUBLE_EQ(rng.next(), 0.43152799704850997);
    EXPECT_DOUBLE_EQ(rng.next(), 0.026433771592597743);

    const auto specks = NoiseOverlay::specks(QSizeF(1000, 500));
    ASSERT_EQ(specks.size(), 600);
    EXPECT_DOUBLE_EQ(specks[0].topLeft.x(), 0.43152799704850997 * 1000);
    EXPECT_DOUBLE_EQ(specks[0].topLeft.y(), 0.026433771592597743 * 500);
    EXPECT_DOUBLE_EQ(specks[0].diameter, 1.2767055825230628);
    EXPECT_DOUBLE_EQ(specks[0].opacity, 0.050634669156721244);

    // Another size moves the specks with the canvas but keeps their sizes in points.
    const auto wide = NoiseOverlay::specks(QSizeF(2000, 500));
    EXPECT_EQ(NoiseOverlay::specks(QSizeF(1000, 500))[599].topLeft, specks[599].topLeft);
    EXPECT_DOUBLE_EQ(wide[599].topLeft.x(), specks[599].topLeft.x() * 2);
    EXPECT_DOUBLE_EQ(wide[599].diameter, specks[599].diameter);
    for (const auto& s : specks) {
        ASSERT_GE(s.diameter, 0.5);
        ASSERT_LT(s.diameter, 1.3);
        ASSERT_GE(s.opacity, 0.04);
        ASSERT_LT(s.opacity, 0.14);
    }
}

TEST(AuroraRenderer, VignetteRampsBetweenItsRadii) {
    EXPECT_EQ(AuroraRenderer::vignetteAlpha(0), 0);
    EXPECT_EQ(AuroraRenderer::vignetteAlpha(220), 0);
    EXPECT_NEAR(AuroraRenderer::vignetteAlpha(560), 0.275, 1e-12);
    EXPECT_NEAR(AuroraRenderer::vignetteAlpha(900), 0.55, 1e-12);
    EXPECT_NEAR(AuroraRenderer::vignetteAlpha(5000), 0.55, 1e-12);
}

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

TEST(AuroraRenderer, BlobsKeepTheirOffsetsFromTheCentreWhenResized) {
    // The first blob's violet area sits left of and above the centre at the same point offset.
    const QImage small = renderOver(Qt::black, 1, QSize(900, 700));
    const QImage large = renderOver(Qt::black, 1, QSize(1500, 1100));
    const QPoint offset(-200, -150);
    const QRgb a = small.pixel(QPoint(450, 350) + offset), b = large.pixel(QPoint(750, 550) + offset);
    // Same blob light; only the vignette (a function of the distance from the centre) and the grain differ.
    EXPECT_NEAR(qBlue(a), qBlue(b), 12);
    EXPECT_NEAR(qRed(a), qRed(b), 12);
    EXPECT_GT(qBlue(a), qGreen(a));  // violet/blue dominates there
}

TEST(AuroraBackground, RedrawsAtMostThirtyTimesASecondOnlyWhileVisible) {
    struct Counting : AuroraBackground {
        using AuroraBackground::AuroraBackground;
        int paints = 0;
        void paintEvent(QPaintEvent* e) override {
            ++paints;
            AuroraBackground::paintEvent(e);
        }
    } view(0.5);
    view.resize(320, 200);
    EXPECT_FALSE(view.timeline().isRunning());
    view.show();
    EXPECT_TRUE(view.timeline().isRunning());
    testing_support::spin(50);
    const int before = view.paints;
    testing_support::spin(1000);
    const int frames = view.paints - before;
    EXPECT_GE(frames, 5);  // loose: a busy machine may drop frames
    EXPECT_LE(frames, 31);
    view.hide();
    EXPECT_FALSE(view.timeline().isRunning());
    EXPECT_DOUBLE_EQ(view.intensity(), 0.5);
    view.setIntensity(3);
    EXPECT_DOUBLE_EQ(view.intensity(), 1);
}

TEST(Timeline, NowCountsFromTheReferenceDate) {
    // 2001-01-01 is 978307200 s after the Unix epoch; "now" must be well past 2020 on that scale.
    const double now = Timeline::now();
    EXPECT_GT(now, 19.0 * 365 * 86400);
    EXPECT_LT(now, 80.0 * 365 * 86400);
}
