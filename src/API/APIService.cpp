#include "API/APIService.h"

#include "API/BruFileFormat.h"
#include "API/EnvironmentFile.h"
#include "API/FileNameSanitizer.h"
#include "API/GitignoreFile.h"
#include "API/LineMerge.h"
#include "API/RequestFormatRegistry.h"
#include "API/WorkspaceScanner.h"
#include "Platform/FileOrder.h"
#include "Platform/FilePath.h"
#include "Platform/Prompter.h"
#include "Platform/TextFile.h"
#include "Platform/Trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMultiHash>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>
#include <optional>
#include <utility>
#include <dirent.h>
#include <sys/stat.h>

namespace {

const QString kNewCollectionText = QStringLiteral("### New request\nGET https://\n");
const QString kNewRequestName = QStringLiteral("New request");
const QString kNewRequestUrl = QStringLiteral("https://");
const QString kSecretsText = QStringLiteral("# Secrets \u2014 keep out of git\n# api_token=...\n");
const QString kPlainEnvironmentText =
    QStringLiteral("# Variables for {{var}} substitution\nbase=https://api.example.com/v1\n");
const QString kEnvironmentsFolder = QStringLiteral("environments");

// Anything at the path, a dangling symbolic link included.
bool pathTaken(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Entries of a folder, hidden ones included; nothing when it cannot be listed.
std::optional<int> entryCount(const QString& folder) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return std::nullopt;
    int count = 0;
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (!(n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))) ++count;
    }
    ::closedir(dir);
    return count;
}

