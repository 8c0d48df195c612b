#include "UI/SteadyWidgetItem.h"

#include <QBoxLayout>
#include <QWidget>

void SteadyWidgetItem::add(QBoxLayout* layout, QWidget* widget) { layout->addItem(new SteadyWidgetItem(widget)); }

void SteadyWidgetItem::setGeometry(const QRect& rect) {
    // An aligned widget is sized from its hints within rect: only a plain place is its geometry.
    if (alignment() == 0 && widget()->geometry() == rect) return;
    QWidgetItem::setGeometry(rect);
}
