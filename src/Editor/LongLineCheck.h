#pragma once
// Whether the parts of one edit leave some line long enough to be shown in pieces
// (LinePieces::kMaxPiece units or more). Lines with parts are read on several threads: a Replace All
// of every line of a long text reads most of it.
#include <QList>

#include "Editor/EditHistory.h"

class ExactText;

namespace LongLineCheck {

// True when a line that a lengthening part lies on reaches kMaxPiece units with the parts on it (a
// line's parts before its first lengthening one may be left out, which errs towards true). The parts
// are ascending and apart, their locations in `text` as it is before them; the text is only read.
// Runs of `partsPerRun` parts are read apart, on several threads.
bool growsALineLong(const ExactText& text, const QList<EditHistory::Part>& parts, qsizetype partsPerRun = 8192);

} // namespace LongLineCheck
