#include "Editor/UngroupedRange.h"

#include "Editor/LineJoins.h"

void UngroupedRange::edit(qsizetype at, qsizetype removed, qsizetype added, bool mayMakeEmptyLines, qsizetype size) {
    const bool pending = !isEmpty();
    if (pending) {
        // What lies past the edit moves with the text.
        if (from_ > at) from_ = qMax(at, from_ + added - removed);
        if (to_ > at) to_ = qMax(at + added, to_ + added - removed);
    }
    if (!mayMakeEmptyLines) return;  // typing in a line, say
    // The empty lines just before the edit may belong to a run it lengthened: up to a group of
    // them, their terminators two units long at most.
    const qsizetype from = qMax<qsizetype>(0, at - 2 * LineJoins::kGroup);
    from_ = pending ? qMin(from_, from) : from;
    to_ = qMin(size, pending ? qMax(to_, at + added) : at + added);
}
