#pragma once
// The branch list of the branch popover, rows made only for what is on screen. A click on a row
// asks to switch to its branch, a click on its menu button (or the Menu key on the keyboard's
// row) asks for the row's menu; Up and Down move between rows and Return switches.
#include <QListView>

#include "Git/GitBranchInfo.h"
#include "Views/SourceControl/BranchListModel.h"

class BranchRowDelegate;

class BranchListView : public QListView {
    Q_OBJECT
public:
    explicit BranchListView(QWidget* parent = nullptr);

    BranchListModel& branches() { return model_; }
    const BranchListModel& branches() const { return model_; }
    // Where a row and its menu button are in the viewport now.
    QRect rowRect(int row) const { return visualRect(model_.index(row)); }
    QRect menuRect(int row) const;
    // The height that shows every row, up to limit.
    int contentHeight(int limit) const;

signals:
    void switchRequested(const GitBranchInfo& branch);
    void menuRequested(const GitBranchInfo& branch, const QPoint& globalPos);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void syncDelegate();

    BranchListModel model_;
    BranchRowDelegate* delegate_;
};
