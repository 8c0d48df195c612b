#include "UI/AuroraRenderer.h"

#include <QPainter>
#include <QRadialGradient>
#include <cmath>

#include "UI/AuroraBlob.h"
#include "UI/Blur.h"
#include "UI/NoiseOverlay.h"

double AuroraRenderer::vignetteAlpha(double distance) {
    if (distance <= kVignetteInner) return 0;
    if (distance >= kVignetteOuter) return kVignetteAlpha;
    return (distance - kVignetteInner) / (kVignetteOuter - kVignetteInner) * kVignetteAlpha;
}

const QImage& AuroraRenderer::sprite(int index) {
    if (sprites_.isEmpty()) {
        for (const AuroraBlob& blob : AuroraBlob::all()) {
            const double diameter = blob.radius / kBlobLayerScale;
            const double blur = AuroraBlob::kBlurRadius / kBlobLayerScale;
            const int side = int(std::ceil(diameter)) + 2 * Blur::margin(blur);
            QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            {
                QPainter p(&img);
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(Qt::NoPen);
                p.setBrush(blob.color);
                p.drawEllipse(QPointF(side / 2.0, side / 2.0), diameter / 2, diameter / 2);
            }
            sprites_.append(Blur::gaussian(img, blur));
        }
    }
    return sprites_[index];
}

void AuroraRenderer::composeSmoothLayer(const QSizeF& size, double now) {
    const QSize pixels(int(std::ceil(size.width() / kBlobLayerScale)) + 1,
                       int(std::ceil(size.height() / kBlobLayerScale)) + 1);
    const QPointF centre(size.width() / 2 / kBlobLayerScale, size.height() / 2 / kBlobLayerScale);
    if (layer_.size() != pixels) {
        layer_ = QImage(pixels, QImage::Format_RGB32);
        vignette_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        vignette_.fill(Qt::transparent);
        QPainter p(&vignette_);
        QRadialGradient g(centre, kVignetteOuter / kBlobLayerScale);
        g.setColorAt(kVignetteInner / kVignetteOuter, Qt::transparent);
        g.setColorAt(1, QColor::fromRgbF(0, 0, 0, float(kVignetteAlpha)));
        p.fillRect(vignette_.rect(), g);
    }
    layer_.fill(Qt::black);
    QPainter p(&layer_);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setCompositionMode(QPainter::CompositionMode_Screen);
    const auto& blobs = AuroraBlob::all();
    for (int i = 0; i < blobs.size(); ++i) {
        const AuroraBlob::Pose pose = blobs[i].at(now);
        const QImage& img = sprite(i);
        p.save();
        p.translate(centre + pose.offset / kBlobLayerScale);
        p.scale(pose.scale, pose.scale);
        p.setOpacity(pose.opacity);
        p.drawImage(QPointF(-img.width() / 2.0, -img.height() / 2.0), img);
        p.restore();
    }
    // The vignette lies over the grain too; the grain is far too faint for the order to show.
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(0, 0, vignette_);
}

void AuroraRenderer::render(QPainter& painter, const QRectF& rect, double now, double intensity) {
    if (intensity <= 0 || rect.isEmpty()) return;
    composeSmoothLayer(rect.size(), now);
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(painter.opacity() * std::min(1.0, intensity));
    // The layer is opaque, so drawing it at the intensity is the whole backdrop at that opacity.
    painter.drawImage(QRectF(rect.topLeft(), QSizeF(layer_.size()) * kBlobLayerScale), layer_);
    painter.translate(rect.topLeft());
    painter.setCompositionMode(QPainter::CompositionMode_SoftLight);
    painter.setOpacity(painter.opacity() * NoiseOverlay::kBlendOpacity);
    NoiseOverlay::paint(painter, rect.size());
    painter.restore();
}
