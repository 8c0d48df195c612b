#pragma once
// Runs jobs one at a time, in the order they were queued. A job calls the function it is
// handed once it has finished; only then does the next one start.
#include <deque>
#include <functional>

class SerialQueue {
public:
    using Job = std::function<void(std::function<void()> finished)>;

    void enqueue(Job job);
    bool isBusy() const { return running_; }

private:
    void startNext();

    std::deque<Job> jobs_;
    bool running_ = false;
};
