// A thread the user waits on asks for short time slices and nothing else.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "Platform/ThreadLatency.h"

TEST(ThreadLatency, AThreadAsksForShortSlicesAndKeepsItsNiceness) {
    // On a thread of its own, so that the test's other threads keep what they had.
    std::thread([] {
        const auto nice = [] { return getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid))); };
        // A thread running nicer than the rest stays so: asking for slices never raises it back.
        ASSERT_EQ(setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 5), 0);
        const quint64 before = ThreadLatency::requestedSlice();
        if (!ThreadLatency::preferShortSlices()) {
            EXPECT_EQ(ThreadLatency::requestedSlice(), before);  // a system without the request: no change
        } else {
            EXPECT_EQ(ThreadLatency::requestedSlice(), ThreadLatency::kShortSlice);
        }
        EXPECT_EQ(nice(), 5);
        // Threads it starts ask for the same.
        const quint64 asked = ThreadLatency::requestedSlice();
        quint64 inherited = 0;
        std::thread([&] { inherited = ThreadLatency::requestedSlice(); }).join();
        EXPECT_EQ(inherited, asked);
    }).join();
}
