#include "SyntaxTree/TSRange.h"

#include "SyntaxTree/Hashing.h"
#include "SyntaxTree/Precondition.h"

namespace SyntaxTree {

TSRange::TSRange(PointRange points, ByteRange bytes) : points(points), bytes(bytes) {}

TSRange::TSRange(const ::TSRange& range)
    : points{Point(range.start_point), Point(range.end_point)}, bytes{range.start_byte, range.end_byte} {
    precondition(points.lower <= points.upper && bytes.lower <= bytes.upper, "range ends before it starts");
}

::TSRange TSRange::tsRange() const {
    return ::TSRange{points.lower.tsPoint(), points.upper.tsPoint(), bytes.lower, bytes.upper};
}

std::string TSRange::debugDescription() const {
    return "<TSRange " + std::to_string(bytes.lower) + "..<" + std::to_string(bytes.upper) + ", " +
           points.lower.description() + "..<" + points.upper.description() + ">";
}

} // namespace SyntaxTree

std::size_t std::hash<SyntaxTree::TSRange>::operator()(const SyntaxTree::TSRange& range) const noexcept {
    std::size_t seed = 0;
    for (uint32_t value : {range.points.lower.row, range.points.lower.column, range.points.upper.row,
                           range.points.upper.column, range.bytes.lower, range.bytes.upper})
        SyntaxTree::hashCombine(seed, value);
    return seed;
}
