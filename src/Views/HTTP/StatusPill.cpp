#include "Views/HTTP/StatusPill.h"

#include <QFontMetrics>
#include <cmath>
#include <QPainter>

#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/ResponseView.h"

namespace {
QFont codeFont() { return HTTPStyle::font(11, QFont::Bold, HTTPStyle::Design::monospaced); }
QFont textFont() { return HTTPStyle::font(11, QFont::Normal, HTTPStyle::Design::rounded); }
constexpr int kDot = 7, kSpacing = 6, kPadX = 10, kPadY = 4;
} // namespace

StatusPill::StatusPill(int status, const QString& text, QWidget* parent) : QWidget(parent), status_(status), text_(text) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setToolTip(text);
}

QRectF StatusPill::textRoom() const {
    const qreal x = kPadX + kDot + kSpacing + QFontMetricsF(codeFont()).horizontalAdvance(code()) + kSpacing;
    return QRectF(x, 0, std::max<qreal>(0, width() - kPadX - x), height());
}

QString StatusPill::shownText() const {
    return QFontMetricsF(textFont()).elidedText(text_, Qt::ElideRight, textRoom().width());
}

QString StatusPill::codeText(int status) { return status == 0 ? QStringLiteral("ERR") : QString::number(status); }

QSize StatusPill::sizeHint() const {
    // Whole pixels rounded up: a width rounded down would cut the last letter off the text.
    const qreal textWidth = std::min<qreal>(QFontMetricsF(textFont()).horizontalAdvance(text_), 320);
    const qreal w = kPadX + kDot + kSpacing + QFontMetricsF(codeFont()).horizontalAdvance(code()) + kSpacing + textWidth + kPadX;
    return {int(std::ceil(w)), QFontMetrics(codeFont()).height() + 2 * kPadY};
}

void StatusPill::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = ResponseView::statusColor(status_);
    QColor tint = colour;
    tint.setAlphaF(tint.alphaF() * 0.18f);
    const QRectF r = rect();
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    qreal x = kPadX;
    p.setBrush(colour);
    p.drawEllipse(QRectF(x, r.center().y() - kDot / 2.0, kDot, kDot));
    x += kDot + kSpacing;
    p.setFont(codeFont());
    p.setPen(Qt::white);
    const qreal codeWidth = QFontMetricsF(codeFont()).horizontalAdvance(code());
    p.drawText(QRectF(x, 0, codeWidth + 1, r.height()), Qt::AlignVCenter, code());
    p.setFont(textFont());
    p.setPen(HTTPStyle::white(0.7));
    const QRectF room = textRoom();
    p.drawText(room, Qt::AlignVCenter, shownText());
}
