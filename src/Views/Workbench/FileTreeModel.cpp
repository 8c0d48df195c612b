#include "Views/Workbench/FileTreeModel.h"

#include "AppState.h"
#include "Views/Workbench/FileRow.h"

FileTreeModel::FileTreeModel(AppState& app, QObject* parent) : QAbstractListModel(parent), app_(&app) {
    connect(app_, &AppState::rootNodeChanged, this, &FileTreeModel::rebuild);
    connect(app_, &AppState::activeDocumentIdChanged, this, [this] {
        if (!rows_.isEmpty()) emit dataChanged(index(0), index(int(rows_.size()) - 1), {IsActiveRole});
    });
    rebuild();
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
    connect(node, &FileNode::isExpandedChanged, this, &FileTreeModel::rebuild, Qt::UniqueConnection);
}

void FileTreeModel::append(const FileNode::Ptr& folder, int depth) {
    follow(folder.get());
    if (!folder->children()) return;
    for (const FileNode::Ptr& child : *folder->children()) {
        rows_.append({child, depth});
        if (child->isDirectory()) {
            follow(child.get());
            if (child->isExpanded()) append(child, depth + 1);
        }
    }
}

void FileTreeModel::rebuild() {
    beginResetModel();
    rows_.clear();
    if (app_ && app_->rootNode()) append(app_->rootNode(), 0);
    endResetModel();
}
