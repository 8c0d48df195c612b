#pragma once
// The timing of folder-change notifications, apart from any clock so it can be driven by hand.
// Raw file-system events are handed on in deliveries: the first after a quiet spell of at least the
// latency at once, later ones gathered and handed on one latency after the previous delivery.
// The change callback is due one quiet period after a delivery that no other delivery follows
// within that period. Times are milliseconds on any monotonic scale.
#include <QtGlobal>
#include <optional>

class DeliveryPacer {
public:
    explicit DeliveryPacer(qint64 latencyMs = 400, qint64 quietMs = 150);

    // Raw events were seen at `now`.
    void eventsArrived(qint64 now);
    // One delivery of events at `now`; replaces any callback still due.
    void delivered(qint64 now);
    // Performs what is due up to `now`, in time order; returns how many callbacks fell due.
    int advance(qint64 now);

    // The earliest time advance() has work to do, if any.
    std::optional<qint64> nextDeadline() const;
    // When the callback is due, if one is.
    std::optional<qint64> callbackDue() const { return callbackAt_; }

private:
    const qint64 latency_;
    const qint64 quiet_;
    std::optional<qint64> lastDelivery_;
    bool eventsGathered_ = false;
    std::optional<qint64> callbackAt_;
};
