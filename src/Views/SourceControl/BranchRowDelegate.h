#pragma once
// Draws one branch of the branch popover: a check mark for the current branch or a ring for any
// other, the name and, when it has one, its upstream below, and the menu button of every branch
// but the current one.
#include <QStyledItemDelegate>

class BranchRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kSpacing = 1;  // between two rows
    static constexpr int kMenuWidth = 22;

    using QStyledItemDelegate::QStyledItemDelegate;

    // Where the menu button of a row drawn in rect sits.
    static QRect menuRect(const QRect& rect);
    // The row the keyboard is on, drawn with an outline; -1 for none.
    void setKeyboardRow(int row) { keyboardRow_ = row; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int keyboardRow_ = -1;
};
