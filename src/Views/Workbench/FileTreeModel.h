#pragma once
// The explorer's rows: the loaded tree below the open folder flattened in display order, an
// expanded folder followed by its entries one level deeper. Follows the nodes as they change.
#include <QAbstractListModel>
#include <QPointer>

#include "Workspace/FileNode.h"

class AppState;

class FileTreeModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { DepthRole = Qt::UserRole + 1, IsDirectoryRole, IsExpandedRole, IsActiveRole, PathRole };

    explicit FileTreeModel(AppState& app, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    FileNode::Ptr node(int row) const;
    int depth(int row) const;
    // The row of an entry shown now, by path; -1 when it has none.
    int rowOf(const QString& path) const;

    void rebuild();

private:
    struct Row {
        FileNode::Ptr node;
        int depth;
    };
    void append(const FileNode::Ptr& folder, int depth);
    void follow(FileNode* node);

    QPointer<AppState> app_;
    QList<Row> rows_;
};
