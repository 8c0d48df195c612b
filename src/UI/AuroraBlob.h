#pragma once
// One drifting colour blob of the aurora backdrop. Where it is, how large and how bright are pure
// functions of the wall-clock time, so every backdrop shows it in the same place.
#include <QColor>
#include <QList>
#include <QPointF>

struct AuroraBlob {
    double period;  // seconds per turn
    double phase;   // turns
    double radius;  // diameter of the blob's circle, points
    double baseX;   // resting offset of the centre from the backdrop's centre, points (x right)
    double baseY;   // (y down)
    double drift;   // amplitude of the wandering, points
    QColor color;

    struct Pose {
        QPointF offset;  // from the backdrop's centre, points
        double scale;    // 0.85 to 1.15
        double opacity;  // 0.32 to 0.52
    };
    // The blob at now (seconds since the reference date).
    Pose at(double now) const;

    // The turn fraction of now: the fractional part of now / period + phase, truncated toward zero.
    double turn(double now) const;

    // The five blobs, bottom of the stack first.
    static const QList<AuroraBlob>& all();
    // Gaussian blur radius of every blob, points.
    static constexpr double kBlurRadius = 110;
};
