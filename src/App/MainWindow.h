#pragma once
// One window: owns its AppState, carries the menu commands, and opens its folder or restores the
// session when it is first shown.
#include <QMainWindow>
#include <optional>

class AppState;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(std::optional<QString> folder, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppState& state() { return *state_; }
    const std::optional<QString>& folder() const { return folder_; }
    // Closes without the unsaved-changes question (used once the quit question was answered).
    void closeWithoutAsking();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void firstLoad();

    const std::optional<QString> folder_;
    AppState* state_;
    bool loaded_ = false;
    bool closingConfirmed_ = false;
};
