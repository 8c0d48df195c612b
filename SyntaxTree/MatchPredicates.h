#pragma once
// A query's text predicates tested on the runtime's own matches (QueryCursor::nextRawMatch) against
// a text held in memory: the verdict of QueryMatch::allowed with that text and no group membership,
// without building the match or copying any captured text. It keeps regex matchers between tests,
// so each thread needs its own.
#include <tree_sitter/api.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "SyntaxTree/Predicate.h"

namespace SyntaxTree {

class Query;

class MatchPredicates {
public:
    explicit MatchPredicates(std::shared_ptr<const Query> query);

    // Whether the pattern has any predicate that can hold a match back.
    bool any(uint32_t patternIndex) const {
        return patternIndex < tests_.size() && !tests_[patternIndex].empty();
    }
    // Whether every text predicate of the match's pattern holds for its captured texts; a capture
    // reaching past the text fails the predicates that read it. #is-not? never fails here.
    bool allowed(const TSQueryMatch& match, std::u16string_view text);

private:
    struct Test {
        const Predicate* predicate = nullptr;
        bool everyCapture = false;         // the predicate names no capture: it reads them all
        std::vector<uint32_t> captureIds;  // otherwise the ids of the captures it names
        PredicateRegex::Matcher matcher;
    };

    std::shared_ptr<const Query> query_;  // owns the predicates the tests point at
    std::vector<std::vector<Test>> tests_;  // by pattern
};

} // namespace SyntaxTree
