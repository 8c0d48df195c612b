#include "SyntaxTree/ResolvingQueryCursor.h"

#include "SyntaxTree/NamedRanges.h"

namespace SyntaxTree {

ResolvingQueryCursor::ResolvingQueryCursor(std::shared_ptr<QueryCursor> cursor)
    : cursor_(std::move(cursor)), context_(PredicateContext::none()) {}

ResolvingQueryCursor::ResolvingQueryCursor(std::shared_ptr<QueryCursor> cursor, const PredicateContext& context)
    : cursor_(std::move(cursor)), context_(context.cachingContext()) {}

void ResolvingQueryCursor::prefetchMatches() {
    if (!matches_.empty()) return;
    while (std::optional<QueryMatch> match = cursor_->next()) matches_.push_back(std::move(*match));
    index_ = 0;
}

void ResolvingQueryCursor::prepare(const PredicateContext& context) {
    index_ = 0;
    context_ = context.cachingContext();
}

void ResolvingQueryCursor::prepare(TextProvider textProvider) { prepare(PredicateContext(std::move(textProvider))); }

std::optional<QueryMatch> ResolvingQueryCursor::next() {
    while (true) {
        std::optional<QueryMatch> candidate;
        if (!matches_.empty()) {
            if (index_ >= matches_.size()) return std::nullopt;
            candidate = matches_[index_++];
        } else {
            candidate = cursor_->next();
            if (!candidate) return std::nullopt;
        }
        if (candidate->allowed(context_)) return candidate;
    }
}

std::vector<NamedRange> ResolvingQueryCursor::injections() {
    return SyntaxTree::injections(*this, context_.textProvider());
}

} // namespace SyntaxTree
