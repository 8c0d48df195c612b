#pragma once
// A layout's place for a widget that the layout leaves alone while the widget already lies where it
// would be put. Placed again, even where it is, a widget has the toolkit drop the picture a graphics
// effect keeps of it (LayerCache): one label's new text anywhere in the window lays the window out
// again, and each kept panel would be drawn afresh at the next frame of the backdrop under it.
#include <QWidgetItem>

class QBoxLayout;

class SteadyWidgetItem : public QWidgetItem {
public:
    using QWidgetItem::QWidgetItem;

    // Puts widget, already a child of the layout's widget, at the end of layout, without stretch.
    static void add(QBoxLayout* layout, QWidget* widget);

    void setGeometry(const QRect& rect) override;
};
