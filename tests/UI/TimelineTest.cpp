#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

#include "SteppedClock.h"
#include "TestSupport.h"
#include "UI/AuroraBackground.h"
#include "UI/ShimmerText.h"
#include "UI/Timeline.h"

namespace {

// Counts the paint events of the widgets it watches.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// Runs clock frames until ticks moves (frames hold for a moment after a key press, which an
// earlier test may have sent).
bool untilATick(const int& ticks) {
    const int before = ticks;
    return testing_support::waitUntil([&] {
        Timeline::advanceClock();
        return ticks != before;
    });
}

} // namespace

// A wake of the clock that ticks nothing costs the whole program a wake-up for nothing.
TEST(Timeline, TheClockWakesOnlyForFramesATimelineTicksOn) {
    QWidget window;
    Timeline everyFourth(new QWidget(&window), 4, false), everySixth(new QWidget(&window), 6, false);
    int fourths = 0, sixths = 0;
    QObject::connect(&everyFourth, &Timeline::tick, [&] { ++fourths; });
    QObject::connect(&everySixth, &Timeline::tick, [&] { ++sixths; });
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return everyFourth.isRunning() && everySixth.isRunning(); }));
    ASSERT_TRUE(untilATick(fourths));
    fourths = sixths = 0;
    const quint64 start = Timeline::clockFrame();
    int wakes = 0;
    while (Timeline::clockFrame() < start + 120) {
        Timeline::advanceClock();
        ++wakes;
    }
    // Of 120 frames, every fourth and every sixth, ten of them the same.
    EXPECT_EQ(fourths, 30);
    EXPECT_EQ(sixths, 20);
    EXPECT_EQ(wakes, 40);
}

// Frames hold while the user types, and only then: other input lets them go on at once.
TEST(Timeline, OnlyAKeyHoldsTheFrames) {
    QWidget window;
    Timeline timeline(new QWidget(&window), 1, false);
    int ticks = 0;
    QObject::connect(&timeline, &Timeline::tick, [&] { ++ticks; });
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));
    // Nobody steps the clock at first: its own timer brings frame after frame.
    EXPECT_TRUE(testing_support::waitUntil([&] { return ticks >= 3; }, 60000));
    ASSERT_TRUE(untilATick(ticks));
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(&window, &enter);
    int before = ticks;
    Timeline::advanceClock();
    EXPECT_EQ(ticks, before + 1) << "after the pointer came in";
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&window, &press);
    before = ticks;
    Timeline::advanceClock();
    EXPECT_EQ(ticks, before) << "just after a key";
}

// Nothing of a minimised window shows: the timelines inside it rest until it comes back.
TEST(Timeline, RestsWhileItsWindowIsMinimised) {
    QWidget window;
    Timeline timeline(new QWidget(&window), 1, false);
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));
    window.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(testing_support::waitUntil([&] { return !timeline.isRunning(); }));
    window.setWindowState(Qt::WindowNoState);
    window.show();
    EXPECT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));
}

// A timeline whose owner paints for itself on its ticks never asks for a repaint of its own.
TEST(Timeline, OneThatDoesNotRepaintItsWidgetLeavesItUnpainted) {
    QWidget window;
    window.resize(200, 100);
    auto* widget = new QWidget(&window);
    widget->resize(100, 50);
    Timeline timeline(widget, 1, false);
    int ticks = 0;
    QObject::connect(&timeline, &Timeline::tick, [&] { ++ticks; });
    PaintCounter counter;
    widget->installEventFilter(&counter);
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return timeline.isRunning(); }));
    ASSERT_TRUE(untilATick(ticks));
    QCoreApplication::sendPostedEvents();
    window.repaint();
    const int paints = counter.paints;
    for (int i = 0; i < 5; ++i) {
        Timeline::advanceClock();
        QCoreApplication::sendPostedEvents();
    }
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(counter.paints, paints);
}

// The title over the backdrop, as the welcome screen shows it: over one sweep of the sheen, the
// clock wakes and the title repaints no more than 15 times a second, and the sheen still moves.
TEST(ShimmerText, AtRestTheTitleRepaintsAtMostFifteenTimesASecond) {
    SteppedClock clock(SteppedClock::Follows::frames);
    QWidget window;
    window.resize(700, 300);
    auto* aurora = new AuroraBackground(1, &window);
    aurora->setGeometry(window.rect());
    auto* title = new ShimmerText(QStringLiteral("Brimel at rest"), 46, QFont::Bold, ShimmerText::Design::rounded, &window);
    title->setGeometry(QRect(QPoint(60, 100), title->sizeHint()));
    PaintCounter counter;
    title->installEventFilter(&counter);
    window.show();
    ASSERT_TRUE(testing_support::waitUntil([&] { return aurora->timeline().isRunning(); }));
    // Until the latest frame was delivered (not held by an earlier test's key press) with the sheen on the text.
    ASSERT_TRUE(testing_support::waitUntil([&] {
        Timeline::advanceClock();
        QCoreApplication::sendPostedEvents();
        return Timeline::frameTime() == Timeline::now() && counter.paints > 0 && ShimmerText::sheenShows(Timeline::frameTime());
    }));

    const quint64 start = Timeline::clockFrame();
    const auto frames = quint64(ShimmerText::kSweepSeconds * 1000 / Timeline::kFrameIntervalMs);
    const int paintsBefore = counter.paints;
    int wakes = 0;
    while (Timeline::clockFrame() < start + frames) {
        Timeline::advanceClock();
        ++wakes;
        QCoreApplication::sendPostedEvents();
    }
    const int paints = counter.paints - paintsBefore;
    const int fifteenASecond = int(15 * ShimmerText::kSweepSeconds) + 1;
    EXPECT_LE(wakes, fifteenASecond);
    EXPECT_LE(paints, fifteenASecond);
    EXPECT_GE(paints, fifteenASecond / 2);
}
