#include "Editor/SplitOffsets.h"

#include <algorithm>

void SplitOffsets::reset(std::vector<qsizetype> offsets) {
    v_ = std::move(offsets);
    hole_ = qsizetype(v_.size());
    holeLength_ = 0;
    shift_ = 0;
}

qsizetype SplitOffsets::countBefore(qsizetype exact) const {
    const auto holeStart = v_.begin() + hole_;
    const auto near = std::lower_bound(v_.begin(), holeStart, exact);
    if (near != holeStart) return near - v_.begin();
    return std::lower_bound(holeStart + holeLength_, v_.end(), exact - shift_) - v_.begin() - holeLength_;
}

std::vector<qsizetype> SplitOffsets::all() const {
    std::vector<qsizetype> out;
    out.reserve(size_t(size()));
    for (qsizetype j = 0; j < size(); ++j) out.push_back((*this)[j]);
    return out;
}

void SplitOffsets::moveHole(qsizetype j) {
    // With none after the hole there is nothing to move over: it is only a place again.
    if (hole_ + holeLength_ == qsizetype(v_.size())) {
        v_.resize(size_t(hole_));
        holeLength_ = 0;
        shift_ = 0;
    }
    if (j == hole_) return;
    // Nothing to move over nor to rewrite: the hole is only a place.
    if (holeLength_ == 0 && shift_ == 0) {
        hole_ = j;
        return;
    }
    const auto at = [&](qsizetype i) { return v_.begin() + i; };
    if (j < hole_) {
        // Those in [j, hole_) go after the hole, less the shift.
        std::move_backward(at(j), at(hole_), at(hole_ + holeLength_));
        std::for_each(at(j + holeLength_), at(hole_ + holeLength_), [&](qsizetype& v) { v -= shift_; });
        moved_ += hole_ - j;
    } else {
        std::move(at(hole_ + holeLength_), at(j + holeLength_), at(hole_));
        std::for_each(at(hole_), at(j), [&](qsizetype& v) { v += shift_; });
        moved_ += j - hole_;
    }
    hole_ = j;
}

void SplitOffsets::replace(qsizetype from, qsizetype to, qsizetype inserted, const std::vector<qsizetype>& added) {
    moveHole(countBefore(from));
    // Those replaced go into the hole; those after keep their place and move with the shift.
    while (hole_ + holeLength_ < qsizetype(v_.size()) && v_[size_t(hole_ + holeLength_)] + shift_ < to) {
        ++holeLength_;
        ++moved_;
    }
    shift_ += inserted - (to - from);
    if (added.empty()) return;
    if (const qsizetype need = qsizetype(added.size()) - holeLength_; need > 0) {
        // Room for these and, inside the list, for more to come, as the text's own gap grows. At
        // its end the list grows as any does.
        const bool atEnd = hole_ + holeLength_ == qsizetype(v_.size());
        const qsizetype room = atEnd ? need : std::max<qsizetype>({need, size() / 64, 16});
        // Those after it move over in one copy, once per room's worth of entries added (a sixty-
        // fourth of them): not counted, as the text's own gap growing is not.
        v_.insert(v_.begin() + hole_ + holeLength_, size_t(room), 0);
        holeLength_ += room;
    }
    std::copy(added.begin(), added.end(), v_.begin() + hole_);
    hole_ += qsizetype(added.size());
    holeLength_ -= qsizetype(added.size());
    moved_ += qsizetype(added.size());
}

void SplitOffsets::append(const std::vector<qsizetype>& offsets) {
    if (offsets.empty()) return;
    replace(offsets.front(), offsets.front(), 0, offsets);
}

void SplitOffsets::dropFrom(qsizetype offset) {
    moveHole(countBefore(offset));
    moved_ += qsizetype(v_.size()) - hole_ - holeLength_;
    v_.resize(size_t(hole_));
    holeLength_ = 0;
    shift_ = 0;
}
