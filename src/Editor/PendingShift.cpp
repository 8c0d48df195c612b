#include "Editor/PendingShift.h"

bool PendingShift::absorbs(qsizetype at, qsizetype removed, qsizetype inserted) const {
    // Kept positions lie before at_ (or at it, for line starts) or at or past end_ (a line start
    // only past it when the run began clean): an edit between leaves the first and moves the rest.
    return idle() || inserted == removed || (at_ <= at && at + removed <= end_ && (at < end_ || clean_));
}

void PendingShift::add(qsizetype at, qsizetype removed, qsizetype inserted) {
    const qsizetype delta = inserted - removed;
    if (idle()) {
        at_ = at;
        end_ = at + inserted;
        by_ = delta;
        clean_ = removed == 0;
        return;
    }
    if (delta == 0) return;
    end_ += delta;
    by_ += delta;
}
