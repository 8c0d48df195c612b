#pragma once
// Runs the search of a whole text for every match on another thread, one search at a time: a search
// asked for while another runs waits, and a later one takes its place, so a burst of queries costs
// one search past the one under way. Only the search asked for last is reported.
#include <QFutureWatcher>
#include <QObject>
#include <functional>
#include <optional>

#include "Editor/FindMatcher.h"

class FindCounter : public QObject {
    Q_OBJECT
public:
    // Runs on another thread: it must own what it reads (a copy of the text, of the expression).
    using Search = std::function<FindMatcher::Result()>;

    explicit FindCounter(QObject* parent = nullptr);

    void start(Search search);
    // Nothing is reported for the search asked for last.
    void cancel();
    // The search asked for last is still to be reported.
    bool isPending() const { return pending_; }
    // The result of the search asked for last, waited for here (or run here when it has not started);
    // it is not reported afterwards. Only while isPending().
    FindMatcher::Result wait();

signals:
    void finished(const FindMatcher::Result& result);

private:
    void launch(Search search);
    void ran();

    QFutureWatcher<FindMatcher::Result> watcher_;
    bool running_ = false;          // watcher_'s search has not been reported back here yet
    std::optional<Search> queued_;  // asked for while another ran
    bool pending_ = false;
};
