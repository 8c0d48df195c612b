#include "Workspace/DirectoryListing.h"

#include <QFile>
#include <dirent.h>
#include <sys/stat.h>

namespace DirectoryListing {

namespace {
Kind kindOf(const QByteArray& path, unsigned char type) {
    if (type == DT_DIR) return Kind::directory;
    if (type == DT_UNKNOWN) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0) return Kind::other;
        if (S_ISDIR(st.st_mode)) return Kind::directory;
        if (!S_ISLNK(st.st_mode)) return Kind::other;
    } else if (type != DT_LNK) {
        return Kind::other;
    }
    struct stat target {};
    return ::stat(path.constData(), &target) == 0 && S_ISDIR(target.st_mode) ? Kind::linkToDirectory : Kind::other;
}
} // namespace

std::optional<QList<Entry>> list(const QString& dir) {
    const QByteArray nativeDir = QFile::encodeName(dir);
    DIR* handle = ::opendir(nativeDir.constData());
    if (!handle) return std::nullopt;
    QList<Entry> entries;
    while (const dirent* e = ::readdir(handle)) {
        const QByteArray raw(e->d_name);
        if (raw == "." || raw == "..") continue;
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw) continue;
        Entry entry{name, join(dir, name), Kind::other};
        entry.kind = kindOf(QFile::encodeName(entry.path), e->d_type);
        entries.append(std::move(entry));
    }
    ::closedir(handle);
    return entries;
}

QString join(const QString& dir, const QString& name) {
    return dir.endsWith(u'/') ? dir + name : dir + u'/' + name;
}

QString lastComponent(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/') --end;
    const QStringView trimmed = QStringView(path).left(end);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0 || trimmed.size() == 1) return trimmed.toString();
    return trimmed.mid(slash + 1).toString();
}

} // namespace DirectoryListing
