#pragma once
// A compiled query for one language, with every pattern's predicates parsed once. Immutable; the
// runtime query lives until the last holder (a cursor's active query included) lets go.
#include <tree_sitter/api.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SyntaxTree/Language.h"
#include "SyntaxTree/Predicate.h"
#include "SyntaxTree/QueryDefinition.h"
#include "SyntaxTree/SendableOpaquePointer.h"

namespace SyntaxTree {

class MutableTree;
class Node;
class QueryCursor;
class Tree;

class Query : public std::enable_shared_from_this<Query> {
    struct Token {};

public:
    using Definition = QueryDefinition;
    using Queries = std::unordered_map<QueryDefinition, std::shared_ptr<Query>>;

    // Compiles UTF-8 query source. Throws QueryError, QueryPredicateError, PredicateParserError or
    // RegularExpressionError. A view without storage (null data) fails with QueryError none.
    static std::shared_ptr<Query> create(const Language& language, std::string_view data);
    // Reads the file first; a read failure throws std::filesystem::filesystem_error.
    static std::shared_ptr<Query> create(const Language& language, const std::filesystem::path& path);

    // The standard queries (injections, highlights, locals) whose files in the directory are
    // readable; a missing file is left out. Throws the first read or query error.
    static Queries queries(const Language& language, const std::filesystem::path& directory);

    Query(Token, TSQuery* query);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    SendableOpaquePointer internalQueryPointer() const { return {query_}; }
    const TSQuery* tsQuery() const { return query_; }

    uint32_t patternCount() const;
    uint32_t captureCount() const;
    uint32_t stringCount() const;
    // Ids must lie in 0 to 4,294,967,295 (precondition).
    std::optional<std::string> captureName(int64_t id) const;
    std::optional<std::string> stringName(int64_t id) const;

    // The pattern must be one of the query's (precondition).
    const std::vector<Predicate>& predicates(int64_t patternIndex) const;
    // The same list, kept alive with the query.
    std::shared_ptr<const std::vector<Predicate>> sharedPredicates(int64_t patternIndex) const;
    bool hasPredicates() const;

    // The capture's name split at every "." (empty pieces kept), cached per capture id.
    const std::vector<std::string>* nameComponents(uint32_t captureId) const;

    // New cursors, executed at the node (or the tree's root).
    std::shared_ptr<QueryCursor> execute(const Node& node, const MutableTree& tree) const;
    std::shared_ptr<QueryCursor> execute(const Node& node, const std::shared_ptr<const Tree>& tree, int depth) const;
    // Without a root node the cursor is returned without an active query and never executed.
    std::shared_ptr<QueryCursor> execute(const std::shared_ptr<const Tree>& tree, int depth) const;
    std::shared_ptr<QueryCursor> execute(const MutableTree& tree) const;

private:
    TSQuery* query_;
    std::vector<std::vector<Predicate>> predicateList_;
    std::vector<std::optional<std::vector<std::string>>> nameComponents_;
};

} // namespace SyntaxTree
