#include "UI/FocusChain.h"

#include <QList>
#include <QWidget>

namespace FocusChain {

bool takesTab(const QWidget* widget) { return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus; }

QWidget* placeAfter(QWidget* after, QWidget* inside) {
    QWidget* window = inside->window();
    QList<QWidget*> controls;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        if (inside->isAncestorOf(w) && takesTab(w)) controls << w;
    for (QWidget* w : std::as_const(controls)) {
        QWidget::setTabOrder(after, w);
        after = w;
    }
    return after;
}

} // namespace FocusChain
