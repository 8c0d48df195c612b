#include "Views/HTTP/StatusPill.h"

#include <QFontMetrics>
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

QString StatusPill::codeText(int status) { return status == 0 ? QStringLiteral("ERR") : QString::number(status); }

QSize StatusPill::sizeHint() const {
    const int textWidth = std::min(QFontMetrics(textFont()).horizontalAdvance(text_), 320);
    const int w = kPadX + kDot + kSpacing + QFontMetrics(codeFont()).horizontalAdvance(code()) + kSpacing + textWidth + kPadX;
    return {w, QFontMetrics(codeFont()).height() + 2 * kPadY};
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
    const int codeWidth = QFontMetrics(codeFont()).horizontalAdvance(code());
    p.drawText(QRectF(x, 0, codeWidth, r.height()), Qt::AlignVCenter, code());
    x += codeWidth + kSpacing;
    p.setFont(textFont());
    p.setPen(HTTPStyle::white(0.7));
    const int room = int(r.width() - kPadX - x);
    p.drawText(QRectF(x, 0, room, r.height()), Qt::AlignVCenter,
               QFontMetrics(textFont()).elidedText(text_, Qt::ElideRight, room));
}
