#pragma once
// One opaque runtime pointer, compared and hashed by address.
#include <functional>

namespace SyntaxTree {

struct SendableOpaquePointer {
    const void* pointer = nullptr;
    friend bool operator==(const SendableOpaquePointer&, const SendableOpaquePointer&) = default;
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::SendableOpaquePointer> {
    std::size_t operator()(const SyntaxTree::SendableOpaquePointer& p) const noexcept {
        return std::hash<const void*>{}(p.pointer);
    }
};
