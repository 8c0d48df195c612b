#pragma once
// One command of the command palette: what the row shows and what choosing it does.
#include <QString>
#include <QUuid>
#include <functional>

struct PaletteCommand {
    QUuid id;
    QString title;
    QString subtitle;  // the keyboard shortcut shown at the row's end
    QString icon;      // symbol name
    std::function<void()> run;
};
