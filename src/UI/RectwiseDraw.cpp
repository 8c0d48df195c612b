#include "UI/RectwiseDraw.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace RectwiseDraw {

namespace {
int splits = 0;
} // namespace

void drawImage(QPainter& painter, const QRectF& target, const QImage& image) {
    const QPaintEngine* engine = painter.paintEngine();
    const QTransform device = painter.deviceTransform();
    if (!engine || device.type() > QTransform::TxTranslate) {
        painter.drawImage(target, image);
        return;
    }
    // The repaint's region, in device pixels, where the image lies.
    const QRegion region = engine->systemClip() & device.mapRect(target).toAlignedRect();
    if (region.rectCount() < 2 && region.boundingRect().height() <= kRows) {
        painter.drawImage(target, image);
        return;
    }
    ++splits;
    const QTransform toUser = device.inverted();
    for (const QRect& r : region)
        for (int top = r.top(); top <= r.bottom(); top += kRows) {
            const QRect band(QPoint(r.left(), top), QPoint(r.right(), std::min(r.bottom(), top + kRows - 1)));
            painter.save();
            painter.setClipRect(toUser.mapRect(QRectF(band)), Qt::IntersectClip);
            painter.drawImage(target, image);
            painter.restore();
        }
}

void drawImage(QPainter& painter, const QPointF& topLeft, const QImage& image) {
    drawImage(painter, QRectF(topLeft, image.deviceIndependentSize()), image);
}

int splitDraws() { return splits; }

} // namespace RectwiseDraw
