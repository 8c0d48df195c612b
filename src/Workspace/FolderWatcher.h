#pragma once
// Tells the window that something changed somewhere under its folder; what changed is kept until asked for. The callback runs on the main thread, paced by DeliveryPacer (0.4 s between
// deliveries, 0.15 s of quiet after the last one). Changes from before construction are never reported.
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

#include "Workspace/DeliveryPacer.h"
#include "Workspace/FolderChanges.h"

class InotifyReader;

class FolderWatcher {
public:
    // Running when the constructor returns, when the folder can be watched at all.
    // Construct on the main thread.
    FolderWatcher(const QString& url, std::function<void()> onChange);
    // Stops watching. A callback already due still runs once afterwards, so onChange must check that
    // its receiver still exists (capture a QPointer).
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // The folder itself is watched now. A folder that is missing is watched once it is made (again).
    bool isRunning() const;
    // Why the folder itself is not watched (ENOENT, ENOTDIR, EACCES, ENOSPC, ...); 0 while it is.
    int folderError() const;
    // Some folder below went unwatched because the system's limit of watches was reached.
    bool outOfWatches() const;
    // False when changes somewhere under the folder go unreported: the folder is not watched, or
    // some folder below it is not.
    bool watchesEverything() const;
    // A change has been read and its callback is waiting for the quiet period to pass.
    bool callbackPending() const { return pacer_.callbackDue().has_value(); }
    // What changed since the last call; the callback asks for it.
    FolderChanges takeChanges();

private:
    void schedule();
    void fireDue();

    const std::function<void()> onChange_;
    DeliveryPacer pacer_;
    QElapsedTimer clock_;
    QTimer timer_;
    std::unique_ptr<InotifyReader> reader_;
};
