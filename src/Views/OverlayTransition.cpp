#include "Views/OverlayTransition.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

#include "Views/PaletteScaffold.h"

namespace {
// What moves for widget: the card of an overlay over the whole window, else widget itself.
QWidget* movingPart(QWidget* widget, OverlayTransition::Kind kind) {
    if (kind != OverlayTransition::Kind::scale) return widget;
    auto* scaffold = qobject_cast<PaletteScaffold*>(widget);
    if (!scaffold) scaffold = widget->findChild<PaletteScaffold*>();
    return scaffold ? scaffold->card() : widget;
}

PaletteScaffold* scaffoldOf(QWidget* card) { return card ? qobject_cast<PaletteScaffold*>(card->parentWidget()) : nullptr; }
} // namespace

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
        follow(v.toReal());
    });
}

void OverlayTransition::follow(qreal progress) {
    progress_ = progress;
    updateBoundingRect();
    update();
    if (PaletteScaffold* scaffold = scaffoldOf(widget_); scaffold && scaffold->card() == widget_)
        scaffold->setPresence(progress);
}

bool OverlayTransition::isMoving(const QWidget* widget) {
    if (!widget) return false;
    if (qobject_cast<OverlayTransition*>(widget->graphicsEffect())) return true;
    QWidget* part = movingPart(const_cast<QWidget*>(widget), Kind::scale);
    return part != widget && qobject_cast<OverlayTransition*>(part->graphicsEffect());
}

void OverlayTransition::enter(QWidget* shown, Kind kind) {
    if (!shown) return;
    QWidget* widget = movingPart(shown, kind);
    auto* effect = new OverlayTransition(widget, kind, 0);
    widget->setGraphicsEffect(effect);
    effect->follow(0);
    // The scaffold covers the whole overlay: while it draws what lies under from its picture, the
    // overlay is opaque and even its first frame does not repaint the window under it.
    if (PaletteScaffold* scaffold = scaffoldOf(widget); scaffold && scaffold->holdWhatLiesUnder())
        shown->setAttribute(Qt::WA_OpaquePaintEvent, true);
    shown->show();
    QPointer<QWidget> target(widget), overlay(shown);
    connect(&effect->spring_, &QAbstractAnimation::finished, widget, [target, overlay, effect] {
        // Drawing through the effect costs a pixmap per paint: drop it once in place.
        QTimer::singleShot(0, target, [target, overlay, effect] {
            if (!target || target->graphicsEffect() != effect) return;
            target->setGraphicsEffect(nullptr);
            PaletteScaffold* scaffold = scaffoldOf(target);
            if (scaffold && overlay)
                QObject::connect(scaffold, &PaletteScaffold::released, overlay.data(), [overlay] {
                    overlay->setAttribute(Qt::WA_OpaquePaintEvent, false);
                }, Qt::SingleShotConnection);
            else if (overlay)
                overlay->setAttribute(Qt::WA_OpaquePaintEvent, false);
            if (scaffold) scaffold->settle();
        });
    });
    effect->animateTo(1);
}

void OverlayTransition::leave(QWidget* gone, Kind kind) {
    if (!gone) return;
    gone->setEnabled(false);  // also ends its shortcuts and gives up the focus
    gone->setAttribute(Qt::WA_TransparentForMouseEvents);
    QWidget* widget = movingPart(gone, kind);
    auto* effect = qobject_cast<OverlayTransition*>(widget->graphicsEffect());
    if (!effect) {
        effect = new OverlayTransition(widget, kind, 1);
        widget->setGraphicsEffect(effect);
    }
    effect->spring_.disconnect(widget);
    // Once its scaffold has read the window under it (at the exit's first frame), the overlay is
    // opaque: the frames after it do not repaint the window under the moving card.
    if (PaletteScaffold* scaffold = scaffoldOf(widget); scaffold && widget != gone)
        connect(scaffold, &PaletteScaffold::holding, gone, [gone] { gone->setAttribute(Qt::WA_OpaquePaintEvent, true); });
    QPointer<QWidget> target(gone);
    connect(&effect->spring_, &QAbstractAnimation::finished, gone, [target] {
        if (target) target->deleteLater();
    });
    effect->animateTo(0);
    if (effect->spring_.state() != QAbstractAnimation::Running) gone->deleteLater();
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
