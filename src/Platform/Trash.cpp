#include "Platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "Platform/FilePath.h"

namespace Trash {

bool moveToTrash(const QString& path, QString* error) {
    // Qt's file names would name another file (or none) here.
    if (FilePath::hasRawBytes(path)) {
        if (error) *error = QStringLiteral("Items whose names are not UTF-8 cannot be moved to the trash here.");
        return false;
    }
    // Without the data folder Qt reports success and drops the file under the working directory.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome + "/Trash/files") || !QDir().mkpath(dataHome + "/Trash/info")) {
        if (error) *error = QStringLiteral("The trash folder cannot be created.");
        return false;
    }
    QString landed;
    if (!QFile::moveToTrash(path, &landed)) {
        if (error) *error = QStringLiteral("The item could not be moved to the trash.");
        return false;
    }
    if (QFileInfo::exists(path)) {
        if (error) *error = QStringLiteral("The item is still in place.");
        return false;
    }
    // Any trash location is fine as long as the item really arrived in one named Trash.
    if (!landed.contains(QStringLiteral("/Trash/files/")) && !landed.contains(QStringLiteral("/.Trash"))) {
        if (error) *error = QStringLiteral("The item was moved to an unexpected place: %1").arg(landed);
        return false;
    }
    return true;
}

} // namespace Trash
