#include <gtest/gtest.h>

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QScreen>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>

#include "TestSupport.h"
#include "UI/LayerCache.h"

namespace {
struct Filled : QWidget {
    Filled(const QColor& colour, QWidget* parent) : QWidget(parent), colour(colour) {}
    QColor colour;
    int paints = 0;
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter(this).fillRect(rect(), colour);
    }
};

} // namespace

// A translucent panel over a changing backdrop: drawn once while only the backdrop changes, drawn
// again once anything in it changes, and looking as it would drawn straight over the backdrop.
TEST(LayerCache, ThePanelIsDrawnAgainOnlyWhenItChangesAndLooksTheSame) {
    QWidget window;
    window.resize(300, 120);
    auto* backdrop = new Filled(QColor(40, 90, 200), &window);
    backdrop->setGeometry(window.rect());
    auto* panel = new Filled(QColor(0, 0, 0, 110), &window);
    panel->setGeometry(20, 10, 200, 100);
    auto* label = new QLabel(QStringLiteral("one"), panel);
    label->setGeometry(10, 10, 150, 30);
    // A widget of the panel with an effect of its own is drawn with the rest.
    auto* faded = new QGraphicsOpacityEffect(label);
    faded->setOpacity(0.7);
    label->setGraphicsEffect(faded);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 60000));
    const auto look = [&] {
        QCoreApplication::processEvents();
        return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    };

    auto* cache = new LayerCache;
    panel->setGraphicsEffect(cache);
    look();
    const int renders = cache->renderCount(), paints = panel->paints;
    for (int shade = 0; shade < 10; ++shade) {
        backdrop->colour = QColor(40 + shade * 20, 90, 200 - shade * 10);
        backdrop->update();
        look();
    }
    EXPECT_EQ(cache->renderCount(), renders);
    EXPECT_EQ(panel->paints, paints);
    const QImage cachedBefore = look();

    label->setText(QStringLiteral("two"));
    const QImage cachedAfter = look();
    EXPECT_EQ(cache->renderCount(), renders + 1);
    EXPECT_NE(cachedAfter, cachedBefore);
    panel->setGraphicsEffect(nullptr);
    EXPECT_LE(testing_support::largestChannelDifference(cachedAfter, look()), 1);
}
