#include "Views/Workbench/SidebarSlot.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QScrollArea>
#include <algorithm>
#include <cmath>

#include "UI/FocusChain.h"
#include "Views/FindBar.h"
#include "UI/Spring.h"

SidebarSlot::SidebarSlot(QWidget* parent) : QWidget(parent), spring_(Animation::brimel::standard(), this) {
    spring_.jumpTo(0.0);
    setFixedWidth(0);
    connect(&spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { apply(v.toDouble()); });
    connect(&spring_, &QAbstractAnimation::finished, this, [this] {
        apply(spring_.value().toDouble());
        if (!panel_) letGo(leaving_);
    });
}

double SidebarSlot::progress() const { return spring_.value().toDouble(); }

QSize SidebarSlot::sizeHint() const { return {int(kWidth * std::clamp(progress(), 0.0, 1.0)), 0}; }

void SidebarSlot::setPanel(QWidget* panel) {
    if (panel == panel_) return;
    if (panel) {
        letGo(leaving_);
        letGo(panel_);
        panel_ = panel;
        panel->setParent(this);
        panel->setFixedWidth(kWidth);
        panel->show();
        orderFocus(panel);
        spring_.animateTo(1.0);
    } else {
        // While it slides out the panel keeps its controls, but no longer the keys.
        if (panelHasFocus()) handKeysOn(Qt::OtherFocusReason);
        leaving_ = panel_;
        panel_ = nullptr;
        spring_.animateTo(0.0);
        // Hidden before it had moved, it is already out: no spring ends to take it away.
        if (spring_.state() != QAbstractAnimation::Running) letGo(leaving_);
    }
    apply(progress());
}

void SidebarSlot::letGo(QPointer<QWidget>& panel) {
    if (!panel) return;
    // Deleted with the keys, it would take them nowhere, and keys typed then would be lost. Tab
    // may still land on a panel as it slides out.
    if (panel->isAncestorOf(window()->focusWidget())) handKeysOn(Qt::OtherFocusReason);
    delete panel.data();
}

void SidebarSlot::apply(double p) {
    const double shown = std::clamp(p, 0.0, 1.0);
    setFixedWidth(int(std::round(kWidth * shown)));
    QWidget* content = panel_ ? panel_.data() : leaving_.data();
    if (!content) return;
    content->setGeometry(width() - kWidth, 0, kWidth, height());
    // The fade exists only while the panel moves: an effect on a settled panel would cost every paint.
    if (shown >= 1.0) {
        content->setGraphicsEffect(nullptr);
        return;
    }
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(content->graphicsEffect());
    if (!fade) {
        fade = new QGraphicsOpacityEffect(content);
        content->setGraphicsEffect(fade);
    }
    fade->setOpacity(shown);
}

void SidebarSlot::orderFocus(QWidget* panel) {
    // A panel made after the rest of the window would otherwise come last, after the status bar.
    QWidget* before = nullptr;
    for (QWidget* w = previousInFocusChain(); w && w != this && w != window(); w = w->previousInFocusChain()) {
        if (!isAncestorOf(w) && FocusChain::takesTab(w)) {
            before = w;
            break;
        }
    }
    // A scroll area that only holds controls is no stop of its own: Tab goes to the controls in it
    // (and the area still scrolls to show the one that has the focus).
    for (QScrollArea* area : panel->findChildren<QScrollArea*>())
        if (area->focusPolicy() != Qt::NoFocus) area->setFocusPolicy(Qt::NoFocus);
    if (before) FocusChain::placeAfter(before, panel);
}

bool SidebarSlot::event(QEvent* event) {
    // Escape in the panel is the panel's before it is a window-wide shortcut's (the find bar's
    // close): the key then comes as a press, to the panel's control first and to this slot after.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && panelHasFocus()) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void SidebarSlot::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape || !panelHasFocus()) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!handKeysOn(Qt::TabFocusReason)) QWidget::keyPressEvent(event);
}

bool SidebarSlot::handKeysOn(Qt::FocusReason reason) {
    // The first control after the panel in the Tab order: the editor area's, past the find bar
    // that stands before the text.
    QWidget* last = window()->focusWidget();
    for (QWidget* w = last->nextInFocusChain(); w && w != last; w = w->nextInFocusChain()) {
        if (!isAncestorOf(w) && w != window() && FocusChain::takesTab(w) && w->isVisible() && w->isEnabled() && !FindBar::holds(w)) {
            w->setFocus(reason);
            return true;
        }
    }
    return false;
}

void SidebarSlot::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (QWidget* content = panel_ ? panel_.data() : leaving_.data()) content->setGeometry(width() - kWidth, 0, kWidth, height());
}
