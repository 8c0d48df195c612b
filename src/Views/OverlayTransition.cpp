#include "Views/OverlayTransition.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

OverlayTransition::Pose OverlayTransition::pose(Kind kind, qreal progress, const QRectF& bounds,
                                                qreal distanceFromTop) {
    const qreal hidden = 1 - progress;
    Pose out{std::clamp<qreal>(progress, 0, 1), QTransform()};
    if (kind == Kind::moveFromTop) {
        // Far enough up to clear the container's top edge entirely.
        out.transform.translate(0, -hidden * (distanceFromTop + bounds.bottom()));
    } else {
        const qreal s = 1 + 0.02 * hidden;
        const QPointF c = bounds.center();
        out.transform.translate(c.x(), c.y());
        out.transform.scale(s, s);
        out.transform.translate(-c.x(), -c.y());
    }
    return out;
}

OverlayTransition::OverlayTransition(QWidget* widget, Kind kind, qreal from)
    : QGraphicsEffect(widget), widget_(widget), kind_(kind), progress_(from), spring_(Animation::brimel::snappy(), this) {
    connect(&spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        progress_ = v.toReal();
        updateBoundingRect();
        update();
    });
}

void OverlayTransition::enter(QWidget* widget, Kind kind) {
    if (!widget) return;
    auto* effect = new OverlayTransition(widget, kind, 0);
    widget->setGraphicsEffect(effect);
    widget->show();
    QPointer<QWidget> target(widget);
    connect(&effect->spring_, &QAbstractAnimation::finished, widget, [target, effect] {
        // Drawing through the effect costs a pixmap per paint: drop it once in place.
        QTimer::singleShot(0, target, [target, effect] {
            if (target && target->graphicsEffect() == effect) target->setGraphicsEffect(nullptr);
        });
    });
    effect->animateTo(1);
}

void OverlayTransition::leave(QWidget* widget, Kind kind) {
    if (!widget) return;
    widget->setEnabled(false);  // also ends its shortcuts and gives up the focus
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* effect = qobject_cast<OverlayTransition*>(widget->graphicsEffect());
    if (!effect) {
        effect = new OverlayTransition(widget, kind, 1);
        widget->setGraphicsEffect(effect);
    }
    effect->spring_.disconnect(widget);
    QPointer<QWidget> target(widget);
    connect(&effect->spring_, &QAbstractAnimation::finished, widget, [target] {
        if (target) target->deleteLater();
    });
    effect->animateTo(0);
    if (effect->spring_.state() != QAbstractAnimation::Running) widget->deleteLater();
}

void OverlayTransition::animateTo(qreal target) {
    spring_.jumpTo(progress_);
    spring_.animateTo(target);
}

QRectF OverlayTransition::boundingRectFor(const QRectF& rect) const {
    const qreal top = widget_ ? widget_->y() : 0;
    return pose(kind_, progress_, rect, top).transform.mapRect(rect) | rect;
}

void OverlayTransition::draw(QPainter* painter) {
    QPoint offset;
    const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
    const Pose now = pose(kind_, progress_, bounds, widget_ ? widget_->y() : 0);
    if (now.opacity <= 0) return;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(painter->opacity() * now.opacity);
    painter->setTransform(now.transform, true);
    painter->drawPixmap(offset, pixmap);
    painter->restore();
}
