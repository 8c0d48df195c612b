#pragma once
// Turns git's unified-diff output into display lines, numbering each body line in the old and
// the new file. Anything that is not a diff (git's own error text, say) comes back as numbered
// context lines, so it is still shown.
#include <QList>
#include <QString>

#include "Views/SourceControl/DiffLine.h"

namespace DiffParser {

QList<DiffLine> parse(const QString& text);

} // namespace DiffParser