QString parentOf(const QString& path) { return path.left(std::max<qsizetype>(path.lastIndexOf(u'/'), 1)); }
QString nameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }
QString baseNameOf(const QString& path) {
    const QString name = nameOf(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

// Formats whose files hold a single request: a second one would never reach the disk.
bool holdsOneRequest(const RequestFileFormat* format) { return format == &BruFileFormat::format(); }

// Git reads "[" as the start of a character class; the file name is meant literally.
QString gitignorePattern(const QString& fileName) {
    QString escaped = fileName;
    escaped.replace(u'[', QStringLiteral("\\["));
    return kEnvironmentsFolder + u'/' + escaped;
}

} // namespace

APIService::APIService(QObject* parent) : QObject(parent) {}

APIService::~APIService() { latestScan_->store(~quint64(0)); }

quint64 APIService::nextGeneration() {
    latestScan_->store(++scanGeneration_);
    return scanGeneration_;
}

void APIService::setRoot(const std::optional<QString>& folder) {
    root_ = folder ? std::optional<QString>(QDir::cleanPath(*folder)) : std::nullopt;
}

void APIService::setActiveEnvironment(const std::optional<QString>& name) {
    activeEnvironment_ = name;
    emit activeEnvironmentChanged();
}

QMap<QString, QString> APIService::environmentValues() const {
    if (!activeEnvironment_) return {};
    for (const APIEnvironment& environment : environments_)
        if (environment.name == *activeEnvironment_) return environment.values;
    return {};
}

namespace {
bool isScanned(const QString& path) {
    return WorkspaceScanner::isRequestFile(path) || WorkspaceScanner::isEnvironmentFile(path);
}

// Up to this many changed paths are looked at here; more (a checkout, a build) would hold the window.
constexpr qsizetype kLookHereUpTo = 1024;
// Up to this many bytes of changed files are read here; more (a large request file) are read elsewhere.
constexpr qint64 kReadHereUpTo = 1024 * 1024;

QString withSlash(const QString& root) { return root.endsWith(u'/') ? root : root + u'/'; }

// The changed paths as the scanner looks at them.
QSet<QString> lookedAt(const QSet<QString>& changed) {
    QSet<QString> looked;
    for (const QString& relative : changed) looked.insert(relative.split(u'/', Qt::SkipEmptyParts).join(u'/'));
    return looked;
}

// Whether a file found below the root (prefix: the root and a slash) lies at or below a path looked
// at; with none given, every file may have changed.
bool mayHaveChanged(const QString& prefix, const QSet<QString>* looked, const QString& path) {
    if (!looked || !path.startsWith(prefix)) return true;
    for (QStringView rel = QStringView(path).mid(prefix.size());;) {
        if (looked->contains(rel.toString())) return true;
        const qsizetype slash = rel.lastIndexOf(u'/');
        if (slash < 0) return false;
        rel = rel.left(slash);
    }
}

// Equal, and without comparing when both are the same shared text or list.
bool sameText(const QString& a, const QString& b) { return (a.constData() == b.constData() && a.size() == b.size()) || a == b; }
bool sameList(const QList<HTTPRequest>& a, const QList<HTTPRequest>& b) {
    return (a.isEmpty() && b.isEmpty()) || (a.constData() == b.constData() && a.size() == b.size());
}
} // namespace

void APIService::reload() {
    if (!root_) return;
    // Newer than any rescan under way, and than what changed meanwhile.
    nextGeneration();
    scanning_ = false;
    changedWhileScanning_.clear();
    found_ = WorkspaceScanner::enumerate(*root_, isScanned);
    scannedRoot_ = root_;
    readFound();
}

void APIService::reload(const QSet<QString>& changed) {
    if (scanning_) {
        changedWhileScanning_.unite(changed);
        return;
    }
    if (!root_) return;
    if (scannedRoot_ != root_) return reloadLater();
    if (changed.size() > kLookHereUpTo) return scanLater({found_, changed, changed, {}});
    QStringList found = found_;
    WorkspaceScanner::update(*root_, found, changed, isScanned);
    if (bytesToRead(found, changed) > kReadHereUpTo) return scanLater({std::move(found), {}, changed, {}});
    found_ = std::move(found);
    readFound(&changed);
}

void APIService::reloadLater() { scanLater({}); }

void APIService::lookAtOwnChange(const QSet<QString>& changed) {
    if (!scanning_ || !root_) return reload(changed);
    // The rescan under way looks at it again before it is taken in.
    changedWhileScanning_.unite(changed);
    // Files of a folder open before are no longer found.
    if (scannedRoot_ != root_) {
        const QString prefix = withSlash(*root_);
        found_.removeIf([&](const QString& path) { return !path.startsWith(prefix); });
    }
    QStringList found = found_;
    WorkspaceScanner::update(*root_, found, changed, isScanned);
    if (bytesToRead(found, changed) > kReadHereUpTo) return;
    found_ = std::move(found);
    readFound(&changed);
}

qint64 APIService::bytesToRead(const QStringList& found, const QSet<QString>& changed, const Reads* reads) const {
    const QString prefix = withSlash(*root_);
    const QSet<QString> looked = lookedAt(changed);
    qint64 bytes = 0;
    for (const QString& path : found) {
        if (!mayHaveChanged(prefix, &looked, path) || (reads && reads->texts.contains(path))) continue;
        struct stat st {};
        if (::stat(FilePath::encode(path).constData(), &st) == 0) bytes += st.st_size;
    }
    return bytes;
}

void APIService::scanLater(Scan scan) {
    if (!root_) return;
    const quint64 generation = nextGeneration();
    scanning_ = true;
    // What was found before is worth starting from only for the root it was found in.
    if (scannedRoot_ != root_) scan = {{}, {}, {}, std::move(scan.seed)};
    // What taking in keeps records by: each file's text as last read or written, and its requests.
    QHash<QString, QString> known;
    for (auto it = known_.cbegin(); it != known_.cend(); ++it) known.insert(it.key(), it->text);
    QHash<QString, QList<HTTPRequest>> earlier;
    for (const APICollectionFile& file : std::as_const(collections_)) earlier.insert(file.url, file.requests);
    QThreadPool::globalInstance()->start([self = QPointer<APIService>(this), latest = latestScan_, root = *root_, generation,
                                          scan = std::move(scan), known = std::move(known),
                                          earlier = std::move(earlier)]() mutable {
        QStringList found;
        if (scan.found) {
            found = std::move(*scan.found);
            if (!scan.update.isEmpty()) WorkspaceScanner::update(root, found, scan.update, isScanned);
        } else {
            found = WorkspaceScanner::enumerate(root, isScanned);
        }
        const QString prefix = withSlash(root);
        const std::optional<QSet<QString>> looked = scan.changed ? std::optional(lookedAt(*scan.changed)) : std::nullopt;
        Reads& reads = scan.seed;
        for (const QString& path : std::as_const(found)) {
            if (latest->load(std::memory_order_relaxed) != generation) return;
            if (!mayHaveChanged(prefix, looked ? &*looked : nullptr, path)) continue;
            if (!WorkspaceScanner::isRequestFile(path)) {
                if (!reads.environments.contains(path)) reads.environments.insert(path, EnvironmentFile::read(path));
                continue;
            }
            if (reads.texts.contains(path)) continue;
            TextFile::ReadResult read = WorkspaceScanner::readText(path);
            const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
            if (read.text && format) {
                // Unchanged: the known text itself, so taking it in compares nothing.
                if (const auto it = known.constFind(path); it != known.cend() && *it == *read.text) {
                    read.text = *it;
                } else {
                    const QList<HTTPRequest> before = earlier.value(path);
                    reads.parsed.insert(path, format->parse(*read.text, before));
                    reads.parsedFrom.insert(path, before);
                }
            }
            reads.texts.insert(path, std::move(read));
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self = std::move(self), root, generation, found = std::move(found), changed = std::move(scan.changed),
             reads = std::move(reads)]() mutable {
                if (!self || generation != self->scanGeneration_) return;
                self->scanning_ = false;
                if (self->root_ != root) {
                    self->changedWhileScanning_.clear();
                    return self->reloadLater();
                }
                self->takeIn(std::move(found), std::move(changed), std::move(reads));
            },
            Qt::QueuedConnection);
    });
}

