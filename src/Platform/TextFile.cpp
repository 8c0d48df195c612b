#include "Platform/TextFile.h"

#include <QCryptographicHash>
#include <QHash>
#include <QList>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <atomic>
#include <ctime>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>
#include <dirent.h>
#include <fcntl.h>
#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Platform/ParallelChunks.h"

namespace TextFile {

namespace {
QString tooLarge(qint64 maxBytes) {
    return maxBytes == kMaxEditableBytes ? QStringLiteral("The file is too large to edit (over 256 MB).")
                                         : QStringLiteral("The file is too large.");
}

QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Longer than the coarsest file time in use (some file systems keep whole seconds, or two).
constexpr qint64 kSettleNs = 3'000'000'000;

Stamp stampOf(const struct stat& st) {
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 nowNs = qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size), modified, nowNs - modified > kSettleNs};
}

std::atomic<quint64> g_filesRead{0};

// Closes fd on every path out of a scope.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    // The close error matters for a write (a delayed write error may surface only here).
    int release() {
        const int result = ::close(fd);
        fd = -1;
        return result == 0 ? 0 : errno;
    }
};

// Reads to the end of the file: some files (kernel ones) report size 0 and still have content.
// Returns 0 or the system's error number; bytes beyond maxBytes + 1 are never read.
int readAll(int fd, qint64 sizeHint, qint64 maxBytes, QByteArray& bytes) {
    qsizetype used = 0;
    bytes.resize(qsizetype(std::min(std::max<qint64>(sizeHint + 1, 4096), maxBytes + 1)));
    for (;;) {
        if (used == bytes.size()) {
            if (used > maxBytes) break;
            bytes.resize(qsizetype(std::min<qint64>(qint64(used) * 2, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd, bytes.data() + used, size_t(bytes.size() - used));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        used += n;
    }
    bytes.truncate(used);
    return 0;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
}

// Where a write lands: links are followed to their end, also when no file is there (any more), so
// that a link stays a link. Absent, with errno set, when the links go round.
std::optional<QByteArray> resolved(QByteArray path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), target, sizeof target);
        if (n < 0) return std::nullopt;
        if (n == ssize_t(sizeof target)) {
            errno = ENAMETOOLONG;
            return std::nullopt;
        }
        const QByteArray next(target, n);
        path = next.startsWith('/') ? next : folderOf(path) + '/' + next;
    }
    errno = ELOOP;
    return std::nullopt;
}

int writeAt(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    off_t offset = 0;
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, at, size_t(left), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        at += n;
        left -= n;
        offset += n;
    }
    return 0;
}

