#include "Workspace/InotifyReader.h"

#include <QSocketNotifier>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <utility>
#include <sys/inotify.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Workspace/DirectoryListing.h"

namespace {
// What counts as a change: content, names and metadata, never mere reads (our own reloads would loop).
constexpr uint32_t kChangeMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO |
                                 IN_DELETE_SELF | IN_MOVE_SELF;

// A turn reads at most this many buffers of events: a burst of thousands is read over several turns
// (the descriptor stays readable), so the window answers between them.
constexpr int kBuffersPerTurn = 4;

// A turn lists at most about this many entries to place watches (plus the rest of one directory):
// a tree of 20,000 folders is watched over many short turns, not one long one.
constexpr quint64 kEntriesPerTurn = 4096;

int& watchLimit() {
    static int limit = -1;
    return limit;
}
} // namespace

void InotifyReader::limitWatchesTo(int count) { watchLimit() = count; }

InotifyReader::InotifyReader(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder), limit_(watchLimit()) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        folderError_ = errno;
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InotifyReader::readEvents);
    awaitFolder();
    watchPending();
}

InotifyReader::~InotifyReader() {
    if (notifier_) notifier_->setEnabled(false);
    if (fd_ >= 0) ::close(fd_);
}

bool InotifyReader::watchTree(const QString& dir, bool isFolder) {
    if (isFolder) {
        // The folder itself may be reached through a link; nothing below it is.
        const bool atLimit = limit_ >= 0 && paths_.size() >= limit_;
        rootWd_ = atLimit ? -1 : ::inotify_add_watch(fd_, FilePath::encode(dir).constData(), kChangeMask | IN_ONLYDIR);
        folderError_ = rootWd_ >= 0 ? 0 : atLimit ? ENOSPC : errno;
        if (rootWd_ < 0) return false;
        addWatch(rootWd_, dir);
    }
    pending_.append(dir);
    return true;
}

void InotifyReader::watchPending() {
    const bool wasSettingUp = !pending_.isEmpty();
    const bool wasOut = outOfWatches_;
    quint64 listed = 0;
    while (!pending_.isEmpty() && listed < kEntriesPerTurn) {
        const QString path = pending_.takeLast();
        const bool isFolder = path == folder_;
        if (isFolder && rootWd_ < 0) continue;
        // The folder itself is watched already; below it, a watch comes before the listing, so
        // nothing made in between is missed.
        int wd = isFolder ? rootWd_ : -1;
        int error = 0;
        if (!isFolder) {
            const bool atLimit = limit_ >= 0 && paths_.size() >= limit_;
            wd = atLimit ? -1 : ::inotify_add_watch(fd_, FilePath::encode(path).constData(), kChangeMask | IN_ONLYDIR | IN_DONT_FOLLOW);
            error = atLimit ? ENOSPC : errno;
        }
        if (wd < 0) {
            // A folder closed to us is watched once it opens (its attributes change in its parent).
            if (error == EACCES || error == EPERM) closed_.insert(path);
            if (error != ENOSPC) continue;
            // Out of watches: keep what we have; the rest is listed again when looked at.
            outOfWatches_ = true;
            pending_.clear();
            break;
        }
        addWatch(wd, path);
        if (!closed_.isEmpty()) closed_.remove(path);
        if (const auto entries = DirectoryListing::list(path)) {
            listed += quint64(entries->size());
            for (const auto& entry : *entries)
                if (entry.kind == DirectoryListing::Kind::directory) pending_.append(entry.path);
        }
    }
    entriesListed_ += listed;
    mostListedInATurn_ = std::max(mostListedInATurn_, listed);
    if (pending_.isEmpty()) {
        // Running out of watches now is news to whoever asked before.
        if (outOfWatches_ && !wasOut) emit eventsArrived();
        if (wasSettingUp) emit setUpDone();
        return;
    }
    if (std::exchange(resumeQueued_, true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            resumeQueued_ = false;
            watchPending();
        },
        Qt::QueuedConnection);
}

void InotifyReader::addWatch(int wd, const QString& path) {
    // The same folder watched again gets its descriptor back; another one under an old name a new one.
    if (const auto old = byPath_.constFind(path); old != byPath_.cend() && *old != wd) paths_.remove(*old);
    if (const auto old = paths_.constFind(wd); old != paths_.cend() && *old != path) byPath_.remove(*old);
    paths_.insert(wd, path);
    byPath_.insert(path, wd);
}

void InotifyReader::dropWatch(int wd) {
    const auto it = paths_.constFind(wd);
    if (it == paths_.cend()) return;
    if (const auto at = byPath_.constFind(*it); at != byPath_.cend() && *at == wd) byPath_.erase(at);
    paths_.erase(it);
}

