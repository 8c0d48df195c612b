#include "UI/Timeline.h"

#include <QDateTime>
#include <QEvent>

namespace {
constexpr qint64 kReferenceDateMs = 978307200000LL;  // 2001-01-01T00:00:00Z in Unix ms
}

Timeline::Timeline(QWidget* widget) : QObject(widget), widget_(widget) {
    timer_.setInterval(kFrameIntervalMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        emit tick();
        if (widget_) widget_->update();
    });
    widget->installEventFilter(this);
    if (widget->isVisible()) timer_.start();
}

double Timeline::now() {
    return double(QDateTime::currentMSecsSinceEpoch() - kReferenceDateMs) / 1000.0;
}

bool Timeline::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_) {
        if (event->type() == QEvent::Show) timer_.start();
        else if (event->type() == QEvent::Hide) timer_.stop();
    }
    return QObject::eventFilter(watched, event);
}
