#pragma once
// Draws frames of the aurora backdrop: black ground, the five blurred blobs in screen mode, the
// soft-lit grain and the vignette, drawn at the caller's intensity.
// Everything but the grain is smooth (the blobs are heavily blurred, the vignette is a wide
// ramp), so it is composed at a quarter of the resolution from blurred sprites made once and
// scaled up in one pass; the grain's specks are then blended at full resolution.
// Gui-only: usable off-screen.
#include <QImage>
#include <QList>
#include <QRectF>

class QPainter;

class AuroraRenderer {
public:
    // Points per pixel of the smooth layer.
    static constexpr int kBlobLayerScale = 4;
    // Vignette: clear up to this distance from the centre, black at kVignetteAlpha from kVignetteOuter on.
    static constexpr double kVignetteInner = 220;
    static constexpr double kVignetteOuter = 900;
    static constexpr double kVignetteAlpha = 0.55;

    // Draws the frame at time now (seconds since the reference date) over rect, at opacity intensity.
    void render(QPainter& painter, const QRectF& rect, double now, double intensity);

    // Opacity of the vignette at distance points from the centre.
    static double vignetteAlpha(double distance);

private:
    void composeSmoothLayer(const QSizeF& size, double now);
    const QImage& sprite(int index);

    QImage layer_;              // ground, blobs and vignette at low resolution
    QImage vignette_;           // at the layer's resolution
    QList<QImage> sprites_;     // one blurred circle per blob, at the layer's resolution
};
