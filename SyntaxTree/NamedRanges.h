#pragma once
// Named ranges from query results: highlights (sorted), locals (in match order) and injections.
#include <algorithm>
#include <vector>

#include "SyntaxTree/MatchSource.h"
#include "SyntaxTree/NamedRange.h"

namespace SyntaxTree {

// Every match's captures, in match order and each match's capture order.
template <MatchSource S>
std::vector<QueryCapture> collectCaptures(S& source) {
    std::vector<QueryCapture> captures;
    while (std::optional<QueryMatch> match = source.next())
        for (QueryCapture& capture : match->captures) captures.push_back(std::move(capture));
    return captures;
}

inline std::vector<NamedRange> namedRanges(const std::vector<QueryCapture>& captures) {
    std::vector<NamedRange> ranges;
    for (const QueryCapture& capture : captures)
        if (std::optional<NamedRange> range = capture.highlight()) ranges.push_back(std::move(*range));
    return ranges;
}

// Captures ordered by depth, start, component count and pattern (stable), as named ranges.
template <MatchSource S>
std::vector<NamedRange> highlights(S& source) {
    std::vector<QueryCapture> captures = collectCaptures(source);
    std::stable_sort(captures.begin(), captures.end());
    return namedRanges(captures);
}

template <MatchSource S>
std::vector<NamedRange> locals(S& source) {
    return namedRanges(collectCaptures(source));
}

template <MatchSource S>
std::vector<NamedRange> injections(S& source, const TextProvider& textProvider) {
    std::vector<NamedRange> ranges;
    while (std::optional<QueryMatch> match = source.next())
        if (std::optional<NamedRange> range = match->injection(textProvider)) ranges.push_back(std::move(*range));
    return ranges;
}

inline std::vector<NamedRange> highlights(const std::vector<QueryMatch>& matches) {
    MatchList list(matches);
    return highlights(list);
}
inline std::vector<NamedRange> locals(const std::vector<QueryMatch>& matches) {
    MatchList list(matches);
    return locals(list);
}
inline std::vector<NamedRange> injections(const std::vector<QueryMatch>& matches, const TextProvider& textProvider) {
    MatchList list(matches);
    return injections(list, textProvider);
}

} // namespace SyntaxTree
