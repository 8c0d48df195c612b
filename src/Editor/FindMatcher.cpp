#include "Editor/FindMatcher.h"

namespace FindMatcher {

QList<TextRange> matches(const RegularExpression& expression, const QString& text) {
    QList<TextRange> out = expression.matches(text);
    out.removeIf([](const TextRange& r) { return r.length <= 0; });
    return out;
}

std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate) {
    return expression.expandAt(text, match, replacementTemplate);
}

} // namespace FindMatcher
