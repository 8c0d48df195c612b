#include "UI/PressableStyle.h"

#include <QAbstractButton>
#include <QPainter>

PressableStyle::PressableStyle(QAbstractButton* button)
    : QObject(button), button_(button), spring_(Animation::brimel::snappy(), this) {
    spring_.jumpTo(1.0);
    connect(button, &QAbstractButton::pressed, this, [this] { spring_.animateTo(targetScale(true)); });
    connect(button, &QAbstractButton::released, this, [this] { spring_.animateTo(targetScale(false)); });
    connect(&spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (button_) button_->update();
        emit scaleChanged(v.toReal());
    });
}

qreal PressableStyle::scale() const { return spring_.value().toReal(); }

void PressableStyle::apply(QPainter& painter, const QRectF& rect) const {
    const qreal s = scale();
    if (s == 1.0) return;
    const QPointF c = rect.center();
    painter.translate(c);
    painter.scale(s, s);
    painter.translate(-c);
}
