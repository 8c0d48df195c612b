#include "Workspace/FileWalk.h"

#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <vector>

#include "Platform/FilePath.h"
#include "Workspace/FolderEntries.h"

namespace FileWalk {

namespace {
// Names never shown: tool folders and the like (hidden names, starting with a dot, go too).
constexpr std::string_view kIgnored[] = {".git", ".build", ".swiftpm", "node_modules", ".DS_Store",
                                         "DerivedData", ".next", "dist", "Pods"};

using DirectoryFd = FolderEntries::Handle;

QThreadPool& listingPool() {
    static QThreadPool pool;
    return pool;
}

// One folder of the walk. Its parent's handle stays open until the folder is opened through it, so
// a folder is never reached by its whole path again.
struct Folder {
    Folder(QString at, QByteArray inParent, std::shared_ptr<DirectoryFd> through)
        : path(std::move(at)), name(std::move(inParent)), parent(std::move(through)) {}
    QString path;
    QByteArray name;                     // inside the parent; empty for the top folder
    std::shared_ptr<DirectoryFd> parent;  // null for the top folder
    enum class State { waiting, taken, listed } state = State::waiting;
    struct Part {
        Files files;  // the files listed before the subfolder
        Folder* sub;
    };
    std::vector<Part> parts;
    Files tail;  // the files after the last subfolder
};

// Shared by the caller and its helpers; helpers keep it alive after the caller has gone.
class Walker : public std::enable_shared_from_this<Walker> {
public:
    explicit Walker(qsizetype helpers) : maxHelpers_(helpers) {}

    Folder* top(const QString& dir) {
        folders_.emplace_back(dir, QByteArray(), nullptr);
        unlisted_ = 1;
        return &folders_.back();
    }

    // Hands f's files and those below it to batch in walk order, listing what no helper took yet.
    bool deliver(Folder& f, const std::function<bool(Files&&)>& batch) {
        if (claim(f)) list(f);
        else waitFor(f);
        for (Folder::Part& part : f.parts) {
            if (!batch(std::move(part.files)) || !deliver(*part.sub, batch)) return false;
        }
        return batch(std::move(f.tail));
    }

    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        work_.notify_all();
    }

private:
    bool claim(Folder& f) {
        std::lock_guard lock(mutex_);
        if (f.state != Folder::State::waiting) return false;
        f.state = Folder::State::taken;
        return true;
    }
    void waitFor(Folder& f) {
        std::unique_lock lock(mutex_);
        awaited_ = &f;
        listed_.wait(lock, [&] { return f.state == Folder::State::listed; });
        awaited_ = nullptr;
    }

    struct Found {
        QString path;
        QByteArray name;
        Files before;
    };

    void list(Folder& f) {
        std::vector<Found> subfolders;
        Files files;
        // Shared with the subfolders found, which are opened through it.
        auto handle = std::make_shared<DirectoryFd>(
            f.parent ? ::openat(f.parent->fd, f.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                     : ::open(FilePath::encode(f.path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        f.parent.reset();
        if (handle->fd >= 0) read(handle->fd, f.path, files, subfolders);
        std::lock_guard lock(mutex_);
        f.parts.reserve(subfolders.size());
        for (Found& found : subfolders) {
            folders_.emplace_back(std::move(found.path), std::move(found.name), handle);
            f.parts.push_back({std::move(found.before), &folders_.back()});
        }
        f.tail = std::move(files);
        // Closed, when no subfolder holds it, before the folder counts as listed: a walk that is
        // over leaves nothing open behind it.
        handle.reset();
        f.state = Folder::State::listed;
        unlisted_ += qsizetype(f.parts.size()) - 1;
        // The first subfolder on top: helpers go depth first, as the caller does, which keeps few
        // handles open and lists what the caller needs next.
        for (auto part = f.parts.rbegin(); part != f.parts.rend(); ++part) pending_.push_back(part->sub);
        // Only the caller waits for a folder, and only for the one it needs next.
        if (awaited_ == &f) listed_.notify_one();
        if (unlisted_ == 0) work_.notify_all();
        if (pending_.empty() || stopped_) return;
        // Helpers stay until the walk is over: one that left whenever the folders ran out for a
        // moment would be started again for the next one, a thread hand-over per folder.
        for (qsizetype woken = 0; woken < std::min<qsizetype>(idle_, qsizetype(f.parts.size())); ++woken)
            work_.notify_one();
        while (helpers_ - idle_ < qsizetype(pending_.size()) && helpers_ < maxHelpers_) {
            ++helpers_;
            listingPool().start([self = shared_from_this()] { self->help(); });
        }
    }

    void read(int fd, const QString& dir, Files& files, std::vector<Found>& subfolders) {
        const QString prefix = dir.endsWith(u'/') ? dir : dir + u'/';
        FolderEntries entries(fd);
        std::string_view name;
        FolderEntries::Kind kind;
        while (entries.next(name, kind)) {
            QString path = FolderEntries::joined(prefix, name);
            if (kind == FolderEntries::Kind::folder) {
                subfolders.push_back({std::move(path), QByteArray(name.data(), qsizetype(name.size())), std::exchange(files, {})});
                continue;
            }
            files.paths.append(std::move(path));
            files.regular.append(kind == FolderEntries::Kind::regularFile);
        }
    }

    void help() {
        for (;;) {
            Folder* next = nullptr;
            {
                std::unique_lock lock(mutex_);
                while (!next) {
                    while (!stopped_ && !pending_.empty() && !next) {
                        Folder* f = pending_.back();
                        pending_.pop_back();
                        if (f->state == Folder::State::waiting) {
                            f->state = Folder::State::taken;
                            next = f;
                        }
                    }
                    if (next) break;
                    if (stopped_ || unlisted_ == 0) {
                        --helpers_;
                        return;
                    }
                    ++idle_;
                    work_.wait(lock, [&] { return stopped_ || unlisted_ == 0 || !pending_.empty(); });
                    --idle_;
                }
            }
            list(*next);
        }
    }

    const qsizetype maxHelpers_;
    std::mutex mutex_;
    std::condition_variable listed_;  // the folder the caller waits for was listed
    Folder* awaited_ = nullptr;
    std::condition_variable work_;   // a folder to list came, or the walk is over
    std::deque<Folder> folders_;     // never moves a folder
    std::vector<Folder*> pending_;   // found and not yet handed to a helper, the next one last
    qsizetype unlisted_ = 0;         // folders found and not listed yet
    qsizetype helpers_ = 0;
    qsizetype idle_ = 0;             // helpers waiting for a folder
    bool stopped_ = false;
};
} // namespace

void walk(const QString& dir, const std::function<bool(Files&&)>& batch, int threads) {
    const int helpers = (threads > 0 ? threads : QThread::idealThreadCount()) - 1;
    if (helpers > 0 && listingPool().maxThreadCount() < helpers) listingPool().setMaxThreadCount(helpers);
    const auto walker = std::make_shared<Walker>(std::max(0, helpers));
    walker->deliver(*walker->top(dir), batch);
    walker->stop();
}

bool isExcluded(std::string_view name) {
    return name.starts_with('.') || std::find(std::begin(kIgnored), std::end(kIgnored), name) != std::end(kIgnored);
}

bool isExcluded(const QString& name) {
    return name.startsWith(u'.') || std::any_of(std::begin(kIgnored), std::end(kIgnored), [&](std::string_view ignored) {
               return name == QLatin1StringView(ignored.data(), qsizetype(ignored.size()));
           });
}

} // namespace FileWalk
