#pragma once
#include <QString>

namespace TextEquivalence {
// Equality of Unicode text under canonical equivalence ("é" precomposed equals "e" + U+0301).
bool canonicallyEqual(const QString& a, const QString& b);
}
