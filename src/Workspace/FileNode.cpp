#include "Workspace/FileNode.h"

#include <algorithm>
#include <utility>
#include <sys/stat.h>

#include "Platform/FileOrder.h"
#include "Platform/FilePath.h"
#include "Workspace/DirectoryListing.h"
#include "Workspace/FileWalk.h"

namespace {
bool isDirectoryOnDisk(const QString& path) {
    struct stat st {};
    return ::stat(FilePath::encode(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

FileNode::FileNode(const QString& url) : FileNode(url, DirectoryListing::lastComponent(url), isDirectoryOnDisk(url)) {}

FileNode::FileNode(QString url, QString name, bool isDirectory)
    : url_(std::move(url)), isDirectory_(isDirectory), name_(std::move(name)) {}

QUuid FileNode::id() const {
    if (id_.isNull()) id_ = QUuid::createUuid();
    return id_;
}

FileNode::Ptr FileNode::make(const Listed& entry) {
    // One allocation for the node and its count.
    struct Shared : FileNode {
        explicit Shared(const Listed& entry) : FileNode(entry.url, entry.name, entry.isDirectory) {}
    };
    return std::make_shared<Shared>(entry);
}

bool FileNode::isExcluded(const QString& name) { return FileWalk::isExcluded(name); }

QList<FileNode::Listed> FileNode::listVisible(const QString& dir) {
    QList<Listed> directories, files;
    const auto entries = DirectoryListing::list(dir);
    if (!entries) return files;  // unreadable or gone: empty, nothing reported
    files.reserve(entries->size());
    for (const auto& entry : *entries) {
        if (isExcluded(entry.name)) continue;
        const bool isDirectory = entry.kind != DirectoryListing::Kind::other;
        (isDirectory ? directories : files).append({entry.path, entry.name, isDirectory});
    }
    // Sorted before the nodes are made, so that nodes lie in memory in the order they are walked.
    const auto name = [](const Listed& entry) -> const QString& { return entry.name; };
    FileOrder::sort(directories, name);
    FileOrder::sort(files, name);
    directories.append(std::move(files));
    return directories;
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
    const QList<Listed> listed = listVisible(url_);
    Children nodes;
    nodes.reserve(listed.size());
    for (const auto& entry : listed) nodes.append(make(entry));
    assignChildren(std::move(nodes));
}

bool FileNode::comesBefore(const Listed& entry, const FileNode& node) {
    if (entry.isDirectory != node.isDirectory_) return entry.isDirectory;
    return FileOrder::compare(entry.name, node.name_) < 0;
}

void FileNode::refreshLoaded() {
    if (!isDirectory_ || !isLoaded_) return;
    const Children old = children_.value_or(Children{});
    const QList<Listed> listed = listVisible(url_);
    Children nodes;
    nodes.reserve(listed.size());
    // The old children and the new listing are both in display order: walked side by side, an entry
    // that is still there meets its node at once, and the order is asked only where they part.
    qsizetype next = 0;
    for (const Listed& entry : listed) {
        Ptr kept;
        while (next < old.size() && !kept) {
            const Ptr& node = old[next];
            if (node->name_ == entry.name) kept = node;
            else if (comesBefore(entry, *node)) break;  // a new entry
            ++next;  // found, or gone from the folder
        }
        // An entry replaced by one of the other kind (a file by a folder) gets a new node.
        if (kept && kept->isDirectory_ == entry.isDirectory) {
            kept->refreshLoaded();
            nodes.append(std::move(kept));
        } else {
            nodes.append(make(entry));
        }
    }
    // The same nodes in the same order: nothing for those who show them to redo.
    if (nodes != old) assignChildren(std::move(nodes));
}

void FileNode::allFiles(QStringList& into) const {
    if (!isDirectory_) {
        into.append(url_);
        return;
    }
    walkFiles(url_, [&into](Files&& files) {
        into.append(std::move(files.paths));
        return true;
    });
}

void FileNode::walkFiles(const QString& dir, const std::function<bool(Files&&)>& batch, int threads) {
    FileWalk::walk(dir, batch, threads);
}
