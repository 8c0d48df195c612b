#include "UI/Spring.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kTolerance = 0.001;
}

double Spring::value(double t) const {
    if (t <= 0) return 0;
    if (response_ <= 0) return 1;
    const double w0 = 2 * std::numbers::pi / response_;
    const double z = dampingFraction_;
    const double wd = w0 * std::sqrt(1 - z * z);
    return 1 - std::exp(-z * w0 * t) * (std::cos(wd * t) + (z * w0 / wd) * std::sin(wd * t));
}

double Spring::settlingTime() const {
    if (response_ <= 0) return 0;
    const double w0 = 2 * std::numbers::pi / response_;
    const double z = dampingFraction_;
    // The deviation never exceeds its envelope e^(-z w0 t) / sqrt(1 - z^2).
    return std::max(0.0, std::log(1 / (kTolerance * std::sqrt(1 - z * z))) / (z * w0));
}

int Spring::durationMs() const { return int(std::ceil(settlingTime() * 1000)); }

namespace Animation::brimel {
const Spring& standard() {
    static const Spring s(0.4, 0.78);
    return s;
}
const Spring& bouncy() {
    static const Spring s(0.55, 0.7);
    return s;
}
const Spring& snappy() {
    static const Spring s(0.25, 0.85);
    return s;
}
} // namespace Animation::brimel
