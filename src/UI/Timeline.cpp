#include "UI/Timeline.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <limits>
#include <vector>

#include "UI/WindowCoverage.h"

namespace {
constexpr qint64 kReferenceDateMs = 978307200000LL;  // 2001-01-01T00:00:00Z in Unix ms

std::function<double()>& clockOverride() {
    static std::function<double()> clock;
    return clock;
}
} // namespace

// The one timer behind every running timeline. It wakes only for the frames some running timeline
// ticks on, so slower timelines land in the same wake as faster ones and no wake is for nothing.
// It also watches the keyboard, so frames hold while the user types.
class FrameClock : public QObject {
public:
    static FrameClock& shared() {
        static auto* clock = new FrameClock;  // lives as long as the program; never destroyed after the app
        return *clock;
    }

    void add(Timeline* t) {
        if (std::find(running_.begin(), running_.end(), t) == running_.end()) running_.push_back(t);
        schedule();  // its next frame may come before the one the clock waits for
    }
    void remove(Timeline* t) {
        running_.erase(std::remove(running_.begin(), running_.end(), t), running_.end());
        if (running_.empty()) timer_.stop();
    }
    bool isActive() const { return timer_.isActive(); }
    quint64 frame() const { return frame_; }
    double frameTime() const { return frameTime_ > 0 ? frameTime_ : Timeline::now(); }

    void advance() {
        frame_ = nextFrame();
        deliver();
        if (!running_.empty()) schedule();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod) lastKey_.start();
        return QObject::eventFilter(watched, event);
    }

private:
    FrameClock() {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { advance(); });
        if (QCoreApplication* app = QCoreApplication::instance()) {
            app->installEventFilter(this);
            // The clock outlives no application: stop with it.
            connect(app, &QObject::destroyed, this, [this] { timer_.stop(); });
        }
    }

    // The first frame after the latest that a running timeline ticks on.
    quint64 nextFrame() const {
        if (running_.empty()) return frame_ + 1;
        quint64 next = std::numeric_limits<quint64>::max();
        for (const Timeline* t : running_) {
            const auto d = quint64(t->divisor_);
            next = std::min(next, (frame_ / d + 1) * d);
        }
        return next;
    }

    void schedule() { timer_.start(int(nextFrame() - frame_) * Timeline::kFrameIntervalMs); }

    void deliver() {
        if (lastKey_.isValid() && lastKey_.elapsed() < Timeline::kInputQuietMs) return;
        frameTime_ = Timeline::now();
        // A tick may stop or delete timelines: walk a copy and check each is still running.
        const std::vector<Timeline*> now = running_;
        for (Timeline* t : now)
            if (std::find(running_.begin(), running_.end(), t) != running_.end()) t->frame(frame_);
    }

    QTimer timer_;
    std::vector<Timeline*> running_;
    quint64 frame_ = 0;
    double frameTime_ = 0;
    QElapsedTimer lastKey_;
};

Timeline::Timeline(QWidget* widget, int frameDivisor, bool repaintsWidget)
    : QObject(widget), widget_(widget), divisor_(std::max(1, frameDivisor)), repaintsWidget_(repaintsWidget) {
    widget->installEventFilter(this);
    connect(&WindowCoverage::shared(), &WindowCoverage::coverageChanged, this, [this](QWindow* w) {
        if (w == window_) sync();
    });
    sync();
}

Timeline::~Timeline() { FrameClock::shared().remove(this); }

double Timeline::now() {
    if (const auto& clock = clockOverride()) return clock();
    return double(QDateTime::currentMSecsSinceEpoch() - kReferenceDateMs) / 1000.0;
}

void Timeline::setClock(std::function<double()> clock) { clockOverride() = std::move(clock); }

void Timeline::advanceClock() { FrameClock::shared().advance(); }

quint64 Timeline::clockFrame() { return FrameClock::shared().frame(); }

double Timeline::frameTime() { return FrameClock::shared().frameTime(); }

bool Timeline::clockIsActive() { return FrameClock::shared().isActive(); }

void Timeline::setFrameDivisor(int frameDivisor) {
    frameDivisor = std::max(1, frameDivisor);
    if (frameDivisor == divisor_) return;
    divisor_ = frameDivisor;
    if (running_) FrameClock::shared().add(this);  // its next frame may come sooner
}

void Timeline::setHeld(bool held) {
    if (held == held_) return;
    held_ = held;
    sync();
}

bool Timeline::canBeSeen() const {
    if (held_ || !widget_ || !widget_->isVisible()) return false;
    const QWidget* top = widget_->window();
    if (top->windowState() & Qt::WindowMinimized) return false;
    const QWindow* handle = top->windowHandle();
    // Exposed yet wholly behind another window: nothing of it shows.
    return handle && handle->isExposed() && !WindowCoverage::shared().isCovered(handle);
}

void Timeline::sync() {
    // Follow the window the widget is in now: a widget may move to another window.
    QWidget* top = widget_ ? widget_->window() : nullptr;
    if (top != topLevel_) {
        if (topLevel_ && topLevel_ != widget_) topLevel_->removeEventFilter(this);
        topLevel_ = top;
        if (top && top != widget_) top->installEventFilter(this);
    }
    QWindow* handle = top ? top->windowHandle() : nullptr;
    if (handle != window_) {
        if (window_) window_->removeEventFilter(this);
        window_ = handle;
        if (handle) handle->installEventFilter(this);
    }
    if (handle && handle->handle()) WindowCoverage::shared().watch(handle);
    const bool run = canBeSeen();
    if (run == running_) return;
    running_ = run;
    if (run) FrameClock::shared().add(this);
    else FrameClock::shared().remove(this);
}

void Timeline::frame(quint64 index) {
    if (!canBeSeen()) {
        sync();
        return;
    }
    if (index % quint64(divisor_) != 0) return;
    emit tick();
    if (repaintsWidget_ && widget_) widget_->update();
}

bool Timeline::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
    case QEvent::Expose:
    case QEvent::ParentChange:
        // After the event has done its work: a window is exposed only once it is mapped.
        QMetaObject::invokeMethod(this, &Timeline::sync, Qt::QueuedConnection);
        if (event->type() != QEvent::Expose) sync();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
