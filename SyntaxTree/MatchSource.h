#pragma once
// Anything that hands out query matches one by one with next(): a query cursor, a resolving cursor
// or sequence, or a list of matches.
#include <concepts>
#include <memory>
#include <optional>
#include <vector>

#include "SyntaxTree/QueryCursor.h"
#include "SyntaxTree/QueryMatch.h"

namespace SyntaxTree {

template <class S>
concept MatchSource = requires(S& source) {
    { source.next() } -> std::convertible_to<std::optional<QueryMatch>>;
};

// A list of matches; copies iterate independently.
class MatchList {
public:
    explicit MatchList(std::vector<QueryMatch> matches)
        : matches_(std::make_shared<const std::vector<QueryMatch>>(std::move(matches))) {}
    std::optional<QueryMatch> next() {
        if (index_ >= matches_->size()) return std::nullopt;
        return (*matches_)[index_++];
    }

private:
    std::shared_ptr<const std::vector<QueryMatch>> matches_;
    size_t index_ = 0;
};

// A shared query cursor; every copy advances the same runtime cursor.
class SharedCursorMatches {
public:
    explicit SharedCursorMatches(std::shared_ptr<QueryCursor> cursor) : cursor_(std::move(cursor)) {}
    std::optional<QueryMatch> next() { return cursor_->next(); }

private:
    std::shared_ptr<QueryCursor> cursor_;
};

} // namespace SyntaxTree
