#include "Git/GitDirWatcher.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {
constexpr int kQuietMs = 150;
} // namespace

GitDirWatcher::GitDirWatcher(const QString& gitDir, const QString& commonDir, QObject* parent)
    : QObject(parent), gitDir_(gitDir), commonDir_(commonDir), refs_(QDir(commonDir).filePath(QStringLiteral("refs"))) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietMs);
    connect(&quiet_, &QTimer::timeout, this, &GitDirWatcher::changed);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &GitDirWatcher::noticed);
    // Git replaces HEAD, the index and refs by renaming a lock file over them, which shows as a
    // change of the folder that holds them.
    watchAll();
}

void GitDirWatcher::watchAll() {
    // A folder deleted is dropped by the watcher itself; so is ours.
    const QStringList live = watcher_.directories();
    watched_ = QSet<QString>(live.begin(), live.end());
    QSet<QString> waiting;
    for (const QString& folder : {gitDir_, commonDir_}) {
        if (QFileInfo(folder).isDir()) watch(folder);
        else waiting.insert(QFileInfo(folder).absolutePath());
    }
    for (const QString& folder : waiting) watch(folder);
    for (const QString& folder : std::exchange(waitingIn_, waiting))
        if (!waiting.contains(folder) && folder != gitDir_ && folder != commonDir_ && watcher_.removePath(folder))
            watched_.remove(folder);
    watchRefFolders();
}

void GitDirWatcher::watch(const QString& folder) {
    if (watched_.contains(folder) || !QFileInfo(folder).isDir()) return;
    if (watcher_.addPath(folder)) watched_.insert(folder);
}

void GitDirWatcher::watchRefFolders() { watchNewFolders(refs_, true); }

void GitDirWatcher::watchNewFolders(const QString& folder, bool everything) {
    if (!QFileInfo(folder).isDir()) return;  // gone as well
    watch(folder);
    ++foldersListed_;
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        const QString child = it.next();
        if (it.fileInfo().isSymLink()) continue;
        // A folder already watched tells of its own changes; below a new one everything is new.
        if (everything || !watched_.contains(child)) watchNewFolders(child, true);
    }
}

void GitDirWatcher::noticed(const QString& folder) {
    // A folder that went away is no longer watched; one made for a new ref must be.
    const bool gone = !QFileInfo(folder).isDir();
    if (gone) watched_.remove(folder);
    if ((gone && (folder == gitDir_ || folder == commonDir_)) || waitingIn_.contains(folder)) watchAll();
    // A git dir made afresh gets its refs folder after the git dir itself.
    else if (folder == commonDir_ && !watched_.contains(refs_))
        watchRefFolders();
    // A ref folder changed: only the folders new in it need a watch, not every folder of every
    // branch. One made again after it went is new in the folder that holds it, which says so.
    else if (!gone && (folder == refs_ || folder.startsWith(refs_ + u'/')))
        watchNewFolders(folder, false);
    quiet_.start();
}
