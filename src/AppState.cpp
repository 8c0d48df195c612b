#include "AppState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSet>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentMap>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <malloc.h>
#include <utility>

#include "API/HTTPClient.h"
#include "API/RequestEditMerge.h"
#include "Platform/FileChooser.h"
#include "Platform/FilePath.h"
#include "Platform/Prompter.h"
#include "Platform/SettingsStore.h"
#include "Platform/TextFile.h"
#include "Platform/Trash.h"
#include "Workspace/FolderWatcher.h"

namespace {
QPointer<AppState> g_shared;

QString fileName(const QString& path) { return QFileInfo(path).fileName(); }

// A document this large leaves pages that the allocator keeps for itself once its text is freed.
constexpr qsizetype kLargeDocumentCharacters = 512 * 1024;

// A session's file this large is read after the window shows the others.
constexpr qint64 kLateBytes = 8 * 1024 * 1024;

// Resolved by the name's real bytes: Qt's file names read names that are not UTF-8 as another.
// Empty when there is no such file.
QByteArray realPathOf(const QString& file) {
    char buffer[PATH_MAX];
    return ::realpath(FilePath::encode(file).constData(), buffer) ? QByteArray(buffer) : QByteArray();
}
} // namespace

AppState::AppState(QObject* parent) : QObject(parent) {
    recentFolders_ = SettingsStore::shared().stringArray(SettingsKey::recentFolders).value_or(QStringList{});
    connect(&api_, &APIService::collectionsChanged, this, &AppState::rebindActiveRequest);
    g_shared = this;
}

AppState::~AppState() = default;

AppState* AppState::shared() { return g_shared.data(); }

template <class Signal>
void AppState::announce(Signal signal) {
    emit(this->*signal)();
    emit changed();
}

void AppState::setFlag(bool& field, bool value) {
    field = value;
    announce(&AppState::overlaysChanged);
}

void AppState::setActiveDocumentId(const std::optional<QUuid>& id) {
    activeDocumentId_ = id;
    announce(&AppState::activeDocumentIdChanged);
}

EditorDocument* AppState::activeDocument() const {
    if (!activeDocumentId_) return nullptr;
    for (EditorDocument* d : documents_)
        if (d->id() == *activeDocumentId_) return d;
    return nullptr;
}

void AppState::setPaletteOpen(bool v) { setFlag(paletteOpen_, v); }
void AppState::setQuickOpenOpen(bool v) { setFlag(quickOpenOpen_, v); }
void AppState::setFindOpen(bool v) { setFlag(findOpen_, v); }
void AppState::setGoToLineOpen(bool v) { setFlag(goToLineOpen_, v); }
void AppState::setProjectSearchOpen(bool v) { setFlag(projectSearchOpen_, v); }

void AppState::setSidebar(const std::optional<SidebarPanel>& panel) {
    sidebar_ = panel;
    announce(&AppState::sidebarChanged);
}

void AppState::setActiveDiff(const std::optional<GitFileChange>& change) {
    activeDiff_ = change;
    announce(&AppState::activeDiffChanged);
}

void AppState::setWhatsNew(const std::optional<WhatsNewEntry>& entry) {
    whatsNew_ = entry;
    announce(&AppState::whatsNewChanged);
}

void AppState::clearActiveRequest() { setActiveRequest(std::nullopt); }

void AppState::setActiveRequest(const std::optional<ActiveRequest>& value) {
    activeRequest_ = value;
    announce(&AppState::activeRequestChanged);
}

void AppState::setLastResponse(const std::optional<HTTPResponse>& value) {
    lastResponse_ = value;
    announce(&AppState::lastResponseChanged);
}

// ---------------------------------------------------------------- documents and tabs

EditorDocument* AppState::documentWithUrl(const QString& path) const {
    for (EditorDocument* d : documents_)
        if (d->url() == path) return d;
    // The same file reached another way: through a symbolic link, or a folder opened through one.
    const QByteArray wanted = realPathOf(path);
    if (wanted.isEmpty()) return nullptr;
    for (EditorDocument* d : documents_)
        if (d->url() && realPathOf(*d->url()) == wanted) return d;
    return nullptr;
}

void AppState::open(const QString& path) { open(path, std::nullopt); }