void APIService::takeIn(QStringList found, std::optional<QSet<QString>> changed, Reads reads) {
    const QSet<QString> later = std::exchange(changedWhileScanning_, {});
    scannedRoot_ = root_;
    if (later.isEmpty()) {
        found_ = std::move(found);
        return readFound(changed ? &*changed : nullptr, &reads);
    }
    // What was read below a path changed since is read again; the rest stands.
    const QString prefix = withSlash(*root_);
    const QSet<QString> looked = lookedAt(later);
    const auto stale = [&](const QString& path) { return mayHaveChanged(prefix, &looked, path); };
    reads.texts.removeIf([&](const auto& it) { return stale(it.key()); });
    reads.parsed.removeIf([&](const auto& it) { return stale(it.key()); });
    reads.parsedFrom.removeIf([&](const auto& it) { return stale(it.key()); });
    reads.environments.removeIf([&](const auto& it) { return stale(it.key()); });
    if (changed) changed->unite(later);
    scanLater({std::move(found), later, std::move(changed), std::move(reads)});
}

void APIService::readFound(const QSet<QString>* changed, const Reads* reads) {
    // Given the changed paths, only files at or below one of them are read again: the others hold
    // what was read last time (a save told back must not read every file of the workspace).
    const QString prefix = withSlash(*root_);
    const QSet<QString> looked = changed ? lookedAt(*changed) : QSet<QString>();
    QHash<QString, qsizetype> previous;
    for (qsizetype i = 0; i < collections_.size(); ++i) previous.insert(collections_[i].url, i);

    QList<APICollectionFile> files;
    const QHash<QString, DiskVersion> known = std::exchange(known_, {});
    // Files no longer found, by the text last read or written: one that shows up elsewhere with
    // that text was moved (a terminal, the file tree) and keeps its requests with their ids.
    const QSet<QString> foundNow(found_.cbegin(), found_.cend());
    QMultiHash<QString, qsizetype> vanished;
    for (qsizetype i = 0; i < collections_.size(); ++i)
        if (!foundNow.contains(collections_[i].url) && known.contains(collections_[i].url))
            vanished.insert(known.value(collections_[i].url).text, i);
    QList<APIEnvironment> environments;
    QHash<QString, qsizetype> environmentIndex;
    QHash<QString, APIEnvironment> environmentFiles;
    for (const QString& path : std::as_const(found_)) {
        const bool look = mayHaveChanged(prefix, changed ? &looked : nullptr, path);
        if (WorkspaceScanner::isRequestFile(path)) {
            if (!look) {
                if (const qsizetype before = previous.value(path, -1); before >= 0) files.append(collections_[before]);
                if (const auto it = known.constFind(path); it != known.constEnd()) known_.insert(path, *it);
                continue;
            }
            const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
            const TextFile::ReadResult read =
                reads && reads->texts.contains(path) ? reads->texts.value(path) : WorkspaceScanner::readText(path);
            if (!format || !read.text) continue;
            const qsizetype before = previous.value(path, -1);
            // Only a text that a single vanished file held says which file this was.
            if (const auto moved = before < 0 && !vanished.isEmpty() ? vanished.find(*read.text) : vanished.end();
                moved != vanished.end() && vanished.count(*read.text) == 1) {
                const APICollectionFile& record = collections_[*moved];
                vanished.erase(moved);
                if (record.format == format && !record.requests.isEmpty()) {
                    known_.insert(path, {read.stamp, *read.text});
                    files.append(record);
                    files.last().url = path;
                    continue;
                }
            }
            // A file that still holds what was last read or written keeps its record as it is,
            // so a request being edited is not replaced by its own reading.
            if (before >= 0 && !collections_[before].requests.isEmpty() && known.contains(path) &&
                sameText(known.value(path).text, *read.text)) {
                known_.insert(path, {read.stamp, *read.text});
                files.append(collections_[before]);
                continue;
            }
            const QList<HTTPRequest> earlier = before < 0 ? QList<HTTPRequest>{} : collections_[before].requests;
            // Parsed elsewhere from the same earlier requests, or here.
            const bool parsedThere = reads && reads->parsed.contains(path) && sameList(reads->parsedFrom.value(path), earlier);
            QList<HTTPRequest> requests = parsedThere ? reads->parsed.value(path) : format->parse(*read.text, earlier);
            if (requests.isEmpty()) continue;
            known_.insert(path, {read.stamp, *read.text});
            files.append({path, std::move(requests), format});
        } else {
            std::optional<APIEnvironment> environment;
            if (look && reads && reads->environments.contains(path)) {
                environment = reads->environments.value(path);
            } else if (look) {
                environment = EnvironmentFile::read(path);
            } else if (const auto it = environmentFiles_.constFind(path); it != environmentFiles_.constEnd()) {
                environment = *it;
            }
            if (!environment) continue;
            environmentFiles.insert(path, *environment);
            // A later file of the same name replaces the earlier one whole.
            const qsizetype at = environmentIndex.value(environment->name, -1);
            if (at < 0) {
                environmentIndex.insert(environment->name, environments.size());
                environments.append(std::move(*environment));
            } else {
                environments[at] = std::move(*environment);
            }
        }
    }
    std::stable_sort(files.begin(), files.end(), [](const APICollectionFile& a, const APICollectionFile& b) {
        return FileOrder::lessThan(nameOf(a.url), nameOf(b.url));
    });
    std::stable_sort(environments.begin(), environments.end(),
                     [](const APIEnvironment& a, const APIEnvironment& b) { return FileOrder::lessThan(a.name, b.name); });

    collections_ = std::move(files);
    environmentFiles_ = std::move(environmentFiles);
    emit collectionsChanged();
    environments_ = std::move(environments);
    emit environmentsChanged();

    const bool activeFound = activeEnvironment_ && std::any_of(environments_.cbegin(), environments_.cend(), [&](const APIEnvironment& e) {
                                 return e.name == *activeEnvironment_;
                             });
    if (activeFound || (!activeEnvironment_ && environments_.isEmpty())) return;
    setActiveEnvironment(environments_.isEmpty() ? std::nullopt : std::optional<QString>(environments_.first().name));
}

