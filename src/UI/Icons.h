#pragma once
// The program's symbol icons, looked up by symbol name in the resource bundle's icons folder
// ("icons/<name>.svg") and tinted at load. An unknown or unreadable name gives a neutral
// placeholder, never a failure.
#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace Icons {

// Whether the bundle holds an icon of that name.
bool has(const QString& symbolName);
// The icon as a square image of pixelSize device pixels, its ink filled with brush (brush
// coordinates run over the square, so a gradient spans the icon).
QImage image(const QString& symbolName, int pixelSize, const QBrush& brush, qreal devicePixelRatio = 1);
QPixmap pixmap(const QString& symbolName, int size, const QColor& colour, qreal devicePixelRatio = 1);
QIcon icon(const QString& symbolName, const QColor& tint);
// Symbols are drawn from the text size they sit beside: the square side for a font of pointSize.
int sizeForPointSize(qreal pointSize);

} // namespace Icons
