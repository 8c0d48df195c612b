#pragma once
// A range of the text with a dotted name: a highlight, a local scope or an injected language.
#include <string>
#include <string_view>
#include <vector>

#include "SyntaxTree/TSRange.h"

namespace SyntaxTree {

struct NamedRange {
    std::vector<std::string> nameComponents;
    TSRange tsRange;

    NamedRange(std::vector<std::string> nameComponents, TSRange tsRange);
    // The name is split at every "." and empty parts dropped ("a..b." gives a and b).
    NamedRange(std::string_view name, TSRange tsRange);
    NamedRange(std::string_view name, Utf16Range range, PointRange pointRange);

    std::string name() const;
    Utf16Range range() const;
    // "<\"keyword\": <TSRange 0..<14, {0, 0}..<{0, 14}>>"
    std::string debugDescription() const;

    friend bool operator==(const NamedRange&, const NamedRange&) = default;
    // Equal ranges: fewer components first; otherwise the ranges' start points decide.
    friend bool operator<(const NamedRange& a, const NamedRange& b);
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::NamedRange> {
    std::size_t operator()(const SyntaxTree::NamedRange& range) const noexcept;
};
