#include "SyntaxTree/QueryPredicateStep.h"

#include "SyntaxTree/Hashing.h"

namespace SyntaxTree {

std::string QueryPredicateStep::description() const {
    switch (kind) {
    case done: return "<done>";
    case capture: return "<capture: " + text + ">";
    case string: return "<string: " + text + ">";
    }
    return {};
}

} // namespace SyntaxTree

std::size_t std::hash<SyntaxTree::QueryPredicateStep>::operator()(const SyntaxTree::QueryPredicateStep& step) const noexcept {
    std::size_t seed = 0;
    SyntaxTree::hashCombine(seed, int(step.kind));
    SyntaxTree::hashCombine(seed, step.text);
    return seed;
}
