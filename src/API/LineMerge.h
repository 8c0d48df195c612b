#pragma once
// Merges two versions of a text that were both made from a common one, line by line: every line
// that only one side changed takes that side's version. Used when a request file was changed on
// disk while the program held an older reading of it.
#include <QString>
#include <optional>

namespace LineMerge {

// The merged text, or nothing when both sides changed the same lines differently. Line ends are
// part of the lines, so each side's own endings are kept.
std::optional<QString> merge(const QString& base, const QString& mine, const QString& theirs);

} // namespace LineMerge
