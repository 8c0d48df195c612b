#pragma once
// Sees changes anywhere below a folder through inotify: every directory is watched, and directories
// that appear later are watched as they appear. Symbolic links are never followed below the folder.
// At the system's limit of watches the folders beyond it go unwatched, and the reader says so.
#include <QHash>
#include <QObject>
#include <QString>

class QSocketNotifier;

class InotifyReader : public QObject {
    Q_OBJECT
public:
    // Watches are in place when the constructor returns; reading happens on this thread's event loop.
    explicit InotifyReader(const QString& folder, QObject* parent = nullptr);
    ~InotifyReader() override;

    // False when the folder could not be watched at all.
    bool isActive() const { return fd_ >= 0; }
    int watchedDirectoryCount() const { return int(paths_.size()); }
    // False once a directory could not be watched for want of watches; it stays false.
    bool watchesEverything() const { return isActive() && !outOfWatches_; }

    // Readers made afterwards take at most this many watches, as if the system allowed no more;
    // negative: only the system's own limit.
    static void limitWatchesTo(int count);

signals:
    // Something changed; emitted once per batch of events read.
    void eventsArrived();

private:
    void readEvents();
    bool watchTree(const QString& dir, bool followLink);
    void forgetTree(const QString& dir);

    const QString folder_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    const int limit_;
    bool outOfWatches_ = false;
    QHash<int, QString> paths_;  // watch descriptor -> directory path
};
