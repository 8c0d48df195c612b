#pragma once
// One captured node of a query match, with its capture name and the #set! metadata naming it.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SyntaxTree/Node.h"

namespace SyntaxTree {

struct NamedRange;

using Metadata = std::map<std::string, std::string>;

struct QueryCapture {
    Node node;
    uint32_t index = 0;                     // the runtime's capture id
    std::vector<std::string> nameComponents;  // the name split at every "."; empty when unknown
    uint32_t patternIndex = 0;
    Metadata metadata;
    int depth = 0;

    // The components joined with "."; empty for a capture without components.
    std::string name() const;
    // "<capture 3 \"keyword\": <identifier range: {4, 5} childCount: 0>>"
    std::string debugDescription() const;

    // The capture's name and its node's range; absent without name components.
    std::optional<NamedRange> highlight() const;
    std::optional<NamedRange> locals() const;

    friend bool operator==(const QueryCapture& a, const QueryCapture& b);
    // Depth, then start of the node's UTF-16 range, then fewer name components, then pattern index.
    friend bool operator<(const QueryCapture& a, const QueryCapture& b);
    friend bool operator>(const QueryCapture& a, const QueryCapture& b) { return b < a; }
    friend bool operator<=(const QueryCapture& a, const QueryCapture& b) { return !(b < a); }
    friend bool operator>=(const QueryCapture& a, const QueryCapture& b) { return !(a < b); }
};

// Joins name components with ".".
std::string joinName(const std::vector<std::string>& components);

} // namespace SyntaxTree
