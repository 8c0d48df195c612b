#include "UI/FocusSlider.h"

#include <QPainter>

#include "UI/FocusRing.h"

FocusSlider::FocusSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent), ring_(new FocusRing(this)) {}

void FocusSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    QPainter painter(this);
    ring_->paint(painter, rect(), 6);
}
