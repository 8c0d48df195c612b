#include "Views/Navigation/FileSnapshot.h"

#include <QFutureWatcher>
#include <QtConcurrent>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Workspace/FileNode.h"

// What the reading thread hands over; it outlives this object when that goes first.
struct FileSnapshot::Shared {
    std::mutex mutex;
    std::condition_variable done;
    std::unique_ptr<Contents> contents;
};

FileSnapshot::FileSnapshot(const QString& folder, int waitMs, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (take()) emit ready();
    });
    watcher->setFuture(QtConcurrent::run([folder, shared = shared_] {
        auto contents = std::make_unique<Contents>();
        if (!folder.isEmpty())
            FileNode::walkFiles(folder, [&](FileNode::Files&& files) {
                contents->files.append(files.paths);
                return true;
            });
        contents->names = FuzzyNames(fileNames(contents->files));
        std::lock_guard lock(shared->mutex);
        shared->contents = std::move(contents);
        shared->done.notify_all();
    }));
    std::unique_lock lock(shared_->mutex);
    shared_->done.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return shared_->contents != nullptr; });
    lock.unlock();
    take();
}

FileSnapshot::~FileSnapshot() = default;

QStringList FileSnapshot::fileNames(const QStringList& paths) {
    QStringList names;
    names.reserve(paths.size());
    for (const QString& path : paths) names.append(path.sliced(path.lastIndexOf(u'/') + 1));
    return names;
}

const FileSnapshot::Contents& FileSnapshot::contents() const {
    static const Contents empty;
    return contents_ ? *contents_ : empty;
}

bool FileSnapshot::take() {
    if (contents_) return false;
    std::lock_guard lock(shared_->mutex);
    contents_ = std::move(shared_->contents);
    return contents_ != nullptr;
}
