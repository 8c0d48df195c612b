#pragma once
// Precondition checks of the binding layer. A value outside the runtime's integer ranges is a
// programming error of the caller: the process stops with a short note on stderr.
#include <cstdint>

namespace SyntaxTree {

[[noreturn]] void preconditionFailure(const char* what);

inline void precondition(bool holds, const char* what) {
    if (!holds) preconditionFailure(what);
}

// The runtime counts in unsigned 32-bit integers.
inline uint32_t checkedUInt32(int64_t value, const char* what) {
    precondition(value >= 0 && value <= int64_t(UINT32_MAX), what);
    return uint32_t(value);
}

// Field and symbol identifiers are 16-bit.
inline uint16_t checkedUInt16(int64_t value, const char* what) {
    precondition(value >= 0 && value <= int64_t(UINT16_MAX), what);
    return uint16_t(value);
}

} // namespace SyntaxTree
