#include "UI/AuroraBackground.h"

#include <QPainter>

#include "UI/Timeline.h"

AuroraBackground::AuroraBackground(double intensity, QWidget* parent)
    : QWidget(parent), intensity_(qBound(0.0, intensity, 1.0)), timeline_(new Timeline(this)) {
    // It never takes the pointer: clicks go to whatever sits on top of or beside it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void AuroraBackground::setIntensity(double intensity) {
    intensity_ = qBound(0.0, intensity, 1.0);
    update();
}

void AuroraBackground::paintEvent(QPaintEvent*) {
    QPainter p(this);
    renderer_.render(p, rect(), Timeline::now(), intensity_);
}
