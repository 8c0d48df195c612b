#include "Platform/TextEquivalence.h"

namespace TextEquivalence {

bool canonicallyEqual(const QString& a, const QString& b) {
    if (a == b) return true;  // the common case costs one comparison
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

} // namespace TextEquivalence
