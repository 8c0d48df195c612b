#pragma once
// Scans of UTF-16 units for either of two units, sixteen at a time where the processor allows: the
// inner loops of counting a plain query, which read every unit of a long text once.
#include <QtGlobal>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace UnitScan {

// How many of units[0, length) are `a` or `b`; `seen` gets every unit or-ed in (so a unit past
// ASCII shows as a bit above 0x7f).
qsizetype countEither(const char16_t* units, qsizetype length, char16_t a, char16_t b, char16_t& seen);

// Calls visit(i) for every i in [0, length) where units[i] is `a` or `b`, in order; `seen` as above.
template <class Visit>
void forEachEither(const char16_t* units, qsizetype length, char16_t a, char16_t b, char16_t& seen, Visit&& visit) {
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi16(short(a)), wantB = _mm_set1_epi16(short(b));
    __m128i all = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i + 8));
        all = _mm_or_si128(all, _mm_or_si128(low, high));
        const __m128i hits = _mm_packs_epi16(_mm_or_si128(_mm_cmpeq_epi16(low, wantA), _mm_cmpeq_epi16(low, wantB)),
                                             _mm_or_si128(_mm_cmpeq_epi16(high, wantA), _mm_cmpeq_epi16(high, wantB)));
        for (unsigned mask = unsigned(_mm_movemask_epi8(hits)); mask != 0; mask &= mask - 1)
            visit(i + __builtin_ctz(mask));
    }
    all = _mm_or_si128(all, _mm_srli_si128(all, 8));
    all = _mm_or_si128(all, _mm_srli_si128(all, 4));
    all = _mm_or_si128(all, _mm_srli_si128(all, 2));
    seen |= char16_t(_mm_cvtsi128_si32(all));
#endif
    for (; i < length; ++i) {
        seen |= units[i];
        if (units[i] == a || units[i] == b) visit(i);
    }
}

} // namespace UnitScan
