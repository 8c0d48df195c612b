#pragma once
// One window: owns its AppState, carries the menu commands, shows the welcome screen until the user
// has finished it once and the workbench after, and opens its folder or restores the session when it
// is first shown.
#include <QMainWindow>
#include <QRect>
#include <optional>

class AppState;
class RootView;
class WelcomeView;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(std::optional<QString> folder, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppState& state() { return *state_; }
    // Exactly one of the two is present.
    RootView* rootView() const;
    WelcomeView* welcomeView() const;
    const std::optional<QString>& folder() const { return folder_; }
    // Closes without the unsaved-changes question (used once the quit question was answered).
    void closeWithoutAsking();
    // Where a new window opens in a screen's free area: at its usual size where that fits, else as
    // large as fits but never below the minimum size; centred, and never above or left of the area.
    static QRect initialGeometry(const QRect& available);
    static constexpr QSize kMinimumSize{1040, 720};
    static constexpr QSize kUsualSize{1280, 820};

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void showContent();
    void firstLoad();

    const std::optional<QString> folder_;
    AppState* state_;
    bool loaded_ = false;
    bool closingConfirmed_ = false;
};
