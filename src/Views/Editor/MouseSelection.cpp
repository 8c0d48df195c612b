#include "Views/Editor/MouseSelection.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTextBlock>
#include <utility>

#include "Views/Editor/CodeEditorView.h"

MouseSelection::MouseSelection(QPlainTextEdit* view, std::function<void()> dragSelection,
                               std::function<void()> selectionMade)
    : view_(view), dragSelection_(std::move(dragSelection)), selectionMade_(std::move(selectionMade)) {}

int MouseSelection::positionAt(QPointF point) const {
    return view_->cursorForPosition(point.toPoint()).position();
}

QTextCursor MouseSelection::unitAt(int position, Unit unit) const {
    QTextCursor cursor(view_->document());
    cursor.setPosition(position);
    if (unit == Unit::word) {
        cursor.select(QTextCursor::WordUnderCursor);
    } else if (unit == Unit::line && CodeEditorView::holdsJoinedLines(cursor.block())) {
        // A block of joined lines holds only empty ones: each position starts a line, one unit long.
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    } else if (unit == Unit::line) {
        cursor.movePosition(QTextCursor::StartOfBlock);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    }
    return cursor;
}

void MouseSelection::extendTo(int position) {
    QTextCursor cursor(view_->document());
    if (unit_ == Unit::character) {
        cursor.setPosition(first_.anchor());
        cursor.setPosition(position, QTextCursor::KeepAnchor);
    } else if (position >= first_.selectionStart() && position <= first_.selectionEnd()) {
        cursor = first_;
    } else {
        const QTextCursor there = unitAt(position, unit_);
        const bool before = position < first_.selectionStart();
        cursor.setPosition(before ? first_.selectionEnd() : first_.selectionStart());
        cursor.setPosition(before ? there.selectionStart() : there.selectionEnd(), QTextCursor::KeepAnchor);
    }
    if (cursor != view_->textCursor()) view_->setTextCursor(cursor);
}

bool MouseSelection::press(const QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    const QPointF at = event->position();
    pressed_ = true;
    pressPoint_ = at;
    mightDrag_ = false;
    const bool third = sinceDoubleClick_.isValid() && sinceDoubleClick_.elapsed() < QApplication::doubleClickInterval() &&
                       (at - doubleClickPoint_).manhattanLength() < QApplication::startDragDistance();
    sinceDoubleClick_.invalidate();
    const QTextCursor current = view_->textCursor();
    const int position = positionAt(at);
    if (third) {
        unit_ = Unit::line;
        first_ = unitAt(current.position(), Unit::line);
        view_->setTextCursor(first_);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        // The selection keeps its anchor and grows by the unit it was made with.
        if (unit_ == Unit::character || !current.hasSelection()) {
            unit_ = Unit::character;
            first_ = current;
        }
        extendTo(position);
    } else if (current.hasSelection() && position >= current.selectionStart() && position <= current.selectionEnd()) {
        mightDrag_ = true;  // decided by the move or release that follows
    } else {
        unit_ = Unit::character;
        first_ = unitAt(position, Unit::character);
        view_->setTextCursor(first_);
    }
    return true;
}

bool MouseSelection::doubleClick(const QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    pressed_ = true;
    mightDrag_ = false;
    unit_ = Unit::word;
    first_ = unitAt(positionAt(event->position()), Unit::word);
    view_->setTextCursor(first_);
    sinceDoubleClick_.start();
    doubleClickPoint_ = event->position();
    return true;
}

bool MouseSelection::move(const QMouseEvent* event) {
    // Without a button held there is nothing to do: no hover look-ups.
    if (!(event->buttons() & Qt::LeftButton)) return true;
    if (!pressed_) return false;
    if (mightDrag_) {
        if ((event->position() - pressPoint_).manhattanLength() > QApplication::startDragDistance()) {
            mightDrag_ = false;
            pressed_ = false;
            dragSelection_();
        }
        return true;
    }
    extendTo(positionAt(event->position()));
    return true;
}

bool MouseSelection::release(const QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return false;
    pressed_ = false;
    if (std::exchange(mightDrag_, false)) {
        // A press inside the selection that never became a drag places the caret.
        unit_ = Unit::character;
        first_ = unitAt(positionAt(event->position()), Unit::character);
        view_->setTextCursor(first_);
    }
    if (view_->textCursor().hasSelection()) selectionMade_();
    return true;
}
