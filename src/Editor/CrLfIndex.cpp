#include "Editor/CrLfIndex.h"

#include <algorithm>

void CrLfIndex::reset(std::vector<qsizetype> offsets, qsizetype length) {
    before_ = std::move(offsets);
    after_.clear();
    length_ = length;
}

qsizetype CrLfIndex::countBefore(qsizetype exact) const {
    const auto near = std::lower_bound(before_.begin(), before_.end(), exact);
    if (near != before_.end()) return near - before_.begin();
    // Past the split: those whose distance from the end is more than exact's.
    return qsizetype(before_.size()) + (after_.end() - std::upper_bound(after_.begin(), after_.end(), length_ - exact));
}

void CrLfIndex::replace(qsizetype from, qsizetype to, qsizetype inserted, const std::vector<qsizetype>& added) {
    while (!before_.empty() && before_.back() >= from) {
        after_.push_back(length_ - before_.back());
        before_.pop_back();
        ++moved_;
    }
    while (!after_.empty() && length_ - after_.back() < from) {
        before_.push_back(length_ - after_.back());
        after_.pop_back();
        ++moved_;
    }
    // Those replaced go; those after keep their distance from the end.
    while (!after_.empty() && length_ - after_.back() < to) {
        after_.pop_back();
        ++moved_;
    }
    length_ += inserted - (to - from);
    before_.insert(before_.end(), added.begin(), added.end());
    moved_ += qsizetype(added.size());
}
