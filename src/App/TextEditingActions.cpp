#include "App/TextEditingActions.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
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

void perform(QKeySequence::StandardKey key) {
    QWidget* target = QApplication::focusWidget();
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(key);
    if (!target || bindings.isEmpty()) return;
    // Delivered straight to the widget, past the window's shortcuts, so the item cannot trigger itself.
    const QKeyCombination combination = bindings.first()[0];
    QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers());
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
}

} // namespace TextEditingActions
