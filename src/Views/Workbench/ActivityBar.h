#pragma once
// The narrow rail at the window's leading edge: the logo, one button per sidebar panel (clicking
// the panel that shows hides the sidebar), quick open, the command palette and Open Folder. The
// Source Control button carries the number of changed files.
#include <QHash>
#include <QPointer>
#include <QWidget>

#include "SidebarPanel.h"

class AppState;
class PressableButton;
class QLabel;

class ActivityBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 56;

    static QString title(SidebarPanel panel);
    static QString icon(SidebarPanel panel);
    // The badge's text for count changes: exact up to 9999, then whole thousands ("20k") or millions.
    static QString badgeText(qsizetype count);

    explicit ActivityBar(AppState& app, QWidget* parent = nullptr);

    PressableButton* panelButton(SidebarPanel panel) const { return panelButtons_.value(panel); }
    PressableButton* quickOpenButton() const { return quickOpen_; }
    PressableButton* paletteButton() const { return palette_; }
    PressableButton* openFolderButton() const { return openFolder_; }
    // The change count over the Source Control button; hidden while there are no changes.
    QLabel* badge() const { return badge_; }

    // Whether a rail button is drawn as active.
    static bool isActive(const PressableButton* button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    PressableButton* railButton(const QString& icon, const QString& help);
    static void setActive(PressableButton* button, bool active);
    void sync();
    void placeBadge();

    QPointer<AppState> app_;
    QHash<SidebarPanel, PressableButton*> panelButtons_;
    PressableButton* quickOpen_;
    PressableButton* palette_;
    PressableButton* openFolder_;
    QLabel* badge_;
};
