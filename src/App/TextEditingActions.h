#pragma once
// The platform's text-editing items of the Edit menu (Undo, Redo, Cut, Copy, Paste, Select All).
// Each one acts on whatever holds the keyboard focus exactly as its key would there, so a text
// field uses its own undo and the code editor its own edit history.
#include <QKeySequence>
#include <QList>
#include <QString>

class QMenu;

namespace TextEditingActions {

struct Item {
    QString title;
    QKeySequence::StandardKey key;
};

// In menu order.
const QList<Item>& items();

// Adds the items to the menu, each with the platform's usual keys.
void addTo(QMenu* menu);

// Does what the key does in the focused widget when that widget takes the key (a text widget); nothing
// on any other widget, nor when no widget has the focus.
void perform(QKeySequence::StandardKey key);

} // namespace TextEditingActions
