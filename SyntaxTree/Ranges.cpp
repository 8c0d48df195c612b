#include "SyntaxTree/Ranges.h"

#include "SyntaxTree/Precondition.h"

namespace SyntaxTree {

ByteRange byteRange(Utf16Range range) {
    precondition(range.location >= 0 && range.length >= 0, "UTF-16 range is negative");
    precondition(range.location <= int64_t(UINT32_MAX) / 2 && range.length <= int64_t(UINT32_MAX) / 2 &&
                     range.end() * 2 <= int64_t(UINT32_MAX),
                 "UTF-16 range does not fit 32-bit byte offsets");
    return ByteRange{uint32_t(range.location * 2), uint32_t(range.end() * 2)};
}

Utf16Range utf16Range(ByteRange range) {
    precondition(range.upper >= range.lower, "byte range ends before it starts");
    return Utf16Range{int64_t(range.lower / 2), int64_t(range.upper / 2) - int64_t(range.lower / 2)};
}

} // namespace SyntaxTree
