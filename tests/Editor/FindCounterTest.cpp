// Only the search asked for last is reported: one asked for while another runs waits and is
// replaced by a later one; a cancelled one and one waited for are never reported.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <future>

#include "Editor/FindCounter.h"

namespace {

FindMatcher::Result found(qsizetype at) { return {{TextRange{at, 1}}, false}; }

} // namespace

TEST(FindCounter, OnlyTheSearchAskedForLastIsReported) {
    FindCounter counter;
    QSignalSpy reported(&counter, &FindCounter::finished);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    int runs = 0;  // of searches queued behind the first: none of them ran on its own
    counter.start([released] { released.wait(); return found(1); });
    counter.start([&runs] { ++runs; return found(2); });
    counter.start([] { return found(3); });
    EXPECT_TRUE(counter.isPending());
    release.set_value();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !counter.isPending(); }, 120000));
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(reported[0][0].value<FindMatcher::Result>().matches.front().location, 3);
    EXPECT_EQ(runs, 0);

    counter.start([] { return found(4); });
    counter.cancel();
    counter.start([] { return found(5); });
    EXPECT_EQ(counter.wait().matches.front().location, 5);
    counter.start([] { return found(6); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.size() == 2; }, 120000));
    EXPECT_EQ(reported[1][0].value<FindMatcher::Result>().matches.front().location, 6);
}
