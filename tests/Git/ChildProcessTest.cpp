// Stopping a child: asked first, so it can clean up, and forced when it will not end.
#include <QFileInfo>

#include <cerrno>
#include <csignal>

#include "Git/ChildProcess.h"
#include "GitTestSupport.h"

using testing_support::TempFolder;
using testing_support::waitUntil;

TEST(ChildProcess, StoppingAsksTheWholeGroupFirstAndKillsWhatIgnoresIt) {
    TempFolder tmp;
    for (const bool ignoresTerm : {false, true}) {
        SCOPED_TRACE(ignoresTerm ? "ignores SIGTERM" : "cleans up on SIGTERM");
        const QString started = tmp.file(ignoresTerm ? "started2" : "started1");
        const QString cleaned = tmp.file(ignoresTerm ? "cleaned2" : "cleaned1");
        // A grandchild in the group keeps running until it is stopped too.
        const QString script =
            ignoresTerm ? QString("trap '' TERM; sh -c 'trap \"\" TERM; while :; do sleep 1; done' & echo $$ > '%1'; wait").arg(started)
                        : QString("trap 'touch \"%2\"; exit 0' TERM; sleep 1000 & echo $$ > '%1'; wait").arg(started, cleaned);
        ChildProcess::Request request;
        request.arguments = {"sh", "-c", script};
        request.ownProcessGroup = true;
        auto owner = std::make_unique<QObject>();
        bool reported = false;
        ChildProcess::start(request, owner.get(), [&](ChildProcess::Result) { reported = true; });
        ASSERT_TRUE(waitUntil([&] { return testing_support::readBytes(started).endsWith('\n'); }));
        const pid_t group = pid_t(testing_support::readBytes(started).trimmed().toLongLong());
        ASSERT_GT(group, 0);
        owner.reset();  // waits for the child
        EXPECT_FALSE(reported);
        EXPECT_EQ(QFileInfo::exists(cleaned), !ignoresTerm);
        EXPECT_TRUE(waitUntil([&] { return ::kill(-group, 0) == -1 && errno == ESRCH; }, 120000)) << "nothing of the group is left";
    }
}

TEST(ChildProcess, OnePastItsTimeOrSilentPastItsStallLimitIsStoppedEvenWhenItIgnoresTheRequest) {
    // Limits shorter than the grace a stopped child gets: the stop is asked for once, and forced
    // when the grace runs out. Printing, progress on standard error included, keeps a child alive however long it runs.
    struct Case {
        const char* script;
        int timeoutMs, stallMs;
        bool timedOut, stalled;
    };
    const int limit = ChildProcess::kGraceMs / 5;
    for (const Case& c : {Case{"trap '' TERM; while :; do sleep 1; done", 1, 0, true, false},
                          Case{"trap '' TERM; while :; do sleep 1; done", 0, limit, false, true},
                          Case{"i=0; while [ $i -lt 30 ]; do echo $i >&2; sleep 0.2; i=$((i+1)); done", 0, 2000, false, false}}) {
        SCOPED_TRACE(c.script);
        ChildProcess::Request request;
        request.arguments = {"sh", "-c", c.script};
        request.ownProcessGroup = true;
        request.timeoutMs = c.timeoutMs;
        request.stallTimeoutMs = c.stallMs;
        std::optional<ChildProcess::Result> result;
        ChildProcess::start(request, nullptr, [&](ChildProcess::Result r) { result = std::move(r); });
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 120000));
        EXPECT_EQ(result->timedOut, c.timedOut);
        EXPECT_EQ(result->stalled, c.stalled);
        EXPECT_EQ(result->exitCode, c.timedOut || c.stalled ? -1 : 0);
    }
}
