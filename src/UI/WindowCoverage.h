#pragma once
// Which top-level windows another window covers completely, as the X server reports it (a
// window's visibility). A covered window is mapped and exposed, yet nothing of it shows, so its
// animations may rest. Elsewhere (another platform, a compositing window manager) no window is
// ever reported covered. One per application, on the main thread.
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QSet>

class QWindow;

class WindowCoverage : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static WindowCoverage& shared();

    // Asks the display to report window's visibility (once per native window).
    void watch(QWindow* window);
    bool isCovered(const QWindow* window) const;
    // What a visibility report does: tests and the event filter call it.
    void setCovered(QWindow* window, bool covered);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void coverageChanged(QWindow* window);

private:
    WindowCoverage();

    QSet<const QWindow*> covered_;
    QSet<quintptr> watched_;  // native window ids asked for reports
};
