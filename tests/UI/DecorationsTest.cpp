#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <cmath>

#include "SteppedClock.h"
#include "TestSupport.h"
#include "UI/AppIconImage.h"
#include "UI/Brand.h"
#include "UI/CachedLabel.h"
#include "UI/CascadeModifier.h"
#include "UI/GlassCard.h"
#include "UI/LiquidGlassBackground.h"
#include "UI/LogoMark.h"
#include "UI/ShimmerText.h"
#include "UI/StatusDot.h"
#include "UI/Timeline.h"

TEST(StatusDot, DrawsTheDotInTheMiddleOfAFadingHalo) {
    QWidget host;
    auto* dot = new StatusDot(Qt::green, 6, &host);
    dot->move(20, 20);
    ASSERT_EQ(dot->size(), QSize(18, 18));  // room for the halo around the 6-point dot
    EXPECT_NEAR(StatusDot::pulse(M_PI + 0.3), StatusDot::pulse(0.3), 1e-9);

    // The solid dot sits in the middle of its square, the halo fades towards the corners.
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host, 60000));
    QImage shot(58, 58, QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::transparent);
    host.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    shot = shot.copy(20, 20, 18, 18);
    EXPECT_EQ(shot.pixelColor(9, 9), QColor(Qt::green));
    EXPECT_LT(qAlpha(shot.pixel(0, 0)), 128);
    EXPECT_GT(qAlpha(shot.pixel(2, 9)), qAlpha(shot.pixel(0, 0)));
    // A round dot with no outline: at its edge, two pixels out from the middle in every direction,
    // nearly opaque and of its own colour, not darkened.
    for (const QPoint at : {QPoint(11, 9), QPoint(6, 9), QPoint(9, 11), QPoint(9, 6)}) {
        const QColor edge = shot.pixelColor(at);
        EXPECT_GT(edge.alpha(), 200) << at.x() << "," << at.y();
        EXPECT_GE(edge.green(), 250) << at.x() << "," << at.y();
    }
    // The halo lies evenly around it (pixel i mirrors pixel 17 - i about the middle).
    EXPECT_NEAR(qAlpha(shot.pixel(9, 1)), qAlpha(shot.pixel(9, 16)), 2);
    EXPECT_NEAR(qAlpha(shot.pixel(1, 9)), qAlpha(shot.pixel(16, 9)), 2);
}

