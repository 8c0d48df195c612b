#pragma once
// One parsed predicate or directive of a query pattern. Strings and capture names keep the order
// in which they stand in the pattern. Texts are compared under canonical equivalence.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "SyntaxTree/PredicateRegex.h"

namespace SyntaxTree {

class PredicateContext;
struct QueryCapture;
struct QueryMatch;

// Canonical keys of a list of strings, built once with the predicate.
class CanonicalStrings {
public:
    CanonicalStrings() = default;
    template <class Range>
    explicit CanonicalStrings(const Range& strings) {
        for (const std::string& s : strings) keys_.push_back(key(s));
    }
    bool contains(std::u16string_view text) const;
    bool allEqual(std::u16string_view text) const;
    static std::u16string key(std::string_view utf8);

private:
    std::vector<std::u16string> keys_;
};

class Predicate {
public:
    using Context = PredicateContext;

    struct Eq {
        std::vector<std::string> strings;
        std::vector<std::string> captureNames;
        friend bool operator==(const Eq& a, const Eq& b) { return a.strings == b.strings && a.captureNames == b.captureNames; }
        CanonicalStrings keys{strings};
    };
    struct NotEq {
        std::vector<std::string> strings;
        std::vector<std::string> captureNames;
        friend bool operator==(const NotEq& a, const NotEq& b) { return a.strings == b.strings && a.captureNames == b.captureNames; }
        CanonicalStrings keys{strings};
    };
    struct Match {
        PredicateRegex regex;
        std::vector<std::string> captureNames;
        friend bool operator==(const Match&, const Match&) = default;
    };
    struct NotMatch {
        PredicateRegex regex;
        std::vector<std::string> captureNames;
        friend bool operator==(const NotMatch&, const NotMatch&) = default;
    };
    struct IsNot {
        std::string group;
        friend bool operator==(const IsNot&, const IsNot&) = default;
    };
    struct AnyOf {
        std::set<std::string> strings;
        std::string captureName;
        friend bool operator==(const AnyOf& a, const AnyOf& b) { return a.strings == b.strings && a.captureName == b.captureName; }
        CanonicalStrings keys{strings};
    };
    struct NotAnyOf {
        std::set<std::string> strings;
        std::string captureName;
        friend bool operator==(const NotAnyOf& a, const NotAnyOf& b) { return a.strings == b.strings && a.captureName == b.captureName; }
        CanonicalStrings keys{strings};
    };
    struct Set {
        std::optional<std::string> captureName;
        std::string key;
        std::string value;
        friend bool operator==(const Set&, const Set&) = default;
    };
    struct Generic {
        std::string name;
        std::vector<std::string> strings;
        std::vector<std::string> captureNames;
        friend bool operator==(const Generic&, const Generic&) = default;
    };

    using Value = std::variant<Eq, NotEq, Match, NotMatch, IsNot, AnyOf, NotAnyOf, Set, Generic>;

    Predicate(Value value) : value_(std::move(value)) {}

    const Value& value() const { return value_; }
    template <class Case>
    const Case* as() const { return std::get_if<Case>(&value_); }

    // The capture names the predicate refers to; none for isNot and for a set without a capture.
    std::vector<std::string> captureNames() const;
    // The match's captures named by captureNames(), in capture order; all of them when it names none.
    std::vector<QueryCapture> captures(const QueryMatch& match) const;
    // The predicate tested against one text.
    bool evalulate(std::u16string_view text) const;
    // The same, with a #match? or #not-match? expression run by a matcher kept by the caller.
    bool evalulate(std::u16string_view text, PredicateRegex::Matcher& matcher) const;

    friend bool operator==(const Predicate&, const Predicate&) = default;

private:
    Value value_;
};

} // namespace SyntaxTree
