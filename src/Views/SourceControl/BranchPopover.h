#pragma once
// The local branches of the repository in a popover under its anchor: filter them, switch to
// one, delete one (after asking), or create one from HEAD. A successful switch or creation
// closes the popover; a failed one leaves it open with git's line at the bottom.
#include <QFrame>
#include <QPointer>
#include <optional>

#include "Git/GitBranchInfo.h"

class AppState;
class QLabel;
class QLineEdit;
class BranchListView;
class QStackedWidget;
class QWidget;

class BranchPopover : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 340;

    explicit BranchPopover(AppState& app, QWidget* parent = nullptr);

    // Opens a popover under anchor; it deletes itself when it closes.
    static BranchPopover* show(AppState& app, QWidget* anchor);

    // The branches whose name contains filter, ignoring case; all of them for an empty filter.
    static QList<GitBranchInfo> filtered(const QList<GitBranchInfo>& branches, const QString& filter);

    void switchTo(const GitBranchInfo& branch);
    void confirmDelete(const GitBranchInfo& branch);
    void createNew();
    void beginCreating();
    void cancelCreating();

    QLineEdit* filterField() const { return filterField_; }
    QLineEdit* newBranchField() const { return newBranchField_; }
    bool isCreating() const;
    const std::optional<QString>& errorText() const { return errorText_; }
    QString newBranchLabel() const;
    // What the popover says of HEAD when it is on no branch ("Detached HEAD"); empty otherwise.
    QString stateText() const;
    // What the header shows: "" without counts, else e.g. "↑2 ↓0".
    QString countsText() const;
    // The names listed now, in order; and the empty-list note when shown.
    QStringList shownNames() const;
    bool showsNoMatch() const;
    BranchListView* list() const { return list_; }
    // Where a branch's row is in the list's viewport; empty when it is not shown.
    QRect rowRect(const QString& name) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildBottom();
    void showRowMenu(const GitBranchInfo& branch, const QPoint& globalPos);
    void rebuildRows();
    void followState();
    void setErrorText(const std::optional<QString>& text);
    // Beside the anchor, on its screen: see PopoverPlacement.
    void place();

    QPointer<AppState> app_;
    QPointer<QWidget> anchor_;
    QLabel* counts_;
    QLabel* state_;
    QLineEdit* filterField_;
    BranchListView* list_;
    QLabel* noMatch_;
    QStackedWidget* bottom_;
    QWidget* newBranchButton_;
    QWidget* createRow_;
    QLineEdit* newBranchField_;
    QLabel* errorLabel_;
    std::optional<QString> errorText_;
    bool asking_ = false;  // a question of its own is open: clicks there do not close it
};