void AppState::open(const QString& path, std::optional<TextFile::ReadResult> read) {
    setActiveDiff(std::nullopt);
    clearActiveRequest();
    if (EditorDocument* existing = documentWithUrl(path)) {
        setActiveDocumentId(existing->id());
        return;
    }
    if (!read) read = TextFile::readUtf8(path);
    if (!read->text) {
        // Say why, rather than leaving the user wondering why nothing opened.
        Prompter::current().ask({QStringLiteral("“%1” could not be opened.").arg(fileName(path)), read->error, {}, true});
        return;
    }
    auto* document = new EditorDocument(path, *read->text, this);
    document->setDiskStamp(read->stamp);
    documents_.append(document);
    announce(&AppState::documentsChanged);
    setActiveDocumentId(document->id());
}

void AppState::newUntitled() {
    auto* document = new EditorDocument(std::nullopt, QString(), this);
    documents_.append(document);
    announce(&AppState::documentsChanged);
    setActiveDocumentId(document->id());
}

void AppState::selectTab(EditorDocument* document) {
    setActiveDocumentId(document->id());
    setActiveDiff(std::nullopt);
    clearActiveRequest();
}

void AppState::cycleTab(int offset) {
    const qsizetype index = documents_.indexOf(activeDocument());
    if (index < 0) return;
    const qsizetype count = documents_.size();
    const qsizetype next = ((index + offset) % count + count) % count;
    selectTab(documents_[next]);
}

void AppState::close(EditorDocument* document) {
    if (!document) return;
    document->finishSaving();  // a save under way may leave nothing to ask about
    if (document->isDirty() && !confirmDiscard(document)) return;
    removeDocument(document);
}

void AppState::removeDocument(EditorDocument* document) {
    const qsizetype index = documents_.indexOf(document);
    if (index < 0) return;
    const QUuid closedId = document->id();
    documents_.removeAt(index);
    announce(&AppState::documentsChanged);
    if (activeDocumentId_ == closedId) {
        if (documents_.isEmpty()) {
            setActiveDocumentId(std::nullopt);
        } else {
            setActiveDocumentId(documents_[qMin(index, documents_.size() - 1)]->id());
        }
    }
    // The allocator keeps the freed pages of a large text for reuse; give them back to the system
    // once the document is gone (its editor view was retired before it, above).
    if (document->text().size() >= kLargeDocumentCharacters)
        connect(document, &QObject::destroyed, [] { malloc_trim(0); });
    document->deleteLater();  // views may still hold it during this turn
}

void AppState::finishSaves() {
    // Telling of a failure may run the event loop: the list is not walked itself.
    const QList<QPointer<EditorDocument>> open(documents_.begin(), documents_.end());
    for (const QPointer<EditorDocument>& d : open)
        if (d) d->finishSaving();
}

bool AppState::hasUnsavedChanges() const {
    return std::any_of(documents_.begin(), documents_.end(), [](EditorDocument* d) { return d->isDirty(); });
}

bool AppState::confirmDiskChange(EditorDocument* document) {
    Alert alert;
    alert.warning = true;
    switch (document->diskChange()) {
    case EditorDocument::DiskChange::none: return true;
    case EditorDocument::DiskChange::changed:
        alert.title = QStringLiteral("“%1” was changed on disk since it was opened.").arg(document->displayName());
        alert.message = QStringLiteral("Saving replaces the version on disk with yours; the other changes are lost.");
        alert.buttons = {QStringLiteral("Overwrite"), QStringLiteral("Cancel")};
        alert.defaultButton = 1;  // a reflexive Return keeps the other program's change
        break;
    case EditorDocument::DiskChange::missing:
        alert.title = QStringLiteral("“%1” was moved or deleted since it was opened.").arg(document->displayName());
        alert.message = QStringLiteral("Saving creates it again at its former place.");
        alert.buttons = {QStringLiteral("Save"), QStringLiteral("Cancel")};
        break;
    }
    return Prompter::current().ask(alert) == 0;
}

bool AppState::writeOrReport(EditorDocument* document, const std::optional<QString>& to, bool inBackground) {
    document->finishSaving();  // the file as the last save left it
    // Writing over the document's own file must not silently undo what happened to it meanwhile.
    if ((!to || to == document->url()) && !confirmDiskChange(document)) return false;
    const QString name = to ? fileName(*to) : document->displayName();
    const auto report = [name](const QString& error) {
        Prompter::current().ask({QStringLiteral("“%1” could not be saved.").arg(name), error, {}, true});
    };
    QString error;
    if (inBackground) {
        if (!document->saveInBackground(to, &error)) {
            report(error);
            return false;
        }
        connect(document, &EditorDocument::saveFinished, this, [report](const QString& error) {
            if (!error.isEmpty()) report(error);
        }, Qt::SingleShotConnection);
        return true;
    }
    if (document->save(to, &error)) return true;
    report(error);
    return false;
}

