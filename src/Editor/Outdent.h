#pragma once
// Shift+Tab: every line the selection touches (the caret's line when nothing is selected) loses
// one level of indentation, a leading tab or up to four leading spaces. Lines without any are left
// alone.
#include <QString>
#include <QStringView>
#include <optional>

#include "Editor/TextRange.h"

namespace Outdent {

inline constexpr int kSpacesPerLevel = 4;

struct Change {
    TextRange range;       // from the first touched line's start to the last one's content end
    QString replacement;   // those lines, each one level shallower
    TextRange selection;   // the selection afterwards, on the same characters
};

// The change that outdents, or nothing when no touched line is indented.
std::optional<Change> of(QStringView text, TextRange selection);

} // namespace Outdent
