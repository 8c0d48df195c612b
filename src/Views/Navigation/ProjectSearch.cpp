#include "Views/Navigation/ProjectSearch.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Platform/FilePath.h"
#include "Views/Navigation/LineMatcher.h"
#include "Workspace/FileNode.h"

ProjectSearch::ProjectSearch(QObject* parent) : QObject(parent) {}

ProjectSearch::~ProjectSearch() { cancel(); }

namespace {

constexpr qsizetype kFirstBlock = 64 * 1024;

// Grows but never shrinks: each thread reads every file into the same memory.
class ReadBuffer {
public:
    char* data() const { return data_.get(); }
    qsizetype capacity() const { return capacity_; }
    // Room for at least size bytes, keeping the first kept ones. Past the first block it grows
    // straight to room for the largest file read: its pages are touched only as bytes come, while
    // growing step by step would copy and fault the buffer in again at every step.
    char* reserve(qsizetype size, qsizetype kept = 0) {
        if (size > capacity_) {
            if (size > kFirstBlock) size = std::max<qsizetype>(size, ProjectSearch::kMaxFileBytes + 1);
            std::unique_ptr<char[]> bigger(new char[size_t(size)]);
            if (kept > 0) std::memcpy(bigger.get(), data_.get(), size_t(kept));
            data_ = std::move(bigger);
            capacity_ = size;
        }
        return data_.get();
    }

private:
    std::unique_ptr<char[]> data_;
    qsizetype capacity_ = 0;
};

// The folder of the file read last, kept open by each thread: files come a folder at a time, and
// opening each by its name inside its folder spares walking its whole path again.
class FolderHandle {
public:
    FolderHandle() = default;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle() { close(); }

    // The folder to open path's last part in (AT_FDCWD when it cannot be had), and that part.
    int folderOf(const QString& path, QByteArray& name) {
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash >= 0) {
            const QStringView folder = QStringView(path).first(std::max<qsizetype>(slash, 1));
            if (!opened_ || folder != QStringView(folder_)) {
                close();
                folder_ = folder.toString();
                fd_ = ::open(FilePath::encode(folder_).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
                opened_ = true;
            }
            if (fd_ >= 0) {
                name = FilePath::encode(QStringView(path).sliced(slash + 1));
                return fd_;
            }
        }
        name = FilePath::encode(path);
        return AT_FDCWD;
    }

private:
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    QString folder_;
    int fd_ = -1;
    bool opened_ = false;  // tried for folder_
};

struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

// Whether the first bytes could start valid UTF-8: a sequence cut at the end is not held against
// them. A file that fails is not text and is dropped before the rest of it is read.
bool mayBeUtf8(QByteArrayView head) {
    qsizetype cut = head.size() - 1;
    while (cut > 0 && head.size() - cut < 4 && (static_cast<unsigned char>(head[cut]) & 0xc0) == 0x80) --cut;
    return cut <= 0 || head.first(cut).isValidUtf8();
}

// The file's bytes, or nothing when it is unreadable, not a regular file, larger than maxBytes
// or plainly not UTF-8 text. regular says that its folder's listing saw a regular file there: such
// a file is asked about only when its first block fills up, since most files fit in one.
std::optional<QByteArrayView> readFile(const QString& path, bool regular, qint64 maxBytes, ReadBuffer& buffer,
                                      FolderHandle& folder) {
    QByteArray native;
    const int at = folder.folderOf(path, native);
    struct stat st {};
    // Never open what is not a regular file: opening a device can have effects of its own.
    if (!regular && (::fstatat(at, native.constData(), &st, 0) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes))
        return std::nullopt;
    // O_NONBLOCK: a file swapped for a FIFO since it was seen must not block us; a listed file
    // swapped for a link is not followed.
    const int fd = ::openat(at, native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (regular ? O_NOFOLLOW : 0));
    if (fd < 0) return std::nullopt;
    const FileCloser closer{fd};
    // The file's size, once asked; a file grown since is still read only up to maxBytes.
    qint64 known = regular ? -1 : st.st_size;
    const auto askSize = [&] {
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes) return false;
        known = st.st_size;
        return true;
    };
    buffer.reserve(kFirstBlock);
    qsizetype size = 0;
    for (;;) {
        if (size == buffer.capacity()) buffer.reserve(qMin<qsizetype>(size * 2, maxBytes + 1), size);
        const qsizetype room = buffer.capacity() - size;
        const qsizetype asked = size == 0 ? qMin(room, kFirstBlock) : room;
        const ssize_t got = ::read(fd, buffer.data() + size, size_t(asked));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        const bool first = size == 0;
        size += got;
        if (size > maxBytes) return std::nullopt;
        // A short read of a regular file that holds all it had is its end: no read to learn so.
        if (got < asked && size >= known) break;
        if (first) {
            // One byte more than the file holds, to see its end (or that it grew) in the same read.
            if (known < 0 && !askSize()) return std::nullopt;
            buffer.reserve(qsizetype(known) + 1, size);
            const QByteArrayView head(buffer.data(), size);
            // Only worth it when there is more to read: the whole text is checked later anyway.
            if (size < known && LineMatcher::firstNonAscii(head.data(), size) < size && !mayBeUtf8(head))
                return std::nullopt;
        }
    }
    return QByteArrayView(buffer.data(), size);
}

