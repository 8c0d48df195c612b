#include "API/WorkspaceScanner.h"

#include "API/RequestFormatRegistry.h"

#include <QFile>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace WorkspaceScanner {

const QSet<QString>& ignoredNames() {
    static const QSet<QString> names{".git", ".build", ".swiftpm", "node_modules", "dist", "DerivedData"};
    return names;
}

namespace {

struct Entry {
    QString name;
    bool directory = false;
};

// The entries of one folder, in the file system's order.
QList<Entry> list(const QString& folder) {
    QList<Entry> entries;
    const QByteArray native = QFile::encodeName(folder);
    DIR* dir = ::opendir(native.constData());
    if (!dir) return entries;
    while (const dirent* e = ::readdir(dir)) {
        const QString name = QFile::decodeName(e->d_name);
        if (name.startsWith(u'.') || ignoredNames().contains(name)) continue;
        bool directory = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            const QByteArray child = native + '/' + e->d_name;
            directory = ::lstat(child.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries.append({name, directory});
    }
    ::closedir(dir);
    return entries;
}

// Folders and the files that pass are taken in name order, so that the walk order does not depend on
// the file system; the files that do not pass, most of a large tree, are never sorted.
void walk(const QString& folder, const std::function<bool(const QString&)>& test, QStringList& out) {
    const auto pathOf = [&folder](const Entry& entry) {
        return folder.endsWith(u'/') ? folder + entry.name : folder + u'/' + entry.name;
    };
    QList<Entry> taken;
    for (Entry& entry : list(folder))
        if (entry.directory || test(pathOf(entry))) taken.append(std::move(entry));
    std::sort(taken.begin(), taken.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    for (const Entry& entry : taken) {
        if (entry.directory) walk(pathOf(entry), test, out);
        else out.append(pathOf(entry));
    }
}

QStringView extensionOf(QStringView path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > slash ? path.mid(dot + 1) : QStringView();
}

} // namespace

QStringList enumerate(const QString& folder, const std::function<bool(const QString&)>& test) {
    QStringList out;
    QString start = folder;
    while (start.size() > 1 && start.endsWith(u'/')) start.chop(1);
    walk(start, test, out);
    return out;
}

bool isRequestFile(const QString& path) {
    const QStringView extension = extensionOf(path);
    const QSet<QString>& known = RequestFormatRegistry::allExtensions();
    return std::any_of(known.begin(), known.end(),
                       [extension](const QString& one) { return extension.compare(one, Qt::CaseInsensitive) == 0; });
}

bool isEnvironmentFile(const QString& path) {
    const QStringView extension = extensionOf(path);
    if (extension.compare(u"env", Qt::CaseInsensitive) != 0 && extension.compare(u"json", Qt::CaseInsensitive) != 0)
        return false;
    const QStringView folder = QStringView(path).left(std::max<qsizetype>(path.lastIndexOf(u'/'), 0));
    return folder.endsWith(u"/environments") || folder == u"environments";
}

} // namespace WorkspaceScanner
