#include "Git/SerialQueue.h"

#include <memory>

void SerialQueue::enqueue(Job job) {
    jobs_.push_back(std::move(job));
    if (!running_) startNext();
}

void SerialQueue::startNext() {
    if (jobs_.empty()) {
        running_ = false;
        return;
    }
    running_ = true;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    auto once = std::make_shared<bool>(false);
    job([this, once] {
        if (*once) return;
        *once = true;
        startNext();
    });
}
