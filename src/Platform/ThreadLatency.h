#pragma once
// Marks the calling thread as one the user waits on: it asks the scheduler for short time slices,
// so that on a busy machine its wakeups run at once instead of after the running task's slice.
// Its share of the processor stays what it was.
#include <QtGlobal>

class ThreadLatency {
public:
    // The slice asked for, in nanoseconds.
    static constexpr quint64 kShortSlice = 1'000'000;

    // False where the scheduler has no such request (kernels before 6.12, other systems): nothing
    // changes then.
    static bool preferShortSlices();
    // The slice the calling thread has asked for, in nanoseconds; 0 when it asked for none or the
    // system cannot tell.
    static quint64 requestedSlice();
};
