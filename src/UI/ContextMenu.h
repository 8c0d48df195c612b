#pragma once
// A menu that draws the actions marked destructive (delete, discard) in red, so an item that
// throws something away stands apart from the others.
#include <QMenu>

class ContextMenu : public QMenu {
    Q_OBJECT
public:
    using QMenu::QMenu;

    static const QColor& destructiveColour();
    static void setDestructive(QAction* action, bool destructive = true);
    static bool isDestructive(const QAction* action);

    // Adds an item in the destructive style.
    QAction* addDestructiveAction(const QString& text);

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};
