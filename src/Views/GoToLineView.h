#pragma once
// The go-to-line box: an overlay with one field; Return moves the active text editor's caret to
// the typed line and closes the box, Escape or a click on the backdrop just closes it.
#include <QPointer>
#include <QWidget>
#include <optional>

class AppState;
class KeyCatcher;
class PaletteField;
class PaletteScaffold;

class GoToLineView : public QWidget {
    Q_OBJECT
public:
    explicit GoToLineView(AppState* app, QWidget* parent = nullptr);

    // The line a field's text asks for: the text without surrounding spaces and tabs, read as a
    // decimal number with an optional sign; absent unless it is a number from 1 up.
    static std::optional<qint64> lineNumber(const QString& text);

    // Moves to the typed line when there is one and an editor to move, then closes the box.
    void go();
    void close();
    // Gives the field the keyboard.
    void focusField();

    PaletteField* field() const { return field_; }
    PaletteScaffold* scaffold() const { return scaffold_; }
    KeyCatcher* keyCatcher() const { return keys_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPointer<AppState> app_;
    KeyCatcher* keys_;
    PaletteField* field_;
    PaletteScaffold* scaffold_;
};
