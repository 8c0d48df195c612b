#pragma once
// A position as the runtime counts it: zero-based row and byte column (two bytes per UTF-16 unit).
#include <tree_sitter/api.h>

#include <compare>
#include <cstdint>
#include <functional>
#include <string>

namespace SyntaxTree {

struct Point {
    uint32_t row = 0;
    uint32_t column = 0;

    constexpr Point() = default;
    constexpr Point(uint32_t row, uint32_t column) : row(row), column(column) {}
    explicit constexpr Point(TSPoint point) : row(point.row), column(point.column) {}

    // From signed machine integers; each must lie in 0 to 4,294,967,295.
    static Point checked(int64_t row, int64_t column);
    static constexpr Point zero() { return {}; }

    constexpr TSPoint tsPoint() const { return TSPoint{row, column}; }

    // "{row, column}"
    std::string description() const;

    // Row first, then column.
    friend constexpr auto operator<=>(const Point&, const Point&) = default;
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::Point> {
    std::size_t operator()(const SyntaxTree::Point& point) const noexcept;
};
