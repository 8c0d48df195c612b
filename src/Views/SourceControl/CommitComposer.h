#pragma once
// The commit message field at the top of the source-control panel, with the Commit button
// (Ctrl+Return), the button that has the AI tool write a message from the staged diff, and a
// line for the last failure.
#include <QPointer>
#include <QWidget>
#include <optional>

#include "Git/AIBackend.h"

class AppState;
class IconButton;
class PressableButton;
class QLabel;
class QPlainTextEdit;

class CommitComposer : public QWidget {
    Q_OBJECT
public:
    explicit CommitComposer(AppState& app, QWidget* parent = nullptr);

    static QString backendDisplayName(AIBackend backend);

    void setBackend(const std::optional<AIBackend>& backend);
    const std::optional<AIBackend>& backend() const { return backend_; }
    QString message() const;
    void setMessage(const QString& message);
    bool isCommitting() const { return committing_; }
    bool isGenerating() const { return generating_; }
    const std::optional<QString>& errorText() const { return errorText_; }
    bool canCommit() const;

    // Commits the staged changes, or everything when nothing is staged.
    void commit();
    // Replaces the message with one the AI tool writes from the staged diff.
    void generate();

    QPlainTextEdit* editor() const { return editor_; }
    PressableButton* commitButton() const { return commitButton_; }
    IconButton* generateButton() const { return generateButton_; }
    // Shown in the Commit button while a commit runs.
    QWidget* commitSpinner() const { return commitSpinner_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeSpinner();
    void updateControls();
    void followChanges();
    // Asks whether to commit although these paths hold conflict markers or are unresolved.
    static bool confirmUnresolved(const QStringList& paths);
    void setErrorText(const std::optional<QString>& text);

    QPointer<AppState> app_;
    std::optional<AIBackend> backend_;
    bool committing_ = false;
    bool generating_ = false;
    bool nothingStaged_ = true;
    std::optional<QString> errorText_;
    QPlainTextEdit* editor_;
    PressableButton* commitButton_;
    // Where Qt passed the keys when a running commit disabled Commit while it had them.
    QPointer<QWidget> keysPassedTo_;
    IconButton* generateButton_;
    QWidget* commitSpinner_;
    QLabel* errorLabel_;
};
