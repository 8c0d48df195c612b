#pragma once
// The film grain over the aurora: 600 faint white specks from one SplitMix64 sequence that starts
// from the same state at every draw, so every frame and window shows the same pattern. Positions
// are fractions of the canvas; speck sizes stay in points.
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <vector>

class QImage;
class QPainter;
class QRegion;

namespace NoiseOverlay {

constexpr int kSpeckCount = 600;
constexpr double kBlendOpacity = 0.18;  // how strongly the grain is soft-lit onto the backdrop

struct Speck {
    QPointF topLeft;   // of the speck's bounding square, points
    double diameter;   // 0.5 to 1.3 points
    double opacity;    // 0.04 to 0.14
};

QList<Speck> specks(const QSizeF& canvas);
// Fills every speck's circle with white at its opacity, in the painter's current composition mode.
void paint(QPainter& painter, const QSizeF& canvas);

// Soft light of white at strength k (0..1) over a colour channel d (0..1).
double softLight(double d, double k);

// The grain of one canvas size, drawn once: the pixels the specks touch with the strength at which
// white is soft-lit onto each (coverage x speck opacity x kBlendOpacity). Applying it to an image
// costs a few thousand pixel updates instead of 600 antialiased ellipse fills.
class Mask {
public:
    Mask() = default;
    // For a canvas of size points at dpr device pixels per point.
    Mask(const QSizeF& size, qreal dpr);

    // Soft-lights the grain at strength (0..1) onto opaque 32-bit pixels (bits, bytesPerLine, size),
    // only inside region (in those pixels); the canvas starts at origin there.
    void apply(uchar* bits, qsizetype bytesPerLine, const QSize& size, const QRegion& region, double strength = 1,
               QPoint origin = {}) const;
    int pixelCount() const { return int(pixels_.size()); }

private:
    struct Pixel {
        int x, y;
        float strength;
    };
    std::vector<Pixel> pixels_;  // by row, then column
};

} // namespace NoiseOverlay
