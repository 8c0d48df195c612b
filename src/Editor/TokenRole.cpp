#include "Editor/TokenRole.h"

namespace SyntaxPalette {

const QColor& base() {
    static const QColor colour = QColor::fromRgbF(1, 1, 1, 0.92f);
    return colour;
}

QColor color(TokenRole role) {
    switch (role) {
    case TokenRole::keyword: return QColor::fromRgbF(0.62f, 0.52f, 1.0f);
    case TokenRole::type: return QColor::fromRgbF(0.34f, 0.86f, 0.78f);
    case TokenRole::string: return QColor::fromRgbF(0.45f, 0.82f, 0.50f);
    case TokenRole::number: return QColor::fromRgbF(0.99f, 0.60f, 0.36f);
    case TokenRole::comment: return QColor::fromRgbF(0.48f, 0.48f, 0.48f);
    case TokenRole::function: return QColor::fromRgbF(0.36f, 0.74f, 0.99f);
    case TokenRole::attribute: return QColor::fromRgbF(0.95f, 0.55f, 0.78f);
    case TokenRole::punctuation: return QColor::fromRgbF(1, 1, 1, 0.6f);
    }
    return base();
}

} // namespace SyntaxPalette