bool AppState::saveToChosenLocation(EditorDocument* document, bool inBackground) {
    ChooserRequest request;
    request.title = QStringLiteral("Save");
    request.prompt = QStringLiteral("Save");
    request.proposedName = QStringLiteral("Untitled.txt");
    if (rootNode_) request.directory = rootNode_->url();
    const auto target = FileChooser::current().chooseSaveLocation(request);
    if (!target) return false;
    return writeOrReport(document, *target, inBackground);
}

bool AppState::save(EditorDocument* document, bool inBackground) {
    if (!document) return false;
    if (document->url()) return writeOrReport(document, std::nullopt, inBackground);
    return saveToChosenLocation(document, inBackground);
}

bool AppState::confirmDiscard(EditorDocument* document) {
    Alert alert;
    alert.title = QStringLiteral("Save changes to “%1” before closing?").arg(document->displayName());
    alert.message = QStringLiteral("Your changes will be lost if you don’t save them.");
    alert.buttons = {QStringLiteral("Save"), QStringLiteral("Don’t Save"), QStringLiteral("Cancel")};
    alert.warning = true;
    switch (Prompter::current().ask(alert)) {
    case 0: return save(document);
    case 1: return true;
    default: return false;
    }
}

AppState::TerminateReply AppState::confirmUnsaved(const QString& informative) {
    // Once written a document has nothing left to ask about, and a failed save is told before the question.
    finishSaves();
    QList<EditorDocument*> dirty;
    for (EditorDocument* d : documents_)
        if (d->isDirty()) dirty << d;
    if (dirty.isEmpty()) return TerminateReply::terminateNow;
    const qsizetype n = dirty.size();
    Alert alert;
    alert.title = QStringLiteral("You have %1 document%2 with unsaved changes.").arg(n).arg(n == 1 ? "" : "s");
    alert.message = informative;
    alert.buttons = {QStringLiteral("Save All"), QStringLiteral("Discard"), QStringLiteral("Cancel")};
    alert.warning = true;
    switch (Prompter::current().ask(alert)) {
    case 0:
        for (EditorDocument* d : dirty)
            if (!save(d)) return TerminateReply::cancel;
        return TerminateReply::terminateNow;
    case 1: return TerminateReply::terminateNow;
    default: return TerminateReply::cancel;
    }
}

AppState::TerminateReply AppState::confirmTerminate() {
    return confirmUnsaved(QStringLiteral("Do you want to save them before quitting?"));
}

AppState::TerminateReply AppState::confirmCloseWindow() {
    return confirmUnsaved(QStringLiteral("Do you want to save them before closing the window?"));
}

QList<EditorDocument*> AppState::documentsAtOrUnder(const QString& path) const {
    QList<EditorDocument*> found;
    const QString folder = path.endsWith(u'/') ? path : path + u'/';
    for (EditorDocument* d : documents_)
        if (d->url() && (*d->url() == path || d->url()->startsWith(folder))) found << d;
    return found;
}

bool AppState::renameEntry(const QString& from, const QString& to) {
    finishSaves();  // a save under way would write the old name again
    const QList<EditorDocument*> moved = documentsAtOrUnder(from);
    if (::rename(FilePath::encode(from).constData(), FilePath::encode(to).constData()) != 0) return false;
    for (EditorDocument* d : moved) d->moveTo(to + d->url()->mid(from.size()));
    if (!moved.isEmpty()) announce(&AppState::documentsChanged);
    return true;
}

bool AppState::moveToTrash(const QString& path) {
    finishSaves();  // a save under way would bring the file back
    const QList<EditorDocument*> closing = documentsAtOrUnder(path);
    for (EditorDocument* d : closing)
        if (d->isDirty() && !confirmDiscard(d)) return false;
    if (!Trash::moveToTrash(path)) return false;
    for (EditorDocument* d : closing) removeDocument(d);
    return true;
}

QStringList AppState::quickOpenFiles() const {
    QStringList files;
    if (rootNode_) rootNode_->allFiles(files);
    return files;
}

