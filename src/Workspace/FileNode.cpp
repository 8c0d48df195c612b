#include "Workspace/FileNode.h"

#include <QHash>
#include <algorithm>
#include <utility>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "Platform/FileOrder.h"
#include "Platform/FilePath.h"
#include "Workspace/DirectoryListing.h"

namespace {
bool isDirectoryOnDisk(const QString& path) {
    struct stat st {};
    return ::stat(FilePath::encode(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Names never shown: tool folders and the like (hidden names, starting with a dot, go too).
constexpr std::string_view kIgnored[] = {".git", ".build", ".swiftpm", "node_modules", ".DS_Store",
                                         "DerivedData", ".next", "dist", "Pods"};

bool isExcludedName(std::string_view name) {
    return name.starts_with('.') || std::find(std::begin(kIgnored), std::end(kIgnored), name) != std::end(kIgnored);
}

struct DirectoryFd {
    int fd;
    ~DirectoryFd() {
        if (fd >= 0) ::close(fd);
    }
};

// The walk behind the file list: one open folder per level, entries read in large blocks, names
// looked at as bytes and turned into text only for the files kept. A subfolder is entered through
// its parent's handle, never by its whole path again.
bool walkAt(int fd, const QString& dir, const std::function<bool(FileNode::Files&&)>& batch) {
    const QString prefix = DirectoryListing::join(dir, QString());
    FileNode::Files files;
    std::vector<char> block(32 * 1024);
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, block.data(), block.size());
        if (got <= 0) break;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(block.data() + at);
            at += entry->d_reclen;
            const std::string_view name(entry->d_name);
            if (isExcludedName(name)) continue;
            unsigned char type = entry->d_type;
            bool linkToDirectory = false;
            if (type == DT_UNKNOWN || type == DT_LNK) {
                struct stat st {};
                if (type == DT_UNKNOWN && ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
                // A link could lead back up the tree: never walked into.
                linkToDirectory = type == DT_LNK && ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
            }
            if (linkToDirectory) continue;
            const QString path = prefix + FilePath::decode(QByteArrayView(name.data(), qsizetype(name.size())));
            if (type == DT_DIR) {
                if (!batch(std::exchange(files, {}))) return false;
                const DirectoryFd sub{::openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
                if (sub.fd >= 0 && !walkAt(sub.fd, path, batch)) return false;
                continue;
            }
            files.paths.append(path);
            files.regular.append(type == DT_REG);
        }
    }
    return batch(std::move(files));
}
} // namespace

FileNode::FileNode(const QString& url) : FileNode(url, isDirectoryOnDisk(url)) {}

FileNode::FileNode(QString url, bool isDirectory)
    : id_(QUuid::createUuid()),
      url_(std::move(url)),
      isDirectory_(isDirectory),
      name_(DirectoryListing::lastComponent(url_)) {}

FileNode::Ptr FileNode::make(const Listed& entry) { return Ptr(new FileNode(entry.url, entry.isDirectory)); }

bool FileNode::isExcluded(const QString& name) {
    return name.startsWith(u'.') || std::any_of(std::begin(kIgnored), std::end(kIgnored), [&](std::string_view ignored) {
               return name == QLatin1StringView(ignored.data(), qsizetype(ignored.size()));
           });
}

QList<FileNode::Listed> FileNode::listVisible(const QString& dir) {
    QList<Listed> visible;
    const auto entries = DirectoryListing::list(dir);
    if (!entries) return visible;  // unreadable or gone: empty, nothing reported
    for (const auto& entry : *entries) {
        if (isExcluded(entry.name)) continue;
        visible.append({entry.path, entry.kind != DirectoryListing::Kind::other});
    }
    return visible;
}

void FileNode::sortForDisplay(Children& nodes) {
    Children directories, files;
    for (Ptr& node : nodes) (node->isDirectory_ ? directories : files).append(std::move(node));
    const auto name = [](const Ptr& node) -> const QString& { return node->name_; };
    FileOrder::sort(directories, name);
    FileOrder::sort(files, name);
    nodes = std::move(directories);
    nodes.append(std::move(files));
}

void FileNode::assignChildren(Children children) {
    children_ = std::move(children);
    emit childrenChanged();
}

void FileNode::setIsExpanded(bool expanded) {
    isExpanded_ = expanded;
    emit isExpandedChanged();
}

void FileNode::loadChildren() {
    if (!isDirectory_ || isLoaded_) return;
    // Loaded before listing, so a listing that fails still counts.
    isLoaded_ = true;
    emit isLoadedChanged();
    Children nodes;
    for (const auto& entry : listVisible(url_)) nodes.append(make(entry));
    sortForDisplay(nodes);
    assignChildren(std::move(nodes));
}

void FileNode::refreshLoaded() {
    if (!isDirectory_ || !isLoaded_) return;
    QHash<QString, Ptr> current;
    if (children_)
        for (const auto& child : *children_) current.insert(child->url_, child);
    Children nodes;
    for (const auto& entry : listVisible(url_)) {
        // An entry replaced by one of the other kind (a file by a folder) gets a new node.
        Ptr kept = current.take(entry.url);
        if (kept && kept->isDirectory_ == entry.isDirectory) {
            kept->refreshLoaded();
            nodes.append(std::move(kept));
        } else {
            nodes.append(make(entry));
        }
    }
    sortForDisplay(nodes);
    assignChildren(std::move(nodes));
}

void FileNode::allFiles(QStringList& into) const {
    if (!isDirectory_) {
        into.append(url_);
        return;
    }
    walkFiles(url_, [&into](Files&& files) {
        into.append(files.paths);
        return true;
    });
}

void FileNode::walkFiles(const QString& dir, const std::function<bool(Files&&)>& batch) {
    // The folder itself may be reached through a link; nothing below it is.
    const DirectoryFd top{::open(FilePath::encode(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (top.fd >= 0) walkAt(top.fd, dir, batch);
}
