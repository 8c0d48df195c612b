#pragma once
// Draws the rows of the change lists: a change as its language icon, file name, folder and
// status badge, with its actions (Unstage, or Discard and Stage) in the badge's place while the
// pointer is over it or the keyboard is on it; a header row is left to the widget set over it.
// Only rows that are on screen are ever drawn or measured one by one.
#include <QStyledItemDelegate>

#include "Git/GitFileChange.h"

class ChangeListModel;

class ChangeRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kGap = 14;         // between two rows, a header and its first row alike
    static constexpr int kHeaderHeight = 24;

    using QStyledItemDelegate::QStyledItemDelegate;

    // What a row shows and offers.
    static QString fileName(const GitFileChange& change);
    static QString folder(const GitFileChange& change);  // empty for a file at the repository root
    static QColor badgeColor(const GitFileChange& change);
    // The tooltips of the row's actions, left to right.
    static QStringList actions(bool staged);
    // Where the actions sit in a row drawn in rect, left to right.
    static QList<QRect> actionRects(const QRect& rect, bool staged);
    // The row's own rounded box inside the space the list gives it.
    static QRect box(const QRect& rect) { return rect.adjusted(0, kGap / 2, 0, -kGap / 2); }

    // How the list tells which row the keyboard is on, whether the window shows a row's diff, and
    // which action the keyboard has chosen (-1: the row itself).
    struct State {
        int keyboardRow = -1;
        int keyboardAction = -1;
        QString activePath;
        bool hasActive = false;
    };
    void setState(const State& state) { state_ = state; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Rows drawn since the count was last reset: a repaint draws only what is on screen.
    static qint64 paintedRows;
    // Rows measured since the count was last reset: a layout pass measures one batch of rows.
    static qint64 sizedRows;

private:
    State state_;
};