// ---------------------------------------------------------------- folder and session

void AppState::openFolder(const QString& path) {
    rootNode_ = std::make_shared<FileNode>(path);
    rootNode_->setIsExpanded(true);
    rootNode_->loadChildren();
    announce(&AppState::rootNodeChanged);
    rememberFolder(path);
    startWatching(path);
    const QString resolved = QFileInfo(path).canonicalFilePath();
    api_.setRoot(resolved.isEmpty() ? path : resolved);
    // Walked on another thread: a folder of many files would otherwise hold the window as it opens.
    api_.reloadLater();
    git_.attach(path);
}

void AppState::promptOpenFolder() {
    ChooserRequest request;
    request.title = QStringLiteral("Open Folder");
    request.prompt = QStringLiteral("Open Folder");
    if (const auto folder = FileChooser::current().chooseFolder(request)) openFolder(*folder);
}

void AppState::rememberFolder(const QString& path) {
    recentFolders_.removeAll(path);
    recentFolders_.prepend(path);
    while (recentFolders_.size() > 8) recentFolders_.removeLast();
    announce(&AppState::recentFoldersChanged);
    SettingsStore::shared().setValue(SettingsKey::recentFolders, QJsonArray::fromStringList(recentFolders_));
}

void AppState::startWatching(const QString& path) {
    QPointer<AppState> self(this);
    watcher_ = std::make_unique<FolderWatcher>(path, [self] {
        if (self) self->handleWatchedChanges();
    });
    withdrawAlert(toldFolderError_);  // about the folder open before
    withdrawAlert(toldOutOfWatches_);
    tellOfUnwatchedFolders();
}

bool AppState::watchesEverything() const { return !watcher_ || watcher_->watchesEverything(); }

void AppState::refreshUnwatched() {
    if (!watchesEverything() && rootNode_) rootNode_->refreshLoaded();
}

namespace {
QString whyNotWatched(const QString& folder, int error) {
    switch (error) {
    case ENOENT: return QStringLiteral("There is no folder at %1.").arg(folder);
    case ENOTDIR: return QStringLiteral("%1 is a file, not a folder.").arg(folder);
    case EACCES:
    case EPERM: return QStringLiteral("You are not allowed to read %1.").arg(folder);
    default: return QStringLiteral("%1: %2.").arg(folder, QString::fromLocal8Bit(std::strerror(error)));
    }
}
} // namespace

// Each trouble is told once while it lasts, and taken back once it is over (the folder made again,
// another folder opened), so what stays on screen is never out of date.
void AppState::tellOfUnwatchedFolders() {
    if (!watcher_ || !rootNode_) return;
    const int error = watcher_->folderError();
    const bool folderUnwatched = error != 0 && error != ENOSPC;
    const bool someUnwatched = error == ENOSPC || watcher_->outOfWatches();
    if (!folderUnwatched) withdrawAlert(toldFolderError_);
    if (!someUnwatched) withdrawAlert(toldOutOfWatches_);
    std::optional<Alert> alert;
    if (folderUnwatched && toldFolderError_.isEmpty()) {
        alert = Alert{QStringLiteral("“%1” is not watched for changes.").arg(rootNode_->name()),
                      whyNotWatched(rootNode_->url(), error), {}, true};
        toldFolderError_ = alert->title;
    } else if (someUnwatched && toldOutOfWatches_.isEmpty()) {
        alert = Alert{QStringLiteral("Some folders are not watched for changes."),
                      QStringLiteral("The system’s limit of watched folders is reached. Folders that are not "
                                     "watched are listed again when you open them or return to the window."),
                      {},
                      true};
        toldOutOfWatches_ = alert->title;
    }
    // Later, so a folder being opened is not held up by the question; not at all when the trouble
    // is over by then.
    if (alert)
        QTimer::singleShot(0, this, [this, alert = *alert] {
            if (alert.title == toldFolderError_ || alert.title == toldOutOfWatches_) Prompter::current().ask(alert);
        });
}

void AppState::withdrawAlert(QString& told) {
    if (told.isEmpty()) return;
    Prompter::current().withdraw(std::exchange(told, QString()));
}

void AppState::handleExternalChange() {
    tellOfUnwatchedFolders();  // a folder made since may have gone unwatched
    if (rootNode_) rootNode_->refreshLoaded();
    for (EditorDocument* d : documents_) reloader_.reload(d);
    api_.reloadLater();
    git_.refresh();
    announce(&AppState::rootNodeChanged);
}

