// The unit scans under the find bar's count: every length, start and tally size, never a read past
// what they are given (the buffers are exact, so the address sanitizer sees one).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "Editor/UnitScan.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// The same scan as a processor without the wide instructions runs it: on one that has them the
// narrower path is otherwise never taken here.
#define __builtin_cpu_supports(feature) false
namespace narrow {
using namespace ::UnitScan;
#include "Editor/UnitScan.cpp"
} // namespace narrow
#undef __builtin_cpu_supports
#define UNIT_SCAN_NARROW 1
#endif

TEST(UnitScan, CountsAndVisitsWhatAPlainLoopFinds) {
    std::mt19937 random(5);
    const char16_t alphabet[] = {u'e', u'E', u'x', u' ', u'\n', 0x00e9, 0xd83d, 0x4e2d};
    for (int round = 0; round < 400; ++round) {
        std::vector<char16_t> units(random() % 200);
        for (char16_t& u : units) u = alphabet[random() % (round % 3 == 0 ? 3 : 8)];
        const qsizetype from = units.empty() ? 0 : qsizetype(random() % units.size());
        const qsizetype length = qsizetype(units.size()) - from;
        qsizetype expected = 0;
        char16_t expectedSeen = 0;
        std::vector<qsizetype> pairs;
        const qsizetype offset = 1 + qsizetype(random() % 5);
        for (qsizetype i = 0; i < length; ++i) {
            expected += units[from + i] == u'e' || units[from + i] == u'E';
            expectedSeen |= units[from + i];
            if ((units[from + i] == u'e' || units[from + i] == u'E') && i + offset < length && units[from + i + offset] == u'x')
                pairs.push_back(i);
        }
        char16_t seen = 0;
        EXPECT_EQ(UnitScan::countEither(units.data() + from, length, u'e', u'E', seen), expected) << round;
        EXPECT_EQ(seen, expectedSeen) << round;
        std::vector<qsizetype> visited;
        seen = 0;
        UnitScan::forEachPair(units.data() + from, length, length, u'e', u'E', offset, u'x', u'x', seen,
                              [&](qsizetype i) { visited.push_back(i); });
        EXPECT_EQ(visited, pairs) << round;
        EXPECT_EQ(seen, expectedSeen) << round;
    }
    // More matches than a sixteen-bit tally holds, many times over.
    const std::vector<char16_t> many((qsizetype(1) << 21) + 7, u'e');
    char16_t seen = 0;
    EXPECT_EQ(UnitScan::countEither(many.data(), qsizetype(many.size()), u'e', u'e', seen), qsizetype(many.size()));
    EXPECT_EQ(seen, u'e');
}

#if UNIT_SCAN_NARROW
TEST(UnitScan, TheNarrowScanCountsWhatAPlainLoopFinds) {
    std::mt19937 random(9);
    const char16_t alphabet[] = {u'e', u'E', u'x', 0x00e9, 0x4e2d};
    for (int round = 0; round < 300; ++round) {
        // Exact buffers: a read past the end is seen.
        std::vector<char16_t> units(random() % 100);
        for (char16_t& u : units) u = alphabet[random() % (round % 2 == 0 ? 3 : 5)];
        qsizetype expected = 0;
        char16_t expectedSeen = 0;
        for (const char16_t u : units) {
            expected += u == u'e' || u == u'E';
            expectedSeen |= u;
        }
        char16_t seen = 0;
        EXPECT_EQ(narrow::UnitScan::countEither(units.data(), qsizetype(units.size()), u'e', u'E', seen), expected) << round;
        EXPECT_EQ(seen, expectedSeen) << round;
    }
    const std::vector<char16_t> many((qsizetype(1) << 20) + 3, u'e');
    char16_t seen = 0;
    EXPECT_EQ(narrow::UnitScan::countEither(many.data(), qsizetype(many.size()), u'e', u'x', seen), qsizetype(many.size()));
}
#endif
