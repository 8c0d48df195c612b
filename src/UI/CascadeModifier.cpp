#include "UI/CascadeModifier.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "UI/Blur.h"

namespace {
constexpr double kStartScale = 0.985;
constexpr double kStartBlur = 4;
} // namespace

CascadeModifier::Pose CascadeModifier::pose(double progress, double distance) {
    return {std::clamp(progress, 0.0, 1.0), distance * (1 - progress), kStartScale + (1 - kStartScale) * progress,
            std::max(0.0, kStartBlur * (1 - progress))};
}

CascadeModifier::CascadeModifier(QWidget* target, double delay, double distance)
    : QGraphicsEffect(target), target_(target), delay_(std::max(0.0, delay)), distance_(distance),
      spring_(Animation::brimel::bouncy(), this) {
    spring_.jumpTo(0.0);
    connect(&spring_, &QVariantAnimation::valueChanged, this, [this] {
        updateBoundingRect();
        update();
    });
    // In place for good: step aside so the view paints directly again (and cheaply).
    connect(&spring_, &QAbstractAnimation::finished, this, [this] {
        QTimer::singleShot(0, target_, [target = target_, self = QPointer<CascadeModifier>(this)] {
            if (target && self && target->graphicsEffect() == self) target->setGraphicsEffect(nullptr);
        });
    });
    target->installEventFilter(this);
    if (target->isVisible()) appear();
}

double CascadeModifier::progress() const { return spring_.value().toDouble(); }

bool CascadeModifier::eventFilter(QObject* watched, QEvent* event) {
    if (watched == target_ && event->type() == QEvent::Show) appear();
    return QGraphicsEffect::eventFilter(watched, event);
}

void CascadeModifier::appear() {
    if (scheduled_) return;
    scheduled_ = true;
    QTimer::singleShot(int(std::lround(delay_ * 1000)), this, [this] {
        appeared_ = true;
        spring_.animateTo(1.0);
    });
}

QRectF CascadeModifier::boundingRectFor(const QRectF& rect) const {
    const Pose p = pose(progress(), distance_);
    const qreal m = Blur::margin(p.blur) + 1;
    return rect.translated(0, p.offsetY).united(rect).adjusted(-m, -m, m, m);
}

void CascadeModifier::draw(QPainter* painter) {
    const Pose p = pose(progress(), distance_);
    if (p.opacity <= 0) return;
    QPoint offset;
    const QPixmap pm = sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::PadToEffectiveBoundingRect);
    if (pm.isNull()) return;
    const QRectF bounds = sourceBoundingRect(Qt::DeviceCoordinates);
    const qreal dpr = pm.devicePixelRatio();
    const QTransform world = painter->worldTransform();
    painter->save();
    painter->setWorldTransform(QTransform());
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(painter->opacity() * p.opacity);
    // Scale about the top centre of the view, then move it down by the remaining distance.
    const QPointF anchor(bounds.center().x(), bounds.top());
    const qreal dy = world.map(QLineF(0, 0, 0, p.offsetY)).dy();
    painter->translate(anchor + QPointF(0, dy));
    painter->scale(p.scale, p.scale);
    painter->translate(-anchor);
    if (p.blur > 0.05) painter->drawImage(offset, Blur::gaussian(pm.toImage(), p.blur * dpr));
    else painter->drawPixmap(offset, pm);
    painter->restore();
}

CascadeModifier* cascade(QWidget* view, double delay, double distance) {
    if (view->graphicsEffect()) return nullptr;
    auto* effect = new CascadeModifier(view, delay, distance);
    view->setGraphicsEffect(effect);
    return effect;
}
