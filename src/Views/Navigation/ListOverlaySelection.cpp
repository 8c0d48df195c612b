#include "Views/Navigation/ListOverlaySelection.h"

#include <QCursor>

#include "Views/Navigation/OverlayList.h"
#include "Views/PaletteRow.h"

void ListOverlaySelection::setRows(const QList<PaletteRow*>& rows, QObject* context, std::function<void(int)> choose) {
    QList<QWidget*> widgets;
    restingAt_ = QCursor::pos();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        PaletteRow* row = rows[i];
        row->setSelected(i == index_);
        const int index = int(i);
        QObject::connect(row, &PaletteRow::clicked, context, [this, index, choose] {
            if (index < list_->rows().size()) choose(index);
        });
        QObject::connect(row, &PaletteRow::hovered, context, [this, index](QPoint at) {
            // A row that appeared under a still pointer was not entered by it.
            if (restingAt_ && *restingAt_ == at) return;
            restingAt_.reset();
            select(index);
        });
        widgets.append(row);
    }
    list_->setRows(widgets);
}

QList<PaletteRow*> ListOverlaySelection::rows() const {
    QList<PaletteRow*> out;
    for (QWidget* row : list_->rows()) out.append(static_cast<PaletteRow*>(row));
    return out;
}

void ListOverlaySelection::move(int step) {
    const auto count = int(list_->rows().size());
    if (count == 0) return;
    select(((index_ + step) % count + count) % count);
}

void ListOverlaySelection::select(int index) {
    index_ = index;
    const QList<PaletteRow*> all = rows();
    for (qsizetype i = 0; i < all.size(); ++i) all[i]->setSelected(i == index_);
    if (index_ >= 0 && index_ < all.size()) list_->reveal(all[index_]);
}

int ListOverlaySelection::chosen() const { return index_ >= 0 && index_ < list_->rows().size() ? index_ : -1; }