// The write itself, the length and the flush, in that order; returns 0 or the system's error number.
// Only system calls: it also runs in a child process that has nothing else of ours.
int replaceContent(int fd, const QByteArray& bytes) {
    if (const int error = writeAt(fd, bytes)) return error;
    if (::ftruncate(fd, off_t(bytes.size())) != 0) return errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Runs replaceContent in a child process, so that the program being killed in the middle of it
// (the write of a large file takes a while) cannot leave the file half new and half old: the
// child finishes alone. Absent when no child could be made.
std::optional<int> replaceContentInChild(int fd, const QByteArray& bytes) {
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        // Signals meant for the program (an end signal, a terminal's interrupt) must not stop it half way.
        sigset_t all;
        ::sigfillset(&all);
        ::sigprocmask(SIG_BLOCK, &all, nullptr);
        ::_exit(replaceContent(fd, bytes));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return EIO;
    return WIFEXITED(status) ? WEXITSTATUS(status) : EIO;
}

// Rewrites the file itself: the inode, its other names, owner and mode all stay. A rewrite cannot
// be one step, so everything that can fail is settled before the first byte changes, and the
// bytes go in with one write.
int writeInPlace(const QByteArray& path, const QByteArray& bytes, Stamp* written) {
    Fd file{::open(path.constData(), O_WRONLY | O_CLOEXEC)};
    if (file.fd < 0) return errno;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return errno;
    // A size the process may not reach would stop the write part way.
    struct rlimit limit {};
    if (bytes.size() > st.st_size && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(bytes.size()) > limit.rlim_cur)
        return EFBIG;
    // Claim the space first, so that a full disk is found before any old byte is overwritten. The
    // length stays: a write cut short must not leave a stretch of zeros behind the text.
    // (A file system that cannot reserve space is written without.)
    if (!bytes.isEmpty() && ::fallocate(file.fd, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != EINVAL)
        return errno;
    const std::optional<int> inChild = replaceContentInChild(file.fd, bytes);
    if (const int error = inChild ? *inChild : replaceContent(file.fd, bytes)) return error;
    if (written && ::fstat(file.fd, &st) == 0) *written = stampOf(st);
    return file.release();
}

// The name of a save's temporary file up to its process id: hidden, beside the file, and telling
// whose it is. A name near the 255-byte limit leaves no room for a suffix: its digest stands in.
QByteArray tempPrefix(const QByteArray& path) {
    const QByteArray name = path.sliced(path.lastIndexOf('/') + 1);
    const QByteArray stem = name.size() > 200 ? QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex() : name;
    return '.' + stem + ".saving-";
}

// The writer's process id, so a later save can tell a leftover from a file still being written.
QByteArray tempSuffix() {
    return QByteArray::number(qint64(::getpid())) + '-' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

// The process id in a temporary file's name after its prefix; 0 when the rest is not a process id
// and a random part.
pid_t writerOf(QByteArrayView rest) {
    const qsizetype dash = rest.indexOf('-');
    if (dash < 1 || dash > 10 || rest.size() - dash - 1 < 1 || rest.size() - dash - 1 > 7) return 0;
    const QByteArrayView pid = rest.first(dash), random = rest.sliced(dash + 1);
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (!std::all_of(pid.begin(), pid.end(), isDigit) || pid.front() == '0') return 0;
    if (!std::all_of(random.begin(), random.end(), [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'z'); }))
        return 0;
    const qint64 value = QByteArray(pid.data(), pid.size()).toLongLong();
    return value > 0 && value <= INT_MAX ? pid_t(value) : 0;
}

// Names in a folder that may be temporary files of earlier saves, listed at the first save there
// in this run: reading a folder of many thousand files at every save would make each save wait on
// it, and a save killed later in this run is another program's, whose leftovers a later run meets.
struct LeftoverNames {
    std::mutex lock;
    QHash<QByteArray, QList<QByteArray>> byFolder;
};

LeftoverNames& leftoverNames() {
    static LeftoverNames names;
    return names;
}

std::atomic<quint64> g_leftoverEntriesRead{0};

QList<QByteArray> listLeftoverNames(DIR* folder) {
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(folder)) {
        g_leftoverEntriesRead.fetch_add(1, std::memory_order_relaxed);
        const QByteArrayView name(entry->d_name);
        if (name.startsWith('.') && name.contains(".saving-")) names.append(name.toByteArray());
    }
    return names;
}

// Removes the temporary files that earlier saves of path left when they were killed: regular files
// named with its prefix, a process id that no longer runs and a random part, that no process holds
// locked. A live save (this one's or another program's) keeps its file locked while it writes.
void removeLeftovers(const QByteArray& path) {
    const QByteArray prefix = tempPrefix(path);
    const QByteArray folderPath = folderOf(path);
    DIR* folder = ::opendir(folderPath.constData());
    if (!folder) return;
    LeftoverNames& known = leftoverNames();
    const std::lock_guard guard(known.lock);
    auto names = known.byFolder.find(folderPath);
    if (names == known.byFolder.end()) names = known.byFolder.insert(folderPath, listLeftoverNames(folder));
    names->removeIf([&](const QByteArray& name) {
        if (!name.startsWith(prefix)) return false;
        const pid_t writer = writerOf(QByteArrayView(name).sliced(prefix.size()));
        if (writer == 0) return true;  // not a save's file: never removed, so no need to keep it
        if (!(::kill(writer, 0) != 0 && errno == ESRCH)) return false;
        Fd file{::openat(::dirfd(folder), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
        struct stat opened {}, named {};
        if (file.fd < 0) return errno == ENOENT;
        if (::fstat(file.fd, &opened) != 0 || !S_ISREG(opened.st_mode)) return false;
        if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) return false;
        // Still the file looked at, not one put under its name meanwhile.
        if (::fstatat(::dirfd(folder), name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino)
            return ::unlinkat(::dirfd(folder), name.constData(), 0) == 0;
        return false;
    });
    ::closedir(folder);
}

enum class Outcome { written, failed, useInPlace };

// Gives the new file the old one's access list and user attributes (where file managers keep tags).
// The system's own security labels are left to the system. False when one could not be given; a
// file system that cannot list them (or keeps none) has none known to lose.
bool copyAttributes(const QByteArray& from, int to) {
    const ssize_t size = ::listxattr(from.constData(), nullptr, 0);
    if (size <= 0) return true;
    QByteArray names(size, Qt::Uninitialized);
    const ssize_t listed = ::listxattr(from.constData(), names.data(), size_t(names.size()));
    if (listed < 0) return true;
    for (qsizetype at = 0; at < listed;) {
        const QByteArray name(names.constData() + at);  // each ends with a NUL
        at += name.size() + 1;
        if (!name.startsWith("user.") && name != "system.posix_acl_access") continue;
        const ssize_t length = ::getxattr(from.constData(), name.constData(), nullptr, 0);
        if (length < 0) return false;
        QByteArray value(length, Qt::Uninitialized);
        const ssize_t got = ::getxattr(from.constData(), name.constData(), value.data(), size_t(value.size()));
        if (got < 0 || ::fsetxattr(to, name.constData(), value.constData(), size_t(got), 0) != 0) return false;
    }
    return true;
}

// Writes a new file beside the target and renames it over the target in one step.
Outcome writeReplacing(const QByteArray& path, const struct stat* old, const QByteArray& bytes, Stamp* written,
                       int* error) {
    const QByteArray prefix = folderOf(path) + '/' + tempPrefix(path);
    QByteArray temp;
    Fd file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        temp = prefix + tempSuffix();
        file.fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST) break;
    }
    // Held until the file is closed: it is being written, whatever its name's process id says.
    if (file.fd >= 0) ::flock(file.fd, LOCK_EX | LOCK_NB);
    if (file.fd < 0) {
        *error = errno;
        // A folder the writer may not add to can still hold a file the writer may change.
        const bool folderClosed = *error == EACCES || *error == EPERM || *error == EROFS;
        return old && folderClosed ? Outcome::useInPlace : Outcome::failed;
    }
    const auto fail = [&](int code) {
        ::unlink(temp.constData());
        *error = code;
        return Outcome::failed;
    };
    if (old) {
        struct stat mine {};
        ::fstat(file.fd, &mine);
        if ((mine.st_uid != old->st_uid || mine.st_gid != old->st_gid) && ::fchown(file.fd, old->st_uid, old->st_gid) != 0) {
            // The new file would change hands: keep the old one and its owner instead.
            ::unlink(temp.constData());
            return Outcome::useInPlace;
        }
        if (::fchmod(file.fd, old->st_mode & 07777) != 0) return fail(errno);
        if (!copyAttributes(path, file.fd)) {
            // They would be lost with the old file: keep it instead.
            ::unlink(temp.constData());
            return Outcome::useInPlace;
        }
    }
    if (const int code = writeAt(file.fd, bytes)) return fail(code);
    if (::fsync(file.fd) != 0) return fail(errno);
    struct stat st {};
    ::fstat(file.fd, &st);
    if (const int code = file.release()) return fail(code);
    if (::rename(temp.constData(), path.constData()) != 0) return fail(errno);
    if (written) *written = stampOf(st);
    return Outcome::written;
}
} // namespace

