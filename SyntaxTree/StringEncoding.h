#pragma once
// Text encodings a caller may name, and the runtime input encoding each maps to (if any).
#include <tree_sitter/api.h>

#include <optional>

namespace SyntaxTree {

enum class StringEncoding { utf8, utf16LittleEndian, utf16BigEndian, utf32, isoLatin1, ascii };

constexpr std::optional<TSInputEncoding> internalEncoding(StringEncoding encoding) {
    switch (encoding) {
    case StringEncoding::utf8: return TSInputEncodingUTF8;
    case StringEncoding::utf16LittleEndian: return TSInputEncodingUTF16LE;
    case StringEncoding::utf16BigEndian: return TSInputEncodingUTF16BE;
    default: return std::nullopt;
    }
}

} // namespace SyntaxTree
