#pragma once
// Reports, when asked for by the environment, every stretch in which the main thread could not
// answer: a fine timer on it notes each time it fired much later than due, and writes the delay to
// standard error with the time the stretch ended. Measuring scripts read that log to find the
// longest turn of the event loop a user action caused.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdio>

class TurnWatch : public QObject {
    Q_OBJECT
public:
    // BRIMEL_TURN_WATCH_MS names the longest delay that is not reported; absent, nothing is watched.
    static constexpr const char* kVariable = "BRIMEL_TURN_WATCH_MS";

    // Watches stretches longer than `thresholdMs`, writing a line per stretch to `out`.
    TurnWatch(int thresholdMs, std::FILE* out, QObject* parent = nullptr);

    // A watch for this process as the environment asks for it, or none.
    static TurnWatch* fromEnvironment(QObject* parent);

    // The longest stretch seen so far, in milliseconds.
    qint64 longestMs() const { return longest_; }

private:
    void fired();

    static constexpr int kIntervalMs = 5;
    QTimer timer_;
    QElapsedTimer sinceLast_;
    int threshold_;
    std::FILE* out_;
    qint64 longest_ = 0;
};
