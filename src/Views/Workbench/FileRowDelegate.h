#pragma once
// Draws one explorer row: indent by depth, a chevron for a folder or the language's icon for a
// file, the name, and a rounded highlight for the active file or the row under the pointer.
#include <QStyledItemDelegate>

class FileRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 24;  // 4 points above and below the text, 1 between rows

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
