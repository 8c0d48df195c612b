#pragma once
// Redraws one widget at most 30 times a second while it is visible. The animated theme pieces
// are pure functions of the wall-clock time, so all windows show them in the same phase.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class Timeline : public QObject {
    Q_OBJECT
public:
    static constexpr int kFrameIntervalMs = 34;  // just over 1/30 s, so never more than 30 frames

    // Attaches to widget (and is owned by it); runs only while the widget is shown.
    explicit Timeline(QWidget* widget);

    bool isRunning() const { return timer_.isActive(); }

    // Seconds since 1 January 2001, 00:00:00 UTC.
    static double now();

signals:
    // Each frame, just before the widget is asked to repaint.
    void tick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> widget_;
    QTimer timer_;
};
