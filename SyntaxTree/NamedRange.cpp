#include "SyntaxTree/NamedRange.h"

#include "SyntaxTree/Hashing.h"
#include "SyntaxTree/QueryCapture.h"

namespace SyntaxTree {

namespace {

std::vector<std::string> splitName(std::string_view name) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t dot = name.find('.', start);
        const size_t end = dot == std::string_view::npos ? name.size() : dot;
        if (end > start) parts.emplace_back(name.substr(start, end - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts;
}

} // namespace

NamedRange::NamedRange(std::vector<std::string> nameComponents, TSRange tsRange)
    : nameComponents(std::move(nameComponents)), tsRange(tsRange) {}

NamedRange::NamedRange(std::string_view name, TSRange tsRange) : NamedRange(splitName(name), tsRange) {}

NamedRange::NamedRange(std::string_view name, Utf16Range range, PointRange pointRange)
    : NamedRange(splitName(name), TSRange(pointRange, byteRange(range))) {}

std::string NamedRange::name() const { return joinName(nameComponents); }

Utf16Range NamedRange::range() const { return utf16Range(tsRange.bytes); }

std::string NamedRange::debugDescription() const {
    return "<\"" + name() + "\": " + tsRange.debugDescription() + ">";
}

bool operator<(const NamedRange& a, const NamedRange& b) {
    if (a.tsRange == b.tsRange) return a.nameComponents.size() < b.nameComponents.size();
    return a.tsRange < b.tsRange;
}

} // namespace SyntaxTree

std::size_t std::hash<SyntaxTree::NamedRange>::operator()(const SyntaxTree::NamedRange& range) const noexcept {
    std::size_t seed = 0;
    SyntaxTree::hashCombine(seed, range.nameComponents.size());
    for (const std::string& component : range.nameComponents) SyntaxTree::hashCombine(seed, component);
    SyntaxTree::hashCombine(seed, std::hash<SyntaxTree::TSRange>{}(range.tsRange));
    return seed;
}
