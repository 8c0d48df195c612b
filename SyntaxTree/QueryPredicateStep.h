#pragma once
// One step of a pattern's flat predicate list as the runtime reports it.
#include <string>

namespace SyntaxTree {

struct QueryPredicateStep {
    enum Kind { done, capture, string };
    Kind kind = done;
    std::string text;  // capture name (without its sign) or string value; empty for done

    static QueryPredicateStep makeDone() { return {done, {}}; }
    static QueryPredicateStep makeCapture(std::string name) { return {capture, std::move(name)}; }
    static QueryPredicateStep makeString(std::string value) { return {string, std::move(value)}; }

    // "<done>", "<capture: name>", "<string: value>"
    std::string description() const;

    friend bool operator==(const QueryPredicateStep&, const QueryPredicateStep&) = default;
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::QueryPredicateStep> {
    std::size_t operator()(const SyntaxTree::QueryPredicateStep& step) const noexcept;
};
