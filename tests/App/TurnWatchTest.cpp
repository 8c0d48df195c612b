// The watch measuring scripts read: a stretch in which the main thread was held is noted and logged.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <cstring>

#include "App/TurnWatch.h"

TEST(TurnWatch, AStretchTheMainThreadWasHeldIsNotedAndLogged) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    TurnWatch watch(40, log);
    EXPECT_EQ(watch.longestMs(), 0);
    // One turn that holds the thread well past the threshold.
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < 200) {
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.longestMs() >= 150; }, 60000));
    std::rewind(log);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, log), nullptr);
    long long ms = 0;
    double ending = 0;
    EXPECT_EQ(std::sscanf(line, "turn %lld ms ending %lf", &ms, &ending), 2) << line;
    EXPECT_GE(ms, 150);
    EXPECT_GT(ending, 1.6e9);  // seconds since the epoch, as the scripts compare them with date's
    std::fclose(log);
}

TEST(TurnWatch, WithNowhereToLogItStillNotesTheStretch) {
    TurnWatch watch(40, nullptr);
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < 200) {
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.longestMs() >= 150; }, 60000));
}

TEST(TurnWatch, TheEnvironmentAsksForAWatchWithAThresholdOfZeroOrMore) {
    const QByteArray before = qgetenv(TurnWatch::kVariable);
    const bool had = qEnvironmentVariableIsSet(TurnWatch::kVariable);
    QObject parent;
    qunsetenv(TurnWatch::kVariable);
    EXPECT_EQ(TurnWatch::fromEnvironment(&parent), nullptr) << "unset";
    for (const char* refused : {"", "soon", "-1"}) {
        qputenv(TurnWatch::kVariable, refused);
        EXPECT_EQ(TurnWatch::fromEnvironment(&parent), nullptr) << refused;
    }
    for (const char* asked : {"0", "50"}) {
        qputenv(TurnWatch::kVariable, asked);
        const TurnWatch* watch = TurnWatch::fromEnvironment(&parent);
        ASSERT_NE(watch, nullptr) << asked;
        EXPECT_EQ(watch->parent(), &parent);
    }
    if (had) qputenv(TurnWatch::kVariable, before);
    else qunsetenv(TurnWatch::kVariable);
}
