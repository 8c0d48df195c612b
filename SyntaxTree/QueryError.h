#pragma once
// Why the runtime refused a query source, with the byte offset where it stopped.
#include <cstdint>

namespace SyntaxTree {

struct QueryError {
    enum Kind { none, syntax, nodeType, field, capture, structure, unknown };
    Kind kind;
    uint32_t offset = 0;  // byte offset into the source; 0 for none
};

} // namespace SyntaxTree