// Only what the watcher saw change is looked at again; when it lost track, every loaded folder is
// listed again off the main thread.
void AppState::handleWatchedChanges() {
    // A watcher already gone (another folder opened since) says nothing of what changed.
    const FolderChanges changes = watcher_ ? watcher_->takeChanges() : FolderChanges{true, {}};
    tellOfUnwatchedFolders();
    if (rootNode_ && changes.everything) rootNode_->refreshLoadedLater();
    else if (rootNode_) rootNode_->applyChanges(changes.paths);
    for (EditorDocument* d : documents_) reloader_.reload(d);
    changes.everything ? api_.reloadLater() : api_.reload(changes.paths);
    git_.refresh();
}

void AppState::saveSession() const {
    SettingsStore& settings = SettingsStore::shared();
    if (rootNode_)
        settings.setValue(SettingsKey::sessionFolder, rootNode_->url());
    else
        settings.remove(SettingsKey::sessionFolder);
    QJsonArray docs;
    for (EditorDocument* d : documents_)
        if (d->url()) docs.append(*d->url());
    settings.setValue(SettingsKey::sessionDocs, docs);
    EditorDocument* active = activeDocument();
    if (active && active->url())
        settings.setValue(SettingsKey::sessionActive, *active->url());
    else
        settings.remove(SettingsKey::sessionActive);
}

