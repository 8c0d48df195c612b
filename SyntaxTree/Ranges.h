#pragma once
// Half-open ranges the layer passes around, and the two conversions between UTF-16 units and the
// bytes of UTF-16 little-endian text (one unit = two bytes).
#include <cstdint>

#include "SyntaxTree/Point.h"

namespace SyntaxTree {

// A range of UTF-16 code units, as the editor counts text.
struct Utf16Range {
    int64_t location = 0;
    int64_t length = 0;
    constexpr int64_t end() const { return location + length; }
    friend constexpr bool operator==(const Utf16Range&, const Utf16Range&) = default;
};

// lower ..< upper in bytes.
struct ByteRange {
    uint32_t lower = 0;
    uint32_t upper = 0;
    friend constexpr bool operator==(const ByteRange&, const ByteRange&) = default;
};

// lower ..< upper in points.
struct PointRange {
    Point lower;
    Point upper;
    friend constexpr bool operator==(const PointRange&, const PointRange&) = default;
};

// location × 2 ..< (location + length) × 2. Both ends must fit in 32 bits and the length must not be
// negative (precondition).
ByteRange byteRange(Utf16Range range);

// lower ÷ 2 with length upper ÷ 2 − lower ÷ 2; each halving drops the remainder.
Utf16Range utf16Range(ByteRange range);

} // namespace SyntaxTree
