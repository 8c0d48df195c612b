#include "Editor/EditSpan.h"

void EditSpan::add(TextRange replaced, qsizetype lengthBefore) {
    const qsizetype tail = lengthBefore - replaced.end();
    if (isEmpty()) {
        start_ = replaced.location;
        tail_ = tail;
        lengthBefore_ = lengthBefore;
        return;
    }
    start_ = qMin(start_, replaced.location);
    tail_ = qMin(tail_, tail);
}
