#pragma once
// UTF-8 / UTF-16 conversions and canonical-equivalence keys shared by the layer's text handling.
#include <string>
#include <string_view>

namespace SyntaxTree::Unicode {

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// The canonical decomposition (NFD) of a text: two texts are canonically equivalent exactly when
// their keys are equal.
std::u16string canonicalKey(std::u16string_view text);

bool isHighSurrogate(char16_t unit);
bool isLowSurrogate(char16_t unit);

} // namespace SyntaxTree::Unicode
