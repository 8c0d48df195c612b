#pragma once
// The 268-point place of the sidebar panel. A panel slides in from the leading edge while fading
// in, and out the same way; switching panels replaces the content in place. With the keyboard,
// Tab reaches the panel right after the activity bar and leaves it for the editor area, and
// Escape that nothing in the panel wanted goes back there too.
#include <QPointer>
#include <QWidget>

#include "UI/SpringAnimation.h"

class SidebarSlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 268;

    explicit SidebarSlot(QWidget* parent = nullptr);

    // Takes ownership; null hides the slot (the old panel leaves, then is deleted).
    void setPanel(QWidget* panel);
    QWidget* panel() const { return panel_.data(); }
    // 0 hidden, 1 fully in.
    double progress() const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void apply(double progress);
    // The window's focus, not this slot's last: that one stays behind when the keys go elsewhere.
    bool panelHasFocus() const { return panel_ && panel_->isAncestorOf(window()->focusWidget()); }
    // Gives the keys to the first control after the panel; false when there is none.
    bool handKeysOn(Qt::FocusReason reason);
    // Deletes a panel that is done, handing its keys on first.
    void letGo(QPointer<QWidget>& panel);
    // Puts the panel's controls in the window's Tab order where this slot stands.
    void orderFocus(QWidget* panel);

    QPointer<QWidget> panel_;
    QPointer<QWidget> leaving_;
    SpringAnimation spring_;
};
