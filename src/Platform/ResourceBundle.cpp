#include "Platform/ResourceBundle.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace ResourceBundle {

namespace {
QString& overridePath() {
    static QString p;
    return p;
}
} // namespace

void setOverridePath(const QString& path) { overridePath() = path; }

std::optional<QString> locate() {
    QStringList candidates;
    if (!overridePath().isEmpty()) candidates << overridePath();
    candidates << QCoreApplication::applicationDirPath() + "/" BRIMEL_BUNDLE_NAME
               << QStringLiteral(BRIMEL_INSTALL_DATADIR "/" BRIMEL_BUNDLE_NAME);
    for (const QString& c : candidates)
        if (QFileInfo(c).isDir()) return c;
    return std::nullopt;
}

QString path() {
    const auto found = locate();
    if (!found) qFatal("%s", kMissingMessage);
    return *found;
}

std::optional<QString> resource(const QString& name, const QString& extension) {
    const auto dir = locate();
    if (!dir) return std::nullopt;
    const QString file = *dir + "/" + name + (extension.isEmpty() ? QString() : "." + extension);
    if (!QFileInfo(file).isFile()) return std::nullopt;
    return file;
}

} // namespace ResourceBundle
