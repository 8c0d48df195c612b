#pragma once
// A button or row label: an optional symbol followed by optional text, on one line.
#include <QBrush>
#include <QFont>
#include <QSizeF>
#include <QString>

class QPainter;

class SymbolLabel {
public:
    QString symbol;           // symbol name; empty for none
    QString text;
    QFont font;
    QBrush symbolBrush{Qt::white};  // a gradient is given over the unit square and spread over the symbol
    QBrush textBrush{Qt::white};
    qreal spacing = 6;

    QSizeF size() const;
    // Draws the label centred in rect.
    void paint(QPainter& painter, const QRectF& rect) const;

private:
    qreal symbolSide() const;
};
