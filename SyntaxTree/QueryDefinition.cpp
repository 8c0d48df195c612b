#include "SyntaxTree/QueryDefinition.h"

#include "SyntaxTree/Hashing.h"

namespace SyntaxTree {

std::string QueryDefinition::name() const {
    switch (kind_) {
    case injections: return "injections";
    case highlights: return "highlights";
    case locals: return "locals";
    case custom: return customName_;
    }
    return customName_;
}

} // namespace SyntaxTree

std::size_t std::hash<SyntaxTree::QueryDefinition>::operator()(const SyntaxTree::QueryDefinition& definition) const noexcept {
    std::size_t seed = 0;
    SyntaxTree::hashCombine(seed, int(definition.kind()));
    if (definition.kind() == SyntaxTree::QueryDefinition::custom) SyntaxTree::hashCombine(seed, definition.name());
    return seed;
}
