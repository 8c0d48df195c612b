#include "Views/Navigation/FileScanner.h"

#include <QByteArrayView>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Views/Navigation/LineMatcher.h"

namespace {
constexpr qsizetype kFirstBlock = 64 * 1024;

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
} // namespace

FileScanner::FileScanner(const LineMatcher& matcher, qint64 maxBytes, qsizetype maxHits)
    : matcher_(matcher), maxBytes_(maxBytes), maxHits_(maxHits) {}

FileScanner::~FileScanner() {
    if (folderFd_ >= 0) ::close(folderFd_);
}

// Room for at least size bytes, keeping the first kept ones. Past the first block it grows
// straight to room for the largest file read: its pages are touched only as bytes come, while
// growing step by step would copy and fault the buffer in again at every step.
char* FileScanner::reserve(qsizetype size, qsizetype kept) {
    if (size > capacity_) {
        if (size > kFirstBlock) size = std::max<qsizetype>(size, qsizetype(maxBytes_) + 1);
        std::unique_ptr<char[]> bigger(new char[size_t(size)]);
        if (kept > 0) std::memcpy(bigger.get(), data_.get(), size_t(kept));
        data_ = std::move(bigger);
        capacity_ = size;
    }
    return data_.get();
}

// Reads the file into data_, false when it is unreadable, not a regular file, too large or plainly
// not UTF-8 text.
bool FileScanner::read(int at, const char* name, bool regular, qsizetype& size) {
    struct stat st {};
    // Never open what is not a regular file: opening a device can have effects of its own.
    if (!regular && (::fstatat(at, name, &st, 0) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes_))
        return false;
    // O_NONBLOCK: a file swapped for a FIFO since it was seen must not block us; a listed file
    // swapped for a link is not followed.
    const int fd = ::openat(at, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (regular ? O_NOFOLLOW : 0));
    if (fd < 0) return false;
    const FileCloser closer{fd};
    // The file's size, once asked; a file grown since is still read only up to maxBytes.
    qint64 known = regular ? -1 : st.st_size;
    const auto askSize = [&] {
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes_) return false;
        known = st.st_size;
        return true;
    };
    reserve(kFirstBlock);
    size = 0;
    for (;;) {
        if (size == capacity_) reserve(qMin<qsizetype>(size * 2, maxBytes_ + 1), size);
        const qsizetype room = capacity_ - size;
        const qsizetype asked = size == 0 ? qMin(room, kFirstBlock) : room;
        const ssize_t got = ::read(fd, data_.get() + size, size_t(asked));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        const bool first = size == 0;
        size += got;
        if (size > maxBytes_) return false;
        // A short read of a regular file that holds all it had is its end: no read to learn so.
        if (got < asked && size >= known) return true;
        if (first) {
            // One byte more than the file holds, to see its end (or that it grew) in the same read.
            if (known < 0 && !askSize()) return false;
            reserve(qsizetype(known) + 1, size);
            const QByteArrayView head(data_.get(), size);
            // Only worth it when there is more to read: the whole text is checked later anyway.
            if (size < known && LineMatcher::firstNonAscii(head.data(), size) < size && !mayBeUtf8(head)) return false;
        }
    }
}

qsizetype FileScanner::scanAt(int at, const char* name, bool regular, QList<SearchHit>& hits) {
    qsizetype size = 0;
    if (!read(at, name, regular, size)) return 0;
    const QByteArrayView bytes(data_.get(), size);
    const qsizetype firstNonAscii = LineMatcher::firstNonAscii(bytes.data(), size);
    const bool ascii = firstNonAscii == size;
    // Text that is not valid UTF-8 is skipped whole, matches or not.
    if (!ascii && !bytes.sliced(firstNonAscii).isValidUtf8()) return 0;
    const qsizetype before = hits.size();
    matcher_.scan(bytes, ascii, QString(), hits, maxHits_);
    return hits.size() - before;
}

qsizetype FileScanner::scanPath(const QString& path, QList<SearchHit>& hits) {
    QByteArray name;
    const int at = folderOf(path, name);
    const qsizetype added = scanAt(at, name.constData(), false, hits);
    for (qsizetype i = hits.size() - added; i < hits.size(); ++i) hits[i].url = path;
    return added;
}

// The folder to open path's last part in (AT_FDCWD when it cannot be had), and that part.
int FileScanner::folderOf(const QString& path, QByteArray& name) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash >= 0) {
        const QStringView folder = QStringView(path).first(std::max<qsizetype>(slash, 1));
        if (!folderTried_ || folder != QStringView(folder_)) {
            if (folderFd_ >= 0) ::close(folderFd_);
            folder_ = folder.toString();
            folderFd_ = ::open(FilePath::encode(folder_).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            folderTried_ = true;
            ++foldersOpened_;
        }
        if (folderFd_ >= 0) {
            name = FilePath::encode(QStringView(path).sliced(slash + 1));
            return folderFd_;
        }
    }
    name = FilePath::encode(path);
    return AT_FDCWD;
}
