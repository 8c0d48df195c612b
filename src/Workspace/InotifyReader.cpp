#include "Workspace/InotifyReader.h"

#include <QFile>
#include <QSocketNotifier>
#include <QStringList>
#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

#include "Workspace/DirectoryListing.h"

namespace {
// What counts as a change: content, names and metadata, never mere reads (our own reloads would loop).
constexpr uint32_t kChangeMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO |
                                 IN_DELETE_SELF | IN_MOVE_SELF;

int& watchLimit() {
    static int limit = -1;
    return limit;
}
} // namespace

void InotifyReader::limitWatchesTo(int count) { watchLimit() = count; }

InotifyReader::InotifyReader(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder), limit_(watchLimit()) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    // The folder itself may be reached through a link; nothing below it is.
    if (!watchTree(folder_, true)) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InotifyReader::readEvents);
}

InotifyReader::~InotifyReader() {
    if (notifier_) notifier_->setEnabled(false);
    if (fd_ >= 0) ::close(fd_);
}

bool InotifyReader::watchTree(const QString& dir, bool followLink) {
    QStringList pending{dir};
    bool first = true;
    bool rootWatched = false;
    while (!pending.isEmpty()) {
        const QString path = pending.takeLast();
        const uint32_t mask = kChangeMask | IN_ONLYDIR | ((first && followLink) ? 0 : IN_DONT_FOLLOW);
        const bool atLimit = limit_ >= 0 && paths_.size() >= limit_;
        const int wd = atLimit ? -1 : ::inotify_add_watch(fd_, QFile::encodeName(path).constData(), mask);
        const int error = atLimit ? ENOSPC : errno;
        if (first) rootWatched = wd >= 0;
        first = false;
        if (wd < 0) {
            if (error != ENOSPC) continue;
            // Out of watches: keep what we have; the rest is listed again when looked at.
            outOfWatches_ = true;
            break;
        }
        paths_.insert(wd, path);
        if (const auto entries = DirectoryListing::list(path))
            for (const auto& entry : *entries)
                if (entry.kind == DirectoryListing::Kind::directory) pending.append(entry.path);
    }
    return rootWatched;
}

void InotifyReader::forgetTree(const QString& dir) {
    const QString prefix = DirectoryListing::join(dir, QString());
    for (auto it = paths_.begin(); it != paths_.end();) {
        if (it.value() == dir || it.value().startsWith(prefix)) {
            ::inotify_rm_watch(fd_, it.key());
            it = paths_.erase(it);
        } else {
            ++it;
        }
    }
}

void InotifyReader::readEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool changed = false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Directories made while events were lost still need watches.
                watchTree(folder_, true);
                changed = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {  // a watch went away; the change itself came separately
                paths_.remove(event->wd);
                continue;
            }
            changed = true;
            if (!(event->mask & IN_ISDIR) || event->len == 0) continue;
            const auto parent = paths_.constFind(event->wd);
            if (parent == paths_.cend()) continue;
            const QString path = DirectoryListing::join(*parent, QFile::decodeName(event->name));
            if (event->mask & IN_MOVED_FROM) forgetTree(path);  // its new place, if inside, is watched anew
            if (event->mask & (IN_CREATE | IN_MOVED_TO)) watchTree(path, false);
        }
    }
    if (changed) emit eventsArrived();
}
