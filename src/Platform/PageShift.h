#pragma once
// Moving a long stretch of a buffer by a whole number of pages without copying it: the kernel
// hands its pages over to their new place, so moving a hundred megabytes costs about as much as
// copying the two partial pages at its ends.
#include <cstddef>

namespace PageShift {
// Moves the `bytes` bytes at `from` by `by` bytes, as memmove would, when `by` is a whole number of
// pages and the stretch is long enough for it to pay. Every byte in reach must belong to one
// buffer the caller owns and that stays mapped (it may be freed or reallocated as usual after).
// The bytes the stretch lands on that are not its own, and those it leaves behind, hold anything
// afterwards. Returns the bytes it copied (the partial pages at the ends), or -1 when it moved
// nothing (the caller then copies as before).
std::ptrdiff_t move(char* from, std::size_t bytes, std::ptrdiff_t by);

// The shortest stretch move() hands over by pages: below it a copy is cheap anyway.
constexpr std::size_t kMinBytes = 8 * 1024 * 1024;
}
