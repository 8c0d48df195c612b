#pragma once
// The theme's fixed colours. Header-only so model code can read them without linking widgets.
#include <QColor>
#include <QLinearGradient>
#include <QList>
#include <QRectF>

namespace Brand {

inline const QList<QColor>& palette() {
    static const QList<QColor> colours{
        QColor::fromRgbF(0.42f, 0.31f, 0.95f), QColor::fromRgbF(0.20f, 0.65f, 0.95f),
        QColor::fromRgbF(0.95f, 0.35f, 0.65f), QColor::fromRgbF(0.34f, 0.86f, 0.78f),
        QColor::fromRgbF(0.99f, 0.55f, 0.36f)};
    return colours;
}

inline const QColor& accent() {
    static const QColor colour = QColor::fromRgbF(0.55f, 0.42f, 1.0f);
    return colour;
}

// The first three palette colours from the top-leading to the bottom-trailing corner of rect.
inline QLinearGradient gradient(const QRectF& rect) {
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setColorAt(0.0, palette()[0]);
    g.setColorAt(0.5, palette()[1]);
    g.setColorAt(1.0, palette()[2]);
    return g;
}

} // namespace Brand
