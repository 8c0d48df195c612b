#pragma once
// A new buffer of many megabytes filled at once would take a fault a page as it is written: the
// kernel maps all of it in one call instead, in about half the time.
#include <cstddef>

namespace MapAhead {

// Maps the whole pages of [data, data + bytes) for writing, from a few megabytes on; elsewhere, or
// on a kernel that refuses, the pages fault in as they are written.
void forWriting(void* data, size_t bytes);

} // namespace MapAhead
