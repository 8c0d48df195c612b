#include "Editor/ResumePoints.h"

#include <algorithm>
#include <optional>

ResumePoints::Point ResumePoints::at(qsizetype i) const {
    const Point& p = points_[i];
    return shifted(i) ? Point{shift_.unit(p.position), shift_.unit(p.horizon)} : p;
}

namespace {

// The first index in [from, to) where pred turns false; pred holds on a prefix.
template <typename Pred>
qsizetype partitionPoint(qsizetype from, qsizetype to, Pred pred) {
    while (from < to) {
        const qsizetype mid = from + (to - from) / 2;
        if (pred(mid)) from = mid + 1;
        else to = mid;
    }
    return from;
}

} // namespace

ResumePoints::Point ResumePoints::confirmedAtOrBefore(qsizetype offset) const {
    const qsizetype after = partitionPoint(0, confirmed_, [&](qsizetype i) { return at(i).position <= offset; });
    return after == 0 ? Point{} : at(after - 1);
}

void ResumePoints::settle() {
    if (shift_.idle()) return;
    for (qsizetype i = qsizetype(shift_.first()); i < points_.size(); ++i, ++moved_) points_[i] = at(i);
    shift_.clear();
}

void ResumePoints::store(qsizetype i, Point point) {
    if (shifted(i)) {
        const std::optional<qsizetype> position = shift_.keptUnit(point.position);
        const std::optional<qsizetype> horizon = shift_.keptUnit(point.horizon);
        if (position && horizon) {
            points_[i] = Point{*position, *horizon};
            return;
        }
        settle();  // inside the stretch the pending edits made: not expressible through them
    }
    points_[i] = point;
}

void ResumePoints::erase(qsizetype from, qsizetype to) {
    if (from >= to) return;
    moved_ += points_.size() - to;
    points_.remove(from, to - from);
    if (shift_.idle()) return;
    const auto first = qsizetype(shift_.first());
    if (to <= first) shift_.setFirst(size_t(first - (to - from)));
    else if (from < first) shift_.setFirst(size_t(from));
}

void ResumePoints::edit(qsizetype start, qsizetype oldEnd, qsizetype newEnd) {
    // Horizons ascend: the confirmed points that stay are a prefix.
    const qsizetype stay = partitionPoint(0, confirmed_, [&](qsizetype i) { return at(i).horizon <= start; });
    points_.resize(confirmed_);
    // Only a point after the replaced text still has the text after it that it was found with.
    erase(stay, partitionPoint(stay, confirmed_, [&](qsizetype i) { return at(i).position < oldEnd; }));
    confirmed_ = stay;
    if (stay == points_.size()) {
        settle();
        return;
    }
    // The rest move with the text: by the pending shift, when the edit joins its run and moves exactly them.
    if (!shift_.idle() && (qsizetype(shift_.first()) != stay || !shift_.absorbs(start, oldEnd - start, newEnd - start)))
        settle();
    shift_.add(start, oldEnd - start, newEnd - start);
    shift_.setFirst(size_t(stay));
}

void ResumePoints::addConfirmed(Point point) {
    const qsizetype i = confirmed_;
    // Horizons ascend, however the scans that laid the points were bounded.
    if (i > 0) point.horizon = qMax(point.horizon, at(i - 1).horizon);
    point.horizon = qMax(point.horizon, point.position);
    // Before the shifted points it is stored as it stands, and they start one later.
    if (!shift_.idle() && !shifted(i)) shift_.setFirst(shift_.first() + 1);
    moved_ += points_.size() - i;
    points_.insert(i, Point{});
    ++confirmed_;
    store(i, point);
}

void ResumePoints::dropCandidatesBefore(qsizetype offset) {
    erase(confirmed_, partitionPoint(confirmed_, points_.size(), [&](qsizetype i) { return at(i).position < offset; }));
}

void ResumePoints::confirmCandidates(qsizetype horizon) {
    // Horizons ascend: only the first candidates can be behind the chain's.
    for (qsizetype i = confirmed_; i < points_.size(); ++i, ++moved_) {
        Point p = at(i);
        if (p.horizon >= horizon) break;
        p.horizon = horizon;
        store(i, p);
    }
    confirmed_ = points_.size();
}

void ResumePoints::dropCandidates() {
    points_.resize(confirmed_);
    if (!shift_.idle() && qsizetype(shift_.first()) >= points_.size()) shift_.clear();
}