void scanFile(const LineMatcher& matcher, const QString& file, bool regular, ReadBuffer& buffer,
              FolderHandle& folder, QList<SearchHit>& hits) {
    const std::optional<QByteArrayView> bytes = readFile(file, regular, ProjectSearch::kMaxFileBytes, buffer, folder);
    if (!bytes) return;
    const qsizetype firstNonAscii = LineMatcher::firstNonAscii(bytes->data(), bytes->size());
    const bool ascii = firstNonAscii == bytes->size();
    // Text that is not valid UTF-8 is skipped whole, matches or not.
    if (!ascii && !bytes->sliced(firstNonAscii).isValidUtf8()) return;
    matcher.scan(*bytes, ascii, file, hits, ProjectSearch::kMaxHits);
}

QThreadPool& scanPool() {
    static QThreadPool pool;
    return pool;
}

// One scan shared by the calling thread and its helpers. Files may still be arriving while the
// first ones are read; each is handed out once, and its hits go to its own slot so that the
// result keeps file order whoever read what.
class SharedScan {
public:
    SharedScan(const QString& query, int threads, const std::function<bool()>& cancelled,
               const ProjectSearch::Found& found)
        : matcher(query), threads_(threads), cancelled_(cancelled), found_(found) {
        sinceBatch_.start();
    }

    const LineMatcher matcher;

    // regular, when given, says which files their folder's listing saw as regular files.
    void add(const QStringList& files, const QList<bool>& regular = {}) {
        if (files.isEmpty()) return;
        std::lock_guard lock(mutex_);
        for (qsizetype i = 0; i < files.size(); ++i) {
            files_.push_back({files[i], regular.value(i, false)});
            hits_.emplace_back();
            done_.push_back(false);
        }
        // One waiting thread per file: the others would only find the files gone.
        for (qsizetype woken = 0; woken < std::min(waiting_, files.size()); ++woken) more_.notify_one();
    }
    void endOfFiles() {
        std::lock_guard lock(mutex_);
        listed_ = true;
        more_.notify_all();
    }
    bool stopped() {
        std::lock_guard lock(mutex_);
        return stop_;
    }

    void work() {
        ReadBuffer buffer;
        FolderHandle folder;
        std::vector<Listed> run;
        std::vector<QList<SearchHit>> found;
        qsizetype first = 0;
        while (take(first, run)) {
            found.assign(run.size(), {});
            for (size_t k = 0; k < run.size(); ++k) {
                if (cancelled_ && cancelled_()) {
                    halt();
                    return;
                }
                scanFile(matcher, run[k].path, run[k].regular, buffer, folder, found[k]);
            }
            std::lock_guard lock(mutex_);
            for (size_t k = 0; k < run.size(); ++k) {
                hits_[size_t(first) + k] = std::move(found[k]);
                done_[size_t(first) + k] = true;
            }
            // Once the files before the first unfinished one hold enough hits, the rest is not needed.
            while (frontier_ < qsizetype(files_.size()) && done_[size_t(frontier_)])
                reported_ += hits_[size_t(frontier_++)].size();
            if (reported_ >= ProjectSearch::kMaxHits) stopLocked();
            // The first hits go out at once; later ones wait, so a list on screen is not rebuilt per file.
            if (published_ == 0 || sinceBatch_.elapsed() >= ProjectSearch::kBatchMs) publishLocked();
        }
    }