qsizetype APIService::indexOf(const QString& fileUrl) const {
    const QString path = QDir::cleanPath(fileUrl);
    for (qsizetype i = 0; i < collections_.size(); ++i)
        if (collections_[i].url == path) return i;
    return -1;
}

bool APIService::insideRoot(const QString& path) const {
    if (!root_) return false;
    const QString clean = QDir::cleanPath(path);
    const QString prefix = root_->endsWith(u'/') ? *root_ : *root_ + u'/';
    return clean.size() > prefix.size() && clean.startsWith(prefix);
}

QString APIService::relativeToRoot(const QString& path) const {
    return insideRoot(path) ? QDir::cleanPath(path).mid(withSlash(*root_).size()) : QString();
}

bool APIService::isCollectionPath(const QString& path) const {
    return insideRoot(path) && RequestFormatRegistry::formatFor(path);
}

bool APIService::fail(const QString& message) {
    lastError_ = message;
    emit operationFailed(message);
    return false;
}

std::optional<QString> APIService::mergedWithDisk(const APICollectionFile& file, const QString& text) {
    const auto known = known_.constFind(file.url);
    if (known == known_.constEnd()) return text;
    const auto now = TextFile::stamp(file.url);
    if (!now || *now == known->stamp) return text;
    // A file that is there but cannot be read as text (written in another encoding, made
    // unreadable) holds a change that cannot be merged: it is not written over. Anything else in
    // its place is no change to keep: the write says what happens.
    const TextFile::ReadResult read = TextFile::readUtf8(file.url);
    if (!read.text) return QFileInfo(file.url).isFile() ? std::nullopt : std::optional(text);
    if (*read.text == known->text) return text;
    if (auto merged = LineMerge::merge(known->text, text, *read.text)) return merged;
    const int answer = Prompter::current().ask(
        {QStringLiteral("“%1” was changed on disk since it was read.").arg(nameOf(file.url)),
         QStringLiteral("Your edit and the change on disk touch the same lines. Overwriting replaces the version on disk "
                        "with yours; the other changes are lost. Otherwise your edit is dropped and the file is read again."),
         {QStringLiteral("Overwrite"), QStringLiteral("Keep Version on Disk")},
         true});
    if (answer == 0) return text;
    if (const qsizetype at = indexOf(file.url); at >= 0) adoptDiskText(at, read);
    return std::nullopt;
}

