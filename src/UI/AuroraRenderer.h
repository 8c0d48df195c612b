#pragma once
// Draws frames of the aurora backdrop: black ground, the five blurred blobs in screen mode, the
// vignette and the soft-lit grain, drawn at the caller's intensity.
// Everything but the grain is smooth (the blobs are heavily blurred, the vignette is a wide
// ramp), so it is composed at an eighth of the resolution from blurred sprites made once and
// scaled up. The grain is drawn once per size. A frame is built lazily, only where it is asked
// for, and kept: painting the same moment again (a widget above redrawing) is a copy. Where the
// small layer did not change from one frame to the next, neither did the frame.
// Gui-only: usable off-screen.
#include <QColor>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QRegion>
#include <vector>

#include "UI/NoiseOverlay.h"

class QPainter;

class AuroraRenderer {
public:
    // Points per pixel of the smooth layer.
    static constexpr int kBlobLayerScale = 8;
    // Vignette: clear up to this distance from the centre, black at kVignetteAlpha from kVignetteOuter on.
    static constexpr double kVignetteInner = 220;
    static constexpr double kVignetteOuter = 900;
    static constexpr double kVignetteAlpha = 0.55;

    // Draws the frame at time now (seconds since the reference date) over rect, at opacity intensity.
    void render(QPainter& painter, const QRectF& rect, double now, double intensity);
    // Draws the part region of the frame at now for a backdrop filling (0, 0, size) of the painter.
    // With an opaque ground the backdrop is drawn as if over that colour and covers what lies behind.
    void paint(QPainter& painter, const QRegion& region, const QSize& size, double now, double intensity,
               const QColor& ground = QColor());

    // Makes the frame at now, for a backdrop of size points at dpr drawn as paint() would, the one
    // painted from here on, and returns the part of it (points) whose pixels may differ from the
    // frame current before: all of it when nothing of this size and look was built before.
    QRegion advance(const QSize& size, qreal dpr, double now, double intensity, const QColor& ground = QColor());

    // Opacity of the vignette at distance points from the centre.
    static double vignetteAlpha(double distance);

    // How many pixels of frames were built so far (what a repaint had to compute afresh).
    qint64 pixelsBuilt() const { return pixelsBuilt_; }
    // How many pixels of layer rows were scaled along x so far.
    qint64 pixelsWidened() const { return wide_.widened; }

    // Layer rows scaled along x for the current frame, and how each device column samples the
    // layer: kept from frame to frame, the columns remade only when the size changes.
    struct Widening {
        std::vector<std::vector<quint32>> rows;
        // The columns [begin, end) of each row that hold the current frame: only the columns
        // painted are widened, as what shows of the backdrop is often a narrow strip.
        std::vector<std::pair<int, int>> fresh;
        std::vector<int> first, second; // each device column's two layer columns
        std::vector<quint16> weights;   // and the second one's weight, once per channel
        std::vector<quint64> spread;    // a layer row, each channel in 16 bits
        qint64 widened = 0;             // pixels of rows widened so far
        int width = 0;
        double scale = 0;
        int layerWidth = 0;
    };

private:
    void composeSmoothLayer(const QSizeF& size, double now);
    // The layer of the current moment and look, with its widened rows cleared.
    void composeLayer();
    // Writes the region (points) of the current frame into image, where the backdrop's pixel origin
    // lies at origin; painting says a painter is drawing on image.
    void buildInto(QImage& image, bool painting, QPoint origin, qreal dpr, const QRegion& region);
    void flatten();
    // The points whose pixels are drawn from the layer pixels that differ between before and layer_.
    QRect changedSince(const QImage& before) const;
    const QImage& sprite(int index);

    QImage layer_;              // ground, blobs and vignette at low resolution
    std::vector<int> vignette_; // what the vignette keeps of each layer pixel, 0..256
    QPointF vignetteCentre_;
    QList<QImage> sprites_;     // one blurred circle per blob, at the layer's resolution
    QImage frame_;              // the frame at device resolution, valid inside fresh_ (when not written straight)
    Widening wide_;
    QSize frameSize_;           // points
    qreal frameDpr_ = 0;
    QRegion fresh_;             // in points
    double frameNow_ = 0;
    bool layerFresh_ = false;
    bool flat_ = false;         // the frame holds the backdrop over ground_ at intensity_
    double intensity_ = 1;
    QRgb ground_ = 0;
    NoiseOverlay::Mask grain_;
    qint64 pixelsBuilt_ = 0;
};
