#include "UI/SymbolLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "UI/Icons.h"

qreal SymbolLabel::symbolSide() const {
    if (symbol.isEmpty()) return 0;
    const qreal points = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF();
    return Icons::sizeForPointSize(points);
}

QSizeF SymbolLabel::size() const {
    const QFontMetricsF fm(font);
    const qreal textWidth = text.isEmpty() ? 0 : fm.horizontalAdvance(text);
    const qreal side = symbolSide();
    const qreal gap = (side > 0 && textWidth > 0) ? spacing : 0;
    const qreal height = std::max(side, text.isEmpty() ? 0 : fm.height());
    return {std::ceil(side + gap + textWidth), std::ceil(height)};
}

void SymbolLabel::paint(QPainter& painter, const QRectF& rect) const {
    const QSizeF s = size();
    qreal x = rect.center().x() - s.width() / 2;
    const qreal cy = rect.center().y();
    const qreal side = symbolSide();
    if (side > 0) {
        const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        QBrush brush = symbolBrush;
        if (brush.gradient()) {
            // Gradients are given over a unit square; spread them over the symbol.
            QTransform t;
            t.scale(side, side);
            brush.setTransform(t);
        }
        painter.drawImage(QPointF(x, cy - side / 2), Icons::image(symbol, int(side), brush, dpr));
        x += side + (text.isEmpty() ? 0 : spacing);
    }
    if (!text.isEmpty()) {
        const QFontMetricsF fm(font);
        painter.save();
        painter.setFont(font);
        painter.setPen(QPen(textBrush, 1));
        painter.drawText(QPointF(x, cy - fm.height() / 2 + fm.ascent()), text);
        painter.restore();
    }
}
