#include "UI/FocusRing.h"

#include <QFocusEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "UI/Brand.h"

FocusRing::FocusRing(QWidget* control) : QObject(control), control_(control) { control->installEventFilter(this); }

bool FocusRing::isShown() const { return control_->hasFocus() && !byPointer_; }

void FocusRing::paint(QPainter& painter, const QRectF& rect, qreal radius, const QColor& ink) const {
    if (!isShown()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(1);
    painter.setPen(QPen(ink.isValid() ? ink : Brand::accent().lighter(135), kWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = kWidth / 2;
    const qreal r = std::max<qreal>(0, radius - inset);
    painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset), r, r);
    painter.restore();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == control_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        if (event->type() == QEvent::FocusIn) byPointer_ = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
        control_->update();
    }
    return QObject::eventFilter(watched, event);
}
