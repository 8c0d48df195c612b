#include "SyntaxTree/QueryCursor.h"

#include "SyntaxTree/Node.h"
#include "SyntaxTree/Precondition.h"
#include "SyntaxTree/Query.h"
#include "SyntaxTree/Tree.h"

namespace SyntaxTree {

std::shared_ptr<QueryCursor> QueryCursor::create(std::shared_ptr<const Tree> tree, int depth) {
    return std::make_shared<QueryCursor>(Token{}, std::move(tree), depth);
}

QueryCursor::QueryCursor(Token, std::shared_ptr<const Tree> tree, int depth)
    : cursor_(ts_query_cursor_new()), tree_(std::move(tree)), depth_(depth) {
    precondition(cursor_ != nullptr, "the runtime returned no query cursor");
}

QueryCursor::~QueryCursor() { ts_query_cursor_delete(cursor_); }

void QueryCursor::execute(std::shared_ptr<const Query> query, const Node& node) {
    activeQuery_ = std::move(query);
    ts_query_cursor_exec(cursor_, activeQuery_->tsQuery(), node.internalNode());
}

uint32_t QueryCursor::matchLimit() const { return ts_query_cursor_match_limit(cursor_); }

void QueryCursor::setMatchLimit(int64_t limit) {
    ts_query_cursor_set_match_limit(cursor_, checkedUInt32(limit, "match limit out of range"));
}

void QueryCursor::setRange(Utf16Range range) { setByteRange(byteRange(range)); }

void QueryCursor::setByteRange(ByteRange range) { ts_query_cursor_set_byte_range(cursor_, range.lower, range.upper); }

void QueryCursor::setPointRange(PointRange range) {
    ts_query_cursor_set_point_range(cursor_, range.lower.tsPoint(), range.upper.tsPoint());
}

std::optional<QueryCapture> QueryCursor::makeCapture(const TSQueryCapture& capture, uint32_t patternIndex,
                                                     const std::vector<Predicate>& predicates) const {
    const std::vector<std::string>* components = activeQuery_ ? activeQuery_->nameComponents(capture.index) : nullptr;
    Metadata metadata;
    if (components && !predicates.empty()) {  // most patterns carry no predicate: skip the name
        const std::string name = joinName(*components);
        for (const Predicate& predicate : predicates)
            if (const Predicate::Set* set = predicate.as<Predicate::Set>(); set && set->captureName == name)
                metadata.insert_or_assign(set->key, set->value);
    }
    if (ts_node_is_null(capture.node)) return std::nullopt;
    return QueryCapture{Node(capture.node, tree_),
                        capture.index,
                        components ? *components : std::vector<std::string>{},
                        patternIndex,
                        std::move(metadata),
                        depth_};
}

std::optional<QueryMatch> QueryCursor::next() {
    // A cursor that was never executed has no query to run: it simply has no matches.
    if (!activeQuery_) return std::nullopt;
    TSQueryMatch match;
    if (!ts_query_cursor_next_match(cursor_, &match)) return std::nullopt;
    const uint32_t pattern = match.pattern_index;
    std::shared_ptr<const std::vector<Predicate>> predicates = activeQuery_->sharedPredicates(pattern);
    Metadata metadata;
    for (const Predicate& predicate : *predicates)
        if (const Predicate::Set* set = predicate.as<Predicate::Set>(); set && !set->captureName)
            metadata.insert_or_assign(set->key, set->value);
    std::vector<QueryCapture> captures;
    if (match.captures) {
        captures.reserve(match.capture_count);
        for (uint16_t i = 0; i < match.capture_count; ++i)
            if (std::optional<QueryCapture> capture = makeCapture(match.captures[i], pattern, *predicates))
                captures.push_back(std::move(*capture));
    }
    return QueryMatch(match.id, pattern, std::move(captures), std::move(predicates), std::move(metadata));
}

bool QueryCursor::nextRawMatch(TSQueryMatch& match) {
    return activeQuery_ && ts_query_cursor_next_match(cursor_, &match);
}

std::optional<QueryCapture> QueryCursor::nextCapture() {
    if (!activeQuery_) return std::nullopt;
    TSQueryMatch match;
    uint32_t index = 0;
    if (!ts_query_cursor_next_capture(cursor_, &match, &index)) return std::nullopt;
    return makeCapture(match.captures[index], match.pattern_index, activeQuery_->predicates(match.pattern_index));
}

} // namespace SyntaxTree
