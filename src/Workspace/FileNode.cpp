#include "Workspace/FileNode.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <utility>
#include <sys/stat.h>

#include "Platform/FileOrder.h"
#include "Platform/FilePath.h"
#include "Workspace/DirectoryListing.h"

namespace {
bool isDirectoryOnDisk(const QString& path) {
    struct stat st {};
    return ::stat(FilePath::encode(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool walk(const QString& dir, const std::function<bool(FileNode::Files&&)>& batch) {
    const auto entries = DirectoryListing::list(dir);
    if (!entries) return true;
    FileNode::Files files;
    for (const auto& entry : *entries) {
        if (FileNode::isExcluded(entry.name)) continue;
        switch (entry.kind) {
        case DirectoryListing::Kind::directory:
            if (!batch(std::exchange(files, {})) || !walk(entry.path, batch)) return false;
            break;
        case DirectoryListing::Kind::linkToDirectory: break;  // a link could lead back up the tree
        case DirectoryListing::Kind::other:
            files.paths.append(entry.path);
            files.regular.append(entry.regular);
            break;
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
    static const QSet<QString> ignored{".git", ".build", ".swiftpm", "node_modules", ".DS_Store",
                                       "DerivedData", ".next", "dist", "Pods"};
    return name.startsWith(u'.') || ignored.contains(name);
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
    std::stable_sort(nodes.begin(), nodes.end(), [](const Ptr& a, const Ptr& b) {
        if (a->isDirectory_ != b->isDirectory_) return a->isDirectory_;
        return FileOrder::lessThan(a->name_, b->name_);
    });
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

void FileNode::walkFiles(const QString& dir, const std::function<bool(Files&&)>& batch) { walk(dir, batch); }
