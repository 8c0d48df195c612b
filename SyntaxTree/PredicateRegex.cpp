#include "SyntaxTree/PredicateRegex.h"

#include <unicode/regex.h>

#include "SyntaxTree/PredicateErrors.h"
#include "SyntaxTree/Unicode.h"

namespace SyntaxTree {

PredicateRegex PredicateRegex::compile(std::string_view pattern) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), int32_t(pattern.size())));
    std::shared_ptr<const icu::RegexPattern> compiled(icu::RegexPattern::compile(source, 0, where, status));
    if (U_FAILURE(status) || !compiled) throw RegularExpressionError{status, where.offset};
    PredicateRegex regex;
    regex.pattern_ = std::string(pattern);
    regex.compiled_ = std::move(compiled);
    return regex;
}

bool PredicateRegex::firstMatch(std::u16string_view text) const {
    if (text.size() > size_t(INT32_MAX)) return false;
    // The matcher keeps a reference to its input: the alias lives until the matcher is gone.
    const icu::UnicodeString input(false, text.data(), int32_t(text.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return false;
    const bool found = matcher->find(status);
    return U_SUCCESS(status) && found;
}

} // namespace SyntaxTree