quint64 leftoverEntriesRead() { return g_leftoverEntriesRead.load(std::memory_order_relaxed); }

quint64 filesRead() { return g_filesRead.load(std::memory_order_relaxed); }

namespace {
thread_local qsizetype t_largestPiece = 0;

// A long file is decoded a piece at a time on several threads: a file opened from the window's
// thread then holds it for a fraction of the time.
constexpr qsizetype kDecodedInPiecesFrom = 1024 * 1024;
constexpr qsizetype kDecodePiece = 64 * 1024;

// Pieces start at the first byte of a character (one that is no continuation byte), three bytes
// on at most: where more follow, the bytes are not UTF-8 and the piece after says so.
std::vector<qsizetype> pieceCuts(QByteArrayView bytes) {
    std::vector<qsizetype> cuts{0};
    for (qsizetype at = kDecodePiece; at < bytes.size(); at += kDecodePiece) {
        qsizetype cut = at;
        while (cut < bytes.size() && cut < at + 3 && (uchar(bytes[cut]) & 0xC0) == 0x80) ++cut;
        cuts.push_back(cut);
    }
    cuts.push_back(bytes.size());
    return cuts;
}

// Strict, as decoding the whole file at once is; absent when the bytes are not UTF-8. A piece
// never gives more units than it has bytes, so each is decoded straight to where its bytes start;
// all-ASCII text is then in place, any other is moved together and let go of the rest.
std::optional<QString> decodeInPieces(QByteArrayView bytes) {
    const std::vector<qsizetype> cuts = pieceCuts(bytes);
    const int count = int(cuts.size()) - 1;
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* const to = text.data();
    std::vector<qsizetype> units(size_t(count), -1);  // -1: not UTF-8
    ParallelChunks::run(count, ParallelChunks::threadCount(), [&](int, int i) {
        const qsizetype from = cuts[size_t(i)];
        // A U+FEFF opening any piece is a character like any other.
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        const QChar* const end = decoder.appendToBuffer(to + from, bytes.sliced(from, cuts[size_t(i) + 1] - from));
        if (!decoder.hasError()) units[size_t(i)] = end - (to + from);
    });
    t_largestPiece = 0;
    qsizetype length = 0;
    for (int i = 0; i < count; ++i) {
        t_largestPiece = std::max(t_largestPiece, cuts[size_t(i) + 1] - cuts[size_t(i)]);
        if (units[size_t(i)] < 0) return std::nullopt;
        if (length != cuts[size_t(i)]) std::memmove(to + length, to + cuts[size_t(i)], size_t(units[size_t(i)]) * sizeof(QChar));
        length += units[size_t(i)];
    }
    if (length < text.size()) {
        text.truncate(length);
        text.squeeze();
    }
    return text;
}
} // namespace