void APIService::adoptDiskText(qsizetype at, const TextFile::ReadResult& read) {
    APICollectionFile& record = collections_[at];
    record.requests = record.format->parse(*read.text, record.requests);
    known_.insert(record.url, {read.stamp, *read.text});
    emit collectionsChanged();
}

bool APIService::save(const APICollectionFile& file) {
    // Refused before the list takes it: a request the file cannot hold would block every later
    // edit of the file's other requests.
    if (file.format && file.format->cannotHold)
        for (const HTTPRequest& request : file.requests)
            if (const std::optional<QString> why = file.format->cannotHold(request))
                return fail(QStringLiteral("“%1” cannot hold the request “%2”: %3.")
                                .arg(nameOf(file.url), QString(request.name).replace(u'\n', u' '), *why));
    bool written = false;
    bool merged = false;
    if (!file.format) {
        fail(QStringLiteral("“%1” has no request-file format.").arg(file.url));
    } else {
        const QString own = file.format->serialize(file.requests);
        const std::optional<QString> text = mergedWithDisk(file, own);
        if (!text) return fail(QStringLiteral("“%1” was changed on disk; the version there was kept.").arg(nameOf(file.url)));
        merged = *text != own;
        QString error;
        TextFile::Stamp stamp;
        written = TextFile::writeUtf8(file.url, *text, &error, &stamp);
        if (written) {
            known_.insert(file.url, {stamp, *text});
        } else {
            fail(QStringLiteral("“%1” could not be saved: %2").arg(nameOf(file.url), error));
        }
    }
    // The list follows the edit even when the disk did not: the next rescan shows the truth.
    if (const qsizetype at = indexOf(file.url); at >= 0) {
        collections_[at] = file;
        // What came from the disk is shown at once, read from what was written.
        if (merged && written) collections_[at].requests = file.format->parse(known_.value(file.url).text, file.requests);
        emit collectionsChanged();
    }
    return written;
}

