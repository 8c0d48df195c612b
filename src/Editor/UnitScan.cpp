#include "Editor/UnitScan.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define UNIT_SCAN_WIDE 1
#endif

namespace UnitScan {

namespace {

// countEither() of units[i, length), a unit at a time: what is left past the last whole step.
qsizetype countRest(const char16_t* units, qsizetype i, qsizetype length, char16_t a, char16_t b, char16_t& seen) {
    qsizetype count = 0;
    for (; i < length; ++i) {
        seen |= units[i];
        count += (units[i] == a) | (units[i] == b);
    }
    return count;
}

#if UNIT_SCAN_WIDE

// countEither() thirty-two bytes at a time, for processors that have the instructions: a long text
// is read in fewer steps, with less time spent waiting on memory per unit.
__attribute__((target("avx2"))) qsizetype countEitherWide(const char16_t* units, qsizetype length, char16_t a,
                                                          char16_t b, char16_t& seen) {
    qsizetype count = 0, i = 0;
    const __m256i wantA = _mm256_set1_epi16(short(a)), wantB = _mm256_set1_epi16(short(b));
    __m256i all = _mm256_setzero_si256();
    while (i + 16 <= length) {
        __m256i tally = _mm256_setzero_si256();
        const qsizetype end = i + qMin<qsizetype>((length - i) & ~qsizetype(15), 16 * 16384);
        for (; i < end; i += 16) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + i));
            all = _mm256_or_si256(all, v);
            tally = _mm256_sub_epi16(tally, _mm256_or_si256(_mm256_cmpeq_epi16(v, wantA), _mm256_cmpeq_epi16(v, wantB)));
        }
        const __m256i sums = _mm256_madd_epi16(tally, _mm256_set1_epi16(1));
        __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        half = _mm_add_epi32(half, _mm_srli_si128(half, 8));
        half = _mm_add_epi32(half, _mm_srli_si128(half, 4));
        count += _mm_cvtsi128_si32(half);
    }
    seen |= orOfLanes(_mm_or_si128(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1)));
    return count + countRest(units, i, length, a, b, seen);
}

#endif

} // namespace

qsizetype countEither(const char16_t* units, qsizetype length, char16_t a, char16_t b, char16_t& seen) {
#if UNIT_SCAN_WIDE
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide) return countEitherWide(units, length, a, b, seen);
#endif
    qsizetype count = 0, i = 0;
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi16(short(a)), wantB = _mm_set1_epi16(short(b));
    __m128i all = _mm_setzero_si128();
    while (i + 8 <= length) {
        // Sixteen-bit tallies, emptied before any of them can overflow.
        __m128i tally = _mm_setzero_si128();
        const qsizetype end = i + qMin<qsizetype>((length - i) & ~qsizetype(7), 8 * 16384);
        for (; i < end; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
            all = _mm_or_si128(all, v);
            tally = _mm_sub_epi16(tally, _mm_or_si128(_mm_cmpeq_epi16(v, wantA), _mm_cmpeq_epi16(v, wantB)));
        }
        __m128i sums = _mm_madd_epi16(tally, _mm_set1_epi16(1));
        sums = _mm_add_epi32(sums, _mm_srli_si128(sums, 8));
        sums = _mm_add_epi32(sums, _mm_srli_si128(sums, 4));
        count += _mm_cvtsi128_si32(sums);
    }
    seen |= orOfLanes(all);
#endif
    return count + countRest(units, i, length, a, b, seen);
}

} // namespace UnitScan