qsizetype largestPieceDecoded() { return t_largestPiece; }

ReadResult readUtf8(const QString& path, qint64 maxBytes) {
    g_filesRead.fetch_add(1, std::memory_order_relaxed);
    const QByteArray native = FilePath::encode(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) return {std::nullopt, reason(errno), {}};
    if (S_ISDIR(st.st_mode)) return {std::nullopt, QStringLiteral("It is a folder, not a file."), {}};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, QStringLiteral("It is not a regular file."), {}};
    if (st.st_size > maxBytes) return {std::nullopt, tooLarge(maxBytes), {}};

    // O_NONBLOCK: a file swapped for a FIFO between stat and open must not block us.
    Fd file{::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) return {std::nullopt, reason(errno), {}};
    struct stat fst {};
    if (::fstat(file.fd, &fst) != 0 || !S_ISREG(fst.st_mode))
        return {std::nullopt, QStringLiteral("It is not a regular file."), {}};
    QByteArray bytes;
    if (const int error = readAll(file.fd, fst.st_size, maxBytes, bytes)) return {std::nullopt, reason(error), {}};
    if (bytes.size() > maxBytes) return {std::nullopt, tooLarge(maxBytes), {}};
    std::optional<QString> text;
    if (bytes.size() > kDecodedInPiecesFrom) {
        text = decodeInPieces(bytes);
    } else {
        // Stateless: a character cut off at the end of the file is an error, not a pending state.
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        t_largestPiece = bytes.size();
        text = decoder.decode(bytes);
        if (decoder.hasError()) text.reset();
    }
    if (!text) return {std::nullopt, QStringLiteral("The file is not valid UTF-8 text."), {}};
    return {std::move(text), {}, stampOf(fst)};
}

std::optional<Stamp> stamp(const QString& path) {
    struct stat st {};
    if (::stat(FilePath::encode(path).constData(), &st) != 0) return std::nullopt;
    return stampOf(st);
}

namespace {
thread_local qsizetype t_unitsEncoded = 0;
} // namespace

qsizetype unitsEncodedHere() { return t_unitsEncoded; }

namespace {

// From this size a text is encoded a stretch on each of several threads: a save then holds the
// text (which an edit meanwhile would have to copy) for a fraction of the time.
constexpr qsizetype kStretchedFrom = 8 * 1024 * 1024;

std::optional<QByteArray> encodeWhole(QStringView text) {
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QByteArray bytes = encoder.encode(text);
    // Lone surrogates cannot be written as UTF-8.
    if (encoder.hasError() || !text.isValidUtf16()) return std::nullopt;
    return bytes;
}

// The UTF-8 length of a text; absent when it holds a lone surrogate (which cannot be written).
std::optional<qsizetype> utf8Length(QStringView text) {
    const char16_t* at = text.utf16();
    const char16_t* const end = at + text.size();
    qsizetype length = text.size();
    while (at < end) {
        // Mostly ASCII: eight units at a time.
        if (end - at >= 8) {
            char16_t any = 0;
            for (int k = 0; k < 8; ++k) any |= at[k];
            if (any < 0x80) {
                at += 8;
                continue;
            }
        }
        const char16_t u = *at++;
        if (u < 0x80) continue;
        if (u < 0x800 || !QChar::isSurrogate(u)) {
            length += u < 0x800 ? 1 : 2;
            continue;
        }
        if (!QChar::isHighSurrogate(u) || at == end || !QChar::isLowSurrogate(*at)) return std::nullopt;
        ++at;
        length += 2;  // four bytes for the pair
    }
    return length;
}

// A cut at `at`, moved past a low surrogate that would be parted from its high one.
qsizetype pairSafe(QStringView text, qsizetype at) {
    if (at > 0 && at < text.size() && text[at].isLowSurrogate() && text[at - 1].isHighSurrogate()) ++at;
    return at;
}

// Encodes a stretch without lone surrogates to `to`, which has exactly its UTF-8 length, a piece at
// a time through a small buffer: a direct encode may use more room than the bytes it gives. Every
// piece is encoded alike, so that a U+FEFF opening one is written as any other character.
bool encodeStretchTo(QStringView text, char* to, char* end) {
    constexpr qsizetype kPiece = 64 * 1024;
    std::vector<char> buffer(size_t(3 * (kPiece + 1)));
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype until = pairSafe(text, qMin(text.size(), from + kPiece));
        QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        const char* const done = encoder.appendToBuffer(buffer.data(), text.sliced(from, until - from));
        const qsizetype n = done - buffer.data();
        if (encoder.hasError() || n > end - to) return false;
        std::memcpy(to, buffer.data(), size_t(n));
        to += n;
        from = until;
    }
    return to == end;
}

