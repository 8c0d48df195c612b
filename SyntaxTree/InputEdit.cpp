#include "SyntaxTree/InputEdit.h"

#include "SyntaxTree/Hashing.h"
#include "SyntaxTree/Precondition.h"

namespace SyntaxTree {

InputEdit::InputEdit(uint32_t startByte, uint32_t oldEndByte, uint32_t newEndByte, Point startPoint,
                     Point oldEndPoint, Point newEndPoint)
    : startByte(startByte), oldEndByte(oldEndByte), newEndByte(newEndByte), startPoint(startPoint),
      oldEndPoint(oldEndPoint), newEndPoint(newEndPoint) {}

InputEdit InputEdit::checked(int64_t startByte, int64_t oldEndByte, int64_t newEndByte, Point startPoint,
                             Point oldEndPoint, Point newEndPoint) {
    return InputEdit(checkedUInt32(startByte, "edit start byte out of range"),
                     checkedUInt32(oldEndByte, "edit old end byte out of range"),
                     checkedUInt32(newEndByte, "edit new end byte out of range"), startPoint, oldEndPoint,
                     newEndPoint);
}

TSInputEdit InputEdit::tsInputEdit() const {
    return TSInputEdit{startByte,           oldEndByte,           newEndByte,
                       startPoint.tsPoint(), oldEndPoint.tsPoint(), newEndPoint.tsPoint()};
}

} // namespace SyntaxTree

std::size_t std::hash<SyntaxTree::InputEdit>::operator()(const SyntaxTree::InputEdit& edit) const noexcept {
    std::size_t seed = 0;
    for (uint32_t value : {edit.startByte, edit.oldEndByte, edit.newEndByte, edit.startPoint.row,
                           edit.startPoint.column, edit.oldEndPoint.row, edit.oldEndPoint.column,
                           edit.newEndPoint.row, edit.newEndPoint.column})
        SyntaxTree::hashCombine(seed, value);
    return seed;
}
