#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "UI/LayerCache.h"
#include "UI/SteadyWidgetItem.h"

// A kept panel beside a label: the label's new text lays the row out again and leaves the panel's
// picture as it was, while a new size for the panel still places it and draws it afresh.
TEST(SteadyWidgetItem, APanelIsPlacedAgainOnlyWhenItsPlaceChanges) {
    QWidget window;
    window.resize(400, 80);
    auto* row = new QHBoxLayout(&window);
    auto* panel = new QWidget(&window);
    panel->setFixedWidth(80);
    new QLabel(QStringLiteral("panel"), panel);
    auto* cache = new LayerCache(panel);
    panel->setGraphicsEffect(cache);
    SteadyWidgetItem::add(row, panel);
    auto* label = new QLabel(QStringLiteral("one"), &window);
    row->addWidget(label, 1);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 60000));
    const auto draw = [&] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        window.screen()->grabWindow(window.winId());
    };
    draw();
    const int renders = cache->renderCount();
    for (int i = 0; i < 10; ++i) {
        label->setText(QString(i + 1, u'x'));
        window.update();
        draw();
    }
    EXPECT_EQ(cache->renderCount(), renders);

    panel->setFixedWidth(120);
    draw();
    EXPECT_EQ(panel->width(), 120);
    EXPECT_EQ(label->x(), panel->geometry().right() + 1 + row->spacing());
    EXPECT_EQ(cache->renderCount(), renders + 1);
}
