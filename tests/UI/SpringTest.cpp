#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "TestSupport.h"
#include "UI/Spring.h"
#include "UI/SpringAnimation.h"

namespace {
// Peak of the first overshoot of an underdamped spring: at pi / wd, by exp(-pi z / sqrt(1 - z^2)).
double expectedOvershoot(const Spring& s) {
    const double z = s.dampingFraction();
    return std::exp(-std::numbers::pi * z / std::sqrt(1 - z * z));
}
double peakTime(const Spring& s) {
    const double z = s.dampingFraction();
    return s.response() / (2 * std::sqrt(1 - z * z));
}
} // namespace

TEST(Spring, StepResponseStartsAtRestOvershootsOnceAndSettles) {
    for (const Spring* s : {&Animation::brimel::standard(), &Animation::brimel::bouncy(), &Animation::brimel::snappy()}) {
        SCOPED_TRACE(s->response());
        EXPECT_EQ(s->value(0), 0);
        EXPECT_EQ(s->value(-1), 0);
        // Starts with zero velocity: barely moved after a millisecond.
        EXPECT_LT(s->value(0.001), 0.01);
        const double tp = peakTime(*s);
        EXPECT_NEAR(s->value(tp), 1 + expectedOvershoot(*s), 1e-9);
        EXPECT_GT(s->value(tp), s->value(tp * 0.9));
        EXPECT_GT(s->value(tp), s->value(tp * 1.1));
        const double settle = s->settlingTime();
        for (double t = settle; t < settle + 2; t += 0.01) ASSERT_NEAR(s->value(t), 1, 0.001) << t;
        EXPECT_GT(std::abs(s->value(settle * 0.8) - 1), 0.0005);  // not settled long before
        EXPECT_EQ(s->durationMs(), int(std::ceil(settle * 1000)));
    }
    // The bouncy spring overshoots the most, the snappy one the least and settles first.
    const double bouncy = expectedOvershoot(Animation::brimel::bouncy());
    EXPECT_GT(bouncy, expectedOvershoot(Animation::brimel::standard()));
    EXPECT_GT(expectedOvershoot(Animation::brimel::standard()), expectedOvershoot(Animation::brimel::snappy()));
    EXPECT_LT(Animation::brimel::snappy().settlingTime(), Animation::brimel::standard().settlingTime());
}

TEST(SpringAnimation, RetargetsFromTheShownValueAndEndsExactly) {
    SpringAnimation anim(Animation::brimel::snappy());
    anim.jumpTo(1.0);
    EXPECT_DOUBLE_EQ(anim.value().toDouble(), 1.0);
    anim.animateTo(0.0);
    ASSERT_TRUE(testing_support::waitUntil([&] { return anim.value().toDouble() < 0.9; }));
    const double midway = anim.value().toDouble();
    EXPECT_GT(midway, -0.1);
    // Turning back mid-way continues from where it is rather than jumping.
    anim.animateTo(1.0);
    EXPECT_NEAR(anim.startValue().toDouble(), midway, 0.05);
    ASSERT_TRUE(testing_support::waitUntil([&] { return anim.state() == QAbstractAnimation::Stopped; }, 120000));
    EXPECT_DOUBLE_EQ(anim.value().toDouble(), 1.0);
}

