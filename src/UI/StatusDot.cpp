#include "UI/StatusDot.h"

#include <QPainter>
#include <cmath>

#include "UI/ShadowEffect.h"
#include "UI/Timeline.h"

StatusDot::StatusDot(const QColor& color, qreal size, QWidget* parent)
    : QWidget(parent), color_(color), size_(std::max<qreal>(0, size)),
      halo_(new ShadowEffect(size_ * 1.5, this)), timeline_(new Timeline(this, kFramesPerTick)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The halo is the blurred circle of the whole 3x square, drawn like a shadow so it can spill.
    setGraphicsEffect(halo_);
    // The dot itself never changes: each pulse frame only fades the halo over the picture made once.
    halo_->setSourceState([] { return QByteArray(); });
    connect(timeline_, &Timeline::tick, this, &StatusDot::updateHalo);
    updateHalo();
}

double StatusDot::pulse(double t) { return (std::sin(2 * t) * 0.5 + 0.5) * 0.6 + 0.4; }

void StatusDot::setResting(bool resting) { timeline_->setHeld(resting); }

QSize StatusDot::sizeHint() const {
    const int side = int(std::ceil(size_ * 3));
    return {side, side};
}

void StatusDot::updateHalo() {
    halo_->setShadows({{color_, kHaloBlurRadius, QPointF(0, 0), haloOpacity(Timeline::now())}});
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color_);
    const QPointF c(width() / 2.0, height() / 2.0);
    p.drawEllipse(c, size_ / 2, size_ / 2);
}
