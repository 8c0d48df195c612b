#include "SyntaxTree/QueryCapture.h"

#include "SyntaxTree/NamedRange.h"

namespace SyntaxTree {

std::string joinName(const std::vector<std::string>& components) {
    std::string name;
    for (size_t i = 0; i < components.size(); ++i) {
        if (i) name += '.';
        name += components[i];
    }
    return name;
}

std::string QueryCapture::name() const { return joinName(nameComponents); }

std::string QueryCapture::debugDescription() const {
    return "<capture " + std::to_string(index) + " \"" + name() + "\": " + node.debugDescription() + ">";
}

std::optional<NamedRange> QueryCapture::highlight() const {
    if (nameComponents.empty()) return std::nullopt;
    return NamedRange(nameComponents, node.tsRange());
}

std::optional<NamedRange> QueryCapture::locals() const { return highlight(); }

bool operator==(const QueryCapture& a, const QueryCapture& b) {
    return a.node == b.node && a.index == b.index && a.nameComponents == b.nameComponents &&
           a.patternIndex == b.patternIndex && a.metadata == b.metadata && a.depth == b.depth;
}

bool operator<(const QueryCapture& a, const QueryCapture& b) {
    if (a.depth != b.depth) return a.depth < b.depth;
    const int64_t aStart = a.node.range().location, bStart = b.node.range().location;
    if (aStart != bStart) return aStart < bStart;
    if (a.nameComponents.size() != b.nameComponents.size()) return a.nameComponents.size() < b.nameComponents.size();
    return a.patternIndex < b.patternIndex;
}

} // namespace SyntaxTree
