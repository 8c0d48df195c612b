#include "UI/NoiseOverlay.h"

#include <QPainter>

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

} // namespace NoiseOverlay
