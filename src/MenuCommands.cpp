#include "MenuCommands.h"

namespace MenuCommands {

const QList<MenuCommand>& all() {
    // Ctrl stands in for the command key; Control-Tab stays Ctrl+Tab. Shift+Tab arrives as Backtab
    // with Shift held, which a Shift+Tab shortcut matches: the key is written as Ctrl+Shift+Tab.
    static const QList<MenuCommand> commands{
        {1, QStringLiteral("New File"), QKeySequence(Qt::CTRL | Qt::Key_N), MenuNotification::newFile},
        {1, QStringLiteral("Open Folder…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), MenuNotification::openFolder},
        {2, QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S), MenuNotification::save},
        {2, QStringLiteral("Close Tab"), QKeySequence(Qt::CTRL | Qt::Key_W), MenuNotification::closeTab},
        {3, QStringLiteral("Find"), QKeySequence(Qt::CTRL | Qt::Key_F), MenuNotification::find},
        {3, QStringLiteral("Search in Project"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), MenuNotification::projectSearch},
        {3, QStringLiteral("Toggle Comment"), QKeySequence(Qt::CTRL | Qt::Key_Slash), MenuNotification::toggleComment},
        {3, QStringLiteral("Go to Line…"), QKeySequence(Qt::CTRL | Qt::Key_G), MenuNotification::goToLine},
        {3, QStringLiteral("Quick Open File"), QKeySequence(Qt::CTRL | Qt::Key_P), MenuNotification::quickOpen},
        {3, QStringLiteral("Command Palette"), QKeySequence(Qt::CTRL | Qt::Key_K), MenuNotification::palette},
        {4, QStringLiteral("Next Tab"), QKeySequence(Qt::CTRL | Qt::Key_Tab), MenuNotification::nextTab},
        {4, QStringLiteral("Previous Tab"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), MenuNotification::prevTab},
        {5, QStringLiteral("What's New in Duzizoda Voza"), QKeySequence(), MenuNotification::whatsNew},
    };
    return commands;
}

} // namespace MenuCommands
