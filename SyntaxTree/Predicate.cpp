#include "SyntaxTree/Predicate.h"

#include <algorithm>

#include "SyntaxTree/QueryMatch.h"
#include "SyntaxTree/Unicode.h"

namespace SyntaxTree {

std::u16string CanonicalStrings::key(std::string_view utf8) { return Unicode::canonicalKey(Unicode::toUtf16(utf8)); }

bool CanonicalStrings::contains(std::u16string_view text) const {
    const std::u16string wanted = Unicode::canonicalKey(text);
    return std::find(keys_.begin(), keys_.end(), wanted) != keys_.end();
}

bool CanonicalStrings::allEqual(std::u16string_view text) const {
    if (keys_.empty()) return true;
    const std::u16string wanted = Unicode::canonicalKey(text);
    return std::all_of(keys_.begin(), keys_.end(), [&](const std::u16string& key) { return key == wanted; });
}

std::vector<std::string> Predicate::captureNames() const {
    struct Names {
        std::vector<std::string> operator()(const Eq& p) const { return p.captureNames; }
        std::vector<std::string> operator()(const NotEq& p) const { return p.captureNames; }
        std::vector<std::string> operator()(const Match& p) const { return p.captureNames; }
        std::vector<std::string> operator()(const NotMatch& p) const { return p.captureNames; }
        std::vector<std::string> operator()(const IsNot&) const { return {}; }
        std::vector<std::string> operator()(const AnyOf& p) const { return {p.captureName}; }
        std::vector<std::string> operator()(const NotAnyOf& p) const { return {p.captureName}; }
        std::vector<std::string> operator()(const Set& p) const {
            if (p.captureName) return {*p.captureName};
            return {};
        }
        std::vector<std::string> operator()(const Generic& p) const { return p.captureNames; }
    };
    return std::visit(Names{}, value_);
}

std::vector<QueryCapture> Predicate::captures(const QueryMatch& match) const {
    const std::vector<std::string> names = captureNames();
    if (names.empty()) return match.captures;
    std::vector<QueryCapture> result;
    for (const QueryCapture& capture : match.captures)
        if (std::find(names.begin(), names.end(), capture.name()) != names.end()) result.push_back(capture);
    return result;
}

bool Predicate::evalulate(std::u16string_view text) const {
    PredicateRegex::Matcher matcher;
    return evalulate(text, matcher);
}

bool Predicate::evalulate(std::u16string_view text, PredicateRegex::Matcher& matcher) const {
    struct Test {
        std::u16string_view text;
        PredicateRegex::Matcher& matcher;
        bool operator()(const Eq& p) const { return p.keys.allEqual(text); }
        bool operator()(const NotEq& p) const { return !p.keys.contains(text); }
        bool operator()(const Match& p) const { return p.regex.firstMatch(text, matcher); }
        bool operator()(const NotMatch& p) const { return !p.regex.firstMatch(text, matcher); }
        bool operator()(const IsNot&) const { return false; }
        bool operator()(const AnyOf& p) const { return p.keys.contains(text); }
        bool operator()(const NotAnyOf& p) const { return !p.keys.contains(text); }
        bool operator()(const Set&) const { return true; }
        bool operator()(const Generic&) const { return false; }
    };
    return std::visit(Test{text, matcher}, value_);
}

} // namespace SyntaxTree
