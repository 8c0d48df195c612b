#include "SyntaxTree/MatchPredicates.h"

#include <algorithm>
#include <optional>
#include <string>

#include "SyntaxTree/Query.h"
#include "SyntaxTree/QueryCapture.h"
#include "SyntaxTree/Ranges.h"

namespace SyntaxTree {

MatchPredicates::MatchPredicates(std::shared_ptr<const Query> query) : query_(std::move(query)) {
    const uint32_t captureCount = query_->captureCount();
    std::vector<std::string> names(captureCount);
    for (uint32_t id = 0; id < captureCount; ++id)
        if (const std::vector<std::string>* components = query_->nameComponents(id)) names[id] = joinName(*components);

    tests_.resize(query_->patternCount());
    for (uint32_t pattern = 0; pattern < tests_.size(); ++pattern) {
        for (const Predicate& predicate : query_->predicates(pattern)) {
            // Directives and unknown predicates never decide; #is-not? only does with group membership.
            if (predicate.as<Predicate::Set>() || predicate.as<Predicate::Generic>() || predicate.as<Predicate::IsNot>())
                continue;
            Test& test = tests_[pattern].emplace_back();
            test.predicate = &predicate;
            const std::vector<std::string> wanted = predicate.captureNames();
            test.everyCapture = wanted.empty();
            for (uint32_t id = 0; id < captureCount; ++id)
                if (std::find(wanted.begin(), wanted.end(), names[id]) != wanted.end()) test.captureIds.push_back(id);
        }
    }
}

bool MatchPredicates::allowed(const TSQueryMatch& match, std::u16string_view text) {
    if (!any(match.pattern_index)) return true;
    for (Test& test : tests_[match.pattern_index]) {
        for (uint16_t i = 0; i < match.capture_count; ++i) {
            const TSQueryCapture& capture = match.captures[i];
            if (ts_node_is_null(capture.node)) continue;  // not a capture of the match (see QueryCursor)
            if (!test.everyCapture &&
                std::find(test.captureIds.begin(), test.captureIds.end(), capture.index) == test.captureIds.end())
                continue;
            const Utf16Range range = utf16Range(ByteRange{ts_node_start_byte(capture.node), ts_node_end_byte(capture.node)});
            if (range.location > int64_t(text.size()) || range.length > int64_t(text.size()) - range.location)
                return false;
            if (!test.predicate->evalulate(text.substr(size_t(range.location), size_t(range.length)), test.matcher))
                return false;
        }
    }
    return true;
}

} // namespace SyntaxTree
