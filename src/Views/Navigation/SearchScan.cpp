#include "Views/Navigation/SearchScan.h"

#include <QThreadPool>
#include <algorithm>
#include <fcntl.h>
#include <string_view>

#include "Platform/FilePath.h"
#include "Views/Navigation/FileScanner.h"

namespace {
// Files read as one piece: enough that the threads seldom meet at the lock, few enough that the
// first hits are not held back and the last pieces spread over the threads.
constexpr qsizetype kRun = 32;

QThreadPool& scanPool() {
    static QThreadPool pool;
    return pool;
}
} // namespace

SearchScan::SearchScan(const QString& query, const std::function<bool()>& cancelled,
                       const ProjectSearch::Found& found, ProjectSearch::Work* work)
    : matcher_(query), cancelled_(cancelled), found_(found), work_(work), firstOut_(!found) {
    sinceBatch_.start();
}

ProjectSearch::Result SearchScan::searchFolder(const QString& folder, int threads) {
    if (matcher_.matchesNothing() || folder.isEmpty()) return {};
    Folder& top = folders_.emplace_back();
    top.prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    unfinished_ = 1;
    cursor_.push_back({&top, 0});
    // Listed before any helper starts: they find its pieces waiting rather than sleep until then.
    list(top);
    return run(threads);
}

ProjectSearch::Result SearchScan::searchFiles(const QStringList& files, int threads) {
    if (matcher_.matchesNothing() || files.isEmpty()) return {};
    Folder& top = folders_.emplace_back();
    top.paths = files;
    // Shorter runs while there are few files, so that every thread gets some.
    const qsizetype length = std::clamp<qsizetype>(files.size() / (4 * std::max(1, threads)), 1, kRun);
    for (qsizetype first = 0; first < files.size(); first += length)
        top.items.push_back({nullptr, first, std::min(length, files.size() - first), {}, false});
    top.listed = true;
    pushLocked(top, nullptr);
    cursor_.push_back({&top, 0});
    return run(int(std::min<qsizetype>(threads, files.size())));
}

ProjectSearch::Result SearchScan::run(int threads) {
    const int helpers = threads - 1;
    if (helpers > 0 && scanPool().maxThreadCount() < helpers) scanPool().setMaxThreadCount(helpers);
    for (int i = 0; i < helpers; ++i) scanPool().start([self = shared_from_this()] { self->helper(); });
    // This thread works too, so the scan ends even when every helper is busy elsewhere.
    work();
    std::unique_lock lock(mutex_);
    closed_ = true;
    idle_.wait(lock, [&] { return helpers_ == 0; });
    publishLocked();
    ProjectSearch::Result result{ordered_, ordered_.size() >= ProjectSearch::kMaxHits};
    // A scan stopped early leaves nothing open behind it.
    pieces_.clear();
    folders_.clear();
    return result;
}

void SearchScan::helper() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;  // started after the scan was over
        ++helpers_;
    }
    work();
    std::lock_guard lock(mutex_);
    if (--helpers_ == 0) idle_.notify_all();
}

void SearchScan::work() {
    FileScanner scanner(matcher_, ProjectSearch::kMaxFileBytes, ProjectSearch::kMaxHits);
    Piece piece;
    while (take(piece)) {
        if (piece.item < 0) list(*piece.folder);
        else read(piece, scanner);
        piece = {};  // its handle is let go outside the lock
    }
    if (work_) work_->openedByPath += scanner.foldersOpened();
}

bool SearchScan::take(Piece& piece) {
    std::unique_lock lock(mutex_);
    if (cancelled_ && cancelled_()) stopLocked();
    ++waiting_;
    more_.wait(lock, [&] { return stop_ || !pieces_.empty() || unfinished_ == 0; });
    --waiting_;
    if (stop_ || pieces_.empty()) return false;
    piece = std::move(pieces_.back());
    pieces_.pop_back();
    const bool front = !cursor_.empty() && cursor_.back() == std::pair(piece.folder, piece.item);
    piece.needed = ProjectSearch::kMaxHits - (front ? ordered_.size() : 0);
    if (work_) ++work_->handOvers;
    return true;
}

