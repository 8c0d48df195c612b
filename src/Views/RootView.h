#pragma once
// The workbench of one window: the activity bar, the sidebar panel, the editor column (tab bar,
// divider, editor pane with the floating find bar, status bar) over the aurora, and above it all
// the overlays (command palette, quick open, go-to-line, project search) and the what's-new sheet.
// It carries out the menu commands on its own window's state, but only while its window is the one
// the user works in, so a command never acts in every open window at once.
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

class ActivityBar;
class AppState;
class AuroraBackground;
class EditorPaneView;
class EditorTabBarView;
class FileExplorerView;
class FindBar;
class GoToLineView;
class SidebarSlot;
class StatusBarView;
class WhatsNewView;

class RootView : public QWidget {
    Q_OBJECT
public:
    // Opens a new window for a folder (the window system's part).
    using OpenWindowAction = std::function<void(const QString& folder)>;
    // The overlays, bottom to top.
    enum class Overlay { palette, quickOpen, goToLine, projectSearch };

    explicit RootView(AppState& app, OpenWindowAction openWindow = {}, QWidget* parent = nullptr);

    AppState* app() const;
    ActivityBar* activityBar() const { return activityBar_; }
    SidebarSlot* sidebarSlot() const { return sidebarSlot_; }
    // The explorer while the sidebar shows it.
    FileExplorerView* explorer() const;
    EditorTabBarView* tabBar() const { return tabBar_; }
    EditorPaneView* pane() const { return pane_; }
    StatusBarView* statusBar() const { return statusBar_; }
    // The overlays while shown (not while they fade out).
    FindBar* findBar() const;
    QWidget* overlay(Overlay which) const;
    GoToLineView* goToLine() const;
    WhatsNewView* whatsNewSheet() const;

    // Whether menu commands reach this view now.
    bool isCommandTarget() const;
    // Carries out one menu command's notification on this window's state.
    void handle(const QString& notification);

    // The find bar's close action: closes it and forgets the query.
    void closeFind();
    // The Open Folder command: a panel for one folder, opened here or, when this window already
    // has a folder, in a new window.
    void openProject();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // While an overlay is open, Tab and Shift+Tab go round its own controls only.
    bool focusNextPrevChild(bool next) override;

private:
    void syncOverlays();
    void syncFindBar();
    void placeFindBarInTabOrder();
    void syncSidebar();
    void syncWhatsNew();
    void focusEditor();
    // The overlay in front, while one is open (not while it fades out).
    QWidget* frontOverlay() const;

    QPointer<AppState> app_;
    OpenWindowAction openWindow_;
    AuroraBackground* aurora_;
    ActivityBar* activityBar_;
    SidebarSlot* sidebarSlot_;
    QWidget* column_;
    EditorTabBarView* tabBar_;
    QWidget* editorArea_;
    EditorPaneView* pane_;
    StatusBarView* statusBar_;
    QPointer<FindBar> findBar_;
    std::array<QPointer<QWidget>, 4> overlays_;
    std::array<QPointer<QWidget>, 4> focusBefore_;  // what had the keyboard as each overlay opened
    QPointer<WhatsNewView> whatsNewSheet_;
    bool appeared_ = false;
};
