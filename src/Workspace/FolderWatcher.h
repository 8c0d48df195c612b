#pragma once
// Tells the window that something changed somewhere under its folder: which path or what kind of
// change is not said. The callback runs on the main thread, paced by DeliveryPacer (0.4 s between
// deliveries, 0.15 s of quiet after the last one). Changes from before construction are never reported.
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

#include "Workspace/DeliveryPacer.h"

class InotifyReader;

class FolderWatcher {
public:
    // Running when the constructor returns; a folder that cannot be watched gives a silent watcher.
    // Construct on the main thread.
    FolderWatcher(const QString& url, std::function<void()> onChange);
    // Stops watching. A callback already due still runs once afterwards, so onChange must check that
    // its receiver still exists (capture a QPointer).
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    bool isRunning() const;
    // False when some folder below is not watched (the system's limit of watches was reached, or the
    // folder could not be watched at all): changes there go unreported.
    bool watchesEverything() const;
    // A change has been read and its callback is waiting for the quiet period to pass.
    bool callbackPending() const { return pacer_.callbackDue().has_value(); }

private:
    void schedule();
    void fireDue();

    const std::function<void()> onChange_;
    DeliveryPacer pacer_;
    QElapsedTimer clock_;
    QTimer timer_;
    std::unique_ptr<InotifyReader> reader_;
};
