#include "UI/Spinner.h"

#include <QPainter>

Spinner::Spinner(int side, QWidget* parent, QColor ink) : QWidget(parent), ink_(ink) {
    setFixedSize(side, side);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    timer_.setInterval(33);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 12) % 360;
        update();
    });
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink_, width() > 10 ? 1.6 : 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(rect()).adjusted(1, 1, -1, -1), -angle_ * 16, 270 * 16);
}
