#include "Views/Navigation/FuzzyMatch.h"

#include "Views/Navigation/FuzzyNames.h"

bool fuzzyMatch(const QString& query, const QString& candidate) {
    return !FuzzyNames({candidate}).filter(query, 1).isEmpty();
}