// The text cut into `count` stretches of about equal length.
std::vector<qsizetype> stretchCuts(QStringView text, int count) {
    std::vector<qsizetype> cuts{0};
    for (int i = 1; i < count; ++i) cuts.push_back(qMax(cuts.back(), pairSafe(text, text.size() * i / count)));
    cuts.push_back(text.size());
    return cuts;
}

} // namespace

std::optional<QByteArray> encodeUtf8(const QString& text, QString* error) {
    t_unitsEncoded += text.size();
    const int count = qMin(ParallelChunks::threadCount(), 16);
    std::optional<QByteArray> bytes;
    if (text.size() < kStretchedFrom || count == 1) {
        bytes = encodeWhole(text);
    } else {
        // Each stretch checked and measured, then encoded straight to its place in the bytes.
        const std::vector<qsizetype> cuts = stretchCuts(text, count);
        const auto stretch = [&](int i) {
            return QStringView(text).sliced(cuts[size_t(i)], cuts[size_t(i) + 1] - cuts[size_t(i)]);
        };
        std::vector<qsizetype> at(size_t(count) + 1, 0);
        std::vector<char> valid(size_t(count), 0);
        ParallelChunks::run(count, count, [&](int, int i) {
            const std::optional<qsizetype> length = utf8Length(stretch(i));
            valid[size_t(i)] = length.has_value();
            at[size_t(i) + 1] = length.value_or(0);
        });
        if (std::all_of(valid.begin(), valid.end(), [](char v) { return v != 0; })) {
            for (int i = 0; i < count; ++i) at[size_t(i) + 1] += at[size_t(i)];
            bytes.emplace(at.back(), Qt::Uninitialized);
            char* const to = bytes->data();
            ParallelChunks::run(count, count, [&](int, int i) {
                valid[size_t(i)] = encodeStretchTo(stretch(i), to + at[size_t(i)], to + at[size_t(i) + 1]);
            });
            if (!std::all_of(valid.begin(), valid.end(), [](char v) { return v != 0; })) bytes.reset();
        }
    }
    // Lone surrogates cannot be written as UTF-8.
    if (!bytes && error) *error = QStringLiteral("The text holds characters that cannot be written as UTF-8.");
    return bytes;
}

bool writeUtf8(const QString& path, const QString& text, QString* error, Stamp* written) {
    const std::optional<QByteArray> bytes = encodeUtf8(text, error);
    return bytes && writeBytes(path, *bytes, error, written);
}

bool writeBytes(const QString& path, const QByteArray& bytes, QString* error, Stamp* written) {
    const auto failed = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const std::optional<QByteArray> followed = resolved(FilePath::encode(path));
    if (!followed) return failed(reason(errno));
    const QByteArray& target = *followed;
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return failed(QStringLiteral("It is a folder, not a file."));
    if (exists && !S_ISREG(old.st_mode)) return failed(QStringLiteral("It is not a regular file."));
    // A file the writer may not change is not replaced behind its back either.
    // (Opening it is the one check that applies the same rules as the write itself.)
    if (exists) {
        Fd probe{::open(target.constData(), O_WRONLY | O_CLOEXEC)};
        if (probe.fd < 0) return failed(reason(errno));
    }

    int code = 0;
    // Another name for the same file must keep seeing it.
    Outcome outcome = exists && old.st_nlink > 1 ? Outcome::useInPlace
                                                 : writeReplacing(target, exists ? &old : nullptr, bytes, written, &code);
    if (outcome == Outcome::useInPlace) {
        code = writeInPlace(target, bytes, written);
        outcome = code == 0 ? Outcome::written : Outcome::failed;
    }
    if (outcome != Outcome::written) return failed(reason(code));
    removeLeftovers(target);
    return true;
}

} // namespace TextFile
