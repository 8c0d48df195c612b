#pragma once
// The sidebar panel of the open folder: a header with the folder's name and an Open Folder button,
// then the folder's tree as one list of rows (clicking a folder folds it, clicking a file opens
// it, each row has a context menu); without a folder, an empty state that offers to open one.
// A click in the explorer gives the list the keyboard: the arrows move in the tree and fold folders
// open and shut, Return opens the row, Escape hands the keyboard back to the editor.
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWidget>
#include <memory>

class AppState;
class FileRow;
class FileTreeModel;
class QLabel;
class QListView;
class QMenu;
class QModelIndex;
class QStackedLayout;

class FileExplorerView : public QWidget {
    Q_OBJECT
public:
    explicit FileExplorerView(AppState& app, QWidget* parent = nullptr);

    QLabel* title() const { return title_; }
    QListView* list() const { return list_; }
    FileTreeModel* model() const { return model_; }
    bool showsEmptyState() const;
    FileRow row(int index) const;

    // The context menu of a row, built but not shown.
    std::unique_ptr<QMenu> menuFor(const QModelIndex& index);

signals:
    // The keyboard should go back to the editor: Escape, or a file opened from here.
    void editorWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* emptyState();
    void sync();
    // Opens a file (handing the keyboard to its editor) or folds a folder open or shut, keeping the
    // row current.
    void activate(int row);
    // The arrows, Return and Escape while the list has the keyboard; false for any other key.
    bool handleKey(int key);

    QPointer<AppState> app_;
    QStackedLayout* pages_;
    QLabel* title_;
    QListView* list_;
    FileTreeModel* model_;
    QWidget* empty_;
    // The row at the top while the rows are built again.
    QPersistentModelIndex top_;
};
