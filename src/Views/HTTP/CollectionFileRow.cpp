#include "Views/HTTP/CollectionFileRow.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <algorithm>

#include "UI/FocusRing.h"
#include "UI/Icons.h"
#include "Views/HTTP/HTTPStyle.h"

CollectionFileRow::CollectionFileRow(const QString& fileName, int requestCount, bool expanded, QWidget* parent)
    : QWidget(parent), fileName_(fileName), count_(requestCount), expanded_(expanded), menu_(new QMenu(this)), ring_(new FocusRing(this)) {
    setFocusPolicy(Qt::TabFocus);  // by Tab, as the request rows are, not by a click
}

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
    ring_->paint(p, QRectF(rect()), 6);
}

void CollectionFileRow::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
    if (menuKey || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        popupFromKeyboard();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CollectionFileRow::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) return popupFromKeyboard();
    menu_->popup(event->globalPos());
}

// Under the row rather than at the pointer, which may be anywhere. The platform may follow the
// menu key with its own context-menu event: the menu already open stays where it is.
void CollectionFileRow::popupFromKeyboard() {
    if (menu_->isVisible()) return;
    menu_->popup(mapToGlobal(QPoint(0, height())));
}
