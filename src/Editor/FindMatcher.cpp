#include "Editor/FindMatcher.h"

#include <memory>

#include <unicode/regex.h>

namespace FindMatcher {

namespace {
// Aliases the QString's buffer; the QString must outlive every matcher over it.
icu::UnicodeString alias(const QString& s) {
    return icu::UnicodeString(false, reinterpret_cast<const char16_t*>(s.utf16()), int32_t(s.size()));
}
}

QList<TextRange> matches(const RegularExpression& expression, const QString& text) {
    QList<TextRange> out = expression.matches(text);
    out.removeIf([](const TextRange& r) { return r.length <= 0; });
    return out;
}

std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate) {
    if (match.location < 0 || match.end() > text.size()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    const icu::UnicodeString pattern = alias(expression.pattern());
    const std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
        pattern, expression.isCaseInsensitive() ? UREGEX_CASE_INSENSITIVE : 0, parseError, status));
    if (U_FAILURE(status)) return std::nullopt;

    const icu::UnicodeString input = alias(text);
    const std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    if (U_FAILURE(status)) return std::nullopt;
    if (expression.timeLimit() > 0) matcher->setTimeLimit(expression.timeLimit(), status);
    if (!matcher->find(match.location, status) || U_FAILURE(status)) return std::nullopt;
    if (matcher->start(status) != match.location || matcher->end(status) != match.end()) return std::nullopt;

    // appendReplacement copies the text before the match too; the expansion is what follows it.
    icu::UnicodeString expanded;
    const icu::UnicodeString replacement = alias(replacementTemplate);
    matcher->appendReplacement(expanded, replacement, status);
    if (U_FAILURE(status)) return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(expanded.getBuffer()) + match.location,
                   expanded.length() - match.location);
}

} // namespace FindMatcher
