#pragma once
// The thirteen menu commands: their titles, keys and the notification each one posts.
#include <QKeySequence>
#include <QList>
#include <QString>

namespace MenuNotification {
inline const QString newFile = QStringLiteral("ziduduzovu.new.file");
inline const QString openFolder = QStringLiteral("ziduduzovu.open.folder");
inline const QString save = QStringLiteral("ziduduzovu.save");
inline const QString closeTab = QStringLiteral("ziduduzovu.close.tab");
inline const QString find = QStringLiteral("ziduduzovu.find");
inline const QString projectSearch = QStringLiteral("ziduduzovu.project.search");
inline const QString toggleComment = QStringLiteral("ziduduzovu.toggle.comment");
inline const QString goToLine = QStringLiteral("ziduduzovu.goto.line");
inline const QString quickOpen = QStringLiteral("ziduduzovu.quick.open");
inline const QString palette = QStringLiteral("ziduduzovu.palette");
inline const QString nextTab = QStringLiteral("ziduduzovu.next.tab");
inline const QString prevTab = QStringLiteral("ziduduzovu.prev.tab");
inline const QString whatsNew = QStringLiteral("ziduduzovu.whatsnew");
} // namespace MenuNotification

struct MenuCommand {
    int group;  // 1..5, menus in this order
    QString title;
    QKeySequence keys;  // empty: no key equivalent
    QString notification;
};

namespace MenuCommands {
const QList<MenuCommand>& all();
}
