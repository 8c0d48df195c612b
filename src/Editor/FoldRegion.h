#pragma once
// One foldable bracketed block: where its header line starts and which text folding it hides.
#include <QtGlobal>

#include "Editor/TextRange.h"

struct FoldRegion {
    qsizetype headerLineStart = 0;  // first character of the line holding the opening bracket
    // From the terminator that ends the header line up to (not including) the first character of the
    // line holding the closing bracket.
    TextRange hiddenRange;

    friend bool operator==(const FoldRegion&, const FoldRegion&) = default;
};
