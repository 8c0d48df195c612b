#pragma once
// Where one or more edits changed a text, seen as one edit: the smallest range of the text before
// them that was replaced, and how long its replacement is now.
#include <QtGlobal>

#include "Editor/TextRange.h"

class EditSpan {
public:
    bool isEmpty() const { return start_ < 0; }
    // An edit replacing `replaced`, offsets in the text just before it.
    void add(TextRange replaced, qsizetype lengthBefore);
    TextRange replaced() const { return {start_, lengthBefore_ - tail_ - start_}; }
    qsizetype insertedLength(qsizetype lengthNow) const { return lengthNow - tail_ - start_; }
    void clear() { start_ = -1; }

private:
    qsizetype start_ = -1;        // no edit when negative
    qsizetype tail_ = 0;          // units after the change that no edit touched
    qsizetype lengthBefore_ = 0;  // the text's length before the first edit
};
