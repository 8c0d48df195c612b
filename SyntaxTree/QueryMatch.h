#pragma once
// One match of a query: its captures in the runtime's order, the pattern's predicates (unevaluated)
// and the metadata of its #set! directives without a capture.
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "SyntaxTree/Predicate.h"
#include "SyntaxTree/QueryCapture.h"
#include "SyntaxTree/TextProvider.h"

namespace SyntaxTree {

class PredicateContext;
struct NamedRange;

struct QueryMatch {
    uint32_t id = 0;
    uint32_t patternIndex = 0;
    std::vector<QueryCapture> captures;

    QueryMatch(uint32_t id, uint32_t patternIndex, std::vector<QueryCapture> captures,
               std::shared_ptr<const std::vector<Predicate>> predicates = nullptr, Metadata metadata = {});

    const std::vector<Predicate>& predicates() const;
    const Metadata& metadata() const { return metadata_; }

    // The captures whose dotted name equals name, in capture order.
    std::vector<QueryCapture> capturesNamed(std::string_view name) const;
    std::vector<Node> nodes() const;
    // The smallest UTF-16 range covering every capture; absent without captures.
    std::optional<Utf16Range> range() const;
    // Whether every predicate holds for this match's captured texts in the context.
    bool allowed(const PredicateContext& context) const;

    // The injected language over the "injection.content" capture: the text of the
    // "injection.language" capture, else the "injection.language" metadata; absent without either.
    std::optional<NamedRange> injection(const TextProvider& textProvider) const;

private:
    std::shared_ptr<const std::vector<Predicate>> predicates_;
    Metadata metadata_;
};

} // namespace SyntaxTree
