#include "Views/HTTP/RequestRow.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>

#include "UI/Brand.h"
#include "UI/FocusRing.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/MethodBadge.h"

RequestRow::RequestRow(const HTTPRequest& request, bool active, QWidget* parent)
    : QWidget(parent), id_(request.id), active_(active), menu_(new QMenu(this)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);  // by Tab, not by a click; Space or Return chooses it
    ring_ = new FocusRing(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 3, 8, 3);
    row->setSpacing(8);
    row->addWidget(new MethodBadge(request.method, 9, 38, 2, this));
    name_ = HTTPStyle::label(request.name, HTTPStyle::font(12.5), HTTPStyle::white(active ? 1.0 : 0.78), this);
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    name_->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(name_, 1);
}

QString RequestRow::name() const { return name_->text(); }

void RequestRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    ring_->paint(p, QRectF(rect()), 6);
    if (!active_) return;
    p.setRenderHint(QPainter::Antialiasing);
    QColor c = Brand::accent();
    c.setAlphaF(0.18f);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(rect()), 6, 6);
}

void RequestRow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void RequestRow::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void RequestRow::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) emit clicked();
}

void RequestRow::contextMenuEvent(QContextMenuEvent* event) { menu_->popup(event->globalPos()); }