    // Hands over the hits not yet handed over.
    void publishRest() {
        std::lock_guard lock(mutex_);
        publishLocked();
    }

    // Helpers may start late, after the scan is over: those do nothing.
    void helper() {
        {
            std::lock_guard lock(mutex_);
            if (closed_) return;
            ++helpers_;
        }
        work();
        std::lock_guard lock(mutex_);
        if (--helpers_ == 0) idle_.notify_all();
    }
    void waitForHelpers() {
        std::unique_lock lock(mutex_);
        closed_ = true;
        idle_.wait(lock, [&] { return helpers_ == 0; });
    }

    // Only files before the first unfinished one count: a later one's hits would come out of order.
    ProjectSearch::Result result() {
        std::lock_guard lock(mutex_);
        ProjectSearch::Result result;
        for (qsizetype i = 0; i < frontier_; ++i) {
            for (const SearchHit& hit : std::as_const(hits_[size_t(i)])) {
                result.hits.append(hit);
                if (result.hits.size() >= ProjectSearch::kMaxHits) {
                    result.truncated = true;
                    return result;
                }
            }
        }
        return result;
    }

private:
    struct Listed {
        QString path;
        bool regular = false;
    };

    // A run of the files waiting, from first on: short while few wait, so that every thread gets
    // some, and never long, so that the first hits are not held back.
    bool take(qsizetype& first, std::vector<Listed>& run) {
        std::unique_lock lock(mutex_);
        ++waiting_;
        more_.wait(lock, [&] { return stop_ || next_ < qsizetype(files_.size()) || listed_; });
        --waiting_;
        const qsizetype waiting = qsizetype(files_.size()) - next_;
        if (stop_ || waiting <= 0) return false;
        const qsizetype count = std::clamp<qsizetype>(waiting / (4 * std::max(1, threads_)), 1, kLongestRun);
        first = next_;
        next_ += count;
        run.assign(files_.begin() + first, files_.begin() + first + count);
        return true;
    }
    void publishLocked() {
        if (!found_) return;
        QList<SearchHit> batch;
        for (; publishedFiles_ < frontier_; ++publishedFiles_) {
            for (const SearchHit& hit : std::as_const(hits_[size_t(publishedFiles_)])) {
                if (published_ + batch.size() >= ProjectSearch::kMaxHits) break;
                batch.append(hit);
            }
        }
        if (batch.isEmpty()) return;
        published_ += batch.size();
        sinceBatch_.restart();
        found_(std::move(batch));
    }
    void halt() {
        std::lock_guard lock(mutex_);
        stopLocked();
    }
    void stopLocked() {
        stop_ = true;
        more_.notify_all();
    }

    static constexpr qsizetype kLongestRun = 32;
    const int threads_;
    const std::function<bool()> cancelled_;
    const ProjectSearch::Found found_;
    QElapsedTimer sinceBatch_;
    qsizetype publishedFiles_ = 0;  // files whose hits were handed to found_
    qsizetype published_ = 0;       // hits handed to found_
    std::mutex mutex_;
    std::condition_variable more_;  // files arrived, the list is complete, or the scan stops
    std::condition_variable idle_;  // the last helper left
    std::deque<Listed> files_;
    std::deque<QList<SearchHit>> hits_;
    std::deque<bool> done_;
    qsizetype next_ = 0;
    qsizetype waiting_ = 0;  // threads waiting for files
    qsizetype frontier_ = 0;
    qsizetype reported_ = 0;
    bool listed_ = false;
    bool stop_ = false;
    int helpers_ = 0;
    bool closed_ = false;
};

