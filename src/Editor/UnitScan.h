#pragma once
// Scans of UTF-16 units for either of two units, sixteen at a time where the processor allows: the
// inner loops of counting a plain query, which read every unit of a long text once.
#include <QtGlobal>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace UnitScan {

#if defined(__SSE2__)
// The eight units of `all` or-ed together.
inline char16_t orOfLanes(__m128i all) {
    all = _mm_or_si128(all, _mm_srli_si128(all, 8));
    all = _mm_or_si128(all, _mm_srli_si128(all, 4));
    all = _mm_or_si128(all, _mm_srli_si128(all, 2));
    return char16_t(_mm_cvtsi128_si32(all));
}
#endif

// How many of units[0, length) are `a` or `b`; `seen` gets every unit or-ed in (so a unit past
// ASCII shows as a bit above 0x7f).
qsizetype countEither(const char16_t* units, qsizetype length, char16_t a, char16_t b, char16_t& seen);

// Calls visit(i), in order, for every i in [0, length) where units[i] is `a` or `b` and
// units[i + offset] is `c` or `d`, reading no unit at or past `limit` (>= length); `seen` as above.
// Two units compared at once leave few places for the caller to look at.
template <class Visit>
void forEachPair(const char16_t* units, qsizetype length, qsizetype limit, char16_t a, char16_t b, qsizetype offset,
                 char16_t c, char16_t d, char16_t& seen, Visit&& visit) {
    qsizetype i = 0;
#if defined(__SSE2__)
    const auto either = [](__m128i v, __m128i x, __m128i y) { return _mm_or_si128(_mm_cmpeq_epi16(v, x), _mm_cmpeq_epi16(v, y)); };
    const __m128i wantA = _mm_set1_epi16(short(a)), wantB = _mm_set1_epi16(short(b));
    const __m128i wantC = _mm_set1_epi16(short(c)), wantD = _mm_set1_epi16(short(d));
    __m128i all = _mm_setzero_si128();
    const auto load = [&](qsizetype at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + at)); };
    for (; i + 16 <= length && i + offset + 16 <= limit; i += 16) {
        const __m128i low = load(i), high = load(i + 8);
        all = _mm_or_si128(all, _mm_or_si128(low, high));
        const __m128i lowHits = _mm_and_si128(either(low, wantA, wantB), either(load(i + offset), wantC, wantD));
        const __m128i highHits = _mm_and_si128(either(high, wantA, wantB), either(load(i + offset + 8), wantC, wantD));
        for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_packs_epi16(lowHits, highHits))); mask != 0; mask &= mask - 1)
            visit(i + __builtin_ctz(mask));
    }
    seen |= orOfLanes(all);
#endif
    for (; i < length; ++i) {
        seen |= units[i];
        if ((units[i] == a || units[i] == b) && i + offset < limit && (units[i + offset] == c || units[i + offset] == d))
            visit(i);
    }
}

} // namespace UnitScan
