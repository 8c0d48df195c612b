#pragma once
// Where a text may hold long runs of empty lines that no block of joined lines holds yet (see
// LineJoins): edits that add line breaks or take text away widen it, and grouping, a step at a
// time once the keys stop, takes it from its start.
#include <QtGlobal>

#include "Editor/TextRange.h"

class UngroupedRange {
public:
    bool isEmpty() const { return from_ >= to_; }
    // [at, at + removed) was replaced by `added` units, which may have made empty lines (brought a
    // line break or left two line ends side by side); the text is now `size` units long.
    void edit(qsizetype at, qsizetype removed, qsizetype added, bool mayMakeEmptyLines, qsizetype size);
    // The next step: at most `step` units from the start.
    TextRange next(qsizetype step) const { return {from_, qMin(step, to_ - from_)}; }
    // Grouping went up to offset.
    void doneTo(qsizetype offset) { from_ = qMax(from_, offset); }

private:
    qsizetype from_ = 0;
    qsizetype to_ = 0;
};
