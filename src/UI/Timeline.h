#pragma once
// Redraws one widget from a frame clock of at most 30 frames a second, only while the widget can
// be seen: shown, in a window that is exposed, not minimized and not wholly covered by another. The animated theme pieces are
// pure functions of the wall-clock time, so all windows show them in the same phase.
// Every timeline of the program ticks from one shared clock, so the animations of a window land
// in the same repaint, and the clock wakes only for frames some timeline ticks on. Typing comes first: no frame is drawn within kInputQuietMs of a key press,
// so a keystroke never waits behind a frame of decoration.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <functional>

class QWindow;

class Timeline : public QObject {
    Q_OBJECT
public:
    static constexpr int kFrameIntervalMs = 34;  // just over 1/30 s, so never more than 30 frames
    static constexpr int kInputQuietMs = 250;

    // Attaches to widget (and is owned by it). It ticks on every frameDivisor-th frame of the
    // shared clock; unless repaintsWidget is false it repaints the whole widget at each tick.
    explicit Timeline(QWidget* widget, int frameDivisor = 1, bool repaintsWidget = true);
    ~Timeline() override;

    bool isRunning() const { return running_; }
    // Stops the timeline while its owner knows the widget cannot be told from a still picture
    // (dimmed under an overlay), whatever the window shows.
    void setHeld(bool held);
    int frameDivisor() const { return divisor_; }
    void setFrameDivisor(int frameDivisor);

    // Seconds since 1 January 2001, 00:00:00 UTC.
    static double now();
    // Replaces the wall clock behind now() (an empty one restores it): lets a caller step the
    // animations by exact frames, however late the frames are actually run.
    static void setClock(std::function<double()> clock);
    // The moment of the shared clock's latest frame (now, before the first): what every piece drawn
    // until the next frame shows, so that a part repainted in between matches the rest.
    static double frameTime();
    // The shared clock's latest frame; frames are kFrameIntervalMs apart.
    static quint64 clockFrame();
    // Runs one frame of the shared clock at once (what its timer does every kFrameIntervalMs).
    static void advanceClock();
    // Whether the shared clock's timer runs (it stops when no timeline runs).
    static bool clockIsActive();

signals:
    // Each frame, just before the widget is asked to repaint.
    void tick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class FrameClock;
    void sync();
    void frame(quint64 index);
    bool canBeSeen() const;

    QPointer<QWidget> widget_;
    QPointer<QWidget> topLevel_;
    QPointer<QWindow> window_;
    int divisor_;
    bool repaintsWidget_;
    bool running_ = false;
    bool held_ = false;
};