void AppState::restoreSession() {
    const SettingsStore& settings = SettingsStore::shared();
    const QJsonValue folder = settings.value(SettingsKey::sessionFolder);
    struct stat st {};
    // Skipped when gone, or when a file now stands in its place.
    if (folder.isString() && ::stat(FilePath::encode(folder.toString()).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        openFolder(folder.toString());
    const QStringList paths = settings.stringArray(SettingsKey::sessionDocs).value_or(QStringList{});
    if (paths.isEmpty()) return;
    setActiveDiff(std::nullopt);
    clearActiveRequest();

    // Every tab is opened as open() would, but the views hear of the list and of the active tab once:
    // each announcement rebuilds what they show, which would make the start grow with the tabs.
    // A file listed twice, or reached through a link, is one tab and is read once.
    QHash<QString, EditorDocument*> byPath;
    QHash<QByteArray, EditorDocument*> byRealPath;
    for (EditorDocument* d : std::as_const(documents_)) {
        if (!d->url()) continue;
        byPath.insert(*d->url(), d);
        if (const QByteArray real = realPathOf(*d->url()); !real.isEmpty()) byRealPath.insert(real, d);
    }
    QList<QByteArray> realPaths;
    QList<qsizetype> readAt;  // per path, its place among the files read now; -1 for none
    QStringList toRead;
    QList<qsizetype> late;  // the places in paths of the files read later
    QSet<QByteArray> reading;
    for (const QString& path : paths) {
        realPaths << realPathOf(path);
        const QByteArray& real = realPaths.last();
        const bool known = byPath.contains(path) || byRealPath.contains(real) || reading.contains(real);
        struct stat file {};
        const bool large = !known && ::stat(FilePath::encode(path).constData(), &file) == 0 && file.st_size > kLateBytes;
        readAt << (known || large ? -1 : toRead.size());
        if (known) continue;
        if (!real.isEmpty()) reading.insert(real);
        if (large) late << realPaths.size() - 1;
        else toRead << path;
    }
    // The files are read side by side: the start then waits for the largest, not for all in turn.
    const QList<TextFile::ReadResult> reads = QtConcurrent::blockingMapped<QList<TextFile::ReadResult>>(
        toRead, [](const QString& path) { return TextFile::readUtf8(path); });

    const auto adopt = [this](const QString& path, const TextFile::ReadResult& read) {
        auto* d = new EditorDocument(path, *read.text, this);
        d->setDiskStamp(read.stamp);
        return d;
    };
    // The tab of each path, as it stands once the files read now are in.
    QList<QPointer<EditorDocument>> tabs;
    const qsizetype before = documents_.size();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QByteArray& real = realPaths[i];
        EditorDocument* d = byPath.value(paths[i], real.isEmpty() ? nullptr : byRealPath.value(real));
        // A file that is gone or can no longer be read is skipped quietly: nobody asked to open it now.
        if (!d && readAt[i] >= 0 && reads[readAt[i]].text) {
            d = adopt(paths[i], reads[readAt[i]]);
            documents_.append(d);
            byPath.insert(paths[i], d);
            if (!real.isEmpty()) byRealPath.insert(real, d);
        }
        tabs << d;
    }
    if (documents_.size() != before) announce(&AppState::documentsChanged);
    const QJsonValue saved = settings.value(SettingsKey::sessionActive);
    const std::optional<QString> savedActive = saved.isString() ? std::optional(saved.toString()) : std::nullopt;
    // The saved active tab, or else the last one reached.
    const auto activeOf = [this, savedActive](const QList<QPointer<EditorDocument>>& tabs) -> EditorDocument* {
        if (savedActive)
            if (EditorDocument* d = documentWithUrl(*savedActive)) return d;
        for (qsizetype i = tabs.size() - 1; i >= 0; --i)
            if (tabs[i] && documents_.contains(tabs[i].data())) return tabs[i];
        return nullptr;
    };
    if (EditorDocument* d = activeOf(tabs)) setActiveDocumentId(d->id());
    if (late.isEmpty()) return;

    // Large files are read on another thread: the window shows the other tabs, and answers,
    // meanwhile. Each then joins its tab's place in the order, and becomes active when it is the
    // one that should be, unless another tab was chosen in between.
    QStringList latePaths;
    for (qsizetype i : std::as_const(late)) latePaths << paths[i];
    auto* watcher = new QFutureWatcher<TextFile::ReadResult>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, paths, realPaths, late, tabs, activeOf, adopt,
                                                           chosen = activeDocumentId_]() mutable {
        watcher->deleteLater();
        const QList<TextFile::ReadResult> lateReads = watcher->future().results();
        bool added = false;
        for (qsizetype k = 0; k < late.size() && k < lateReads.size(); ++k) {
            const qsizetype i = late[k];
            // Opened meanwhile some other way: that tab stays as it is.
            if (EditorDocument* open = documentWithUrl(paths[i])) {
                tabs[i] = open;
                continue;
            }
            if (!lateReads[k].text) continue;
            // After the nearest restored tab before it that is still open, else at the front of them.
            qsizetype at = 0;
            for (qsizetype j = i - 1; j >= 0; --j)
                if (const qsizetype found = tabs[j] ? documents_.indexOf(tabs[j].data()) : -1; found >= 0) {
                    at = found + 1;
                    break;
                }
            if (at == 0)
                for (qsizetype j = i + 1; j < tabs.size(); ++j)
                    if (const qsizetype found = tabs[j] ? documents_.indexOf(tabs[j].data()) : -1; found >= 0) {
                        at = found;
                        break;
                    }
            tabs[i] = adopt(paths[i], lateReads[k]);
            documents_.insert(at, tabs[i].data());
            added = true;
            // The same file listed again, or through a link, is this tab too.
            for (qsizetype j = i + 1; j < tabs.size(); ++j)
                if (!tabs[j] && !realPaths[i].isEmpty() && realPaths[j] == realPaths[i]) tabs[j] = tabs[i];
        }
        if (added) announce(&AppState::documentsChanged);
        if (activeDocumentId_ != chosen) return;
        if (EditorDocument* d = activeOf(tabs); d && d->id() != activeDocumentId_) setActiveDocumentId(d->id());
    });
    watcher->setFuture(QtConcurrent::mapped(latePaths, [](const QString& path) { return TextFile::readUtf8(path); }));
}

void AppState::checkWhatsNew() {
    const QString current = AppInfo::version();
    SettingsStore& settings = SettingsStore::shared();
    const QJsonValue stored = settings.value(SettingsKey::lastSeenVersion);
    settings.setValue(SettingsKey::lastSeenVersion, current);
    if (stored.isString() && stored.toString() == current) return;
    if (const auto entry = WhatsNew::entry(current)) setWhatsNew(*entry);
}

// ---------------------------------------------------------------- the active HTTP request

void AppState::openRequest(const HTTPRequest& request, const APICollectionFile& file) {
    setActiveDiff(std::nullopt);
    setActiveRequest(ActiveRequest{file, request, false});
    setLastResponse(std::nullopt);
}

void AppState::openNewlyCreated(const QString& fileUrl, const QString& name) {
    for (const APICollectionFile& file : api_.collections()) {
        if (file.url != fileUrl) continue;
        for (auto it = file.requests.crbegin(); it != file.requests.crend(); ++it)
            if (it->name == name) return openRequest(*it, file);
        return;
    }
}

