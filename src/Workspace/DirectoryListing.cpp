#include "Workspace/DirectoryListing.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

#include "Platform/FilePath.h"

namespace DirectoryListing {

namespace {
// Entries whose type the listing did not give (or that are links) are asked about by path.
void classify(Entry& entry, unsigned char type) {
    if (type == DT_DIR) {
        entry.kind = Kind::directory;
        return;
    }
    if (type == DT_REG) {
        entry.regular = true;
        return;
    }
    if (type != DT_UNKNOWN && type != DT_LNK) return;
    const QByteArray path = FilePath::encode(entry.path);
    if (type == DT_UNKNOWN) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0) return;
        if (S_ISDIR(st.st_mode)) entry.kind = Kind::directory;
        entry.regular = S_ISREG(st.st_mode);
        if (!S_ISLNK(st.st_mode)) return;
    }
    struct stat target {};
    if (::stat(path.constData(), &target) == 0 && S_ISDIR(target.st_mode)) entry.kind = Kind::linkToDirectory;
}
} // namespace

std::optional<QList<Entry>> list(const QString& dir) {
    const QByteArray nativeDir = FilePath::encode(dir);
    DIR* handle = ::opendir(nativeDir.constData());
    if (!handle) return std::nullopt;
    QList<Entry> entries;
    while (const dirent* e = ::readdir(handle)) {
        const QByteArrayView raw(e->d_name);
        if (raw == "." || raw == "..") continue;
        const QString name = FilePath::decode(raw);
        Entry entry;
        entry.name = name;
        entry.path = join(dir, name);
        classify(entry, e->d_type);
        entries.append(std::move(entry));
    }
    ::closedir(handle);
    return entries;
}

QString join(const QString& dir, const QString& name) {
    const bool slash = !dir.endsWith(u'/');
    QString path(dir.size() + slash + name.size(), Qt::Uninitialized);
    QChar* out = std::copy(dir.cbegin(), dir.cend(), path.data());
    if (slash) *out++ = u'/';
    std::copy(name.cbegin(), name.cend(), out);
    return path;
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
