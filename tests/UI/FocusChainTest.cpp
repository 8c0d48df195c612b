// A panel made after the control it stands behind is put back right after it in the Tab order:
// only its controls that Tab stops at, in their order, and none of the window's others.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "UI/FocusChain.h"

namespace {

// The controls Tab stops at from the window's start, by name.
QStringList tabOrder(QWidget* window) {
    QStringList names;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        if (FocusChain::takesTab(w)) names << w->objectName();
    return names;
}

QWidget* named(QWidget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TEST(FocusChain, APanelMadeLaterStandsRightAfterItsControl) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    QWidget* above = named(new QLineEdit(&window), "above");
    QWidget* below = named(new QLineEdit(&window), "below");
    layout->addWidget(above);
    // Made last, shown between the two.
    auto* panel = new QWidget(&window);
    auto* inner = new QVBoxLayout(panel);
    inner->addWidget(named(new QLineEdit(panel), "first"));
    inner->addWidget(named(new QLabel(QStringLiteral("no stop"), panel), "label"));
    QWidget* clickOnly = named(new QPushButton(QStringLiteral("click only"), panel), "clickOnly");
    clickOnly->setFocusPolicy(Qt::ClickFocus);
    inner->addWidget(clickOnly);
    inner->addWidget(named(new QPushButton(QStringLiteral("go"), panel), "second"));
    layout->addWidget(panel);
    layout->addWidget(below);
    ASSERT_EQ(tabOrder(&window), (QStringList{"above", "below", "first", "second"}));

    FocusChain::placeAfter(above, panel);
    EXPECT_EQ(tabOrder(&window), (QStringList{"above", "first", "second", "below"}));
    EXPECT_FALSE(FocusChain::takesTab(clickOnly));
    EXPECT_TRUE(FocusChain::takesTab(below));
}
