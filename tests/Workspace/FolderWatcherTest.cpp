#include <gtest/gtest.h>

#include <QFile>
#include <QList>
#include <cstdio>

#include "Platform/TextFile.h"
#include "Workspace/DeliveryPacer.h"
#include "Workspace/FolderWatcher.h"
#include "support/TestSupport.h"

using testing_support::spin;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {
// Feeds raw events (or deliveries) at the given times and returns when callbacks fall due.
QList<qint64> callbackTimes(std::initializer_list<qint64> times, bool asDeliveries = false) {
    DeliveryPacer pacer;
    QList<qint64> due;
    const auto runUntil = [&](qint64 end) {
        for (auto next = pacer.nextDeadline(); next && *next <= end; next = pacer.nextDeadline())
            for (int i = pacer.advance(*next); i > 0; --i) due << *next;
    };
    for (qint64 t : times) {
        runUntil(t);
        asDeliveries ? pacer.delivered(t) : pacer.eventsArrived(t);
    }
    runUntil(1'000'000);
    return due;
}
} // namespace

TEST(DeliveryPacer, LatencyAndQuietPeriod) {
    EXPECT_EQ(callbackTimes({0, 100}, true), QList<qint64>{250});
    EXPECT_EQ(callbackTimes({0, 300}, true), (QList<qint64>{150, 450}));
    // The first event after a quiet spell goes at once, the rest one latency after the last delivery.
    EXPECT_EQ(callbackTimes({1000, 1010, 1390}), (QList<qint64>{1150, 1550}));
    EXPECT_EQ(callbackTimes({0, 100, 200, 300, 400, 500}), (QList<qint64>{150, 550, 950}));
    EXPECT_EQ(callbackTimes({0, 500}), (QList<qint64>{150, 650}));
}

TEST(FolderWatcher, OneWriteGivesOneCallback) {
    TempFolder dir;
    dir.write("f.txt", "old");  // before the watcher: never reported
    int calls = 0;
    FolderWatcher watcher(dir.path(), [&] { ++calls; });
    ASSERT_TRUE(watcher.isRunning());
    spin(300);
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(TextFile::writeUtf8(dir.file("f.txt"), "new"));
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    spin(700);
    EXPECT_EQ(calls, 1);
    dir.write(".git/HEAD", "x");  // hidden folders are not filtered
    EXPECT_TRUE(waitUntil([&] { return calls == 2; }));
}

TEST(FolderWatcher, FollowsDirectoriesAsTheyComeAndGo) {
    TempFolder dir, outside;
    int calls = 0;
    FolderWatcher watcher(dir.path(), [&] { ++calls; });
    const auto expectCallbackAfter = [&](const std::function<void()>& change) {
        spin(600);
        const int before = calls;
        change();
        EXPECT_TRUE(waitUntil([&] { return calls > before; }));
    };
    const auto move = [](const QString& from, const QString& to) {
        ASSERT_EQ(std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()), 0);
    };
    expectCallbackAfter([&] { dir.mkdir("a/b/c"); });
    expectCallbackAfter([&] { dir.write("a/b/c/deep.txt", "x"); });
    expectCallbackAfter([&] { move(dir.file("a/b"), dir.file("a/renamed")); });
    expectCallbackAfter([&] { dir.write("a/renamed/c/again.txt", "x"); });
    expectCallbackAfter([&] { move(dir.file("a/renamed"), outside.file("away")); });
    spin(600);
    const int settled = calls;
    outside.write("away/c/elsewhere.txt", "x");  // moved out: no longer ours
    spin(700);
    EXPECT_EQ(calls, settled);
}

TEST(FolderWatcher, ReleaseLetsAScheduledCallbackRunOnce) {
    TempFolder dir;
    int calls = 0;
    auto watcher = std::make_unique<FolderWatcher>(dir.path(), [&] { ++calls; });
    dir.write("f.txt", "x");
    spin(50);  // the change is read, the quiet period has not passed
    watcher.reset();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(waitUntil([&] { return calls == 1; }));
    dir.write("g.txt", "x");
    spin(700);
    EXPECT_EQ(calls, 1);

    // A callback may release its own watcher (another folder opened).
    std::unique_ptr<FolderWatcher> self;
    self = std::make_unique<FolderWatcher>(dir.path(), [&] { self.reset(); });
    dir.write("h.txt", "x");
    EXPECT_TRUE(waitUntil([&] { return !self; }));

    EXPECT_FALSE(FolderWatcher(dir.file("missing"), [] {}).isRunning());
}