// Quick open's walk, handing files over a folder at a time so the scan starts on the first ones.
int threadsFor(int asked) { return asked > 0 ? asked : QThread::idealThreadCount(); }

// Runs fill (which adds the files and ends the list) on this thread while helpers read.
ProjectSearch::Result runScan(const QString& query, const std::function<bool()>& cancelled, int threads,
                              const ProjectSearch::Found& found, const std::function<void(SharedScan&)>& fill) {
    auto scan = std::make_shared<SharedScan>(query, threads, cancelled, found);
    if (scan->matcher.matchesNothing()) return {};
    const int helpers = threads - 1;
    if (helpers > 0 && scanPool().maxThreadCount() < helpers) scanPool().setMaxThreadCount(helpers);
    for (int i = 0; i < helpers; ++i) scanPool().start([scan] { scan->helper(); });
    fill(*scan);
    // This thread works too, so the scan ends even when every helper is busy elsewhere.
    scan->work();
    scan->waitForHelpers();
    scan->publishRest();
    return scan->result();
}

} // namespace

ProjectSearch::Result ProjectSearch::search(const QString& query, const QStringList& files,
                                            const std::function<bool()>& cancelled, int threads, const Found& found) {
    const int used = int(qMin<qsizetype>(threadsFor(threads), files.size()));
    return runScan(query, cancelled, used, found, [&](SharedScan& scan) {
        scan.add(files);
        scan.endOfFiles();
    });
}

ProjectSearch::Result ProjectSearch::searchFolder(const QString& query, const QString& folder,
                                                  const std::function<bool()>& cancelled, int threads,
                                                  const Found& found) {
    const int used = threadsFor(threads);
    return runScan(query, cancelled, used, found, [&](SharedScan& scan) {
        FileNode::walkFiles(folder, [&scan](FileNode::Files&& files) {
            scan.add(files.paths, files.regular);
            return !scan.stopped();
        }, used);
        scan.endOfFiles();
    });
}

void ProjectSearch::start(const QString& query, const QStringList& files) {
    startWith([query, files](const std::function<bool()>& cancelled, const Found& found) {
        return search(query, files, cancelled, 0, found);
    });
}

void ProjectSearch::startInFolder(const QString& query, const QString& folder) {
    startWith([query, folder](const std::function<bool()>& cancelled, const Found& found) {
        return folder.isEmpty() ? Result{} : searchFolder(query, folder, cancelled, 0, found);
    });
}

void ProjectSearch::startWith(Scan scan) {
    cancel();
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    cancelled_ = cancelled;
    watcher_ = new QFutureWatcher<Result>(this);
    QFutureWatcher<Result>* watcher = watcher_;
    connect(watcher, &QFutureWatcher<Result>::resultsReadyAt, this, [this, watcher](int begin, int end) {
        if (watcher_ != watcher) return;  // superseded
        for (int i = begin; i < end; ++i) {
            const QList<SearchHit> hits = watcher->resultAt(i).hits;
            if (!hits.isEmpty()) emit found(hits);
        }
    });
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher] {
        Result result;
        for (const Result& batch : watcher->future().results()) {
            result.hits += batch.hits;
            result.truncated = result.truncated || batch.truncated;
        }
        watcher->deleteLater();
        if (watcher_ != watcher) return;  // superseded
        watcher_ = nullptr;
        cancelled_.reset();
        emit finished(result);
    });
    // The scan holds only its own copies and the shared flag, never this object.
    watcher->setFuture(QtConcurrent::run([scan = std::move(scan), cancelled](QPromise<Result>& promise) {
        const Result whole = scan([cancelled] { return cancelled->load(); },
                                  [&promise](QList<SearchHit>&& hits) { promise.addResult(Result{std::move(hits), false}); });
        promise.addResult(Result{{}, whole.truncated});
    }));
}

void ProjectSearch::cancel() {
    if (cancelled_) cancelled_->store(true);
    cancelled_.reset();
    if (watcher_) {
        // Its signal no longer reaches us; the scan ends on its own soon after.
        watcher_->disconnect(this);
        watcher_->deleteLater();
        watcher_ = nullptr;
    }
}
