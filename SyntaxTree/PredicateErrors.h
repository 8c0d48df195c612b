#pragma once
// What reading and parsing a query's predicates can throw. No message texts.
#include <string>
#include <vector>

#include <unicode/utypes.h>

namespace SyntaxTree {

// The pattern's steps cannot be read from the runtime.
enum class QueryPredicateError { valueNotFound, unrecognizedStepType, queryInvalid, textContentUnavailable };

// The steps do not spell predicates.
struct PredicateParserError {
    enum Kind { stepNameExpected, doneExpected, argumentsContainDone, unsupportedIsNotArguments };
    Kind kind;
    std::vector<std::string> arguments;  // for unsupportedIsNotArguments only
    friend bool operator==(const PredicateParserError&, const PredicateParserError&) = default;
};

// The regular-expression engine refused a #match? pattern.
struct RegularExpressionError {
    UErrorCode code;
    int32_t offset;  // UTF-16 offset in the pattern where the engine stopped, −1 when unknown
};

} // namespace SyntaxTree
