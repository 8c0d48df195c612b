#include "UI/PressableButton.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

PressableButton::PressableButton(QWidget* parent)
    : QAbstractButton(parent), pressable_(new PressableStyle(this)), ring_(new FocusRing(this)) {
    setCursor(Qt::PointingHandCursor);
}

PressableButton::PressableButton(const QString& symbol, const QString& text, QWidget* parent)
    : PressableButton(parent) {
    label_.symbol = symbol;
    label_.text = text;
    label_.font = font();
}

void PressableButton::setPadding(const QMarginsF& padding) {
    padding_ = padding;
    updateGeometry();
    update();
}

void PressableButton::setBackground(const QBrush& fill, qreal cornerRadius) {
    background_ = fill;
    cornerRadius_ = cornerRadius;
    update();
}

QSize PressableButton::sizeHint() const {
    const QSizeF s = label_.size();
    return {int(std::ceil(s.width() + padding_.left() + padding_.right())),
            int(std::ceil(s.height() + padding_.top() + padding_.bottom()))};
}

void PressableButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled()) p.setOpacity(0.45);
    const QRectF r = rect();
    pressable_->apply(p, r);
    if (background_.style() != Qt::NoBrush) {
        p.setPen(Qt::NoPen);
        p.setBrush(background_);
        p.drawRoundedRect(r, cornerRadius_, cornerRadius_);
    }
    label_.paint(p, r.marginsRemoved(padding_));
    ring_->paint(p, r, std::max<qreal>(cornerRadius_, 6));
}

void PressableButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
