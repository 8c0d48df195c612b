#pragma once
// What an action costs, counted (units read, lines measured) in a small text and in a much larger
// one of the same shape: bounded, and no larger in the larger text than the spacing of the resume
// points and checkpoints (some thousands of units) can make it.
#include <gtest/gtest.h>

#include "TextShapes.h"

namespace work_bounds {

inline void expectFlat(qsizetype small, qsizetype large, qsizetype bound = 128 * 1024, qsizetype slack = 48 * 1024) {
    EXPECT_LE(small, bound);
    EXPECT_LE(large, small + slack);
}

// Measures every shape of text at both sizes and hands the two results to check.
template <typename Measure, typename Check>
void compareSizes(qsizetype smallUnits, qsizetype largeUnits, Measure measure, Check check) {
    for (const text_shapes::Shape shape : text_shapes::all()) {
        SCOPED_TRACE(text_shapes::name(shape));
        check(measure(shape, smallUnits), measure(shape, largeUnits));
    }
}

} // namespace work_bounds
