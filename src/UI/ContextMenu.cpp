#include "UI/ContextMenu.h"

#include <QStyleOptionMenuItem>

namespace {
const char* const kDestructive = "destructive";
}

const QColor& ContextMenu::destructiveColour() {
    static const QColor red = QColor::fromRgbF(1.0f, 0.33f, 0.33f);
    return red;
}

void ContextMenu::setDestructive(QAction* action, bool destructive) { action->setProperty(kDestructive, destructive); }

bool ContextMenu::isDestructive(const QAction* action) { return action && action->property(kDestructive).toBool(); }

QAction* ContextMenu::addDestructiveAction(const QString& text) {
    QAction* action = addAction(text);
    setDestructive(action);
    return action;
}

void ContextMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    if (!isDestructive(action)) return;
    // Red whether or not the pointer is over the item.
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText, QPalette::HighlightedText})
        option->palette.setColor(role, destructiveColour());
}
