#pragma once
// Wraps a query cursor and passes on only the matches whose predicates hold. After a prefetch the
// same matches can be filtered again under another context (prepare) without rerunning the query.
#include <memory>
#include <optional>
#include <vector>

#include "SyntaxTree/NamedRange.h"
#include "SyntaxTree/PredicateContext.h"
#include "SyntaxTree/QueryCursor.h"

namespace SyntaxTree {

class ResolvingQueryCursor {
public:
    // No text and no group membership: only matches without applicable text predicates pass.
    explicit ResolvingQueryCursor(std::shared_ptr<QueryCursor> cursor);
    ResolvingQueryCursor(std::shared_ptr<QueryCursor> cursor, const PredicateContext& context);

    const std::vector<QueryMatch>& matches() const { return matches_; }
    const std::shared_ptr<QueryCursor>& cursor() const { return cursor_; }
    size_t index() const { return index_; }
    const PredicateContext& context() const { return context_; }

    // Reads the cursor to its end, once; a second call does nothing.
    void prefetchMatches();
    // Back to the first prefetched match, testing under a new (caching) context.
    void prepare(const PredicateContext& context);
    void prepare(TextProvider textProvider);

    std::optional<QueryMatch> next();

    // Walks to the end; the injection ranges of the allowed matches, texts from the context.
    std::vector<NamedRange> injections();

private:
    std::vector<QueryMatch> matches_;
    std::shared_ptr<QueryCursor> cursor_;
    size_t index_ = 0;
    PredicateContext context_;
};

} // namespace SyntaxTree
