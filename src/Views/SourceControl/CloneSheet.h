#pragma once
// The sheet that clones a remote repository into a new folder under a chosen parent folder and
// then opens that folder in the window. Opened window-modal with open().
#include <QDialog>
#include <QPointer>
#include <functional>
#include <optional>

class AppState;
class GitClone;
class GradientButton;
class PressableButton;
class QLabel;
class QLineEdit;

class CloneSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 540;
    static constexpr int kHeight = 360;

    // onCloned is told the new folder after the window's state has opened it.
    CloneSheet(AppState& app, std::function<void(const QString& folder)> onCloned, QWidget* parent = nullptr);

    // Picks the parent folder through the folder chooser.
    void pickFolder();
    // Starts the clone when the fields allow it.
    void clone();
    // Closes the sheet; a running clone is stopped and what it made removed.
    void reject() override;
    bool canClone() const;

    QLineEdit* urlField() const { return urlField_; }
    QLineEdit* nameField() const { return nameField_; }
    const std::optional<QString>& parentFolder() const { return parent_; }
    bool isCloning() const { return cloning_; }
    const std::optional<QString>& errorText() const { return errorText_; }
    GradientButton* cloneButton() const { return cloneButton_; }

    static QString failureText();
    // Why a folder name cannot be used, or absent when it can: it must be one folder name.
    static std::optional<QString> folderNameProblem(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* field(const QString& label, const QString& placeholder, bool monospaced, QLineEdit*& out);
    void urlEdited();
    void setCloning(bool cloning);
    void setErrorText(const std::optional<QString>& text);
    void updateControls();

    QPointer<AppState> app_;
    std::function<void(const QString&)> onCloned_;
    std::optional<QString> parent_;
    bool cloning_ = false;
    QPointer<GitClone> clone_;
    std::optional<QString> errorText_;
    QLineEdit* urlField_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    PressableButton* parentButton_;
    QLabel* errorLabel_;
    GradientButton* cloneButton_;
};