bool APIService::editRequest(const QUuid& id, const QString& fileUrl, const std::function<void(HTTPRequest&)>& edit) {
    const qsizetype at = indexOf(fileUrl);
    if (at < 0) return false;
    APICollectionFile file = collections_[at];
    const auto it = std::find_if(file.requests.begin(), file.requests.end(), [&](const HTTPRequest& r) { return r.id == id; });
    if (it == file.requests.end()) return false;
    edit(*it);
    return save(file);
}

bool APIService::update(const HTTPRequest& request, const QString& fileUrl) {
    return editRequest(request.id, fileUrl, [&](HTTPRequest& stored) { stored = request; });
}

std::optional<QString> APIService::usableName(const QString& name) {
    const QString safe = FileNameSanitizer::sanitizeFileName(name);
    if (safe.isEmpty()) {
        fail(QStringLiteral("“%1” cannot be used as a file name.").arg(name));
        return std::nullopt;
    }
    return safe;
}

std::optional<QString> APIService::createCollection(const QString& name) {
    if (!root_ || name.isEmpty()) return std::nullopt;
    const auto usable = usableName(name);
    if (!usable) return std::nullopt;
    const QString safe = *usable;
    const QString folder = *root_ + u'/' + safe;
    const QString path = folder + u'/' + safe + QStringLiteral(".http");
    if (!QDir().mkpath(folder)) fail(QStringLiteral("The folder “%1” could not be created.").arg(safe));
    if (!pathTaken(path)) {
        QString error;
        if (!TextFile::writeUtf8(path, kNewCollectionText, &error))
            fail(QStringLiteral("“%1” could not be created: %2").arg(nameOf(path), error));
    }
    lookAtOwnChange(QSet<QString>{safe});
    if (const qsizetype at = indexOf(path); at >= 0) return collections_[at].url;
    return path;
}

std::optional<HTTPRequest> APIService::addRequest(const QString& name, const QString& fileUrl) {
    const qsizetype at = indexOf(fileUrl);
    if (at < 0) return std::nullopt;
    APICollectionFile file = collections_[at];
    if (holdsOneRequest(file.format) && !file.requests.isEmpty()) {
        fail(QStringLiteral("“%1” can hold only one request.").arg(nameOf(file.url)));
        return std::nullopt;
    }
    HTTPRequest request;
    request.name = name.isEmpty() ? kNewRequestName : name;
    request.method = HTTPMethod::get;
    request.url = kNewRequestUrl;
    file.requests.append(request);
    save(file);
    return request;
}

std::optional<HTTPRequest> APIService::duplicate(const HTTPRequest& request, const QString& fileUrl) {
    const qsizetype at = indexOf(fileUrl);
    if (at < 0) return std::nullopt;
    APICollectionFile file = collections_[at];
    const auto it = std::find_if(file.requests.cbegin(), file.requests.cend(),
                                 [&](const HTTPRequest& r) { return r.id == request.id; });
    if (it == file.requests.cend()) return std::nullopt;
    if (holdsOneRequest(file.format)) {
        fail(QStringLiteral("“%1” can hold only one request.").arg(nameOf(file.url)));
        return std::nullopt;
    }
    HTTPRequest copy = request;  // as the caller holds it, edits included
    copy.id = QUuid::createUuid();
    copy.name += QStringLiteral(" copy");
    file.requests.insert(it - file.requests.cbegin() + 1, copy);
    save(file);
    return copy;
}

bool APIService::rename(const HTTPRequest& request, const QString& newName, const QString& fileUrl) {
    return editRequest(request.id, fileUrl, [&](HTTPRequest& stored) { stored.name = newName; });
}

bool APIService::deleteRequest(const HTTPRequest& request, const QString& fileUrl) {
    const qsizetype at = indexOf(fileUrl);
    if (at < 0) return false;
    APICollectionFile file = collections_[at];
    file.requests.removeIf([&](const HTTPRequest& r) { return r.id == request.id; });
    return save(file);
}

