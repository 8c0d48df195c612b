#pragma once
// The eight highlight categories every highlighter produces, and the editor's colours for them.
#include <QColor>

enum class TokenRole { keyword, type, string, number, comment, function, attribute, punctuation };

namespace SyntaxPalette {
const QColor& base();
QColor color(TokenRole role);
}
