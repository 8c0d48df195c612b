#include "SyntaxTree/Precondition.h"

#include <cstdio>
#include <cstdlib>

namespace SyntaxTree {

void preconditionFailure(const char* what) {
    std::fprintf(stderr, "SyntaxTree: precondition failed: %s\n", what);
    std::abort();
}

} // namespace SyntaxTree