bool APIService::renameCollection(const QString& fileUrl, const QString& newName) {
    const auto usable = usableName(newName);
    if (!usable) return false;
    const QString safe = *usable;
    const QString path = QDir::cleanPath(fileUrl);
    if (!isCollectionPath(path)) return fail(QStringLiteral("“%1” is no request file of the workspace.").arg(fileUrl));

    bool ok = true;
    QString now = path;  // where the file ends up
    const QString folder = parentOf(path);
    // A .bru file keeps its extension: it is read by its extension.
    const QString extension =
        holdsOneRequest(RequestFormatRegistry::formatFor(path)) ? QStringLiteral(".bru") : QStringLiteral(".http");
    const QString target = folder + u'/' + safe + extension;
    if (target != path) {
        if (pathTaken(target)) {
            ok = fail(QStringLiteral("“%1” already exists.").arg(nameOf(target)));
        } else if (!QFile::rename(path, target)) {
            ok = fail(QStringLiteral("“%1” could not be renamed.").arg(nameOf(path)));
        } else {
            now = target;
        }
    }
    // The folder made for the collection follows its name while the file is alone in it.
    // The workspace root itself is never renamed.
    if (insideRoot(folder) && nameOf(folder) == baseNameOf(path) && entryCount(folder) == 1) {
        const QString newFolder = parentOf(folder) + u'/' + safe;
        if (newFolder != folder) {
            if (pathTaken(newFolder)) {
                ok = fail(QStringLiteral("The folder “%1” already exists.").arg(safe));
            } else if (!QDir().rename(folder, newFolder)) {
                ok = fail(QStringLiteral("The folder “%1” could not be renamed.").arg(nameOf(folder)));
            } else {
                now = newFolder + u'/' + nameOf(now);
            }
        }
    }
    // The moved file holds what it held: its record goes with it, so its requests keep their ids
    // and a request being edited still finds its file.
    if (const qsizetype at = indexOf(path); at >= 0 && now != path) {
        collections_[at].url = now;
        if (known_.contains(path)) known_.insert(now, known_.take(path));
    }
    lookAtOwnChange(QSet<QString>{relativeToRoot(path), relativeToRoot(now), relativeToRoot(folder), relativeToRoot(parentOf(now))});
    return ok;
}

bool APIService::deleteCollection(const QString& fileUrl) {
    const QString path = QDir::cleanPath(fileUrl);
    if (!isCollectionPath(path)) return fail(QStringLiteral("“%1” is no request file of the workspace.").arg(fileUrl));
    QString error;
    bool ok = Trash::moveToTrash(path, &error);
    if (!ok) fail(QStringLiteral("“%1” could not be moved to the Trash: %2").arg(nameOf(path), error));
    // Only a folder made for the collection (named like its file) goes with it, and only when
    // nothing else is left in it; the workspace root always stays.
    const QString folder = parentOf(path);
    if (ok && insideRoot(folder) && nameOf(folder) == baseNameOf(path) && entryCount(folder) == 0) {
        if (!Trash::moveToTrash(folder, &error))
            ok = fail(QStringLiteral("The folder “%1” could not be moved to the Trash: %2").arg(nameOf(folder), error));
    }
    lookAtOwnChange(QSet<QString>{relativeToRoot(path), relativeToRoot(folder)});
    return ok;
}

std::optional<QString> APIService::createEnvironment(const QString& name, bool isSecret) {
    if (!root_ || name.isEmpty()) return std::nullopt;
    const auto usable = usableName(name);
    if (!usable) return std::nullopt;
    const QString safe = *usable;
    const QString folder = *root_ + u'/' + kEnvironmentsFolder;
    const QString fileName = safe + QStringLiteral(".env");
    const QString path = folder + u'/' + fileName;
    if (!QDir().mkpath(folder)) fail(QStringLiteral("The folder “%1” could not be created.").arg(kEnvironmentsFolder));
    if (!pathTaken(path)) {
        QString error;
        if (!TextFile::writeUtf8(path, isSecret ? kSecretsText : kPlainEnvironmentText, &error))
            fail(QStringLiteral("“%1” could not be created: %2").arg(fileName, error));
    }
    if (isSecret) {
        QString error;
        if (!GitignoreFile::addPattern(gitignorePattern(fileName), *root_, &error)) fail(error);
    }
    lookAtOwnChange(QSet<QString>{kEnvironmentsFolder});
    setActiveEnvironment(safe);
    return path;
}
