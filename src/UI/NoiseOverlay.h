#pragma once
// The film grain over the aurora: 600 faint white specks from one SplitMix64 sequence that starts
// from the same state at every draw, so every frame and window shows the same pattern. Positions
// are fractions of the canvas; speck sizes stay in points.
#include <QList>
#include <QPointF>
#include <QSizeF>

class QPainter;

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

} // namespace NoiseOverlay
