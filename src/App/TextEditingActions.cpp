#include "App/TextEditingActions.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTextEdit>
#include <QMenu>
#include <QWidget>

namespace TextEditingActions {

const QList<Item>& items() {
    static const QList<Item> list{
        {QStringLiteral("Undo"), QKeySequence::Undo},   {QStringLiteral("Redo"), QKeySequence::Redo},
        {QStringLiteral("Cut"), QKeySequence::Cut},     {QStringLiteral("Copy"), QKeySequence::Copy},
        {QStringLiteral("Paste"), QKeySequence::Paste}, {QStringLiteral("Select All"), QKeySequence::SelectAll},
    };
    return list;
}

void addTo(QMenu* menu) {
    for (const Item& item : items()) {
        QAction* action = menu->addAction(item.title);
        action->setShortcuts(item.key);
        const QKeySequence::StandardKey key = item.key;
        QObject::connect(action, &QAction::triggered, menu, [key] { perform(key); });
    }
}

namespace {

// A text widget that declines the key (read-only text) still copies and selects.
bool performOnReadOnlyText(QWidget* target, QKeySequence::StandardKey key) {
    const char* slot = key == QKeySequence::Copy ? "copy" : key == QKeySequence::SelectAll ? "selectAll" : nullptr;
    if (!slot || !(qobject_cast<QLineEdit*>(target) || qobject_cast<QPlainTextEdit*>(target) || qobject_cast<QTextEdit*>(target)))
        return false;
    return QMetaObject::invokeMethod(target, slot);
}

} // namespace

void perform(QKeySequence::StandardKey key) {
    // Delivering a key runs the window's shortcuts first; this item must never trigger itself from there.
    static bool performing = false;
    QWidget* target = QApplication::focusWidget();
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(key);
    if (performing || !target || bindings.isEmpty()) return;
    QScopedValueRollback<bool> guard(performing, true);
    const QKeyCombination combination = bindings.first()[0];
    // A widget takes the key only when it claims it ahead of the shortcuts, as it does for a key typed
    // there; a button, a list or a tab chip does not, and then the item does nothing.
    QKeyEvent claim(QEvent::ShortcutOverride, combination.key(), combination.keyboardModifiers());
    claim.ignore();
    QCoreApplication::sendEvent(target, &claim);
    if (!claim.isAccepted()) {
        performOnReadOnlyText(target, key);
        return;
    }
    QPointer<QWidget> receiver = target;
    QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    QCoreApplication::sendEvent(receiver, &press);
    if (!receiver) return;
    QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers());
    QCoreApplication::sendEvent(receiver, &release);
}

} // namespace TextEditingActions