// Counts the paint events one widget receives.
class PaintsOf : public QObject {
public:
    explicit PaintsOf(QWidget* w) { w->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The pulse lives in the halo alone: a frame fades it, and the solid dot, which never changes, is
// drawn from the picture of it made once rather than painted again at every frame.
TEST(StatusDot, APulseFrameFadesTheHaloWithoutPaintingTheDotAgain) {
    SteppedClock clock;
    QWidget host;
    host.resize(58, 58);
    auto* dot = new StatusDot(Qt::green, 6, &host);
    dot->move(20, 20);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host, 60000));
    ASSERT_TRUE(testing_support::waitUntil([&] { return dot->timeline().isRunning(); }));
    const auto shot = [&] {
        QImage image(58, 58, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        host.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    const QImage before = shot();
    PaintsOf counter(dot);
    int changed = 0;
    for (int frame = 0; frame < 12; ++frame) {
        clock.time += 0.1;
        Timeline::advanceClock();
        const QImage now = shot();
        changed += now.pixel(21, 29) != before.pixel(21, 29);  // the halo beside the dot
        EXPECT_EQ(now.pixelColor(29, 29), QColor(Qt::green));
    }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(counter.paints, 0);
}

// The title drawn at its size at time t.
static QImage titleAt(const ShimmerText& title, double t) {
    QImage img(title.sizeHint(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    title.paintAt(p, QRectF(QPointF(0, 0), QSizeF(img.size())), t);
    return img;
}

TEST(ShimmerText, OnlyTheGlyphsShowAndTheSheenBrightensThem) {
    ShimmerText title("Hello", 40, QFont::Bold, ShimmerText::Design::rounded);
    const QSize size = title.sizeHint();
    ASSERT_GT(size.width(), 60);
    auto render = [&](double t) { return titleAt(title, t); };
    const QImage off = render(0);      // sheen before the text
    const QImage mid = render(1.5);    // sheen in the middle
    qint64 inkOff = 0, inkMid = 0, transparent = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const QRgb a = off.pixel(x, y), b = mid.pixel(x, y);
            if (qAlpha(a) == 0) ++transparent;
            inkOff += qRed(a) + qGreen(a) + qBlue(a);
            inkMid += qRed(b) + qGreen(b) + qBlue(b);
            ASSERT_EQ(qAlpha(a), qAlpha(b));  // same glyph coverage
        }
    EXPECT_GT(transparent, size.width() * size.height() / 3);  // gaps between glyphs stay clear
    EXPECT_GT(inkMid, inkOff);
    // Centred in its size: the glyphs reach from one end to the other, none cut off.
    int first = size.width(), last = -1;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (qAlpha(off.pixel(x, y)) > 0) first = std::min(first, x), last = std::max(last, x);
    EXPECT_LE(first, 4);
    EXPECT_GE(last, size.width() - 5);

    // On screen the widget shows the title of the clock's moment.
    const SteppedClock clock;
    title.resize(size);
    QImage shown(size, QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    title.render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(shown, titleAt(title, Timeline::frameTime()));

    // The fill runs from the palette's first colour at the leading end to its third at the trailing end.
    const auto inkOf = [&](int from, int to) {
        double r = 0, g = 0, b = 0, a = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = from; x < to; ++x) {
                const QRgb c = off.pixel(x, y);
                r += qRed(c), g += qGreen(c), b += qBlue(c), a += qAlpha(c);
            }
        return QColor::fromRgbF(float(r / a), float(g / a), float(b / a));
    };
    const auto distance = [](const QColor& x, const QColor& y) {
        return std::abs(x.red() - y.red()) + std::abs(x.green() - y.green()) + std::abs(x.blue() - y.blue());
    };
    const QColor leading = inkOf(0, size.width() / 8), trailing = inkOf(size.width() * 7 / 8, size.width());
    EXPECT_LT(distance(leading, Brand::palette()[0]), distance(leading, Brand::palette()[1]));
    EXPECT_LT(distance(trailing, Brand::palette()[2]), distance(trailing, Brand::palette()[1]));
}

// The title is not drawn again while its sheen is off the text: that must be exactly when the
// sheen would change none of its pixels.
TEST(ShimmerText, TheSheenIsOffTheTextExactlyWhenItChangesNothing) {
    ShimmerText title("Hello", 40, QFont::Bold, ShimmerText::Design::rounded);
    auto render = [&](double t) { return titleAt(title, t); };
    ASSERT_FALSE(ShimmerText::sheenShows(0));
    const QImage plain = render(0);
    int off = 0, on = 0;
    for (double t = 0; t < ShimmerText::kSweepSeconds; t += ShimmerText::kSweepSeconds / 96) {
        const bool shows = ShimmerText::sheenShows(t);
        (shows ? on : off) += 1;
        if (!shows) EXPECT_EQ(render(t), plain) << "at " << t;
        // With its centre before the text, the sheen's trailing half already brightens the glyphs.
        const double p = ShimmerText::sheenPosition(t);
        if (p > -0.1 && p < 0) EXPECT_NE(render(t), plain) << "at " << t;
    }
    EXPECT_GT(off, 96 / 8);
    EXPECT_GT(on, 96 / 2);
}

// A frame of the sheen is made where the sheen lies, however long the title: the glyphs beyond it
// are the still picture, made once.
TEST(ShimmerText, AFrameComposesOnlyTheSheensBand) {
    for (const char* text : {"Hi", "A much longer title than the other one"}) {
        ShimmerText title(QString::fromLatin1(text), 40, QFont::Bold, ShimmerText::Design::rounded);
        title.resize(title.sizeHint());
        titleAt(title, 0);  // the still picture
        const double frame = 1.0 / 30;
        for (double t = 1.2; t < 1.8; t += frame) {
            const qint64 before = title.pixelsComposed();
            titleAt(title, t);
            const QRect band = title.sheenBand(t);
            // The band, and where the band of the frame before lay, restored.
            EXPECT_LE(title.pixelsComposed() - before, 2 * qint64(band.width() + 2) * (band.height() + 2)) << text << " at " << t;
        }
    }
}

// A tick repaints where the sheen was and where it is now, about a third of the title, and those
// pixels are all that differ from the picture of the frame before.
TEST(ShimmerText, ATickRepaintsOnlyWhereTheSheenWasAndIs) {
    ShimmerText title("Hello", 40, QFont::Bold, ShimmerText::Design::rounded);
    title.resize(title.sizeHint());
    const double frame = 1.0 / 30;
    qint64 repainted = 0, frames = 0;
    QImage shown = titleAt(title, 0);
    for (double t = frame; t < ShimmerText::kSweepSeconds; t += frame, ++frames) {
        const QRegion dirty = QRegion(title.sheenBand(t - frame)) | title.sheenBand(t);
        for (const QRect& r : dirty) repainted += qint64(r.width()) * r.height();
        QPainter p(&shown);
        p.setClipRegion(dirty);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(shown.rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        title.paintAt(p, QRectF(title.rect()), t);
        p.end();
        ASSERT_EQ(shown, titleAt(title, t)) << "at " << t;
    }
    const qint64 area = qint64(title.width()) * title.height();
    EXPECT_LT(repainted, area * frames * 2 / 5);
}

// Repainted at every frame of the backdrop behind it, the label draws its text once; a new text,
// colour or size draws it again, and the picture is the one the plain label draws.
TEST(CachedLabel, DrawsItsTextOnceUntilTheTextColourOrSizeChanges) {
    QWidget host;
    host.resize(300, 60);
    auto* label = new CachedLabel(QStringLiteral("Ctrl+P to jump to any file"), &host);
    QLabel plain(label->text());
    for (QLabel* l : {static_cast<QLabel*>(label), &plain}) {
        l->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 140); background: transparent; }"));
        l->resize(l->sizeHint());
    }
    // Each shot is a frame; the picture is made once the repaint that found it stale is over.
    auto shot = [](QWidget& w) {
        QImage img(w.size(), QImage::Format_RGB32);
        img.fill(QColor(40, 20, 90));
        w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        QCoreApplication::processEvents();
        return img;
    };
    const QImage drawn = shot(*label);
    QImage first;
    for (int frame = 0; frame < 5; ++frame) first = shot(*label);
    EXPECT_EQ(label->picturesMade(), 1);
    EXPECT_EQ(first, drawn);
    const QImage reference = shot(plain);
    int differing = 0;
    for (int y = 0; y < reference.height(); ++y)
        for (int x = 0; x < reference.width(); ++x) {
            const QRgb a = first.pixel(x, y), b = reference.pixel(x, y);
            EXPECT_LE(std::abs(qGreen(a) - qGreen(b)), 1);
            differing += a != b;
        }
    EXPECT_LT(differing, 4);
    label->setText(QStringLiteral("Ctrl+K for everything else"));
    EXPECT_NE(shot(*label), first);
    label->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"));
    shot(*label);
    label->resize(label->width() + 10, label->height());
    shot(*label);
    shot(*label);
    EXPECT_EQ(label->picturesMade(), 4);
}

TEST(GlassCard, LookFollowsThePointerOnlyWhenInteractive) {
    const QSizeF size(200, 100);
    // Before measurement: centred spotlight, flat.
    auto l = GlassCard::look(false, true, QPointF(0, 0), QSizeF(0, 0));
    EXPECT_EQ(l.spotlightCentre, QPointF(0.5, 0.5));
    EXPECT_EQ(l.tiltX, 0);
    EXPECT_EQ(l.tiltY, 0);
    // Never hovered: no spotlight or lift.
    l = GlassCard::look(false, true, QPointF(0, 0), size);
    EXPECT_EQ(l.spotlightAlpha, 0);
    EXPECT_EQ(l.scale, 1);
    const qreal restingShadow = l.shadow.radius;
    // Hovered at the bottom-right quarter: the light sits under the pointer and the card lifts.
    l = GlassCard::look(true, true, QPointF(150, 75), size);
    EXPECT_EQ(l.spotlightCentre, QPointF(0.75, 0.75));
    EXPECT_GT(l.spotlightAlpha, 0);
    EXPECT_GT(l.scale, 1);
    EXPECT_GT(l.shadow.radius, restingShadow);
    // Zero width only: horizontal centre and no tilt about the vertical axis.
    l = GlassCard::look(true, true, QPointF(30, 25), QSizeF(0, 100));
    EXPECT_EQ(l.spotlightCentre, QPointF(0.5, 0.25));
    EXPECT_EQ(l.tiltY, 0);
    // Not interactive: never lifts or tilts.
    l = GlassCard::look(false, false, QPointF(0, 0), size);
    EXPECT_EQ(l.scale, 1);
    EXPECT_EQ(l.tiltX, 0);
    EXPECT_EQ(l.tiltY, 0);
}

TEST(GlassCard, HoverStateFollowsEnterMoveAndLeave) {
    QWidget host;
    host.resize(400, 300);
    auto* content = new QLabel("content");
    auto* card = new GlassCard(content, 16, true, Qt::AlignCenter, false, &host);
    const QMarginsF m = GlassCard::shadowMargins(true);
    card->setGeometry(QRectF(50, 50, 200, 100).marginsAdded(m).toRect());
    auto* quiet = new GlassCard(new QLabel("quiet"), 16, false, Qt::AlignCenter, false, &host);
    quiet->setGeometry(50, 180, 200, 100);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host, 60000));
    EXPECT_EQ(card->measuredSize(), QSizeF(200, 100));  // the glass, without the shadow's room
    EXPECT_FALSE(card->hover());

