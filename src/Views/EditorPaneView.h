#pragma once
// The editor area: shows exactly one thing, chosen in this order: the active request's editor,
// the active change's diff, the active document's text editor, or an empty state with shortcut
// hints. What it shows is rebuilt whenever its identity changes, and only then.
#include <QPointer>
#include <QString>
#include <QWidget>

class AppState;
class CodeEditorView;

class EditorPaneView : public QWidget {
    Q_OBJECT
public:
    enum class Kind { request, diff, document, empty };
    // What the pane shows and the identity that decides when it is rebuilt.
    struct Subject {
        Kind kind = Kind::empty;
        QString identity;
        bool operator==(const Subject&) const = default;
    };
    static Subject subjectFor(AppState& app);

    // The key hints of the empty state, in order: keys and label.
    static const QList<std::pair<QString, QString>>& shortcutHints();

    explicit EditorPaneView(AppState* app, QWidget* parent = nullptr);

    // Text editors made to show a document, counted over every pane.
    static qint64 builtEditors;

    Subject subject() const { return subject_; }
    QWidget* content() const { return content_; }
    // The text editor when a document is shown.
    CodeEditorView* editor() const;

    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* build(const Subject& subject);
    QWidget* emptyState();
    static QWidget* shortcut(const QString& keys, const QString& label);
    void retire(QWidget* old);
    // Whether the keys go to a text field outside the pane that stays.
    bool typingElsewhere() const;

    QPointer<AppState> app_;
    Subject subject_;
    QPointer<QWidget> content_;
};
