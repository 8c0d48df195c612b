#include "Editor/UnitScan.h"

namespace UnitScan {

qsizetype countEither(const char16_t* units, qsizetype length, char16_t a, char16_t b, char16_t& seen) {
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
    all = _mm_or_si128(all, _mm_srli_si128(all, 8));
    all = _mm_or_si128(all, _mm_srli_si128(all, 4));
    all = _mm_or_si128(all, _mm_srli_si128(all, 2));
    seen |= char16_t(_mm_cvtsi128_si32(all));
#endif
    for (; i < length; ++i) {
        seen |= units[i];
        count += (units[i] == a) | (units[i] == b);
    }
    return count;
}

} // namespace UnitScan
