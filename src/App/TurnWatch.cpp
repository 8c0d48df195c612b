#include "App/TurnWatch.h"

#include <QDateTime>

TurnWatch::TurnWatch(int thresholdMs, std::FILE* out, QObject* parent)
    : QObject(parent), threshold_(thresholdMs), out_(out) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &TurnWatch::fired);
    timer_.start();
    sinceLast_.start();
}

TurnWatch* TurnWatch::fromEnvironment(QObject* parent) {
    bool ok = false;
    const int threshold = qEnvironmentVariableIntValue(kVariable, &ok);
    return ok && threshold >= 0 ? new TurnWatch(threshold, stderr, parent) : nullptr;
}

void TurnWatch::fired() {
    const qint64 gap = sinceLast_.restart() - kIntervalMs;
    if (gap <= threshold_) return;
    longest_ = qMax(longest_, gap);
    if (!out_) return;
    std::fprintf(out_, "turn %lld ms ending %.3f\n", static_cast<long long>(gap),
                 double(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
    std::fflush(out_);
}
