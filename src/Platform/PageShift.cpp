#include "Platform/PageShift.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace PageShift {

#if defined(__linux__)
namespace {

constexpr int kDontUnmap = 4;  // MREMAP_DONTUNMAP: the old range stays mapped, empty

// Whether the process is far enough from its limit of mappings: each move splits a few, and a
// split refused halfway would leave the buffer with a hole.
bool roomForMappings() {
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char chunk[64 * 1024];
    long lines = 0;
    for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;)
        for (ssize_t i = 0; i < got; ++i) lines += chunk[i] == '\n';
    ::close(fd);
    long limit = 65530;
    if (FILE* f = std::fopen("/proc/sys/vm/max_map_count", "re")) {
        if (std::fscanf(f, "%ld", &limit) != 1) limit = 65530;
        std::fclose(f);
    }
    return lines + 64 < limit / 2;
}

} // namespace

std::ptrdiff_t move(char* from, std::size_t bytes, std::ptrdiff_t by) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t distance = static_cast<std::uintptr_t>(by < 0 ? -by : by);
    if (bytes < kMinBytes || page == 0 || distance == 0 || distance % page != 0) return -1;
    // The whole pages of the stretch, [s, e); the partial ones at its ends are copied.
    const auto a = reinterpret_cast<std::uintptr_t>(from);
    const std::uintptr_t b = a + bytes;
    const std::uintptr_t s = (a + page - 1) & ~(page - 1);
    const std::uintptr_t e = b & ~(page - 1);
    if (e <= s || !roomForMappings()) return -1;
    const std::size_t pages = e - s;
    const auto at = [](std::uintptr_t address) { return reinterpret_cast<char*>(address); };
    // The partial page on the side the stretch moves to goes first: its bytes' page may be among
    // those the pages land on. It lands where nothing of the stretch is (the distance is a page or more).
    if (by > 0) std::memcpy(at(e + by), at(e), b - e);
    else std::memcpy(at(a + by), at(a), s - a);
    // Through a place of the kernel's choosing, as the pages cannot land on themselves: the first
    // step changes nothing when refused, and the old range stays mapped, empty.
    // The address is passed though unused: a C library that takes it as a fixed argument would
    // hand the kernel whatever lies in its place, which it refuses when that is not page aligned.
    void* scratch = mremap(at(s), pages, pages, MREMAP_MAYMOVE | kDontUnmap, nullptr);
    if (scratch == MAP_FAILED) return -1;
    if (mremap(scratch, pages, pages, MREMAP_MAYMOVE | MREMAP_FIXED, at(s + by)) == MAP_FAILED) {
        // Refused after all: the pages are copied from where they wait instead.
        if (mmap(at(s + by), pages, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
            std::abort();  // no memory left to put the text back: stop rather than carry on with a hole
        std::memcpy(at(s + by), scratch, pages);
        munmap(scratch, pages);
    }
    // The partial page on the other side, now that the pages are in their place.
    if (by > 0) std::memcpy(at(a + by), at(a), s - a);
    else std::memcpy(at(e + by), at(e), b - e);
    return static_cast<std::ptrdiff_t>(bytes - pages);
}
#else
std::ptrdiff_t move(char*, std::size_t, std::ptrdiff_t) { return -1; }
#endif

}
