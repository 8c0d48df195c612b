#pragma once
// A damped spring described by its response (the period of the undamped oscillation, in seconds)
// and its damping fraction (1 = critical). Its step response drives every animation of the theme.
// The theme's springs all settle with a small overshoot: the damping fraction lies strictly
// between 0 and 1.
#include <QtGlobal>

class Spring {
public:
    constexpr Spring(double response, double dampingFraction)
        : response_(response), dampingFraction_(dampingFraction) {
        Q_ASSERT(dampingFraction > 0 && dampingFraction < 1);
    }

    double response() const { return response_; }
    double dampingFraction() const { return dampingFraction_; }

    // Position at time t (seconds) of a spring released at rest at 0 and pulled towards 1.
    double value(double t) const;
    // Time after which the motion stays within 0.001 of the target.
    double settlingTime() const;
    int durationMs() const;

private:
    double response_;
    double dampingFraction_;
};

// The theme's three named springs.
namespace Animation::brimel {
const Spring& standard();  // layout changes, hover reactions
const Spring& bouncy();    // entrances
const Spring& snappy();    // press feedback, overlays, small state changes
}
