// Moving a long stretch of a buffer by whole pages: the same bytes land where memmove would put
// them, whatever the ends' places within their pages, either way, and again on a buffer moved before.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "Platform/PageShift.h"

namespace {

constexpr std::size_t kBuffer = 3 * PageShift::kMinBytes;

struct Buffer {
    Buffer() : data(static_cast<char*>(std::malloc(kBuffer))) {
        for (std::size_t i = 0; i < kBuffer; ++i) data[i] = char(i * 131 + i / 4099);
    }
    ~Buffer() { std::free(data); }
    char* data;
};

// Moves [at, at + bytes) of a fresh buffer by `by` with PageShift and with memmove, and compares all
// but the bytes either may leave as they please.
void expectLikeMemmove(std::size_t at, std::size_t bytes, std::ptrdiff_t by, Buffer& shifted, bool pages = true) {
    std::vector<char> expected(shifted.data, shifted.data + kBuffer);
    std::memmove(expected.data() + at + by, expected.data() + at, bytes);
    const std::ptrdiff_t copied = PageShift::move(shifted.data + at, bytes, by);
    if (pages) EXPECT_GE(copied, 0);
    if (copied < 0) std::memmove(shifted.data + at + by, shifted.data + at, bytes);
    EXPECT_LT(copied, 2 * sysconf(_SC_PAGESIZE)) << "only the partial pages at the ends are copied";
    // The stretch where it lands, and what lies beyond the stretch and its landing place.
    const std::size_t low = by > 0 ? at : at + by, high = by > 0 ? at + bytes + by : at + bytes;
    EXPECT_EQ(std::memcmp(shifted.data + at + by, expected.data() + at + by, bytes), 0);
    EXPECT_EQ(std::memcmp(shifted.data, expected.data(), low), 0);
    EXPECT_EQ(std::memcmp(shifted.data + high, expected.data() + high, kBuffer - high), 0);
}

int openDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

long mappedBytes() {
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "re")) {
        if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * sysconf(_SC_PAGESIZE);
}

// From here on the kernel refuses to put pages at an address of the caller's choosing.
bool refuseFixedRemaps() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_mremap, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[3])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, MREMAP_FIXED, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOMEM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// 0 when a move, the kernel refusing to place its pages, lands the stretch where memmove would and
// gives back the place where the pages waited.
int moveWhileFixedRemapsAreRefused() {
    if (!refuseFixedRemaps()) return 2;
    const auto page = std::ptrdiff_t(sysconf(_SC_PAGESIZE));
    Buffer buffer;
    std::vector<char> expected(buffer.data, buffer.data + kBuffer);
    const std::size_t at = 3 * page + 10, bytes = PageShift::kMinBytes + 5 * page;
    std::memmove(expected.data() + at + 2 * page, expected.data() + at, bytes);
    const long before = mappedBytes();
    const std::ptrdiff_t copied = PageShift::move(buffer.data + at, bytes, 2 * page);
    const bool gaveBack = mappedBytes() - before < long(PageShift::kMinBytes / 2);
    const bool landed = std::memcmp(buffer.data + at + 2 * page, expected.data() + at + 2 * page, bytes) == 0;
    return copied >= 0 && landed && gaveBack ? 0 : 1;
}

} // namespace

TEST(PageShift, LandsTheStretchWhereMemmoveWouldWhereverItsEndsLie) {
    const auto page = std::ptrdiff_t(sysconf(_SC_PAGESIZE));
    const int descriptors = openDescriptors();
    for (const std::size_t start : {std::size_t(0), std::size_t(page / 2 + 6), std::size_t(3 * page - 2)})
        for (const std::size_t tail : {std::size_t(0), std::size_t(100), std::size_t(page - 1)})
            // A distance shorter than the stretch (the pages land partly on their own place) and longer.
            for (const std::ptrdiff_t distance : {page, 512 * page, std::ptrdiff_t(PageShift::kMinBytes) + 3 * page}) {
                SCOPED_TRACE(testing::Message() << start << " " << tail << " " << distance);
                const std::size_t bytes = PageShift::kMinBytes + 7 * std::size_t(page) + tail;
                Buffer right;
                expectLikeMemmove(start + 4 * page, bytes, distance, right);
                Buffer left;
                expectLikeMemmove(start + distance + 4 * page, bytes, -distance, left);
                // Back again over a buffer whose pages were handed around before.
                expectLikeMemmove(start + 4 * page, bytes, distance, left);
            }
    EXPECT_EQ(openDescriptors(), descriptors) << "a move keeps no file open";
}

TEST(PageShift, CopiesThePagesWhenTheKernelRefusesToPlaceThem) {
    // In a child of its own: the refusal cannot be taken back.
    EXPECT_EXIT(_exit(moveWhileFixedRemapsAreRefused()), testing::ExitedWithCode(0), "");
}

TEST(PageShift, LeavesShortStretchesAndPartPagesToTheCaller) {
    const auto page = std::ptrdiff_t(sysconf(_SC_PAGESIZE));
    Buffer buffer;
    const std::vector<char> before(buffer.data, buffer.data + kBuffer);
    EXPECT_EQ(PageShift::move(buffer.data + 10, PageShift::kMinBytes - 1, page), -1);
    EXPECT_EQ(PageShift::move(buffer.data + 10, PageShift::kMinBytes, page + 2), -1);
    EXPECT_EQ(PageShift::move(buffer.data + page, PageShift::kMinBytes, 0), -1);
    EXPECT_EQ(std::memcmp(buffer.data, before.data(), kBuffer), 0);
}

TEST(PageShift, CopiesInsteadWhenTheProcessNearsItsLimitOfMappings) {
    // Each move splits a few mappings; one refused halfway would leave a hole in the buffer, so
    // near the limit the caller copies.
    long limit = 65530;
    if (FILE* f = std::fopen("/proc/sys/vm/max_map_count", "re")) {
        if (std::fscanf(f, "%ld", &limit) != 1) limit = 65530;
        std::fclose(f);
    }
    if (limit > 200'000) GTEST_SKIP() << "a limit of mappings too high to near here";
    const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    // Every other page of a reservation closed: one mapping each.
    const std::size_t pages = std::size_t(limit) / 2 + 1000;
    char* many = static_cast<char*>(mmap(nullptr, pages * page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    ASSERT_NE(many, MAP_FAILED);
    for (std::size_t i = 0; i < pages; i += 2) ASSERT_EQ(mprotect(many + i * page, page, PROT_NONE), 0);
    Buffer buffer;
    const std::vector<char> before(buffer.data, buffer.data + kBuffer);
    EXPECT_EQ(PageShift::move(buffer.data + page, PageShift::kMinBytes, std::ptrdiff_t(page)), -1);
    EXPECT_EQ(std::memcmp(buffer.data + page, before.data() + page, PageShift::kMinBytes), 0);
    munmap(many, pages * page);
    EXPECT_GE(PageShift::move(buffer.data + page, PageShift::kMinBytes, std::ptrdiff_t(page)), 0);
}