    // Positions are taken relative to the glass.
    const QPointF glassOrigin = card->glassRect().topLeft();
    QMouseEvent move(QEvent::MouseMove, glassOrigin + QPointF(40, 30), QPointF(), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(card, &move);
    EXPECT_TRUE(card->hover());
    EXPECT_EQ(card->localMouse(), QPointF(40, 30));

    // Moves over the content count, in the card's coordinates.
    const QPointF overContent = content->mapFrom(card, glassOrigin + QPointF(100, 50));
    QMouseEvent moveContent(QEvent::MouseMove, overContent, QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(content, &moveContent);
    EXPECT_EQ(card->localMouse(), QPointF(100, 50));

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(card, &leave);
    EXPECT_FALSE(card->hover());
    EXPECT_EQ(card->localMouse(), QPointF(100, 50));  // kept

    QCoreApplication::sendEvent(quiet, &move);
    EXPECT_FALSE(quiet->hover());
    EXPECT_EQ(quiet->localMouse(), QPointF(0, 0));
}

TEST(CascadeModifier, WaitsItsDelayThenSpringsIntoPlace) {
    const auto over = CascadeModifier::pose(1.04, 10);  // spring overshoot, fully shown
    EXPECT_EQ(over.opacity, 1);
    EXPECT_EQ(over.blur, 0);
    EXPECT_EQ(CascadeModifier::pose(1, 10).offsetY, 0);

    QWidget host;
    host.resize(200, 100);
    auto* row = new QLabel("row", &host);
    QPointer<CascadeModifier> effect = cascade(row, 0.3, 10);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(cascade(row, 0.1, 5), nullptr);  // one entrance per widget, the first kept
    host.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(effect);
    EXPECT_FALSE(effect->appeared());  // it waits its delay first
    ASSERT_TRUE(testing_support::waitUntil([&] { return effect && effect->appeared(); }, 120000));
    // Once in place the view is drawn plainly again, and showing it anew does not replay it.
    ASSERT_TRUE(testing_support::waitUntil([&] { return row->graphicsEffect() == nullptr; }, 120000));
    EXPECT_TRUE(effect.isNull());
    host.hide();
    host.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(row->graphicsEffect(), nullptr);
}

TEST(LogoMark, SizeZeroDrawsNothingAndTheMarkShowsTheIconOrTheSymbol) {
    EXPECT_TRUE(LogoMark::render(0, QImage()).isNull());
    QImage canvas(40, 40, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter p(&canvas);
        LogoMark::paint(p, QRectF(20, 20, 0, 0), QImage());
    }
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(canvas.pixel(x, y), 0u);

    // Without an icon: the gradient symbol, violet at its top-left, pink at its bottom-right,
    // in a violet halo outside the square.
    const QImage mark = LogoMark::render(64, QImage());
    const int m = LogoMark::glowMargin(64);
    ASSERT_EQ(mark.width(), 64 + 2 * m);
    const QColor topLeft = mark.pixelColor(m + 14, m + 14), bottomRight = mark.pixelColor(m + 50, m + 50);
    EXPECT_GT(topLeft.blue(), topLeft.red());
    EXPECT_GT(bottomRight.red(), topLeft.red() + 40);  // on its way to pink
    const QColor halo = mark.pixelColor(m - 2, m + 32);
    EXPECT_GT(halo.alpha(), 5);
    EXPECT_LT(halo.alpha(), 128);

    // With an icon: the icon, letterboxed into the square.
    QImage wide(100, 50, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::red);
    const QImage fitted = LogoMark::render(64, wide);
    EXPECT_EQ(fitted.pixelColor(m + 32, m + 32), QColor(Qt::red));
    EXPECT_NE(fitted.pixelColor(m + 32, m + 4), QColor(Qt::red));  // letterbox band
}

TEST(AppIconImage, LoadsOnceAndTreatsBadFilesAsAbsent) {
    testing_support::TempFolder dir;
    EXPECT_FALSE(AppIconImage::load(std::nullopt).has_value());
    EXPECT_FALSE(AppIconImage::load(dir.file("missing.png")).has_value());
    EXPECT_FALSE(AppIconImage::load(dir.write("broken.png", "\x89PNG not really")).has_value());

    const auto& icon = AppIconImage::nsImage();
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(&AppIconImage::nsImage(), &icon);
}

TEST(LiquidGlassBackground, CopiedGlassLandsWhereDrawnGlassWould) {
    // Drawn straight (a translucent painter is never served from the copy), then copied:
    // both at a fractional place, the copy also inside a child widget, whose painter is offset.
    auto paintAt = [](QPainter& p, qreal opacity) {
        p.setOpacity(opacity);
        LiquidGlassBackground::paint(p, QRectF(10.5, 6.25, 90, 50), 14);
    };
    QImage drawn(200, 120, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    {
        QPainter p(&drawn);
        p.translate(30, 20);
        paintAt(p, 0.999);
    }
    struct Glass : QWidget {
        using QWidget::QWidget;
        void paintEvent(QPaintEvent*) override {
            QPainter p(this);
            LiquidGlassBackground::paint(p, QRectF(10.5, 6.25, 90, 50), 14);
        }
    };
    QWidget parent;
    parent.resize(200, 120);
    auto* child = new Glass(&parent);
    child->setGeometry(30, 20, 150, 90);
    for (int round = 0; round < 2; ++round) {  // the second round copies from the cache
        QImage copied(200, 120, QImage::Format_ARGB32_Premultiplied);
        copied.fill(Qt::transparent);
        parent.render(&copied, QPoint(), QRegion(), QWidget::DrawChildren);
        for (QPoint pt : {QPoint(45, 30), QPoint(85, 50), QPoint(129, 75), QPoint(41, 27), QPoint(35, 22)}) {
            EXPECT_NEAR(qAlpha(copied.pixel(pt)), qAlpha(drawn.pixel(pt)), 2) << pt.x() << "," << pt.y();
            EXPECT_NEAR(qRed(copied.pixel(pt)), qRed(drawn.pixel(pt)), 2) << pt.x() << "," << pt.y();
        }
    }
}
