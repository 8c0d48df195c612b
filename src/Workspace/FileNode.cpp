#include "Workspace/FileNode.h"

#include <QHash>
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

FileNode::FileNode(const QString& url) : FileNode(url, isDirectoryOnDisk(url)) {}

FileNode::FileNode(QString url, bool isDirectory)
    : url_(std::move(url)),
      isDirectory_(isDirectory),
      name_(DirectoryListing::lastComponent(url_)) {}

QUuid FileNode::id() const {
    if (id_.isNull()) id_ = QUuid::createUuid();
    return id_;
}

FileNode::Ptr FileNode::make(const Listed& entry) { return Ptr(new FileNode(entry.url, entry.isDirectory)); }

bool FileNode::isExcluded(const QString& name) { return FileWalk::isExcluded(name); }

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
        into.append(std::move(files.paths));
        return true;
    });
}

void FileNode::walkFiles(const QString& dir, const std::function<bool(Files&&)>& batch, int threads) {
    FileWalk::walk(dir, batch, threads);
}
