#include "Views/Workbench/ActivityBar.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "AppState.h"
#include "UI/Brand.h"
#include "UI/LogoMark.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"

namespace {
const char* kActiveProperty = "railActive";
}

QString ActivityBar::title(SidebarPanel panel) {
    switch (panel) {
    case SidebarPanel::explorer: return QStringLiteral("Explorer");
    case SidebarPanel::sourceControl: return QStringLiteral("Source Control");
    case SidebarPanel::api: return QStringLiteral("API Client");
    }
    return {};
}

QString ActivityBar::icon(SidebarPanel panel) {
    switch (panel) {
    case SidebarPanel::explorer: return QStringLiteral("sidebar.left");
    case SidebarPanel::sourceControl: return QStringLiteral("arrow.triangle.branch");
    case SidebarPanel::api: return QStringLiteral("network");
    }
    return {};
}

ActivityBar::ActivityBar(AppState& app, QWidget* parent) : QWidget(parent), app_(&app) {
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 18, 0, 16);
    column->setSpacing(18);
    column->addWidget(new LogoMark(30, this), 0, Qt::AlignHCenter);

    for (SidebarPanel panel : SidebarPanels::allCases()) {
        PressableButton* button = railButton(icon(panel), title(panel));
        button->setObjectName(SidebarPanels::rawValue(panel));
        connect(button, &QAbstractButton::clicked, this, [this, panel] {
            if (!app_) return;
            app_->setSidebar(app_->sidebar() == panel ? std::nullopt : std::optional<SidebarPanel>(panel));
        });
        panelButtons_.insert(panel, button);
        column->addWidget(button, 0, Qt::AlignHCenter);
    }
    quickOpen_ = railButton(QStringLiteral("magnifyingglass"), QStringLiteral("Quick Open (Ctrl+P)"));
    connect(quickOpen_, &QAbstractButton::clicked, this, [this] {
        if (app_) app_->setQuickOpenOpen(!app_->quickOpenOpen());
    });
    column->addWidget(quickOpen_, 0, Qt::AlignHCenter);
    palette_ = railButton(QStringLiteral("command"), QStringLiteral("Command Palette (Ctrl+K)"));
    connect(palette_, &QAbstractButton::clicked, this, [this] {
        if (app_) app_->setPaletteOpen(!app_->paletteOpen());
    });
    column->addWidget(palette_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    openFolder_ = railButton(QStringLiteral("folder.badge.plus"), QStringLiteral("Open Folder (Ctrl+Shift+O)"));
    connect(openFolder_, &QAbstractButton::clicked, this, [this] {
        if (app_) app_->promptOpenFolder();
    });
    column->addWidget(openFolder_, 0, Qt::AlignHCenter);

    badge_ = new QLabel(this);
    badge_->setObjectName(QStringLiteral("changeBadge"));
    badge_->setFont(ShimmerText::font(9, QFont::Bold, ShimmerText::Design::rounded));
    badge_->setAlignment(Qt::AlignCenter);
    badge_->setAttribute(Qt::WA_TransparentForMouseEvents);
    const QColor fill = Brand::palette()[4];
    badge_->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgb(%1, %2, %3); padding: 1px 4px;"
                                         " border-radius: 7px; }")
                              .arg(fill.red()).arg(fill.green()).arg(fill.blue()));

    connect(app_, &AppState::sidebarChanged, this, &ActivityBar::sync);
    connect(&app_->git(), &GitService::changesChanged, this, &ActivityBar::sync);
    sync();
}

PressableButton* ActivityBar::railButton(const QString& iconName, const QString& help) {
    auto* button = new PressableButton(iconName, QString(), this);
    button->label().font = ShimmerText::font(17, QFont::Medium, ShimmerText::Design::standard);
    button->setFixedSize(38, 38);
    button->setToolTip(help);
    // Reached with Tab, never taken by a click: clicking the rail leaves the focus in the editor.
    button->setFocusPolicy(Qt::TabFocus);
    setActive(button, false);
    return button;
}

void ActivityBar::setActive(PressableButton* button, bool active) {
    button->setProperty(kActiveProperty, active);
    button->label().symbolBrush = active ? QBrush(Brand::gradient(QRectF(0, 0, 1, 1))) : QBrush(QColor::fromRgbF(1, 1, 1, 0.55f));
    QColor glow = Brand::accent();
    glow.setAlphaF(0.16f);
    button->setBackground(active ? QBrush(glow) : QBrush(Qt::NoBrush), 10);
}

bool ActivityBar::isActive(const PressableButton* button) { return button && button->property(kActiveProperty).toBool(); }

void ActivityBar::sync() {
    if (!app_) return;
    for (auto it = panelButtons_.cbegin(); it != panelButtons_.cend(); ++it) setActive(it.value(), app_->sidebar() == it.key());
    const qsizetype count = app_->git().changes().size();
    badge_->setVisible(count > 0);
    badge_->setText(badgeText(count));
    placeBadge();
}

QString ActivityBar::badgeText(qsizetype count) {
    // Four characters at most: more would run past the button's corner and out of the rail.
    if (count < 10000) return QString::number(count);
    if (count < 1000000) return QString::number(count / 1000) + u'k';
    return QString::number(count / 1000000) + u'M';
}

void ActivityBar::placeBadge() {
    PressableButton* anchor = panelButtons_.value(SidebarPanel::sourceControl);
    if (!anchor) return;
    badge_->adjustSize();
    // Top-trailing corner on the button's, then 4 points right and 4 up.
    const QRect button = anchor->geometry();
    badge_->move(button.right() + 1 + 4 - badge_->width(), button.top() - 4);
    badge_->raise();
}

void ActivityBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeBadge();
}

void ActivityBar::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.45f)); }
