#include "Views/Navigation/OverlayList.h"

#include <QScrollBar>
#include <QVBoxLayout>

OverlayList::OverlayList(int maxHeight, int spacing, QWidget* parent)
    : QScrollArea(parent), maxHeight_(maxHeight), body_(new QWidget), layout_(new QVBoxLayout(body_)) {
    setFrameShape(QFrame::NoFrame);
    // The overlay's field keeps the keys: arrows and Return reach the rows through it, and a list
    // holding the focus would take typing, Escape and Return away from the overlay.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(true);
    layout_->setContentsMargins(8, 8, 8, 8);
    layout_->setSpacing(spacing);
    layout_->addStretch(1);
    setWidget(body_);
    // The card's glass shows through (setWidget turned the body's fill on).
    viewport()->setAutoFillBackground(false);
    body_->setAutoFillBackground(false);
    fitHeight();
}

void OverlayList::setRows(const QList<QWidget*>& rows) {
    for (QWidget* row : std::as_const(rows_)) {
        layout_->removeWidget(row);
        if (rows.contains(row)) continue;  // kept, with its focus, where the new order puts it
        // Hidden at once so a stale row takes no more clicks; deleted once its events are done.
        row->hide();
        row->deleteLater();
    }
    rows_ = rows;
    for (qsizetype i = 0; i < rows_.size(); ++i) {
        layout_->insertWidget(int(i), rows_[i]);
        // Shown now rather than on the layout's later turn, so the height fits them at once.
        rows_[i]->show();
    }
    verticalScrollBar()->setValue(0);
    fitHeight();
}

void OverlayList::reveal(QWidget* row) {
    if (row) ensureWidgetVisible(row, 0, 8);
}

void OverlayList::fitHeight() {
    layout_->activate();
    setFixedHeight(std::min(maxHeight_, layout_->sizeHint().height()));
}
