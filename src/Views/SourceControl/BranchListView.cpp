#include "Views/SourceControl/BranchListView.h"

#include <QKeyEvent>

#include "Views/SourceControl/BranchRowDelegate.h"
#include "Views/SourceControl/SourceControlParts.h"

namespace {
constexpr int kPad = 4;
}

BranchListView::BranchListView(QWidget* parent)
    : QListView(parent), model_(this), delegate_(new BranchRowDelegate(this)) {
    SourceControlParts::setUpRowList(*this, model_, delegate_);
    setViewportMargins(kPad, kPad, kPad, kPad);
    viewport()->setCursor(Qt::PointingHandCursor);
}

QRect BranchListView::menuRect(int row) const {
    if (row < 0 || row >= model_.rowCount() || model_.isCurrent(row)) return {};
    return BranchRowDelegate::menuRect(rowRect(row));
}

int BranchListView::contentHeight(int limit) const {
    int height = 2 * kPad;
    // Only as many rows as fit are measured, however many there are.
    for (int row = 0; row < model_.rowCount() && height < limit; ++row)
        height += delegate_->sizeHint(QStyleOptionViewItem(), model_.index(row)).height();
    return std::min(height, limit);
}

void BranchListView::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    const int row = indexAt(event->position().toPoint()).row();
    if (event->button() != Qt::LeftButton || row < 0) return;
    const GitBranchInfo branch = model_.branch(row);
    const QRect menu = menuRect(row);
    if (menu.contains(event->position().toPoint())) emit menuRequested(branch, viewport()->mapToGlobal(menu.bottomLeft()));
    else if (!model_.isCurrent(row)) emit switchRequested(branch);
}

void BranchListView::keyPressEvent(QKeyEvent* event) {
    const int row = currentIndex().row();
    const bool onOther = row >= 0 && row < model_.rowCount() && !model_.isCurrent(row);
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onOther) emit switchRequested(model_.branch(row));
        return;
    case Qt::Key_Menu:
        if (onOther) emit menuRequested(model_.branch(row), viewport()->mapToGlobal(menuRect(row).bottomLeft()));
        return;
    default: QListView::keyPressEvent(event);
    }
}

void BranchListView::syncDelegate() {
    delegate_->setKeyboardRow(hasFocus() ? currentIndex().row() : -1);
    viewport()->update();
}

void BranchListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    syncDelegate();
}

void BranchListView::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    if (!currentIndex().isValid() && model_.rowCount() > 0) setCurrentIndex(model_.index(0));
    syncDelegate();
}

void BranchListView::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    syncDelegate();
}
