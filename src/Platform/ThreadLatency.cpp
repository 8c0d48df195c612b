#include "Platform/ThreadLatency.h"

#if defined(__linux__)
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {
// The kernel's own layout; not every C library declares it.
struct SchedulingAttributes {
    uint32_t size = sizeof(SchedulingAttributes);
    uint32_t policy = 0;
    uint64_t flags = 0;
    int32_t nice = 0;
    uint32_t priority = 0;
    uint64_t runtime = 0;  // the time slice asked for, of a thread under the default policy
    uint64_t deadline = 0;
    uint64_t period = 0;
    uint32_t utilizationMinimum = 0;
    uint32_t utilizationMaximum = 0;
};
} // namespace

bool ThreadLatency::preferShortSlices() {
    SchedulingAttributes current;
    if (syscall(SYS_sched_getattr, 0, &current, sizeof(current), 0) != 0 || current.policy != SCHED_OTHER) return false;
    // Only the slice changes: the thread keeps its niceness (lowering it would need a privilege).
    SchedulingAttributes wanted;
    wanted.policy = SCHED_OTHER;
    wanted.nice = current.nice;
    wanted.runtime = kShortSlice;
    return syscall(SYS_sched_setattr, 0, &wanted, 0) == 0 && requestedSlice() == kShortSlice;
}

quint64 ThreadLatency::requestedSlice() {
    SchedulingAttributes current;
    if (syscall(SYS_sched_getattr, 0, &current, sizeof(current), 0) != 0) return 0;
    return current.runtime;
}
#else
bool ThreadLatency::preferShortSlices() { return false; }
quint64 ThreadLatency::requestedSlice() { return 0; }
#endif
