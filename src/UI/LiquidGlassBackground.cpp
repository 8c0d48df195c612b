#include "UI/LiquidGlassBackground.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "UI/RectwiseDraw.h"

LiquidGlassBackground::LiquidGlassBackground(QWidget* target, qreal cornerRadius)
    : QObject(target), target_(target), cornerRadius_(cornerRadius) {
    target->installEventFilter(this);
    target->update();
}

namespace {

// The glass of one size, drawn once into an image and copied on every later paint: surfaces over
// the animated backdrop are repainted at every frame of it.
struct CachedGlass {
    QSizeF size;
    qreal radius;
    qreal dpr;
    QPoint phase;  // sub-pixel position of the top-left corner, in 1/64 pixel
    QImage image;
};

QList<CachedGlass>& glassCache() {
    static QList<CachedGlass> cache;
    return cache;
}

} // namespace

void LiquidGlassBackground::paint(QPainter& p, const QRectF& rect, qreal radius) {
    if (rect.isEmpty()) return;
    const QTransform world = p.transform();
    const bool copyable = world.type() <= QTransform::TxTranslate && p.opacity() == 1 &&
                          p.compositionMode() == QPainter::CompositionMode_SourceOver;
    if (!copyable) {
        paintShape(p, rect, radius);
        return;
    }
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QPointF corner = world.map(rect.topLeft()) * dpr;
    const QPoint whole(int(std::floor(corner.x())), int(std::floor(corner.y())));
    const QPoint phase(int(std::lround((corner.x() - whole.x()) * 64)), int(std::lround((corner.y() - whole.y()) * 64)));
    QList<CachedGlass>& cache = glassCache();
    auto it = std::find_if(cache.begin(), cache.end(), [&](const CachedGlass& c) {
        return c.size == rect.size() && c.radius == radius && c.dpr == dpr && c.phase == phase;
    });
    if (it == cache.end()) {
        const QSize pixels(int(std::ceil(rect.width() * dpr + phase.x() / 64.0)) + 1,
                           int(std::ceil(rect.height() * dpr + phase.y() / 64.0)) + 1);
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter ip(&image);
            ip.translate(phase.x() / 64.0, phase.y() / 64.0);
            ip.scale(dpr, dpr);
            paintShape(ip, QRectF(QPointF(0, 0), rect.size()), radius);
        }
        image.setDevicePixelRatio(dpr);
        if (cache.size() >= 8) cache.removeFirst();
        cache.append({rect.size(), radius, dpr, phase, image});
        it = cache.end() - 1;
    }
    p.save();
    p.setTransform(QTransform());
    RectwiseDraw::drawImage(p, QPointF(whole) / dpr, it->image);
    p.restore();
}

void LiquidGlassBackground::paint(QPainter& p, const QRectF& rect, qreal radius, GlassBackdrop& backdrop,
                                  const QWidget* surface) {
    backdrop.paint(p, surface, rect, radius);
    paint(p, rect, radius);
}

void LiquidGlassBackground::paintShape(QPainter& p, const QRectF& rect, qreal radius) {
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
        paint(p, target_->rect(), cornerRadius_, backdrop_, target_);
    }
    return QObject::eventFilter(watched, event);
}

LiquidGlassBackground* liquidGlass(QWidget* view, qreal cornerRadius) {
    return new LiquidGlassBackground(view, cornerRadius);
}
