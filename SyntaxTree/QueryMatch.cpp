#include "SyntaxTree/QueryMatch.h"

#include <algorithm>

#include "SyntaxTree/NamedRange.h"
#include "SyntaxTree/PredicateContext.h"
#include "SyntaxTree/Unicode.h"

namespace SyntaxTree {

QueryMatch::QueryMatch(uint32_t id, uint32_t patternIndex, std::vector<QueryCapture> captures,
                       std::shared_ptr<const std::vector<Predicate>> predicates, Metadata metadata)
    : id(id), patternIndex(patternIndex), captures(std::move(captures)), predicates_(std::move(predicates)),
      metadata_(std::move(metadata)) {}

const std::vector<Predicate>& QueryMatch::predicates() const {
    static const std::vector<Predicate> empty;
    return predicates_ ? *predicates_ : empty;
}

std::vector<QueryCapture> QueryMatch::capturesNamed(std::string_view name) const {
    std::vector<QueryCapture> result;
    for (const QueryCapture& capture : captures)
        if (capture.name() == name) result.push_back(capture);
    return result;
}

std::vector<Node> QueryMatch::nodes() const {
    std::vector<Node> result;
    result.reserve(captures.size());
    for (const QueryCapture& capture : captures) result.push_back(capture.node);
    return result;
}

std::optional<Utf16Range> QueryMatch::range() const {
    if (captures.empty()) return std::nullopt;
    Utf16Range covered = captures.front().node.range();
    for (size_t i = 1; i < captures.size(); ++i) {
        const Utf16Range next = captures[i].node.range();
        const int64_t start = std::min(covered.location, next.location);
        const int64_t end = std::max(covered.end(), next.end());
        covered = Utf16Range{start, end - start};
    }
    return covered;
}

bool QueryMatch::allowed(const PredicateContext& context) const {
    for (const Predicate& predicate : predicates()) {
        if (predicate.as<Predicate::Set>() || predicate.as<Predicate::Generic>()) continue;
        const Predicate::IsNot* isNot = predicate.as<Predicate::IsNot>();
        for (const QueryCapture& capture : predicate.captures(*this)) {
            const Utf16Range range = capture.node.range();
            const PointRange points = capture.node.pointRange();
            if (isNot) {
                if (context.isMember(isNot->group, range, points)) return false;
                continue;
            }
            const std::optional<std::u16string> text = context.text(range, points);
            if (!text || !predicate.evalulate(*text)) return false;
        }
    }
    return true;
}

std::optional<NamedRange> QueryMatch::injection(const TextProvider& textProvider) const {
    const std::vector<QueryCapture> content = capturesNamed("injection.content");
    if (content.empty()) return std::nullopt;
    std::optional<std::string> language;
    const std::vector<QueryCapture> named = capturesNamed("injection.language");
    if (!named.empty() && textProvider) {
        const Node& node = named.front().node;
        if (std::optional<std::u16string> text = textProvider(node.range(), node.pointRange()))
            language = Unicode::toUtf8(*text);
    }
    if (!language) {
        const auto entry = metadata_.find("injection.language");
        if (entry == metadata_.end()) return std::nullopt;
        language = entry->second;
    }
    return NamedRange(std::vector<std::string>{*language}, content.front().node.tsRange());
}

} // namespace SyntaxTree
