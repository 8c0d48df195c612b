#pragma once
// The layer's own range: points and bytes together. Not the runtime's ::TSRange structure.
#include <tree_sitter/api.h>

#include <string>

#include "SyntaxTree/Ranges.h"

namespace SyntaxTree {

struct TSRange {
    PointRange points;
    ByteRange bytes;

    TSRange() = default;
    TSRange(PointRange points, ByteRange bytes);
    // Requires end ≥ start for both points and bytes.
    explicit TSRange(const ::TSRange& range);
    ::TSRange tsRange() const;

    // "<TSRange 0..<10, {0, 0}..<{0, 10}>"
    std::string debugDescription() const;

    friend bool operator==(const TSRange&, const TSRange&) = default;
    // Only the start point orders ranges.
    friend bool operator<(const TSRange& a, const TSRange& b) { return a.points.lower < b.points.lower; }
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::TSRange> {
    std::size_t operator()(const SyntaxTree::TSRange& range) const noexcept;
};
