#include "Views/Workbench/FileTreeModel.h"

#include "AppState.h"
#include "Views/Workbench/FileRow.h"

FileTreeModel::FileTreeModel(AppState& app, QObject* parent) : QAbstractListModel(parent), app_(&app) {
    rebuildSoon_.setSingleShot(true);
    rebuildSoon_.setInterval(0);
    connect(&rebuildSoon_, &QTimer::timeout, this, &FileTreeModel::rebuild);
    connect(app_, &AppState::rootNodeChanged, this, &FileTreeModel::reset);
    connect(app_, &AppState::activeDocumentIdChanged, this, [this] {
        if (!rows_.isEmpty()) emit dataChanged(index(0), index(int(rows_.size()) - 1), {IsActiveRole});
    });
    reset();
}

int FileTreeModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

FileNode::Ptr FileTreeModel::node(int row) const { return row >= 0 && row < rows_.size() ? rows_[row].node : nullptr; }
int FileTreeModel::depth(int row) const { return row >= 0 && row < rows_.size() ? rows_[row].depth : 0; }

int FileTreeModel::rowOf(const QString& path) const {
    for (int i = 0; i < rows_.size(); ++i)
        if (rows_[i].node->url() == path) return i;
    return -1;
}

QVariant FileTreeModel::data(const QModelIndex& index, int role) const {
    const FileNode::Ptr n = node(index.row());
    if (!n) return {};
    switch (role) {
    case Qt::DisplayRole: return n->name();
    case Qt::ToolTipRole:
    case PathRole: return n->url();
    case DepthRole: return rows_[index.row()].depth;
    case IsDirectoryRole: return n->isDirectory();
    case IsExpandedRole: return n->isExpanded();
    case IsActiveRole: return app_ && FileRow(n, 0, *app_).isActive();
    default: return {};
    }
}

void FileTreeModel::follow(FileNode* node) {
    connect(node, &FileNode::childrenChanged, this, &FileTreeModel::rebuild, Qt::UniqueConnection);
    connect(node, &FileNode::descendantsChanged, this, &FileTreeModel::rebuild, Qt::UniqueConnection);
    connect(node, &FileNode::childrenListed, &rebuildSoon_, qOverload<>(&QTimer::start), Qt::UniqueConnection);
    connect(node, &FileNode::isExpandedChanged, this, &FileTreeModel::rebuild, Qt::UniqueConnection);
    connect(node, &FileNode::childInserted, this, &FileTreeModel::childInserted, Qt::UniqueConnection);
    connect(node, &FileNode::childAboutToBeRemoved, this, &FileTreeModel::childAboutToBeRemoved, Qt::UniqueConnection);
}

int FileTreeModel::rowOf(const FileNode* node, int from) const {
    for (int i = from; i < rows_.size(); ++i) {
        ++rowsVisited_;
        if (rows_[i].node.get() == node) return i;
    }
    return -1;
}

std::optional<int> FileTreeModel::rowShowingEntriesOf(const FileNode* folder) const {
    if (app_ && app_->rootNode().get() == folder) return -1;
    if (!folder->isExpanded()) return std::nullopt;
    const int row = rowOf(folder, 0);
    return row < 0 ? std::nullopt : std::optional<int>(row);
}

int FileTreeModel::endOfEntries(int row) const {
    const int depth = row < 0 ? -1 : rows_[row].depth;
    int end = row + 1;
    while (end < rows_.size() && rows_[end].depth > depth) ++end;
    rowsVisited_ += quint64(end - row);
    return end;
}

// One entry came or went: its rows alone change, so a large folder is not shown anew for it.
void FileTreeModel::childInserted(qsizetype index) {
    if (rebuildSoon_.isActive()) return;  // the rebuild shows it
    const auto* folder = qobject_cast<FileNode*>(sender());
    const auto row = folder ? rowShowingEntriesOf(folder) : std::nullopt;
    if (!row) return;
    const FileNode::Children& children = *folder->children();
    const int next = index + 1 < children.size() ? rowOf(children[index + 1].get(), *row + 1) : -1;
    const int at = next >= 0 ? next : endOfEntries(*row);
    const FileNode::Ptr& child = children[index];
    beginInsertRows({}, at, at);
    rows_.insert(at, {child, *row < 0 ? 0 : rows_[*row].depth + 1});
    ++rowsBuilt_;
    rowsVisited_ += quint64(rows_.size() - at);
    if (child->isDirectory()) follow(child.get());
    endInsertRows();
}

void FileTreeModel::childAboutToBeRemoved(qsizetype index) {
    if (rebuildSoon_.isActive()) return;
    const auto* folder = qobject_cast<FileNode*>(sender());
    const auto row = folder ? rowShowingEntriesOf(folder) : std::nullopt;
    if (!row) return;
    const int at = rowOf((*folder->children())[index].get(), *row + 1);
    if (at < 0) return;
    const int end = endOfEntries(at);
    beginRemoveRows({}, at, end - 1);
    rows_.remove(at, end - at);
    rowsVisited_ += quint64(rows_.size() - at);
    endRemoveRows();
}

void FileTreeModel::append(const FileNode::Ptr& folder, int depth, QHash<const FileNode*, int>& rowOfKept) {
    follow(folder.get());
    if (!folder->children()) return;
    for (const FileNode::Ptr& child : *folder->children()) {
        rows_.append({child, depth});
        ++rowsBuilt_;
        ++rowsVisited_;
        if (!rowOfKept.isEmpty())
            if (const auto kept = rowOfKept.find(child.get()); kept != rowOfKept.end()) *kept = int(rows_.size()) - 1;
        if (child->isDirectory()) {
            follow(child.get());
            if (child->isExpanded()) append(child, depth + 1, rowOfKept);
        }
    }
}

void FileTreeModel::reset() {
    rebuildSoon_.stop();
    beginResetModel();
    rows_.clear();
    QHash<const FileNode*, int> none;
    if (app_ && app_->rootNode()) append(app_->rootNode(), 0, none);
    endResetModel();
}

// A layout change rather than a reset: the view keeps its current row, its hover and its scroll on
// the same entries, where a reset would drop them after every burst of changes on disk.
void FileTreeModel::rebuild() {
    rebuildSoon_.stop();
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    // Held until the end: a node freed with its row could be reused at the same address by a new one.
    QList<FileNode::Ptr> kept;
    kept.reserve(before.size());
    QHash<const FileNode*, int> rowOfKept;
    for (const QModelIndex& index : before) {
        kept.append(node(index.row()));
        if (kept.last()) rowOfKept.insert(kept.last().get(), -1);
    }
    rows_.clear();
    if (app_ && app_->rootNode()) append(app_->rootNode(), 0, rowOfKept);
    QModelIndexList after;
    after.reserve(before.size());
    for (const FileNode::Ptr& n : kept) {
        const int row = n ? rowOfKept.value(n.get(), -1) : -1;
        after.append(row >= 0 ? index(row) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}
