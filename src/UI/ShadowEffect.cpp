#include "UI/ShadowEffect.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "UI/Blur.h"
#include "UI/RectwiseDraw.h"

ShadowEffect::ShadowEffect(qreal cornerRadius, QObject* parent)
    : QGraphicsEffect(parent), cornerRadius_(cornerRadius) {}

void ShadowEffect::setShadows(const QList<Shadow>& shadows) {
    const auto sameBounds = [&] {
        if (shadows.size() != shadows_.size()) return false;
        for (qsizetype i = 0; i < shadows.size(); ++i)
            if (shadows[i].radius != shadows_[i].radius || shadows[i].offset != shadows_[i].offset) return false;
        return true;
    };
    // A new bounding rect repaints the whole parent; a fade or a new colour repaints only where
    // the shadows lie, which matters for a halo pulsing at every frame inside a long bar.
    const bool moved = !sameBounds();
    shadows_ = shadows;
    if (moved) updateBoundingRect();
    update();
}

void ShadowEffect::setSourceState(std::function<QByteArray()> state) {
    sourceState_ = std::move(state);
    rendered_ = QPixmap();
    update();
}

void ShadowEffect::setTransform(const QTransform& transform) {
    if (transform == transform_) return;
    transform_ = transform;
    updateBoundingRect();
    update();
}

void ShadowEffect::setShapeInsets(const QMarginsF& insets) {
    insets_ = insets;
    cache_.clear();
    update();
}

namespace {
// small with its row and column at `middle` repeated cutX and cutY more times.
QImage stretched(const QImage& small, int middle, int cutX, int cutY) {
    QImage out(small.width() + cutX, small.height() + cutY, QImage::Format_ARGB32_Premultiplied);
    const int tail = small.width() - middle - 1;
    for (int y = 0; y < out.height(); ++y) {
        const int sy = y <= middle ? y : (y <= middle + cutY ? middle : y - cutY);
        const auto* src = reinterpret_cast<const quint32*>(small.constScanLine(sy));
        auto* dst = reinterpret_cast<quint32*>(out.scanLine(y));
        std::copy(src, src + middle + 1, dst);
        std::fill(dst + middle + 1, dst + middle + 1 + cutX, src[middle]);
        std::copy(src + middle + 1, src + middle + 1 + tail, dst + middle + 1 + cutX);
    }
    return out;
}
} // namespace

QImage ShadowEffect::renderShadow(const Shadow& s, const QSizeF& deviceSize, qreal cornerRadius, qreal dpr) {
    const qreal corner = cornerRadius * dpr;
    const double blur = s.radius * dpr;
    // Along the straight part of a side the shadow is the same at every step, so only a small shape
    // is blurred and its middle row and column are repeated up to the full size: a card that changes
    // size costs a copy, not a blur. `reach` bounds how far the blur's three box passes carry a pixel.
    const int m = Blur::margin(blur);
    const int reach = m + 3;
    const int middle = m + int(std::ceil(corner)) + reach;
    const int keep = 2 * (int(std::ceil(corner)) + reach) + 1;
    const int cutX = std::max(0, int(std::floor(deviceSize.width())) - keep);
    const int cutY = std::max(0, int(std::floor(deviceSize.height())) - keep);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, deviceSize.width() - cutX, deviceSize.height() - cutY), corner, corner);
    QImage img = Blur::shadow(shape, s.colour, blur);
    if (!img.isNull() && (cutX > 0 || cutY > 0)) img = stretched(img, middle, cutX, cutY);
    img.setDevicePixelRatio(dpr);
    return img;
}

QPointF ShadowEffect::shadowOrigin(const Shadow& s, const QPointF& shapeTopLeft, qreal dpr) {
    const qreal m = Blur::margin(s.radius * dpr) / dpr;
    return shapeTopLeft + s.offset - QPointF(m, m);
}

void ShadowEffect::paintCached(QPainter& p, const Shadow& s, const QRectF& shape, qreal cornerRadius, QImage& cache) {
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (shape.size() * dpr).toSize();
    const int m = Blur::margin(s.radius * dpr);
    if (cache.isNull() || cache.size() != pixels + QSize(2 * m, 2 * m))
        cache = renderShadow(s, QSizeF(pixels), cornerRadius, dpr);
    RectwiseDraw::drawImage(p, shadowOrigin(s, shape.topLeft(), dpr), cache);
}

namespace {
QTransform aboutCentre(const QTransform& t, const QRectF& rect) {
    const QPointF c = rect.center();
    return QTransform::fromTranslate(-c.x(), -c.y()) * t * QTransform::fromTranslate(c.x(), c.y());
}
} // namespace

QRectF ShadowEffect::boundingRectFor(const QRectF& rect) const {
    QRectF out = rect;
    for (const Shadow& s : shadows_) {
        const qreal m = Blur::margin(s.radius);
        out |= rect.translated(s.offset).adjusted(-m, -m, m, m);
    }
    return aboutCentre(transform_, rect).mapRect(out).adjusted(-1, -1, 1, 1);
}

const QImage& ShadowEffect::shadowImage(const Shadow& s, const QSizeF& size, qreal dpr) {
    // Looked up at every frame of a pulsing halo: numbers compared as they are, no text built.
    const ShadowKey key{s.colour.rgba64(), s.radius, dpr, size.width(), size.height()};
    for (const auto& [k, image] : cache_)
        if (k == key) return image;
    if (cache_.size() > 8) cache_.clear();
    ++shadowsRendered_;
    cache_.append({key, renderShadow(s, size * dpr, cornerRadius_, dpr)});
    return cache_.last().second;
}

void ShadowEffect::draw(QPainter* painter) {
    const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::Antialiasing);
    const bool transformed = !transform_.isIdentity();
    if (transformed) painter->setTransform(aboutCentre(transform_, bounds), true);
    const QRectF shape = bounds.marginsRemoved(insets_);
    const qreal baseOpacity = painter->opacity();
    for (const Shadow& s : shadows_) {
        if (s.opacity <= 0 || s.colour.alpha() == 0 || shape.isEmpty()) continue;
        const QImage& img = shadowImage(s, shape.size(), dpr);
        painter->setOpacity(baseOpacity * s.opacity);
        painter->drawImage(shadowOrigin(s, shape.topLeft(), dpr), img);
    }
    painter->setOpacity(baseOpacity);
    // Always through a pixmap: drawing the source straight onto this painter breaks when a
    // child widget carries an effect of its own (it would need a second painter on the device).
    if (sourceState_) {
        const QByteArray state = sourceState_() + QByteArray::number(dpr) + '|' +
                                 QByteArray::number(bounds.width()) + 'x' + QByteArray::number(bounds.height());
        if (rendered_.isNull() || state != renderedState_) {
            rendered_ = sourcePixmap(Qt::LogicalCoordinates, &renderedOffset_, QGraphicsEffect::NoPad);
            renderedState_ = state;
        }
        painter->drawPixmap(renderedOffset_, rendered_);
    } else {
        QPoint offset;
        const QPixmap pm = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        painter->drawPixmap(offset, pm);
    }
    painter->restore();
}
