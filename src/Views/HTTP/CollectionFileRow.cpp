#include "Views/HTTP/CollectionFileRow.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <algorithm>

#include "UI/Icons.h"
#include "Views/HTTP/HTTPStyle.h"

CollectionFileRow::CollectionFileRow(const QString& fileName, int requestCount, bool expanded, QWidget* parent)
    : QWidget(parent), fileName_(fileName), count_(requestCount), expanded_(expanded), menu_(new QMenu(this)) {}

QSize CollectionFileRow::sizeHint() const {
    return {200, std::max(24, QFontMetrics(HTTPStyle::font(12.5)).height() + 4)};
}

QSize CollectionFileRow::minimumSizeHint() const { return {0, sizeHint().height()}; }

void CollectionFileRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal dpr = devicePixelRatioF();
    const int cy = height() / 2;
    qreal x = 0;
    const int chevron = Icons::sizeForPointSize(9);
    p.drawPixmap(QPointF(x, cy - chevron / 2.0),
                 Icons::pixmap(expanded_ ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"), chevron,
                               HTTPStyle::white(0.6), dpr));
    x += chevron + 6;
    const int doc = Icons::sizeForPointSize(11);
    p.drawPixmap(QPointF(x, cy - doc / 2.0), Icons::pixmap(QStringLiteral("doc.text"), doc, HTTPStyle::white(0.6), dpr));
    x += doc + 6;

    const QFont countFont = HTTPStyle::font(10, QFont::Normal, HTTPStyle::Design::rounded);
    const QString count = countText();
    const int countWidth = QFontMetrics(countFont).horizontalAdvance(count);
    p.setFont(countFont);
    p.setPen(HTTPStyle::white(0.4));
    p.drawText(QRectF(width() - countWidth, 0, countWidth, height()), Qt::AlignVCenter | Qt::AlignRight, count);

    const QFont nameFont = HTTPStyle::font(12.5);
    p.setFont(nameFont);
    p.setPen(HTTPStyle::white(0.85));
    const qreal room = width() - countWidth - 6 - x;
    p.drawText(QRectF(x, 0, room, height()), Qt::AlignVCenter | Qt::AlignLeft,
               QFontMetrics(nameFont).elidedText(fileName_, Qt::ElideRight, int(room)));
}

void CollectionFileRow::contextMenuEvent(QContextMenuEvent* event) { menu_->popup(event->globalPos()); }
