#pragma once
// The explorer's rows: the loaded tree below the open folder flattened in display order, an
// expanded folder followed by its entries one level deeper. Follows the nodes as they change.
#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <optional>

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

    // Builds the rows again; rows the view holds on to (current, top) follow their entries.
    void rebuild();
    // Rows made so far, by rebuilds and by entries that came one at a time.
    quint64 rowsBuilt() const { return rowsBuilt_; }
    // Rows built, looked through or shifted along so far: the work the rows cost.
    quint64 rowsVisited() const { return rowsVisited_; }

private slots:
    void childInserted(qsizetype index);
    void childAboutToBeRemoved(qsizetype index);

private:
    struct Row {
        FileNode::Ptr node;
        int depth;
    };
    // Rows of entries found in rowOfKept get their new row noted there.
    void append(const FileNode::Ptr& folder, int depth, QHash<const FileNode*, int>& rowOfKept);
    // Another folder: nothing of the old rows carries over.
    void reset();
    void follow(FileNode* node);
    // The row of node (-1 for the open folder itself) when its entries are shown, or nullopt.
    std::optional<int> rowShowingEntriesOf(const FileNode* folder) const;
    // The first row after row's entries.
    int endOfEntries(int row) const;
    int rowOf(const FileNode* node, int from) const;

    QPointer<AppState> app_;
    // Listings taken in during one turn are shown by one rebuild, in the next.
    QTimer rebuildSoon_;
    QList<Row> rows_;
    quint64 rowsBuilt_ = 0;
    mutable quint64 rowsVisited_ = 0;
};
