#pragma once
// A runtime query cursor over one tree. It yields every match the runtime reports, predicates
// attached but not tested; only #set! directives take effect, as metadata.
#include <tree_sitter/api.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "SyntaxTree/QueryMatch.h"
#include "SyntaxTree/Ranges.h"

namespace SyntaxTree {

class Node;
class Query;
class Tree;

class QueryCursor {
    struct Token {};

public:
    static std::shared_ptr<QueryCursor> create(std::shared_ptr<const Tree> tree, int depth);
    QueryCursor(Token, std::shared_ptr<const Tree> tree, int depth);
    ~QueryCursor();
    QueryCursor(const QueryCursor&) = delete;
    QueryCursor& operator=(const QueryCursor&) = delete;

    TSQueryCursor* internalCursor() const { return cursor_; }
    const std::shared_ptr<const Tree>& internalTree() const { return tree_; }
    int depth() const { return depth_; }
    const std::shared_ptr<const Query>& activeQuery() const { return activeQuery_; }

    // Makes the query active and restarts the cursor at the node.
    void execute(std::shared_ptr<const Query> query, const Node& node);

    uint32_t matchLimit() const;
    void setMatchLimit(int64_t limit);  // 0 to 4,294,967,295 (precondition)

    // UTF-16 units, turned into bytes (location × 2 ..< end × 2; must fit 32 bits).
    void setRange(Utf16Range range);
    void setByteRange(ByteRange range);
    void setPointRange(PointRange range);

    // The next match, or absent when there are no more (or nothing was executed).
    std::optional<QueryMatch> next();
    std::optional<QueryMatch> nextMatch() { return next(); }
    // The next match as the runtime holds it, nothing copied: its captures stay valid until the
    // cursor moves on. False when there are no more (or nothing was executed). For passes over
    // many matches that need only capture ids and nodes.
    bool nextRawMatch(TSQueryMatch& match);
    // The next capture in the runtime's capture order, or absent.
    std::optional<QueryCapture> nextCapture();

private:
    std::optional<QueryCapture> makeCapture(const TSQueryCapture& capture, uint32_t patternIndex,
                                            const std::vector<Predicate>& predicates) const;

    TSQueryCursor* cursor_;
    std::shared_ptr<const Tree> tree_;
    int depth_;
    std::shared_ptr<const Query> activeQuery_;
};

} // namespace SyntaxTree
