#include "API/WorkspaceScanner.h"

#include "API/RequestFormatRegistry.h"
#include "Platform/FilePath.h"

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <sys/stat.h>

namespace WorkspaceScanner {

const QSet<QString>& ignoredNames() {
    static const QSet<QString> names{".git", ".build", ".swiftpm", "node_modules", "dist", "DerivedData"};
    return names;
}

namespace {

std::atomic<quint64> visited{0};
thread_local quint64 visitedHere = 0;
thread_local quint64 bytesHere = 0;

void countVisit() {
    visited.fetch_add(1, std::memory_order_relaxed);
    ++visitedHere;
}

bool isSkipped(const QString& name) { return name.startsWith(u'.') || ignoredNames().contains(name); }

struct Entry {
    QString name;
    bool directory = false;
};

// The entries of one folder, in the file system's order.
QList<Entry> list(const QString& folder) {
    QList<Entry> entries;
    const QByteArray native = FilePath::encode(folder);
    DIR* dir = ::opendir(native.constData());
    if (!dir) return entries;
    while (const dirent* e = ::readdir(dir)) {
        countVisit();
        // Names that are not UTF-8 keep their bytes, so the path opens the file it came from.
        const QString name = FilePath::decode(e->d_name);
        if (isSkipped(name)) continue;
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

// The order of the walk: folder by folder, each in name order, a folder before what it holds.
bool walksBefore(QStringView a, QStringView b) {
    for (;;) {
        const qsizetype x = a.indexOf(u'/'), y = b.indexOf(u'/');
        const QStringView nameA = x < 0 ? a : a.first(x), nameB = y < 0 ? b : b.first(y);
        if (nameA != nameB) return nameA < nameB;
        if (x < 0 || y < 0) return x < 0 && y >= 0;
        a = a.sliced(x + 1);
        b = b.sliced(y + 1);
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

void update(const QString& folder, QStringList& found, const QSet<QString>& changed,
            const std::function<bool(const QString&)>& test) {
    QString start = folder;
    while (start.size() > 1 && start.endsWith(u'/')) start.chop(1);
    // In walk order, a folder comes just before what it holds: what is below a path looked at is
    // skipped, as looking at the path looked at all of it (a removed tree is one path, not thousands).
    QStringList paths(changed.cbegin(), changed.cend());
    std::sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) { return walksBefore(a, b); });
    QString covered;
    for (const QString& relative : std::as_const(paths)) {
        const QStringList names = relative.split(u'/', Qt::SkipEmptyParts);
        if (names.isEmpty() || std::any_of(names.cbegin(), names.cend(), isSkipped)) continue;
        const QString path = (start.endsWith(u'/') ? start : start + u'/') + names.join(u'/');
        if (!covered.isEmpty() && path.startsWith(covered)) continue;
        covered = path + u'/';
        // What was found at or below the path goes, and what is there now comes in its place.
        const auto first = std::lower_bound(found.begin(), found.end(), path,
                                            [](const QString& a, const QString& b) { return walksBefore(a, b); });
        const QString below = path + u'/';
        const auto last = std::find_if(first, found.end(), [&](const QString& p) { return p != path && !p.startsWith(below); });
        const qsizetype at = first - found.begin();
        found.erase(first, last);
        countVisit();
        struct stat st {};
        if (::lstat(FilePath::encode(path).constData(), &st) != 0) continue;
        QStringList now;
        if (S_ISDIR(st.st_mode)) walk(path, test, now);
        else if (test(path)) now.append(path);
        found.insert(at, now.size(), QString());
        std::move(now.begin(), now.end(), found.begin() + at);
    }
}

quint64 entriesVisited() { return visited.load(std::memory_order_relaxed); }

quint64 entriesVisitedHere() { return visitedHere; }

TextFile::ReadResult readText(const QString& path) {
    TextFile::ReadResult read = TextFile::readUtf8(path);
    bytesHere += quint64(std::max<qint64>(read.stamp.size, 0));
    return read;
}

quint64 bytesReadHere() { return bytesHere; }

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
