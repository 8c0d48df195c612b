#pragma once
// The compiled regular expression of a #match? predicate (ICU syntax, no options). Copies share the
// compiled pattern, which is never changed.
#include <memory>
#include <string>
#include <string_view>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexMatcher;
class RegexPattern;
U_NAMESPACE_END

namespace SyntaxTree {

class PredicateRegex {
public:
    // Throws RegularExpressionError for a pattern the engine rejects.
    static PredicateRegex compile(std::string_view pattern);

    const std::string& pattern() const { return pattern_; }
    // Whether the expression matches anywhere in the text.
    bool firstMatch(std::u16string_view text) const;

    // A matcher kept between tests on one thread, so a pass over many texts builds it once. Not to
    // be shared between threads; one per expression.
    class Matcher {
    public:
        Matcher();
        ~Matcher();
        Matcher(Matcher&&) noexcept;
        Matcher& operator=(Matcher&&) noexcept;

    private:
        friend class PredicateRegex;
        std::unique_ptr<icu::RegexMatcher> matcher_;
    };
    // The same test, reusing the matcher (made on first use from this expression).
    bool firstMatch(std::u16string_view text, Matcher& reused) const;

    friend bool operator==(const PredicateRegex& a, const PredicateRegex& b) { return a.pattern_ == b.pattern_; }

private:
    std::string pattern_;
    std::shared_ptr<const icu::RegexPattern> compiled_;
};

} // namespace SyntaxTree
