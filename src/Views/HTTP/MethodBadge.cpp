#include "Views/HTTP/MethodBadge.h"

#include <QFontMetrics>
#include <QPainter>

#include "Views/HTTP/HTTPStyle.h"

MethodBadge::MethodBadge(HTTPMethod method, qreal pointSize, int minWidth, int verticalPadding, QWidget* parent)
    : QWidget(parent), method_(method), minWidth_(minWidth), verticalPadding_(verticalPadding) {
    setFont(HTTPStyle::font(pointSize, QFont::Bold, HTTPStyle::Design::monospaced));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor MethodBadge::fillColour(HTTPMethod method) {
    QColor c = HTTPMethods::color(method);
    c.setAlphaF(c.alphaF() * 0.85f);
    return c;
}

QSize MethodBadge::sizeHint() const {
    const QFontMetrics fm(font());
    return {std::max(minWidth_, fm.horizontalAdvance(text()) + 8), fm.height() + 2 * verticalPadding_};
}

void MethodBadge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    p.setPen(Qt::NoPen);
    p.setBrush(fillColour(method_));
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text());
}
