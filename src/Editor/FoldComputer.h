#pragma once
// Finds the bracketed blocks of a text that span several lines. Brackets inside quoted runs and
// after "//" on the same line do not count.
#include <QList>
#include <QStringView>

#include "Editor/FoldRegion.h"

namespace FoldComputer {

// In the order the closing brackets occur (an inner block before the one enclosing it). Every line
// terminator the editor knows (LF, CR, CR LF, NEL, U+2028, U+2029) ends a line.
QList<FoldRegion> regions(QStringView text);

} // namespace FoldComputer
