#include "SyntaxTree/Point.h"

#include "SyntaxTree/Hashing.h"
#include "SyntaxTree/Precondition.h"

namespace SyntaxTree {

Point Point::checked(int64_t row, int64_t column) {
    return Point(checkedUInt32(row, "Point row out of range"), checkedUInt32(column, "Point column out of range"));
}

std::string Point::description() const {
    std::string text = "{";
    text += std::to_string(row) + ", " + std::to_string(column) + "}";
    return text;
}

} // namespace SyntaxTree

std::size_t std::hash<SyntaxTree::Point>::operator()(const SyntaxTree::Point& point) const noexcept {
    std::size_t seed = 0;
    SyntaxTree::hashCombine(seed, point.row);
    SyntaxTree::hashCombine(seed, point.column);
    return seed;
}
