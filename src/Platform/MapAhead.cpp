#include "Platform/MapAhead.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace MapAhead {

void forWriting(void* data, size_t bytes) {
#if defined(__linux__)
    constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, not in every libc's headers yet
    constexpr uintptr_t kPage = 4096;
    if (bytes < 4 * 1024 * 1024) return;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kPage - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, kPopulateWrite);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace MapAhead
