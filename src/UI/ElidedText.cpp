#include "UI/ElidedText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

ElidedText::ElidedText(const QString& text, const QFont& font, const QColor& colour, Qt::TextElideMode mode, QWidget* parent)
    : QWidget(parent), text_(text), colour_(colour), mode_(mode) {
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

qreal ElidedText::fullWidth() const { return QFontMetricsF(font()).horizontalAdvance(text_); }

QString ElidedText::shownText() const { return QFontMetricsF(font()).elidedText(text_, mode_, width()); }

QSize ElidedText::sizeHint() const { return {int(std::ceil(fullWidth())), QFontMetrics(font()).height()}; }

QSize ElidedText::minimumSizeHint() const { return {0, QFontMetrics(font()).height()}; }

void ElidedText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(colour_);
    p.setFont(font());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}
