#pragma once
// A small live indicator: a solid dot in a soft halo that pulses with the wall-clock time. It takes
// three times its diameter in layout; the halo's blur spills past that square.
#include <QColor>
#include <QWidget>

class ShadowEffect;
class Timeline;

class StatusDot : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal kHaloBlurRadius = 6;
    // Frames of the shared clock per pulse frame: the halo's opacity moves by at most 0.02 in 1/15 s.
    static constexpr int kFramesPerTick = 2;

    StatusDot(const QColor& color, qreal size, QWidget* parent = nullptr);

    // Pulse at t seconds since the reference date: 0.4 to 1.0, one cycle every pi seconds.
    static double pulse(double t);
    // Opacity of the halo at that pulse.
    static double haloOpacity(double t) { return pulse(t) * 0.5; }

    QColor color() const { return color_; }
    qreal dotSize() const { return size_; }
    QSize sizeHint() const override;
    // A resting dot keeps its halo as it is, for a caller that dims it under something else.
    void setResting(bool resting);
    const Timeline& timeline() const { return *timeline_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateHalo();

    QColor color_;
    qreal size_;
    ShadowEffect* halo_;
    Timeline* timeline_;
};
