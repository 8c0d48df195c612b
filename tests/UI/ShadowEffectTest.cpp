#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QPainterPath>
#include <QTest>

#include "TestSupport.h"

#include "UI/Blur.h"
#include "UI/ShadowEffect.h"

namespace {
// The shadow as a whole-size blur gives it, the slow way the effect avoids.
QImage blurredWhole(const ShadowEffect::Shadow& s, const QSizeF& size, qreal corner, qreal dpr) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), size), corner * dpr, corner * dpr);
    return Blur::shadow(shape, s.colour, s.radius * dpr);
}
} // namespace

// Cards resize on every keystroke of a filter; their shadows must look exactly as a fresh blur would.
TEST(ShadowEffect, ResizedShadowsMatchAWholeBlur) {
    struct Case {
        QSizeF size;
        qreal corner, radius, dpr;
        QColor colour;
    };
    const Case cases[] = {
        {{640, 412.5}, 18, 40, 1, QColor(0, 0, 0, 140)},
        {{733.25, 90}, 12, 24, 2, QColor(140, 107, 255, 90)},
        {{300, 300}, 16, 60, 1, QColor(0, 0, 0, 200)},
        {{60, 900}, 6, 8, 1.5, QColor(255, 255, 255, 60)},
        {{20, 20}, 10, 12, 1, QColor(0, 0, 0, 255)},  // too small to stretch: blurred whole
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2 dpr %3").arg(c.size.width()).arg(c.size.height()).arg(c.dpr).toStdString());
        const ShadowEffect::Shadow s{c.colour, c.radius, {}, 1};
        const QImage fast = ShadowEffect::renderShadow(s, c.size * c.dpr, c.corner, c.dpr);
        const QImage whole = blurredWhole(s, c.size * c.dpr, c.corner, c.dpr);
        ASSERT_EQ(fast.size(), whole.size());
        EXPECT_EQ(fast.devicePixelRatio(), c.dpr);
        EXPECT_LE(testing_support::largestChannelDifference(fast, whole), 1);
    }
}

namespace {
// A wide bar that adds up how many of its pixels are repainted.
struct PaintedArea : QWidget {
    using QWidget::QWidget;
    qint64 area = 0;
    void paintEvent(QPaintEvent* event) override {
        for (const QRect& r : event->region()) area += qint64(r.width()) * r.height();
    }
};
} // namespace

// A pulsing halo changes only its own opacity: a bar holding it must not be repainted whole at every
// pulse frame, only where the halo lies.
TEST(ShadowEffect, FadingAShadowRepaintsOnlyWhereItLies) {
    PaintedArea bar;
    bar.resize(1200, 30);
    auto* dot = new QWidget(&bar);
    dot->setGeometry(600, 6, 18, 18);
    auto* effect = new ShadowEffect(9, dot);
    dot->setGraphicsEffect(effect);
    effect->setShadows({{Qt::green, 6, QPointF(0, 0), 0.3}});
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar, 60000));
    QCoreApplication::processEvents();
    const QRect haloBounds = effect->boundingRectFor(QRectF(dot->geometry())).toAlignedRect();
    for (int frame = 0; frame < 5; ++frame) {
        bar.area = 0;
        effect->setShadows({{Qt::green, 6, QPointF(0, 0), 0.3 + 0.02 * frame}});
        ASSERT_TRUE(testing_support::waitUntil([&] {
            QCoreApplication::processEvents();
            return bar.area > 0;
        }));
        EXPECT_LE(bar.area, qint64(haloBounds.width() + 2) * (haloBounds.height() + 2)) << "frame " << frame;
    }
    // A halo that grows and then shrinks back, or one added and then taken away, has the place of
    // the larger one repainted, which would show it stale otherwise.
    const QList<QList<ShadowEffect::Shadow>> larger = {{{Qt::green, 20, QPointF(0, 0), 0.3}},
                                                       {{Qt::green, 6, QPointF(0, 0), 0.3}, {Qt::green, 20, QPointF(0, 0), 0.3}}};
    for (const auto& shadows : larger) {
        effect->setShadows(shadows);
        const QRect largeBounds = effect->boundingRectFor(QRectF(dot->geometry())).toAlignedRect() & bar.rect();
        QCoreApplication::processEvents();
        bar.area = 0;
        effect->setShadows({{Qt::green, 6, QPointF(0, 0), 0.3}});
        ASSERT_TRUE(testing_support::waitUntil([&] {
            QCoreApplication::processEvents();
            return bar.area > 0;
        }));
        EXPECT_GE(bar.area, qint64(largeBounds.width()) * largeBounds.height());
    }
}

// A pulsing halo only fades its shadow: once blurred, a frame draws it from the cache, while any
// other size or colour is blurred anew and comes back from the cache when it returns.
TEST(ShadowEffect, APulseBlursNothingOnceItsShadowIsCached) {
    QWidget bar;
    bar.resize(200, 60);
    auto* dot = new QWidget(&bar);
    dot->setGeometry(90, 20, 18, 18);
    auto* effect = new ShadowEffect(9, dot);
    dot->setGraphicsEffect(effect);
    const auto frame = [&](QColor colour, qreal opacity) {
        effect->setShadows({{colour, 6, QPointF(0, 0), opacity}});
        return bar.grab().toImage();
    };
    const QImage faint = frame(Qt::green, 0.2);
    EXPECT_EQ(effect->shadowsRendered(), 1);
    for (int i = 1; i <= 20; ++i) frame(Qt::green, 0.2 + 0.03 * i);
    EXPECT_EQ(effect->shadowsRendered(), 1);
    EXPECT_NE(frame(Qt::green, 0.8), faint);  // the fade shows

    dot->resize(18, 19);
    frame(Qt::green, 0.2);
    EXPECT_EQ(effect->shadowsRendered(), 2);
    frame(QColor(0, 255, 0, 254), 0.2);
    EXPECT_EQ(effect->shadowsRendered(), 3);
    dot->resize(18, 18);
    EXPECT_EQ(frame(Qt::green, 0.2), faint);
    EXPECT_EQ(effect->shadowsRendered(), 3);
}
