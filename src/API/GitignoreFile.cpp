#include "API/GitignoreFile.h"

#include "API/FormatText.h"

#include <QFile>
#include <QFileInfo>

#include "Platform/TextFile.h"

namespace GitignoreFile {

QString heading() { return QStringLiteral("# Duzizoda Voza \u2014 local secrets"); }

namespace {

bool holdsPattern(const QByteArray& bytes, const QString& pattern) {
    for (QByteArray line : bytes.split('\n')) {
        // CRLF files hold the same lines as LF files.
        if (line.endsWith('\r')) line.chop(1);
        if (FormatText::trimmed(QString::fromUtf8(line)) == pattern) return true;
    }
    return false;
}

} // namespace

bool addPattern(const QString& pattern, const QString& root, QString* error) {
    const QString path = root + QStringLiteral("/.gitignore");
    QByteArray bytes;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            // Never replace a file we could not read: its lines would be lost.
            if (error) *error = QStringLiteral("The .gitignore file cannot be read: %1").arg(file.errorString());
            return false;
        }
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            if (error) *error = QStringLiteral("The .gitignore file cannot be read: %1").arg(file.errorString());
            return false;
        }
    }
    if (holdsPattern(bytes, pattern)) return true;

    if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += '\n';
    bytes += (u'\n' + heading() + u'\n' + pattern + u'\n').toUtf8();
    // Not QSaveFile: a write the disk refuses only when its buffer is flushed still replaces the file.
    QString why;
    if (!TextFile::writeBytes(path, bytes, &why)) {
        if (error) *error = QStringLiteral("The .gitignore file cannot be written: %1").arg(why);
        return false;
    }
    return true;
}

} // namespace GitignoreFile
