#pragma once
// Where predicates get the text of a captured node: a function from the node's UTF-16 range and
// point range to its text, or none when the text cannot be given.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "SyntaxTree/Ranges.h"

namespace SyntaxTree {

using TextProvider = std::function<std::optional<std::u16string>(Utf16Range range, PointRange points)>;
using GroupMembershipProvider = std::function<bool(const std::string& group, Utf16Range range, PointRange points)>;

// Providers over a copy of the text taken now: the part covered by the UTF-16 range, or none when
// the range does not lie within the text. The point range is not looked at. The three are the
// same function; the snapshot provider may be called from any thread.
TextProvider predicateTextProvider(std::u16string text);
TextProvider cursorTextProvider(std::u16string text);
TextProvider predicateTextSnapshotProvider(std::u16string text);

// The same over a text the caller keeps unchanged while the provider is in use (no copy).
TextProvider borrowedTextProvider(std::u16string_view text);

} // namespace SyntaxTree
