#include "Editor/FindCounter.h"

#include <QtConcurrent/QtConcurrentRun>

FindCounter::FindCounter(QObject* parent) : QObject(parent) {
    connect(&watcher_, &QFutureWatcher<FindMatcher::Result>::finished, this, &FindCounter::ran);
}

void FindCounter::start(Search search) {
    pending_ = true;
    if (running_) queued_ = std::move(search);
    else launch(std::move(search));
}

void FindCounter::cancel() {
    pending_ = false;
    queued_.reset();
}

FindMatcher::Result FindCounter::wait() {
    pending_ = false;
    // The search under way was asked for before the queued one: its result is of no use.
    if (queued_) return std::exchange(queued_, std::nullopt).value()();
    watcher_.waitForFinished();
    return watcher_.result();
}

void FindCounter::launch(Search search) {
    running_ = true;
    watcher_.setFuture(QtConcurrent::run(std::move(search)));
}

void FindCounter::ran() {
    running_ = false;
    if (queued_) {
        launch(std::exchange(queued_, std::nullopt).value());
        return;
    }
    if (!pending_) return;
    pending_ = false;
    emit finished(watcher_.result());
}
