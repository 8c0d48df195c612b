#include "Workspace/FileNode.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
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

std::atomic<quint64> entriesReadSoFar{0};

// Past this many changed names in one directory, one listing of it costs less than looking at each.
constexpr qsizetype kListAbove = 256;
// Up to this many changed names in all are taken in one by one, each told on its own; beyond, each
// directory takes its names in one pass and the tree is told once, so a burst costs a pass over each
// changed directory rather than one per name.
constexpr qsizetype kOneByOneUpTo = 16;
} // namespace

quint64 FileNode::entriesRead() { return entriesReadSoFar.load(std::memory_order_relaxed); }

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
    QList<Listed> listed;
    const auto entries = DirectoryListing::list(dir);
    if (!entries) return listed;  // unreadable or gone: empty, nothing reported
    entriesReadSoFar.fetch_add(quint64(entries->size()), std::memory_order_relaxed);
    listed.reserve(entries->size());
    for (const auto& entry : *entries)
        if (!isExcluded(entry.name))
            listed.append({entry.path, entry.name, entry.kind != DirectoryListing::Kind::other});
    // Sorted before the nodes are made, so that nodes lie in memory in the order they are walked.
    return inShownOrder(std::move(listed));
}

QList<FileNode::Listed> FileNode::inShownOrder(QList<Listed> entries) {
    QList<Listed> directories, files;
    files.reserve(entries.size());
    for (Listed& entry : entries) (entry.isDirectory ? directories : files).append(std::move(entry));
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
    if (listing_) listAgain_ = true;  // the listing under way is older than this one
    if (merge(listVisible(url_), true)) emit childrenChanged();
}

bool FileNode::merge(const QList<Listed>& listed, bool deep) {
    const Children old = children_.value_or(Children{});
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
            if (deep) kept->refreshLoaded();
            nodes.append(std::move(kept));
        } else {
            nodes.append(make(entry));
        }
    }
    // The same nodes in the same order: nothing for those who show them to redo.
    if (nodes == old) return false;
    children_ = std::move(nodes);
    return true;
}

void FileNode::refreshLoadedLater() {
    if (!isDirectory_ || !isLoaded_) return;
    listLater();
    for (const Ptr& child : children_.value_or(Children{})) child->refreshLoadedLater();
}

void FileNode::listLater() {
    if (std::exchange(listing_, true)) {
        listAgain_ = true;
        return;
    }
    // The node may be gone by the time the listing is done; the application outlives both.
    QThreadPool::globalInstance()->start([self = QPointer<FileNode>(this), url = url_]() mutable {
        QList<Listed> listed = listVisible(url);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self = std::move(self), listed = std::move(listed)]() mutable {
                if (self) {
                    self->listing_ = false;
                    if (self->merge(listed, false)) emit self->childrenListed();
                    if (std::exchange(self->listAgain_, false)) self->listLater();
                }
                // Freed where it was made: hundreds of thousands of names would hold up the window.
                QThreadPool::globalInstance()->start([done = std::move(listed)] {});
            },
            Qt::QueuedConnection);
    });
}

// A shown folder's own entry changed: its mode may now let it be read, or no longer.
void FileNode::listChangedFolder() {
    if (isDirectory_ && isLoaded_) listLater();
}

void FileNode::applyChanges(const QSet<QString>& paths) {
    if (!isDirectory_ || !isLoaded_) return;
    QHash<QStringView, QStringList> byFolder;
    for (const QString& path : paths) {
        const qsizetype slash = path.lastIndexOf(u'/');
        byFolder[QStringView(path).first(std::max<qsizetype>(slash, 0))].append(path.sliced(slash + 1));
    }
    QList<QHash<QStringView, QStringList>::const_iterator> looked;
    qsizetype names = 0;
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        FileNode* folder = loadedBelow(it.key());
        if (!folder) continue;  // not listed yet: listed as it is when it is opened
        // A listing under way may have been made before these changes: another follows it.
        if (it->size() > kListAbove || folder->listing_) {
            folder->listLater();
            continue;
        }
        looked.append(it);
        names += it->size();
    }
    // Each folder is found again as its turn comes: one looked at before may have removed it.
    if (names <= kOneByOneUpTo) {
        for (const auto& it : looked)
            if (FileNode* folder = loadedBelow(it.key()))
                for (const QString& name : *it) folder->updateEntry(name);
        return;
    }
    bool changed = false;
    for (const auto& it : looked)
        if (FileNode* folder = loadedBelow(it.key())) changed = folder->updateEntries(*it) || changed;
    if (changed) emit descendantsChanged();
}

