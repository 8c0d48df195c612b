#pragma once
// The workbench of one window: the folder sidebar beside the editor column (tab bar, divider,
// editor pane with the floating find bar), and the go-to-line box over everything. It carries out
// the menu commands on its own window's state, but only while its window is the one the user
// works in, so a command never acts in every open window at once.
#include <QPointer>
#include <QWidget>
#include <functional>

class AppState;
class AuroraBackground;
class EditorPaneView;
class EditorTabBarView;
class FindBar;
class FolderSidebar;
class GoToLineView;
class QVBoxLayout;

class RootView : public QWidget {
    Q_OBJECT
public:
    // Opens a new window for a folder (the window system's part).
    using OpenWindowAction = std::function<void(const QString& folder)>;

    explicit RootView(AppState& app, OpenWindowAction openWindow = {}, QWidget* parent = nullptr);

    AppState* app() const;
    EditorTabBarView* tabBar() const { return tabBar_; }
    EditorPaneView* pane() const { return pane_; }
    FolderSidebar* sidebar() const { return sidebar_; }
    // The overlays while shown (not while they fade out).
    FindBar* findBar() const;
    GoToLineView* goToLine() const;

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
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void syncOverlays();
    void syncSidebar();
    void focusEditor();

    QPointer<AppState> app_;
    OpenWindowAction openWindow_;
    AuroraBackground* aurora_;
    FolderSidebar* sidebar_;
    QWidget* column_;
    EditorTabBarView* tabBar_;
    QWidget* editorArea_;
    EditorPaneView* pane_;
    QVBoxLayout* columnLayout_;
    QPointer<FindBar> findBar_;
    QPointer<GoToLineView> goToLine_;
    bool appeared_ = false;
};
