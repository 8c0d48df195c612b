#include "Views/HTTP/TabStrip.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "UI/Brand.h"
#include "UI/FocusRing.h"
#include "Views/HTTP/HTTPStyle.h"

TabStrip::TabStrip(const QStringList& titles, qreal otherOpacity, QMargins padding, QWidget* parent)
    : QWidget(parent), titles_(titles), otherOpacity_(otherOpacity), padding_(padding), ring_(new FocusRing(this)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab; a click chooses a tab and leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
}

QFont TabStrip::fontFor(int index) const {
    return HTTPStyle::font(11.5, index == current_ ? QFont::DemiBold : QFont::Normal, HTTPStyle::Design::rounded);
}

QRect TabStrip::tabRect(int index) const {
    int x = 0;
    // Widths are measured in the semibold face so the row does not shift as the choice moves.
    const QFontMetrics fm(HTTPStyle::font(11.5, QFont::DemiBold, HTTPStyle::Design::rounded));
    for (int i = 0; i < titles_.size(); ++i) {
        const int w = fm.horizontalAdvance(titles_[i]) + padding_.left() + padding_.right();
        if (i == index) return {x, 0, w, fm.height() + padding_.top() + padding_.bottom()};
        x += w;
    }
    return {};
}

QSize TabStrip::sizeHint() const {
    const QRect last = tabRect(int(titles_.size()) - 1);
    return {last.right() + 1, last.height()};
}

void TabStrip::setCurrent(int index) {
    if (index == current_ || index < 0 || index >= titles_.size()) return;
    current_ = index;
    update();
    emit currentChanged(index);
}

void TabStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < titles_.size(); ++i) {
        const QRect r = tabRect(i);
        p.setFont(fontFor(i));
        p.setPen(HTTPStyle::white(i == current_ ? 0.95 : otherOpacity_));
        p.drawText(r, Qt::AlignCenter, titles_[i]);
        if (i != current_) continue;
        const QRectF bar(r.left(), r.bottom() - 1, r.width(), 2);
        p.setPen(Qt::NoPen);
        p.setBrush(Brand::gradient(bar));
        p.drawRoundedRect(bar, 1, 1);
    }
    ring_->paint(p, tabRect(current_), 6);
}

void TabStrip::mouseReleaseEvent(QMouseEvent* event) {
    for (int i = 0; i < titles_.size(); ++i)
        if (tabRect(i).contains(event->position().toPoint())) return setCurrent(i);
}

void TabStrip::keyPressEvent(QKeyEvent* event) {
    const int last = int(titles_.size()) - 1;
    switch (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier ? event->key() : 0) {
    case Qt::Key_Left: return setCurrent(std::max(0, current_ - 1));
    case Qt::Key_Right: return setCurrent(std::min(last, current_ + 1));
    case Qt::Key_Home: return setCurrent(0);
    case Qt::Key_End: return setCurrent(last);
    default: QWidget::keyPressEvent(event);
    }
}