void InotifyReader::forgetTree(const QString& dir) {
    // The folder itself, then the run of paths below it: nothing else is looked at.
    const QString prefix = DirectoryListing::join(dir, QString());
    const auto forget = [this](QMap<QString, int>::iterator it) {
        ::inotify_rm_watch(fd_, *it);
        paths_.remove(*it);
        return byPath_.erase(it);
    };
    ++watchesLookedAt_;
    if (const auto it = byPath_.find(dir); it != byPath_.end()) forget(it);
    for (auto it = byPath_.lowerBound(prefix); it != byPath_.end();) {
        ++watchesLookedAt_;
        if (!it.key().startsWith(prefix)) break;
        it = forget(it);
    }
    const auto isBelow = [&](const QString& path) { return path == dir || path.startsWith(prefix); };
    closed_.removeIf(isBelow);
    pending_.removeIf(isBelow);
}

void InotifyReader::forgetAll() {
    for (auto it = paths_.cbegin(); it != paths_.cend(); ++it) ::inotify_rm_watch(fd_, it.key());
    paths_.clear();
    byPath_.clear();
    closed_.clear();
    pending_.clear();
    rootWd_ = -1;
    outOfWatches_ = false;
}

void InotifyReader::stopAwaiting() {
    if (awaitWd_ >= 0) ::inotify_rm_watch(fd_, awaitWd_);
    awaitWd_ = -1;
}

namespace {
bool isDirectory(const QString& path) {
    struct stat st {};
    return ::stat(FilePath::encode(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The nearest existing folder above path ("/" at worst).
QString existingAbove(const QString& path) {
    QString above = path;
    do {
        const qsizetype slash = above.lastIndexOf(u'/', above.size() > 1 && above.endsWith(u'/') ? -2 : -1);
        above = slash <= 0 ? QStringLiteral("/") : above.first(slash);
    } while (above != u'/' && !isDirectory(above));
    return above;
}
} // namespace

bool InotifyReader::awaitFolder() {
    // Bounded: each round follows a folder made between a look and a watch.
    for (int round = 0; round < 64; ++round) {
        stopAwaiting();
        if (watchTree(folder_, true)) return true;
        // Something there that cannot be watched (a file, a closed folder) changes in the folder
        // above too: its attributes, or its name going and coming.
        const QString above = existingAbove(folder_);
        // Only the next name on the way down matters there.
        const QString rest = folder_.sliced(above.size()).section(u'/', 0, 0, QString::SectionSkipEmpty);
        awaitName_ = FilePath::encode(rest);
        awaitWd_ = ::inotify_add_watch(fd_, FilePath::encode(above).constData(),
                                       IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
        if (awaitWd_ < 0 || folderError_ != ENOENT) return false;
        if (!isDirectory(folder_) && existingAbove(folder_) == above) return false;
    }
    return false;
}

void InotifyReader::note(const QString& path) {
    const QString prefix = DirectoryListing::join(folder_, QString());
    if (path.size() > prefix.size() && path.startsWith(prefix)) changes_.paths.insert(path.sliced(prefix.size()));
}

void InotifyReader::readEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool changed = false;
    bool lookAgain = false;  // for the folder, which is missing or was lost
    for (int buffers = 0; buffers < kBuffersPerTurn;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        ++buffers;
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Directories made while events were lost still need watches.
                if (rootWd_ >= 0) watchTree(folder_, true);
                lookAgain = lookAgain || rootWd_ < 0;
                changed = true;
                changes_.everything = true;
                continue;
            }
            if (event->wd == awaitWd_ && awaitWd_ >= 0) {
                // The folder above went, or the name on the way to the folder changed there.
                lookAgain = lookAgain || event->len == 0 || QByteArrayView(static_cast<const char*>(event->name)) == awaitName_;
                continue;
            }
            if (event->wd == rootWd_ && rootWd_ >= 0 && (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))) {
                // The folder went (a folder moved away keeps its watch, but no longer under our paths).
                forgetAll();
                lookAgain = true;
                changed = true;
                changes_.everything = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {  // a watch went away; the change itself came separately
                dropWatch(event->wd);
                continue;
            }
            changed = true;
            const auto parent = paths_.constFind(event->wd);
            if (parent == paths_.cend()) continue;
            const QString path = event->len == 0 ? *parent : DirectoryListing::join(*parent, FilePath::decode(event->name));
            note(path);
            if (!(event->mask & IN_ISDIR) || event->len == 0) continue;
            if ((event->mask & IN_ATTRIB) && closed_.contains(path)) watchTree(path, false);
            if (event->mask & IN_MOVED_FROM) forgetTree(path);  // its new place, if inside, is watched anew
            if (event->mask & (IN_CREATE | IN_MOVED_TO)) watchTree(path, false);
        }
    }
    // A folder back under the name is a change in itself: what it holds now was never reported.
    if (lookAgain && rootWd_ < 0 && awaitFolder()) changed = changes_.everything = true;
    const bool wasOut = outOfWatches_;
    watchPending();
    // Running out of watches just now was told by watchPending already.
    if (changed && (wasOut || !outOfWatches_)) emit eventsArrived();
}
