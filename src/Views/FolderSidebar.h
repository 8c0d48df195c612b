#pragma once
// The sidebar of the open folder: its file tree, listed lazily (a folder lists its entries when it
// is first expanded); choosing a file opens it. Without a folder it offers to open one.
#include <QHash>
#include <QPointer>
#include <QWidget>

#include "Workspace/FileNode.h"

class AppState;
class QLabel;
class QStackedLayout;
class QTreeWidget;
class QTreeWidgetItem;

class FolderSidebar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 268;

    explicit FolderSidebar(AppState* app, QWidget* parent = nullptr);

    QTreeWidget* tree() const { return tree_; }
    // The row of an entry shown now, by path.
    QTreeWidgetItem* itemFor(const QString& path) const;
    FileNode::Ptr nodeFor(QTreeWidgetItem* item) const { return nodes_.value(item); }

    // Rebuilds the rows from the folder's tree, keeping what was expanded.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTreeWidgetItem* makeItem(const FileNode::Ptr& node);
    void fill(QTreeWidgetItem* item, const FileNode::Ptr& node);
    void expanded(QTreeWidgetItem* item);
    void collapsed(QTreeWidgetItem* item);
    void chosen(QTreeWidgetItem* item);

    QPointer<AppState> app_;
    QStackedLayout* pages_;
    QWidget* emptyPage_;
    QWidget* folderPage_;
    QLabel* title_;
    QTreeWidget* tree_;
    QHash<QTreeWidgetItem*, FileNode::Ptr> nodes_;
    bool filling_ = false;
};
