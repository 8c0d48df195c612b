#include "Editor/SplitOffsets.h"

#include <algorithm>

void SplitOffsets::reset(std::vector<qsizetype> offsets) {
    before_ = std::move(offsets);
    after_.clear();
}

qsizetype SplitOffsets::countBefore(qsizetype exact) const {
    const auto near = std::lower_bound(before_.begin(), before_.end(), exact);
    if (near != before_.end()) return near - before_.begin();
    // Past the split: those whose distance from the end is more than exact's.
    return qsizetype(before_.size()) + (after_.end() - std::upper_bound(after_.begin(), after_.end(), end_ - exact));
}

std::vector<qsizetype> SplitOffsets::all() const {
    std::vector<qsizetype> out = before_;
    for (auto it = after_.rbegin(); it != after_.rend(); ++it) out.push_back(end_ - *it);
    return out;
}

void SplitOffsets::splitAt(qsizetype offset) {
    // Those passed go over in one pass each way, into room made once: a first edit far from the
    // split passes them all.
    const auto from = std::lower_bound(before_.begin(), before_.end(), offset);
    if (const size_t n = size_t(before_.end() - from); n > 0) {
        if (after_.capacity() < after_.size() + n) after_.reserve(std::max(after_.size() + n, 2 * after_.capacity()));
        for (auto it = before_.end(); it != from;) after_.push_back(end_ - *--it);
        before_.erase(from, before_.end());
        moved_ += qsizetype(n);
        return;
    }
    const auto to = std::upper_bound(after_.begin(), after_.end(), end_ - offset);
    if (const size_t n = size_t(after_.end() - to); n > 0) {
        if (before_.capacity() < before_.size() + n) before_.reserve(std::max(before_.size() + n, 2 * before_.capacity()));
        for (auto it = after_.end(); it != to;) before_.push_back(end_ - *--it);
        after_.erase(to, after_.end());
        moved_ += qsizetype(n);
    }
}

void SplitOffsets::replace(qsizetype from, qsizetype to, qsizetype inserted, const std::vector<qsizetype>& added) {
    splitAt(from);
    // Those replaced go; those after keep their distance from the end.
    while (!after_.empty() && end_ - after_.back() < to) {
        after_.pop_back();
        ++moved_;
    }
    end_ += inserted - (to - from);
    before_.insert(before_.end(), added.begin(), added.end());
    moved_ += qsizetype(added.size());
}

void SplitOffsets::append(const std::vector<qsizetype>& offsets) {
    if (offsets.empty()) return;
    splitAt(offsets.front());
    before_.insert(before_.end(), offsets.begin(), offsets.end());
}

void SplitOffsets::dropFrom(qsizetype offset) {
    splitAt(offset);
    moved_ += qsizetype(after_.size());
    after_.clear();
}
