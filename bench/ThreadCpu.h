#pragma once
// The calling thread's own CPU time: what a figure costs, whatever else the machine runs meanwhile.
#include <ctime>

inline double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}
