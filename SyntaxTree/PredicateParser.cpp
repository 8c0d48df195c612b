#include "SyntaxTree/PredicateParser.h"

#include <algorithm>

#include "SyntaxTree/PredicateErrors.h"
#include "SyntaxTree/Precondition.h"

namespace SyntaxTree {

std::vector<std::vector<Predicate>> PredicateParser::predicates(const TSQuery* query) const {
    const uint32_t count = ts_query_pattern_count(query);
    std::vector<std::vector<Predicate>> result(count);
    for (uint32_t pattern = 0; pattern < count; ++pattern) result[pattern] = parse(predicateSteps(pattern, query));
    return result;
}

std::vector<QueryPredicateStep> PredicateParser::predicateSteps(int64_t patternIndex, const TSQuery* query) const {
    uint32_t count = 0;
    const TSQueryPredicateStep* steps =
        ts_query_predicates_for_pattern(query, checkedUInt32(patternIndex, "pattern index out of range"), &count);
    std::vector<QueryPredicateStep> result;
    if (count == 0 || !steps) return result;
    result.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        switch (steps[i].type) {
        case TSQueryPredicateStepTypeDone: result.push_back(QueryPredicateStep::makeDone()); break;
        case TSQueryPredicateStepTypeCapture: {
            const char* name = ts_query_capture_name_for_id(query, steps[i].value_id, &length);
            if (!name) throw QueryPredicateError::valueNotFound;
            result.push_back(QueryPredicateStep::makeCapture(std::string(name, length)));
            break;
        }
        case TSQueryPredicateStepTypeString: {
            const char* value = ts_query_string_value_for_id(query, steps[i].value_id, &length);
            if (!value) throw QueryPredicateError::valueNotFound;
            result.push_back(QueryPredicateStep::makeString(std::string(value, length)));
            break;
        }
        default: throw QueryPredicateError::unrecognizedStepType;
        }
    }
    return result;
}

std::vector<Predicate> PredicateParser::parse(std::span<const QueryPredicateStep> steps) const {
    std::vector<Predicate> result;
    while (!steps.empty()) {
        auto [predicate, used] = parseNextPredicate(steps);
        result.push_back(std::move(predicate));
        steps = steps.subspan(used);
    }
    return result;
}

std::pair<Predicate, size_t> PredicateParser::parseNextPredicate(std::span<const QueryPredicateStep> steps) const {
    if (steps.empty() || steps.front().kind != QueryPredicateStep::string)
        throw PredicateParserError{PredicateParserError::stepNameExpected, {}};
    const auto done = std::find_if(steps.begin(), steps.end(),
                                   [](const QueryPredicateStep& step) { return step.kind == QueryPredicateStep::done; });
    if (done == steps.end()) throw PredicateParserError{PredicateParserError::doneExpected, {}};
    const size_t donePosition = size_t(done - steps.begin());
    return {buildPredicate(steps.front().text, steps.subspan(1, donePosition - 1)), donePosition + 1};
}

Predicate PredicateParser::buildPredicate(const std::string& name, std::span<const QueryPredicateStep> argSteps) const {
    std::vector<std::string> captures;
    std::vector<std::string> strings;
    for (const QueryPredicateStep& step : argSteps) {
        switch (step.kind) {
        case QueryPredicateStep::capture: captures.push_back(step.text); break;
        case QueryPredicateStep::string: strings.push_back(step.text); break;
        case QueryPredicateStep::done: throw PredicateParserError{PredicateParserError::argumentsContainDone, {}};
        }
    }
    if (name == "eq?") return Predicate(Predicate::Eq{strings, captures});
    if (name == "not-eq?") return Predicate(Predicate::NotEq{strings, captures});
    if (name == "match?" && !strings.empty()) return Predicate(Predicate::Match{PredicateRegex::compile(strings.front()), captures});
    if (name == "not-match?" && !strings.empty())
        return Predicate(Predicate::NotMatch{PredicateRegex::compile(strings.front()), captures});
    if (name == "any-of?" && !captures.empty())
        return Predicate(Predicate::AnyOf{std::set<std::string>(strings.begin(), strings.end()), captures.front()});
    if (name == "not-any-of?" && !captures.empty())
        return Predicate(Predicate::NotAnyOf{std::set<std::string>(strings.begin(), strings.end()), captures.front()});
    if (name == "is-not?" && strings.size() == 1) return Predicate(Predicate::IsNot{strings.front()});
    if (name == "set!" && strings.size() == 2 && captures.size() <= 1) {
        std::optional<std::string> capture;
        if (!captures.empty()) capture = captures.front();
        return Predicate(Predicate::Set{capture, strings[0], strings[1]});
    }
    return Predicate(Predicate::Generic{name, strings, captures});
}

} // namespace SyntaxTree
