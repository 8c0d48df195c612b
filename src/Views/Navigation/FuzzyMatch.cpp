#include "Views/Navigation/FuzzyMatch.h"

#include "Platform/TextEquivalence.h"
#include "Views/Navigation/SearchText.h"

bool fuzzyMatch(const QString& query, const QString& candidate) {
    const QStringList wanted = SearchText::graphemes(query.toLower());
    if (wanted.isEmpty()) return true;
    qsizetype matched = 0;
    for (const QString& c : SearchText::graphemes(candidate.toLower())) {
        if (TextEquivalence::canonicallyEqual(c, wanted[matched]) && ++matched == wanted.size()) return true;
    }
    return false;
}
