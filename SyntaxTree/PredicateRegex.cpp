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

PredicateRegex::Matcher::Matcher() = default;
PredicateRegex::Matcher::~Matcher() = default;
PredicateRegex::Matcher::Matcher(Matcher&&) noexcept = default;
PredicateRegex::Matcher& PredicateRegex::Matcher::operator=(Matcher&&) noexcept = default;

bool PredicateRegex::firstMatch(std::u16string_view text) const {
    Matcher matcher;
    return firstMatch(text, matcher);
}

bool PredicateRegex::firstMatch(std::u16string_view text, Matcher& reused) const {
    if (text.size() > size_t(INT32_MAX)) return false;
    UErrorCode status = U_ZERO_ERROR;
    if (!reused.matcher_) {
        reused.matcher_.reset(compiled_->matcher(status));
        if (U_FAILURE(status) || !reused.matcher_) {
            reused.matcher_.reset();
            return false;
        }
    }
    // The input is read through a UText over the caller's units: no copy, and nothing of it is
    // kept past this call that a later reset would not replace.
    UText input = UTEXT_INITIALIZER;
    utext_openUChars(&input, text.data(), int64_t(text.size()), &status);
    if (U_FAILURE(status)) return false;
    reused.matcher_->reset(&input);
    const bool found = reused.matcher_->find(status);
    utext_close(&input);
    return U_SUCCESS(status) && found;
}

} // namespace SyntaxTree
