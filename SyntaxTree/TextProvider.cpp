#include "SyntaxTree/TextProvider.h"

#include <memory>

namespace SyntaxTree {

namespace {

std::optional<std::u16string> slice(std::u16string_view text, Utf16Range range) {
    if (range.location < 0 || range.length < 0 || range.location > int64_t(text.size()) ||
        range.length > int64_t(text.size()) - range.location)
        return std::nullopt;
    return std::u16string(text.substr(size_t(range.location), size_t(range.length)));
}

} // namespace

TextProvider predicateTextProvider(std::u16string text) {
    auto owned = std::make_shared<const std::u16string>(std::move(text));
    return [owned](Utf16Range range, PointRange) { return slice(*owned, range); };
}

TextProvider cursorTextProvider(std::u16string text) { return predicateTextProvider(std::move(text)); }

TextProvider predicateTextSnapshotProvider(std::u16string text) { return predicateTextProvider(std::move(text)); }

TextProvider borrowedTextProvider(std::u16string_view text) {
    return [text](Utf16Range range, PointRange) { return slice(text, range); };
}

} // namespace SyntaxTree
