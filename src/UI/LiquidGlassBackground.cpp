#include "UI/LiquidGlassBackground.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

LiquidGlassBackground::LiquidGlassBackground(QWidget* target, qreal cornerRadius)
    : QObject(target), target_(target), cornerRadius_(cornerRadius) {
    target->installEventFilter(this);
    target->update();
}

void LiquidGlassBackground::paint(QPainter& p, const QRectF& rect, qreal radius) {
    if (rect.isEmpty()) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    // Body: a dark frosted tint, lighter towards the top like light caught in the glass.
    QLinearGradient body(rect.topLeft(), rect.bottomLeft());
    body.setColorAt(0, QColor::fromRgbF(0.17f, 0.16f, 0.24f, 0.55f));
    body.setColorAt(1, QColor::fromRgbF(0.06f, 0.06f, 0.10f, 0.62f));
    p.fillPath(shape, body);
    QLinearGradient sheen(rect.topLeft(), QPointF(rect.left(), rect.top() + std::min<qreal>(rect.height(), 60)));
    sheen.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.08f));
    sheen.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0));
    p.fillPath(shape, sheen);
    // Rim: bright along the top-leading edge, fading towards the bottom-trailing one.
    QLinearGradient rim(rect.topLeft(), rect.bottomRight());
    rim.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.30f));
    rim.setColorAt(0.45, QColor::fromRgbF(1, 1, 1, 0.08f));
    rim.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.14f));
    p.setPen(QPen(QBrush(rim), 1));
    p.setBrush(Qt::NoBrush);
    const qreal inner = std::max<qreal>(0, radius - 0.5);
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), inner, inner);
    p.restore();
}

bool LiquidGlassBackground::eventFilter(QObject* watched, QEvent* event) {
    // Paint events reach filters before the widget's paintEvent, so the glass lies underneath.
    if (watched == target_ && event->type() == QEvent::Paint) {
        QPainter p(target_);
        paint(p, target_->rect(), cornerRadius_);
    }
    return QObject::eventFilter(watched, event);
}

LiquidGlassBackground* liquidGlass(QWidget* view, qreal cornerRadius) {
    return new LiquidGlassBackground(view, cornerRadius);
}
