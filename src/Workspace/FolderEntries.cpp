#include "Workspace/FolderEntries.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Workspace/FileWalk.h"

FolderEntries::Handle::~Handle() {
    if (fd >= 0) ::close(fd);
}

namespace {
// One block per thread for all its folders: a fresh one per folder, zeroed, costs more than
// listing a small folder.
constexpr size_t kBlock = 32 * 1024;
char* block() {
    thread_local const std::unique_ptr<char[]> data(new char[kBlock]);
    return data.get();
}
} // namespace

bool FolderEntries::next(std::string_view& name, Kind& kind) {
    char* const data = block();
    for (;;) {
        if (offset_ >= got_) {
            got_ = fd_ < 0 ? 0 : ::syscall(SYS_getdents64, fd_, data, kBlock);
            offset_ = 0;
            if (got_ <= 0) return false;
        }
        const auto* entry = reinterpret_cast<const struct dirent64*>(data + offset_);
        offset_ += entry->d_reclen;
        name = std::string_view(entry->d_name);
        if (FileWalk::isExcluded(name)) continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            struct stat st {};
            if (type == DT_UNKNOWN && ::fstatat(fd_, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
            // A link could lead back up the tree: never walked into.
            if (type == DT_LNK && ::fstatat(fd_, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) continue;
        }
        kind = type == DT_DIR ? Kind::folder : type == DT_REG ? Kind::regularFile : Kind::otherFile;
        return true;
    }
}

// ASCII names, the common case, are widened in place without a second string.
QString FolderEntries::joined(const QString& prefix, std::string_view name) {
    const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) return prefix + FilePath::decode(QByteArrayView(name.data(), qsizetype(name.size())));
    QString path(prefix.size() + qsizetype(name.size()), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(path.data());
    std::copy_n(reinterpret_cast<const char16_t*>(prefix.constData()), prefix.size(), out);
    std::copy(name.begin(), name.end(), out + prefix.size());
    return path;
}
