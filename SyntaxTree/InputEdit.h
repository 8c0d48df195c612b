#pragma once
// One edit of the text in the runtime's terms, for editing a tree before an incremental reparse.
#include <tree_sitter/api.h>

#include "SyntaxTree/Point.h"

namespace SyntaxTree {

struct InputEdit {
    uint32_t startByte = 0;
    uint32_t oldEndByte = 0;
    uint32_t newEndByte = 0;
    Point startPoint;
    Point oldEndPoint;  // in the old text
    Point newEndPoint;  // in the new text

    InputEdit() = default;
    InputEdit(uint32_t startByte, uint32_t oldEndByte, uint32_t newEndByte, Point startPoint, Point oldEndPoint,
              Point newEndPoint);
    // From signed machine integers; each offset must lie in 0 to 4,294,967,295.
    static InputEdit checked(int64_t startByte, int64_t oldEndByte, int64_t newEndByte, Point startPoint,
                             Point oldEndPoint, Point newEndPoint);

    TSInputEdit tsInputEdit() const;

    friend bool operator==(const InputEdit&, const InputEdit&) = default;
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::InputEdit> {
    std::size_t operator()(const SyntaxTree::InputEdit& edit) const noexcept;
};
