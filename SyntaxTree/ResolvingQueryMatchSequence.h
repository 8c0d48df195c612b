#pragma once
// Filters a source of matches once, passing on only the matches whose predicates hold in the
// context. Each sequence keeps its own text cache, shared by its copies.
#include <memory>
#include <optional>
#include <vector>

#include "SyntaxTree/MatchSource.h"
#include "SyntaxTree/NamedRanges.h"
#include "SyntaxTree/PredicateContext.h"

namespace SyntaxTree {

template <MatchSource Base>
class ResolvingQueryMatchSequence {
public:
    ResolvingQueryMatchSequence(Base sequence, const PredicateContext& context)
        : iterator_(std::move(sequence)), context_(context.cachingContext()) {}

    const PredicateContext& context() const { return context_; }

    std::optional<QueryMatch> next() {
        while (std::optional<QueryMatch> match = iterator_.next())
            if (match->allowed(context_)) return match;
        return std::nullopt;
    }

    // The injected-language ranges of the remaining allowed matches, texts from the context.
    std::vector<NamedRange> injections() { return SyntaxTree::injections(*this, context_.textProvider()); }

private:
    Base iterator_;
    PredicateContext context_;
};

inline ResolvingQueryMatchSequence<SharedCursorMatches> resolve(std::shared_ptr<QueryCursor> cursor,
                                                                const PredicateContext& context) {
    return {SharedCursorMatches(std::move(cursor)), context};
}

inline ResolvingQueryMatchSequence<MatchList> resolve(std::vector<QueryMatch> matches, const PredicateContext& context) {
    return {MatchList(std::move(matches)), context};
}

template <MatchSource Base>
ResolvingQueryMatchSequence<ResolvingQueryMatchSequence<Base>> resolve(ResolvingQueryMatchSequence<Base> sequence,
                                                                       const PredicateContext& context) {
    return {std::move(sequence), context};
}

} // namespace SyntaxTree