FileNode* FileNode::loadedBelow(QStringView path) {
    FileNode* node = this;
    for (const QStringView name : path.tokenize(u'/', Qt::SkipEmptyParts)) {
        const qsizetype at = node->indexOf(name.toString());
        if (at == node->children_->size()) return nullptr;
        node = (*node->children_)[at].get();
        if (!node->isDirectory_ || !node->isLoaded_ || !node->children_) return nullptr;
    }
    return node;
}

qsizetype FileNode::indexOf(const QString& name) const {
    const Children& children = *children_;
    // Directories come first, then files, each part in file-viewer order; equal names in that order
    // (differing in case only) stand side by side.
    const auto part = std::partition_point(children.cbegin(), children.cend(), [](const Ptr& node) { return node->isDirectory_; });
    for (auto [from, to] : {std::pair{children.cbegin(), part}, std::pair{part, children.cend()}}) {
        auto at = std::partition_point(from, to, [&](const Ptr& node) { return FileOrder::compare(node->name_, name) < 0; });
        for (; at != to && FileOrder::compare((*at)->name_, name) == 0; ++at)
            if ((*at)->name_ == name) return at - children.cbegin();
    }
    return children.size();
}

std::optional<FileNode::Listed> FileNode::lookAt(const QString& name) const {
    if (isExcluded(name)) return std::nullopt;
    entriesReadSoFar.fetch_add(1, std::memory_order_relaxed);
    const QString path = DirectoryListing::join(url_, name);
    struct stat st {};
    if (::lstat(FilePath::encode(path).constData(), &st) != 0) return std::nullopt;
    // As a listing sees it: a link to a directory counts as one.
    const bool isDirectory = S_ISLNK(st.st_mode) ? isDirectoryOnDisk(path) : S_ISDIR(st.st_mode);
    return Listed{path, name, isDirectory};
}

void FileNode::updateEntry(const QString& name) {
    if (isExcluded(name)) return;
    const std::optional<Listed> entry = lookAt(name);
    const qsizetype at = indexOf(name);
    if (at < children_->size()) {
        if (entry && (*children_)[at]->isDirectory_ == entry->isDirectory) {
            (*children_)[at]->listChangedFolder();  // written to, or its attributes
            return;
        }
        emit childAboutToBeRemoved(at);
        children_->remove(at);
    }
    if (!entry) return;
    const auto place = std::partition_point(children_->cbegin(), children_->cend(), [&](const Ptr& node) {
        return !comesBefore(*entry, *node);
    });
    const qsizetype index = place - children_->cbegin();
    children_->insert(index, make(*entry));
    emit childInserted(index);
}

bool FileNode::updateEntries(const QStringList& names) {
    Children& children = *children_;
    std::vector<bool> gone(size_t(children.size()), false);
    QList<Listed> added;
    for (const QString& name : names) {
        const std::optional<Listed> entry = lookAt(name);
        const qsizetype at = indexOf(name);
        const bool shown = at < children.size();
        if (shown && entry && children[at]->isDirectory_ == entry->isDirectory) {
            children[at]->listChangedFolder();  // written to, or its attributes
            continue;
        }
        if (shown) gone[size_t(at)] = true;
        if (entry) added.append(*entry);
    }
    if (added.isEmpty() && std::find(gone.cbegin(), gone.cend(), true) == gone.cend()) return false;
    added = inShownOrder(std::move(added));
    // Both in display order: one pass puts the new entries among the children that stay.
    Children merged;
    merged.reserve(children.size() + added.size());
    auto next = added.cbegin();
    for (qsizetype i = 0; i < children.size(); ++i) {
        if (gone[size_t(i)]) continue;
        for (; next != added.cend() && comesBefore(*next, *children[i]); ++next) merged.append(make(*next));
        merged.append(std::move(children[i]));
    }
    for (; next != added.cend(); ++next) merged.append(make(*next));
    children = std::move(merged);
    return true;
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
