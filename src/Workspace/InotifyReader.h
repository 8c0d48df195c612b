#pragma once
// Sees changes anywhere below a folder through inotify: every directory is watched, and directories
// that appear later are watched as they appear. A large tree is watched over several turns of the
// event loop, a bounded number of entries listed in each, so the window answers meanwhile. Symbolic links are never followed below the folder.
// A directory below that refuses a watch (no permission) is watched once its mode lets it be.
// At the system's limit of watches the folders beyond it go unwatched, and the reader says so.
// A folder that is missing (never there, deleted, moved away) is watched from the nearest folder
// above it, and watched again, whole, once a folder is back under its name.
#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <utility>

#include "Workspace/FolderChanges.h"

class QSocketNotifier;

class InotifyReader : public QObject {
    Q_OBJECT
public:
    // The folder is watched when the constructor returns, and the directories below as far as one
    // turn's share goes (a small tree whole); the rest on this thread's event loop, as is reading.
    explicit InotifyReader(const QString& folder, QObject* parent = nullptr);
    ~InotifyReader() override;

    // The folder itself is watched now.
    bool isActive() const { return rootWd_ >= 0; }
    // Why the folder itself is not watched (ENOENT, ENOTDIR, EACCES, ENOSPC, ...); 0 while it is.
    int folderError() const { return folderError_; }
    int watchedDirectoryCount() const { return int(paths_.size()); }
    // Watches looked at to find those of folders moved away, since construction.
    quint64 watchesLookedAt() const { return watchesLookedAt_; }
    // Some directory below could not be watched for want of watches, since the folder was last
    // watched anew.
    bool outOfWatches() const { return outOfWatches_; }
    bool watchesEverything() const { return isActive() && !outOfWatches_ && pending_.isEmpty(); }
    // Directories are still waiting for their watch.
    bool settingUp() const { return !pending_.isEmpty(); }
    // Directory entries listed to place watches, since construction; and the most in one turn.
    quint64 entriesListed() const { return entriesListed_; }
    quint64 mostListedInATurn() const { return mostListedInATurn_; }

    // Readers made afterwards take at most this many watches, as if the system allowed no more;
    // negative: only the system's own limit.
    static void limitWatchesTo(int count);

    // The changes read since the last call, and forgets them.
    FolderChanges takeChanges() { return std::exchange(changes_, {}); }

signals:
    // Something changed; emitted once per batch of events read.
    void eventsArrived();
    // Every directory waiting for its watch has one now (or the watches ran out).
    void setUpDone();

private:
    void readEvents();
    // Records a change at path, which lies below the folder.
    void note(const QString& path);
    // Watches the folder itself at once when isFolder; the directories below are queued.
    bool watchTree(const QString& dir, bool isFolder);
    // Watches queued directories until a turn's share of entries is listed; the rest next turn.
    void watchPending();
    void forgetTree(const QString& dir);
    void forgetAll();
    // Watches the folder when it is there, otherwise the nearest folder above it; true when the
    // folder itself is watched.
    bool awaitFolder();
    void stopAwaiting();

    const QString folder_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    const int limit_;
    bool outOfWatches_ = false;
    int rootWd_ = -1;
    int folderError_ = 0;
    int awaitWd_ = -1;  // on the folder above, while the folder itself is not watched
    QByteArray awaitName_;  // the name in that folder that leads to the folder
    QHash<int, QString> paths_;  // watch descriptor -> directory path
    QMap<QString, int> byPath_;  // the same, by path in order: what lies below a folder is a run
    quint64 watchesLookedAt_ = 0;
    void addWatch(int wd, const QString& path);
    void dropWatch(int wd);
    QSet<QString> closed_;       // directories below that refused a watch for want of permission
    QStringList pending_;        // directories still to watch and list, the last first
    bool resumeQueued_ = false;
    quint64 entriesListed_ = 0;
    quint64 mostListedInATurn_ = 0;
    FolderChanges changes_;
};
