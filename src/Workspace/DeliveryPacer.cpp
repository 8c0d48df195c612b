#include "Workspace/DeliveryPacer.h"

#include <algorithm>

DeliveryPacer::DeliveryPacer(qint64 latencyMs, qint64 quietMs) : latency_(latencyMs), quiet_(quietMs) {}

void DeliveryPacer::eventsArrived(qint64 now) {
    if (eventsGathered_) return;  // they go with the delivery already waiting
    if (!lastDelivery_ || now - *lastDelivery_ >= latency_) delivered(now);
    else eventsGathered_ = true;
}

void DeliveryPacer::delivered(qint64 now) {
    lastDelivery_ = now;
    callbackAt_ = now + quiet_;
}

int DeliveryPacer::advance(qint64 now) {
    int due = 0;
    for (auto next = nextDeadline(); next && *next <= now; next = nextDeadline()) {
        if (callbackAt_ && *callbackAt_ == *next) {
            callbackAt_.reset();
            ++due;
        } else {
            eventsGathered_ = false;
            delivered(*next);
        }
    }
    return due;
}

std::optional<qint64> DeliveryPacer::nextDeadline() const {
    std::optional<qint64> next = callbackAt_;
    if (eventsGathered_) {
        const qint64 delivery = *lastDelivery_ + latency_;
        next = next ? std::min(*next, delivery) : delivery;
    }
    return next;
}
