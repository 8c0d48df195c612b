#include "UI/LogoMark.h"

#include <QPainter>
#include <cmath>

#include "UI/AppIconImage.h"
#include "UI/Blur.h"
#include "UI/Brand.h"
#include "UI/Icons.h"

LogoMark::LogoMark(qreal size, QWidget* parent) : QWidget(parent), size_(std::max<qreal>(0, size)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int LogoMark::glowMargin(qreal size) { return Blur::margin(glowRadius(size)); }

QSize LogoMark::sizeHint() const {
    const int side = int(std::ceil(size_)) + 2 * glowMargin(size_);
    return {side, side};
}

namespace {
// The content of the mark alone, scaled to fit the square with its aspect ratio kept.
QImage content(int side, const QImage& icon) {
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    if (!icon.isNull()) {
        QPainter p(&img);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSize fitted = icon.size().scaled(side, side, Qt::KeepAspectRatio);
        p.drawImage(QRect(QPoint((side - fitted.width()) / 2, (side - fitted.height()) / 2), fitted), icon);
        return img;
    }
    return Icons::image(QStringLiteral("curlybraces.square.fill"), side, Brand::gradient(QRectF(0, 0, side, side)));
}
} // namespace

QImage LogoMark::render(qreal size, const QImage& icon, qreal dpr) {
    const int side = int(std::lround(size * dpr));
    if (side <= 0) return {};
    const qreal blur = glowRadius(size) * dpr;
    const int m = Blur::margin(blur);
    const QImage mark = content(side, icon);
    // The glow takes the mark's own shape, in the accent colour at half opacity.
    QImage glow(side + 2 * m, side + 2 * m, QImage::Format_ARGB32_Premultiplied);
    glow.fill(Qt::transparent);
    {
        QPainter p(&glow);
        p.drawImage(m, m, mark);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor accent = Brand::accent();
        accent.setAlphaF(0.5f);
        p.fillRect(glow.rect(), accent);
    }
    QImage out = Blur::gaussian(glow, blur);
    {
        QPainter p(&out);
        p.drawImage(m, m, mark);
    }
    out.setDevicePixelRatio(dpr);
    return out;
}

void LogoMark::paint(QPainter& painter, const QRectF& frame, const QImage& icon) {
    const qreal size = std::min(frame.width(), frame.height());
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage img = render(size, icon, dpr);
    if (img.isNull()) return;
    const qreal m = Blur::margin(glowRadius(size) * dpr) / dpr;
    const QPointF topLeft(frame.center().x() - size / 2 - m, frame.center().y() - size / 2 - m);
    painter.drawImage(topLeft, img);
}

void LogoMark::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    if (cache_.isNull() || !qFuzzyCompare(cache_.devicePixelRatio(), dpr)) {
        const auto& icon = AppIconImage::nsImage();
        cache_ = render(size_, icon ? *icon : QImage(), dpr);
    }
    if (cache_.isNull()) return;
    QPainter p(this);
    const QSizeF logical = QSizeF(cache_.size()) / dpr;
    p.drawImage(QPointF((width() - logical.width()) / 2, (height() - logical.height()) / 2), cache_);
}
