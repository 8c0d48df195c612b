#pragma once
// Turns the runtime's flat predicate steps of each pattern into Predicate values.
#include <tree_sitter/api.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "SyntaxTree/Predicate.h"
#include "SyntaxTree/QueryPredicateStep.h"

namespace SyntaxTree {

class PredicateParser {
public:
    // One list per pattern, in pattern order. Throws the first error met.
    std::vector<std::vector<Predicate>> predicates(const TSQuery* query) const;
    // Throws QueryPredicateError.
    std::vector<QueryPredicateStep> predicateSteps(int64_t patternIndex, const TSQuery* query) const;
    // Throws PredicateParserError or RegularExpressionError.
    std::vector<Predicate> parse(std::span<const QueryPredicateStep> steps) const;
    // The first predicate and the number of steps it used, its done step included.
    std::pair<Predicate, size_t> parseNextPredicate(std::span<const QueryPredicateStep> steps) const;
    Predicate buildPredicate(const std::string& name, std::span<const QueryPredicateStep> argSteps) const;
};

} // namespace SyntaxTree
