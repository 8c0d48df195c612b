#pragma once
// Selecting text with the mouse in a plain-text view: a press places the caret (with Shift it moves
// the selection's end), a double press selects a word and a third press the line, and dragging
// extends the selection by characters, words or lines as the press began; a press inside the
// selection may drag the selected text away instead.
//
// The text widget's own press handling first asks the layout for a list marker under the pointer,
// which looks at every line of the document: a click would cost time in proportion to the whole
// text. Everything here looks only at the lines under the pointer.
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointF>
#include <QTextCursor>
#include <functional>

class QMouseEvent;

class MouseSelection {
public:
    // dragSelection starts dragging the selected text; selectionMade runs when a press or drag
    // that made a selection ends (for the primary selection).
    MouseSelection(QPlainTextEdit* view, std::function<void()> dragSelection, std::function<void()> selectionMade);

    // Each handles a left-button event of the view's viewport and says whether it did.
    bool press(const QMouseEvent* event);
    bool doubleClick(const QMouseEvent* event);
    bool move(const QMouseEvent* event);
    bool release(const QMouseEvent* event);

private:
    enum class Unit { character, word, line };
    // The word or line (display block, its terminator included) around a position.
    QTextCursor unitAt(int position, Unit unit) const;
    int positionAt(QPointF point) const;
    // Selects from the far end of the unit the gesture began with to the near end of the unit at position.
    void extendTo(int position);

    QPlainTextEdit* view_;
    std::function<void()> dragSelection_;
    std::function<void()> selectionMade_;
    bool pressed_ = false;
    bool mightDrag_ = false;  // the press fell inside the selection
    QPointF pressPoint_;
    Unit unit_ = Unit::character;
    QTextCursor first_;  // the unit the gesture began with; its anchor, for characters
    // The last double press: a press soon after and near it selects the line.
    QElapsedTimer sinceDoubleClick_;
    QPointF doubleClickPoint_;
};