void SearchScan::list(Folder& folder) {
    int fd = -1;
    if (folder.parent) {
        fd = ::openat(folder.parent->fd, folder.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        fd = ::open(FilePath::encode(folder.prefix).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (work_) ++work_->openedByPath;
    }
    folder.parent.reset();
    // Shared with the pieces that read its files and open its subfolders.
    const auto handle = std::make_shared<FolderEntries::Handle>(fd);
    std::vector<Item> items;
    std::vector<std::string> subfolders;  // an item with count -1 stands for the one at first
    qsizetype runStart = 0;
    const auto endRun = [&] {
        const qsizetype files = qsizetype(folder.starts.size());
        if (files > runStart) items.push_back({nullptr, runStart, files - runStart, {}, false});
        runStart = files;
    };
    FolderEntries entries(fd);
    std::string_view name;
    FolderEntries::Kind kind;
    while (entries.next(name, kind)) {
        if (kind == FolderEntries::Kind::folder) {
            endRun();
            items.push_back({nullptr, qsizetype(subfolders.size()), -1, {}, false});
            subfolders.emplace_back(name);
            continue;
        }
        folder.starts.push_back(folder.names.size());
        folder.names.append(name.data(), qsizetype(name.size()));
        folder.names.append('\0');
        folder.regular.push_back(kind == FolderEntries::Kind::regularFile);
        if (qsizetype(folder.starts.size()) - runStart == kRun) endRun();
    }
    endRun();
    std::lock_guard lock(mutex_);
    for (Item& item : items) {
        if (item.count >= 0) continue;
        const std::string& sub = subfolders[size_t(item.first)];
        Folder& f = folders_.emplace_back();
        f.prefix = FolderEntries::joined(folder.prefix, sub) + u'/';
        f.name = QByteArray(sub.data(), qsizetype(sub.size()));
        f.parent = handle;
        item = {&f, 0, 0, {}, false};
    }
    folder.items = std::move(items);
    folder.listed = true;
    pushLocked(folder, handle);
    finishLocked();
}

void SearchScan::read(const Piece& piece, FileScanner& scanner) {
    const Folder& folder = *piece.folder;
    Item& item = piece.folder->items[size_t(piece.item)];
    QList<SearchHit> hits;
    qsizetype handed = 0;  // hits already moved to the item
    for (qsizetype k = item.first; k < item.first + item.count && handed + hits.size() < piece.needed; ++k) {
        if (cancelled_ && cancelled_()) {
            std::lock_guard lock(mutex_);
            stopLocked();
            return;
        }
        qsizetype added = 0;
        if (!folder.paths.isEmpty()) {
            added = scanner.scanPath(folder.paths[k], hits);
        } else {
            const char* name = folder.names.constData() + folder.starts[size_t(k)];
            added = scanner.scanAt(piece.handle->fd, name, folder.regular[size_t(k)], hits);
            // The path is made only for a file with hits.
            if (added > 0) {
                const QString url = FolderEntries::joined(folder.prefix, name);
                for (qsizetype i = hits.size() - added; i < hits.size(); ++i) hits[i].url = url;
            }
        }
        // Until the first hits are out, each file's go out as soon as it is read.
        if (added > 0 && !firstOut_) {
            std::lock_guard lock(mutex_);
            handed += hits.size();
            item.hits += std::exchange(hits, {});
            advanceLocked();
            if (ordered_.size() >= ProjectSearch::kMaxHits) stopLocked();
            publishLocked();
            if (stop_) return;
        }
    }
    std::lock_guard lock(mutex_);
    item.hits += std::move(hits);
    item.done = true;
    finishLocked();
}

void SearchScan::pushLocked(Folder& folder, const std::shared_ptr<FolderEntries::Handle>& handle) {
    const qsizetype count = qsizetype(folder.items.size());
    for (qsizetype i = count - 1; i >= 0; --i) {
        Folder* sub = folder.items[size_t(i)].sub;
        pieces_.push_back(sub ? Piece{sub, -1, nullptr, 0} : Piece{&folder, i, handle, 0});
    }
    unfinished_ += count;
    for (qsizetype woken = 0; woken < std::min(waiting_, count); ++woken) more_.notify_one();
}

void SearchScan::finishLocked() {
    --unfinished_;
    advanceLocked();
    if (ordered_.size() >= ProjectSearch::kMaxHits) stopLocked();
    // The first hits go out at once; later ones wait, so a list on screen is not rebuilt per file.
    if (published_ == 0 || sinceBatch_.elapsed() >= ProjectSearch::kBatchMs) publishLocked();
    if (unfinished_ == 0) more_.notify_all();
}

void SearchScan::advanceLocked() {
    while (!cursor_.empty() && ordered_.size() < ProjectSearch::kMaxHits) {
        const auto [folder, index] = cursor_.back();
        if (!folder->listed) return;
        if (index == qsizetype(folder->items.size())) {
            cursor_.pop_back();
            continue;
        }
        Item& item = folder->items[size_t(index)];
        if (item.sub) {
            cursor_.back().second = index + 1;
            cursor_.push_back({item.sub, 0});
            continue;
        }
        // The hits of a run still being read come first in its reader's order: those can go too.
        for (SearchHit& hit : item.hits) {
            if (ordered_.size() >= ProjectSearch::kMaxHits) break;
            ordered_.append(std::move(hit));
        }
        item.hits = {};
        if (!item.done) return;
        cursor_.back().second = index + 1;
    }
}

void SearchScan::publishLocked() {
    if (!found_ || published_ == ordered_.size()) return;
    QList<SearchHit> batch = ordered_.sliced(published_);
    published_ = ordered_.size();
    firstOut_ = true;
    sinceBatch_.restart();
    found_(std::move(batch));
}

void SearchScan::stopLocked() {
    stop_ = true;
    more_.notify_all();
}
