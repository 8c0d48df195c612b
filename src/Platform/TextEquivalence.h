#pragma once
#include <QString>

namespace TextEquivalence {
// Equality of Unicode text under canonical equivalence ("é" precomposed equals "e" + U+0301).
bool canonicallyEqual(const QString& a, const QString& b);
// The same for texts known to share at least their first *samePrefix and last *sameSuffix units
// (wrong hints give wrong answers); only the stretch between is read. Both are raised to what the
// texts really share, for the next call.
bool canonicallyEqual(const QString& a, const QString& b, qsizetype* samePrefix, qsizetype* sameSuffix);
// Whether text with length units at `at` replaced by `with` is canonically equal to text; reads only
// the stretch around the replacement.
bool replacementKeepsEqual(const QString& text, qsizetype at, qsizetype length, QStringView with);
}
