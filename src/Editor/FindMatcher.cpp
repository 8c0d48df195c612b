#include "Editor/FindMatcher.h"

namespace FindMatcher {

Result matches(const RegularExpression& expression, const QString& text) {
    Result result;
    const RegularExpression::Outcome outcome = expression.forEachMatch(text, 0, [&](TextRange r) {
        if (r.length > 0) result.matches.append(r);
    });
    if (outcome != RegularExpression::Outcome::completed) {
        result.matches.clear();
        result.stopped = true;
    }
    return result;
}

std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate) {
    return expression.expandAt(text, match, replacementTemplate);
}

} // namespace FindMatcher
