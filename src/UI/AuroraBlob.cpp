#include "UI/AuroraBlob.h"

#include <cmath>
#include <numbers>

#include "UI/Brand.h"

double AuroraBlob::turn(double now) const {
    const double u = now / period + phase;
    return u - std::trunc(u);
}

AuroraBlob::Pose AuroraBlob::at(double now) const {
    const double a = turn(now) * std::numbers::pi * 2;
    return {QPointF(std::cos(a) * drift + baseX, std::sin(1.3 * a) * drift + baseY),
            std::sin(2 * a) * 0.15 + 1, std::sin(1.7 * a) * 0.1 + 0.42};
}

const QList<AuroraBlob>& AuroraBlob::all() {
    static const QList<AuroraBlob> blobs{
        {11, 0.0, 600, -200, -150, 80, Brand::palette()[0]},
        {14, 1.3, 540, 220, -60, 70, Brand::palette()[1]},
        {9, 2.7, 460, 100, 220, 90, Brand::palette()[2]},
        {17, 4.1, 520, -160, 200, 60, Brand::palette()[3]},
        {21, 5.6, 380, 280, 260, 50, Brand::palette()[4]},
    };
    return blobs;
}
