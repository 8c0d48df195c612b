#include "UI/NoiseOverlay.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <array>
#include <cmath>

#include "UI/SplitMix64.h"

namespace NoiseOverlay {

QList<Speck> specks(const QSizeF& canvas) {
    QList<Speck> out;
    out.reserve(kSpeckCount);
    SplitMix64 rng;
    for (int i = 0; i < kSpeckCount; ++i) {
        const double x = rng.next() * canvas.width();
        const double y = rng.next() * canvas.height();
        const double d = rng.next() * 0.8 + 0.5;
        const double o = rng.next() * 0.1 + 0.04;
        out.append({QPointF(x, y), d, o});
    }
    return out;
}

void paint(QPainter& painter, const QSizeF& canvas) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double base = painter.opacity();
    for (const Speck& s : specks(canvas)) {
        painter.setOpacity(base * s.opacity);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(s.topLeft, QSizeF(s.diameter, s.diameter)));
    }
    painter.restore();
}

double softLight(double d, double k) {
    // The standard soft-light curve for a white source: brighten towards sqrt(d), gentler near black.
    const double lift = 4 * d <= 1 ? 4 * d * (4 * d + 1) * (d - 1) + 7 * d : std::sqrt(d) - d;
    return d + k * lift;
}

Mask::Mask(const QSizeF& size, qreal dpr) {
    const QSize pixels(int(std::ceil(size.width() * dpr)), int(std::ceil(size.height() * dpr)));
    if (pixels.isEmpty()) return;
    // Coverage in floating point, so the faintest specks are not rounded away.
    QImage cover(pixels, QImage::Format_RGBA32FPx4_Premultiplied);
    cover.fill(Qt::transparent);
    {
        QPainter p(&cover);
        p.scale(dpr, dpr);
        paint(p, size);
    }
    for (int y = 0; y < cover.height(); ++y) {
        const auto* row = reinterpret_cast<const float*>(cover.constScanLine(y));
        for (int x = 0; x < cover.width(); ++x) {
            const float alpha = row[4 * x + 3];
            if (alpha > 0) pixels_.push_back({x, y, float(alpha * kBlendOpacity)});
        }
    }
}

void Mask::apply(uchar* bits, qsizetype bytesPerLine, const QSize& size, const QRegion& region, double strength,
                 QPoint origin) const {
    if (pixels_.empty() || region.isEmpty()) return;
    // softLight(d, k) is d + k * lift(d): the lift of each channel level, worked out once.
    static const auto lift = [] {
        std::array<double, 256> out{};
        for (int c = 0; c < 256; ++c) out[size_t(c)] = softLight(c / 255.0, 1) - c / 255.0;
        return out;
    }();
    for (const QRect& r : region) {
        // In the canvas's own pixels.
        const QRect box = r.intersected(QRect(QPoint(0, 0), size)).translated(-origin);
        if (box.isEmpty()) continue;
        auto it = std::lower_bound(pixels_.begin(), pixels_.end(), box.top(),
                                   [](const Pixel& p, int y) { return p.y < y; });
        for (; it != pixels_.end() && it->y <= box.bottom(); ++it) {
            if (it->x < box.left() || it->x > box.right()) continue;
            auto* px = reinterpret_cast<QRgb*>(bits + (it->y + origin.y()) * bytesPerLine) + it->x + origin.x();
            const double k = it->strength * strength;
            auto channel = [&](int c) { return int(std::lround((c / 255.0 + k * lift[c]) * 255)); };
            *px = qRgb(channel(qRed(*px)), channel(qGreen(*px)), channel(qBlue(*px)));
        }
    }
}

} // namespace NoiseOverlay
