#include "SyntaxTree/Unicode.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace SyntaxTree::Unicode {

std::u16string toUtf16(std::string_view utf8) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size())));
    return std::u16string(text.getBuffer(), size_t(text.length()));
}

std::string toUtf8(std::u16string_view utf16) {
    std::string out;
    icu::UnicodeString(false, utf16.data(), int32_t(utf16.size())).toUTF8String(out);
    return out;
}

std::u16string canonicalKey(std::u16string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    // Read-only alias: no copy unless the text actually needs normalising.
    const icu::UnicodeString source(false, text.data(), int32_t(text.size()));
    if (U_FAILURE(status) || nfd->isNormalized(source, status)) return std::u16string(text);
    status = U_ZERO_ERROR;
    const icu::UnicodeString normalized = nfd->normalize(source, status);
    if (U_FAILURE(status)) return std::u16string(text);
    return std::u16string(normalized.getBuffer(), size_t(normalized.length()));
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace SyntaxTree::Unicode
