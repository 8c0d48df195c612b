#include "Views/KeyCatcher.h"

#include <QKeyEvent>

KeyCatcher::KeyCatcher(QWidget* parent) : QWidget(parent) {
    // It may hold the focus, but Tab never lands on it: keys typed there would be lost.
    setFocusPolicy(Qt::ClickFocus);
}

void KeyCatcher::setActions(MoveAction onMove, Action onEnter, Action onEscape) {
    onMove_ = std::move(onMove);
    onEnter_ = std::move(onEnter);
    onEscape_ = std::move(onEscape);
}

void KeyCatcher::catchFrom(QWidget* source) {
    if (source) source->installEventFilter(this);
}

bool KeyCatcher::recognises(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return true;
    default: return false;
    }
}

bool KeyCatcher::dispatch(const QKeyEvent* event) {
    // Copies: an action may close the overlay and so destroy this catcher.
    switch (event->key()) {
    case Qt::Key_Down:
        if (MoveAction move = onMove_) move(+1);
        return true;
    case Qt::Key_Up:
        if (MoveAction move = onMove_) move(-1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (Action enter = onEnter_) enter();
        return true;
    case Qt::Key_Escape:
        if (Action escape = onEscape_) escape();
        return true;
    default: return false;
    }
}

void KeyCatcher::keyPressEvent(QKeyEvent* event) {
    if (dispatch(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool KeyCatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim our keys before any window shortcut (say, another overlay's Escape) takes them.
        auto* key = static_cast<QKeyEvent*>(event);
        if (recognises(key)) {
            key->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (dispatch(key)) return true;
    }
    return QWidget::eventFilter(watched, event);
}