void AppState::updateActiveRequest(const HTTPRequest& request) {
    if (!activeRequest_ || activeRequest_->detached) return;
    ActiveRequest next = *activeRequest_;
    next.request = request;
    // The editor may show another version than the file holds (a replayed one): only what this
    // edit changed goes into the file's version, and the editor then shows the result.
    if (const HTTPRequest* stored = storedRequest(next.file.url, request.id);
        stored && !stored->sameContent(activeRequest_->request))
        next.request = RequestEditMerge::apply(activeRequest_->request, request, *stored);
    setActiveRequest(next);
    api_.update(next.request, next.file.url);
}

const HTTPRequest* AppState::storedRequest(const QString& fileUrl, const QUuid& id) const {
    for (const APICollectionFile& f : api_.collections()) {
        if (f.url != fileUrl) continue;
        for (const HTTPRequest& r : f.requests)
            if (r.id == id) return &r;
        return nullptr;
    }
    return nullptr;
}

void AppState::sendActiveRequest() {
    if (!activeRequest_) return;
    const quint64 serial = ++sendSerial_;
    const HTTPRequest sent = activeRequest_->request;
    const HTTPClient::Environment values = api_.environmentValues();
    // The completion never comes before send() returns, so the cancel is registered in time.
    sends_[serial] = HTTPClient::send(sent, values, {this, [this, sent, values, serial](const HTTPSendResult& result) {
        const HTTPResponse response = result.responseOrFailure();
        // Shown only under the request that was sent; otherwise it goes to the history alone.
        if (activeRequest_ && activeRequest_->request.id == result.requestId) setLastResponse(response);
        history_.record(sent, HTTPClient::expand(sent.url, values), response);
        sends_.remove(serial);
        announce(&AppState::isSendingChanged);
    }});
    announce(&AppState::isSendingChanged);
}

void AppState::cancelSends() {
    // Each cancel completes its send, which removes it from the map: work on a copy.
    const QList<HTTPClient::Cancel> cancels = sends_.values();
    for (const HTTPClient::Cancel& cancel : cancels)
        if (cancel) cancel();
}

void AppState::replay(const QUuid& entryId) {
    const auto snapshot = history_.request(entryId);
    if (!snapshot) return;
    const auto response = history_.response(entryId);
    if (!response) return;
    std::optional<APICollectionFile> file;
    for (const APICollectionFile& f : api_.collections()) {
        const bool holds = std::any_of(f.requests.begin(), f.requests.end(),
                                       [&](const HTTPRequest& r) { return r.id == snapshot->id; });
        if (holds) {
            file = f;
            break;
        }
    }
    const bool detached = !file.has_value();
    if (!file && activeRequest_) file = activeRequest_->file;
    if (!file) return;
    setActiveDiff(std::nullopt);
    setActiveRequest(ActiveRequest{*file, *snapshot, detached});
    setLastResponse(*response);
}

void AppState::rebindActiveRequest() {
    // After a rescan the file may have moved (renamed collection); follow the request by its id.
    // A file read anew (changed outside) shows the request as it now reads, so that the next
    // edit starts from there instead of writing an older version back.
    if (!activeRequest_ || activeRequest_->detached) return;
    const QUuid id = activeRequest_->request.id;
    const auto sameId = [&](const HTTPRequest& r) { return r.id == id; };
    for (const APICollectionFile& f : api_.collections()) {
        const auto r = std::find_if(f.requests.cbegin(), f.requests.cend(), sameId);
        if (r == f.requests.cend()) continue;
        const QList<HTTPRequest>& before = activeRequest_->file.requests;
        const auto old = std::find_if(before.cbegin(), before.cend(), sameId);
        const bool readAnew = old == before.cend() || old->source != r->source;
        if (f.url == activeRequest_->file.url && !readAnew) return;
        ActiveRequest next = *activeRequest_;
        next.file = f;
        if (readAnew) next.request = *r;
        setActiveRequest(next);
        return;
    }
    // No file holds it any more (deleted, or renamed in the text elsewhere): edits would reach
    // nothing, so the editor takes none instead of dropping them unseen.
    ActiveRequest next = *activeRequest_;
    next.detached = true;
    setActiveRequest(next);
}
