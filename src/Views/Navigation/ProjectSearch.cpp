#include "Views/Navigation/ProjectSearch.h"

#include <QFile>
#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Views/Navigation/LineMatcher.h"

ProjectSearch::ProjectSearch(QObject* parent) : QObject(parent) {}

ProjectSearch::~ProjectSearch() { cancel(); }

namespace {

constexpr qsizetype kFirstBlock = 64 * 1024;

// Grows but never shrinks: each thread reads every file into the same memory.
struct ReadBuffer {
    std::unique_ptr<char[]> data;
    qsizetype capacity = 0;
    char* reserve(qsizetype size) {
        if (size > capacity) {
            data.reset(new char[size_t(size)]);
            capacity = size;
        }
        return data.get();
    }
};

// Whether the first bytes could start valid UTF-8: a sequence cut at the end is not held against
// them. A file that fails is not text and is dropped before the rest of it is read.
bool mayBeUtf8(QByteArrayView head) {
    qsizetype cut = head.size() - 1;
    while (cut > 0 && head.size() - cut < 4 && (static_cast<unsigned char>(head[cut]) & 0xc0) == 0x80) --cut;
    return cut <= 0 || head.first(cut).isValidUtf8();
}

// The file's bytes, or nothing when it is unreadable, not a regular file, larger than maxBytes
// or plainly not UTF-8 text.
std::optional<QByteArrayView> readFile(const QString& path, qint64 maxBytes, ReadBuffer& buffer) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    // Never open what is not a regular file: opening a device can have effects of its own.
    if (::stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes) return std::nullopt;
    // O_NONBLOCK: a file swapped for a FIFO between stat and open must not block us.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat fst {};
    if (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    // One byte more than allowed, to see a file that grew past the limit.
    const qsizetype capacity = qsizetype(qMin<qint64>(qMax<qint64>(fst.st_size, 0), maxBytes) + 1);
    char* data = buffer.reserve(qMax(capacity, qsizetype(4096)));
    qsizetype size = 0;
    bool headChecked = false;
    for (;;) {
        if (size == buffer.capacity) data = [&] {
            // Grew while we read: keep going up to the limit.
            std::unique_ptr<char[]> bigger(new char[size_t(size * 2)]);
            std::memcpy(bigger.get(), data, size_t(size));
            buffer.data = std::move(bigger);
            buffer.capacity = size * 2;
            return buffer.data.get();
        }();
        const qsizetype want = headChecked ? buffer.capacity - size : qMin(buffer.capacity - size, kFirstBlock);
        const ssize_t got = ::read(fd, data + size, size_t(want));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        size += got;
        if (size > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
        if (!headChecked) {
            headChecked = true;
            if (size >= fst.st_size) continue;  // read whole already: checked with the rest
            const QByteArrayView head(data, size);
            if (LineMatcher::firstNonAscii(data, size) < size && !mayBeUtf8(head)) {
                ::close(fd);
                return std::nullopt;
            }
        }
    }
    ::close(fd);
    return QByteArrayView(data, size);
}

void scanFile(const LineMatcher& matcher, const QString& file, ReadBuffer& buffer, QList<SearchHit>& hits) {
    const std::optional<QByteArrayView> bytes = readFile(file, ProjectSearch::kMaxFileBytes, buffer);
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

// One scan shared by the calling thread and its helpers. Files are handed out one at a time;
// each file's hits go to its own slot, so the result keeps file order whoever read what.
struct SharedScan {
    SharedScan(const QString& query, const QStringList& files, const std::function<bool()>& cancelled)
        : matcher(query), files(files), cancelled(cancelled), hits(size_t(files.size())), done(size_t(files.size())) {}

    void work() {
        ReadBuffer buffer;
        while (!stop.load(std::memory_order_relaxed)) {
            const qsizetype i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= files.size()) return;
            if (cancelled && cancelled()) {
                stop = true;
                return;
            }
            scanFile(matcher, files[i], buffer, hits[size_t(i)]);
            std::lock_guard lock(mutex);
            done[size_t(i)] = true;
            // Once the files before the first unfinished one hold enough hits, the rest is not needed.
            while (frontier < files.size() && done[size_t(frontier)]) reported += hits[size_t(frontier++)].size();
            if (reported >= ProjectSearch::kMaxHits) stop = true;
        }
    }

    const LineMatcher matcher;
    const QStringList files;
    const std::function<bool()> cancelled;
    std::vector<QList<SearchHit>> hits;
    std::atomic<qsizetype> next{0};
    std::atomic_bool stop{false};

    std::mutex mutex;
    std::condition_variable idle;
    std::vector<char> done;
    qsizetype frontier = 0;
    qsizetype reported = 0;
    int helpers = 0;      // helpers at work
    bool closed = false;  // helpers that start from now on do nothing
};

} // namespace

ProjectSearch::Result ProjectSearch::search(const QString& query, const QStringList& files,
                                            const std::function<bool()>& cancelled, int threads) {
    Result result;
    auto scan = std::make_shared<SharedScan>(query, files, cancelled);
    if (scan->matcher.matchesNothing()) return result;
    const int wanted = threads > 0 ? threads : QThread::idealThreadCount();
    const int helpers = int(qMin<qsizetype>(wanted - 1, files.size() - 1));
    if (helpers > 0 && scanPool().maxThreadCount() < helpers) scanPool().setMaxThreadCount(helpers);
    for (int i = 0; i < helpers; ++i) {
        scanPool().start([scan] {
            {
                std::lock_guard lock(scan->mutex);
                if (scan->closed) return;
                ++scan->helpers;
            }
            scan->work();
            std::lock_guard lock(scan->mutex);
            if (--scan->helpers == 0) scan->idle.notify_all();
        });
    }
    // This thread works too, so the scan ends even when every helper is busy elsewhere.
    scan->work();
    {
        std::unique_lock lock(scan->mutex);
        scan->closed = true;
        scan->idle.wait(lock, [&] { return scan->helpers == 0; });
    }
    // Only files before the first unfinished one count: a later one's hits would come out of order.
    for (qsizetype i = 0; i < scan->frontier; ++i) {
        for (const SearchHit& hit : std::as_const(scan->hits[size_t(i)])) {
            result.hits.append(hit);
            if (result.hits.size() >= kMaxHits) {
                result.truncated = true;
                return result;
            }
        }
    }
    return result;
}

void ProjectSearch::start(const QString& query, const QStringList& files) {
    cancel();
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    cancelled_ = cancelled;
    watcher_ = new QFutureWatcher<Result>(this);
    QFutureWatcher<Result>* watcher = watcher_;
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher] {
        const Result result = watcher->result();
        watcher->deleteLater();
        if (watcher_ != watcher) return;  // superseded
        watcher_ = nullptr;
        cancelled_.reset();
        emit finished(result);
    });
    // The scan holds only its own copies and the shared flag, never this object.
    watcher->setFuture(QtConcurrent::run([query, files, cancelled] {
        return search(query, files, [cancelled] { return cancelled->load(); });
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
