#include "UI/GlassCard.h"

#include <QEnterEvent>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

#include "UI/Brand.h"
#include "UI/LiquidGlassBackground.h"

namespace {
ShadowEffect::Shadow restShadow() { return {QColor::fromRgbF(0, 0, 0, 0.18f), 14, QPointF(0, 8), 1}; }
ShadowEffect::Shadow hoverShadow() {
    QColor c = Brand::accent();
    c.setAlphaF(0.3f);
    return {c, 24, QPointF(0, 14), 1};
}
} // namespace

GlassCard::Look GlassCard::look(bool hover, bool interactive, const QPointF& localMouse, const QSizeF& size) {
    Look l;
    l.spotlightCentre = QPointF(size.width() > 0 ? localMouse.x() / size.width() : 0.5,
                                size.height() > 0 ? localMouse.y() / size.height() : 0.5);
    l.spotlightAlpha = hover ? 0.2 : 0.0;
    l.scale = (hover && interactive) ? 1.012 : 1.0;
    l.tiltX = (interactive && size.height() > 0) ? ((localMouse.y() - size.height() * 0.5) / size.height()) * -3 : 0;
    l.tiltY = (interactive && size.width() > 0) ? ((localMouse.x() - size.width() * 0.5) / size.width()) * 3 : 0;
    l.shadow = hover ? hoverShadow() : restShadow();
    return l;
}

QMarginsF GlassCard::shadowMargins(bool interactive) {
    // Past one blur radius the shadow is too faint to see.
    const ShadowEffect::Shadow s = interactive ? hoverShadow() : restShadow();
    return {s.radius, s.radius, s.radius, s.radius + s.offset.y()};
}

GlassCard::GlassCard(QWidget* content, qreal padding, bool interactive, Qt::Alignment alignment, bool fillsWidth,
                     QWidget* parent)
    : QWidget(parent), interactive_(interactive), hoverSpring_(Animation::brimel::standard(), this) {
    auto* layout = new QGridLayout(this);
    const QMarginsF m = shadowMargins(interactive) + QMarginsF(padding, padding, padding, padding);
    layout->setContentsMargins(int(std::lround(m.left())), int(std::lround(m.top())), int(std::lround(m.right())),
                               int(std::lround(m.bottom())));
    layout->addWidget(content, 0, 0, alignment);
    setSizePolicy(fillsWidth ? QSizePolicy::Expanding : QSizePolicy::Maximum, QSizePolicy::Maximum);
    hoverSpring_.jumpTo(0.0);
    connect(&hoverSpring_, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    if (interactive_) {
        setMouseTracking(true);
        content->setMouseTracking(true);
        content->installEventFilter(this);
    }
}

QRectF GlassCard::glassRect() const { return QRectF(rect()).marginsRemoved(shadowMargins(interactive_)); }

void GlassCard::resizeEvent(QResizeEvent* event) {
    size_ = glassRect().size();
    QWidget::resizeEvent(event);
}

void GlassCard::enterEvent(QEnterEvent* event) {
    pointerAt(event->position());
    QWidget::enterEvent(event);
}

void GlassCard::leaveEvent(QEvent* event) {
    if (interactive_) setHover(false);  // the pointer position stays as it was
    QWidget::leaveEvent(event);
}

void GlassCard::mouseMoveEvent(QMouseEvent* event) {
    pointerAt(event->position());
    QWidget::mouseMoveEvent(event);
}

bool GlassCard::eventFilter(QObject* watched, QEvent* event) {
    // Moves over the content are the card's moves too.
    if (event->type() == QEvent::MouseMove) {
        if (auto* w = qobject_cast<QWidget*>(watched))
            pointerAt(w->mapTo(this, static_cast<QMouseEvent*>(event)->position()));
    }
    return QWidget::eventFilter(watched, event);
}

void GlassCard::pointerAt(const QPointF& p) {
    if (!interactive_) return;
    setHover(true);
    localMouse_ = p - glassRect().topLeft();
    update();
}

void GlassCard::setHover(bool hover) {
    if (hover == hover_) return;
    hover_ = hover;
    hoverSpring_.animateTo(hover ? 1.0 : 0.0);
}

QRegion GlassCard::stillRegion() const {
    if (!drewStillGlass_ || !backdrop_.isSettled()) return {};
    // Whole pixels inside the glass, a pixel clear of its antialiased rim.
    const QRectF g = glassRect();
    const QRect inner(QPoint(int(std::ceil(g.left())) + 1, int(std::ceil(g.top())) + 1),
                      QPoint(int(std::floor(g.right())) - 2, int(std::floor(g.bottom())) - 2));
    const int r = int(std::ceil(kCornerRadius));
    return QRegion(inner.adjusted(r, 0, -r, 0)) | QRegion(inner.adjusted(0, r, 0, -r));
}

void GlassCard::paintEvent(QPaintEvent*) {
    const QRectF glass = glassRect();
    if (glass.isEmpty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double h = std::clamp(hoverSpring_.value().toDouble(), 0.0, 1.0);
    const Look rest = look(false, interactive_, localMouse_, size_);
    const Look hovered = look(true, interactive_, localMouse_, size_);

    // Lift and tilt about the glass's centre.
    const double scale = rest.scale + (hovered.scale - rest.scale) * h;
    QTransform t;
    t.rotate(rest.tiltX, Qt::XAxis);
    t.rotate(rest.tiltY, Qt::YAxis);
    t.scale(scale, scale);
    const QPointF c = glass.center();
    p.setTransform(QTransform::fromTranslate(-c.x(), -c.y()) * t * QTransform::fromTranslate(c.x(), c.y()));

    // The two shadows crossfade, so neither is blurred again while hovering.
    const struct { ShadowEffect::Shadow s; double weight; QImage* cache; } shadows[] = {
        {rest.shadow, 1 - h, &restShadow_}, {hovered.shadow, h, &hoverShadow_}};
    for (const auto& entry : shadows) {
        if (entry.weight <= 0) continue;
        p.setOpacity(entry.weight);
        ShadowEffect::paintCached(p, entry.s, glass, kCornerRadius, *entry.cache);
    }
    p.setOpacity(1);

    drewStillGlass_ = backdrop_.paint(p, this, glass, kCornerRadius) && p.transform().isIdentity();
    LiquidGlassBackground::paint(p, glass, kCornerRadius);
    const double alpha = hovered.spotlightAlpha * h;
    if (alpha <= 0) return;
    drewStillGlass_ = false;
    const QPointF centre(glass.left() + hovered.spotlightCentre.x() * glass.width(),
                         glass.top() + hovered.spotlightCentre.y() * glass.height());
    QRadialGradient g(centre, kSpotlightRadius, centre);
    QColor accent = Brand::accent();
    accent.setAlphaF(float(alpha));
    g.setColorAt(0, accent);
    g.setColorAt(1, QColor::fromRgbF(accent.redF(), accent.greenF(), accent.blueF(), 0));
    QPainterPath shape;
    shape.addRoundedRect(glass, kCornerRadius, kCornerRadius);
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    p.fillPath(shape, g);
}
