#pragma once
// The standard kinds of query file a grammar ships, or a custom one by name.
#include <string>

namespace SyntaxTree {

class QueryDefinition {
public:
    enum Kind { injections, highlights, locals, custom };

    static QueryDefinition makeInjections() { return QueryDefinition(injections, {}); }
    static QueryDefinition makeHighlights() { return QueryDefinition(highlights, {}); }
    static QueryDefinition makeLocals() { return QueryDefinition(locals, {}); }
    static QueryDefinition makeCustom(std::string name) { return QueryDefinition(custom, std::move(name)); }

    Kind kind() const { return kind_; }
    // "injections", "highlights", "locals" or the custom name.
    std::string name() const;
    // The name followed by ".scm".
    std::string filename() const { return name() + ".scm"; }

    friend bool operator==(const QueryDefinition&, const QueryDefinition&) = default;

private:
    QueryDefinition(Kind kind, std::string customName) : kind_(kind), customName_(std::move(customName)) {}
    Kind kind_;
    std::string customName_;
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::QueryDefinition> {
    std::size_t operator()(const SyntaxTree::QueryDefinition& definition) const noexcept;
};
