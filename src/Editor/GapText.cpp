#include "Editor/GapText.h"

#include <QChar>
#include <algorithm>
#include <cstring>

namespace {
// Room for a sixteenth more of the text, so that regrowing the gap stays rare as the text grows.
qsizetype roomFor(qsizetype length, qsizetype need) { return std::max(need, length / 16) + 64; }
} // namespace

GapText::GapText(QStringView text) {
    const qsizetype n = text.size();
    buffer_.resize(size_t(n + roomFor(n, 0)));
    if (n > 0) std::memcpy(buffer_.data(), text.utf16(), size_t(n) * 2);
    gapStart_ = n;
    gapEnd_ = qsizetype(buffer_.size());
}

void GapText::moveGap(qsizetype to) {
    char16_t* const units = buffer_.data();
    if (to < gapStart_) {
        const qsizetype count = gapStart_ - to;
        std::memmove(units + gapEnd_ - count, units + to, size_t(count) * 2);
        gapStart_ -= count;
        gapEnd_ -= count;
        moved_ += count;
    } else if (to > gapStart_) {
        const qsizetype count = to - gapStart_;
        std::memmove(units + gapStart_, units + gapEnd_, size_t(count) * 2);
        gapStart_ += count;
        gapEnd_ += count;
        moved_ += count;
    }
}

void GapText::widenGap(qsizetype need) {
    if (gapEnd_ - gapStart_ >= need) return;
    const qsizetype n = size();
    const qsizetype tail = qsizetype(buffer_.size()) - gapEnd_;
    std::vector<char16_t> wider(size_t(n + roomFor(n, need)));
    if (gapStart_ > 0) std::memcpy(wider.data(), buffer_.data(), size_t(gapStart_) * 2);
    if (tail > 0) std::memcpy(wider.data() + wider.size() - size_t(tail), buffer_.data() + gapEnd_, size_t(tail) * 2);
    buffer_ = std::move(wider);
    gapEnd_ = qsizetype(buffer_.size()) - tail;
    moved_ += n;
}

void GapText::replace(qsizetype at, qsizetype length, QStringView with) {
    at = std::clamp<qsizetype>(at, 0, size());
    length = std::clamp<qsizetype>(length, 0, size() - at);
    moveGap(at);
    gapEnd_ += length;
    widenGap(with.size());
    if (!with.isEmpty()) std::memcpy(buffer_.data() + gapStart_, with.utf16(), size_t(with.size()) * 2);
    gapStart_ += with.size();
}

std::u16string_view GapText::read(qsizetype at) {
    if (at < 0 || at >= size()) return {};
    const char16_t* const units = buffer_.data();
    if (at >= gapStart_) {
        const qsizetype from = at + (gapEnd_ - gapStart_);
        return {units + from, size_t(qsizetype(buffer_.size()) - from)};
    }
    qsizetype end = gapStart_;
    if (gapEnd_ < qsizetype(buffer_.size()) && QChar::isHighSurrogate(units[end - 1]) &&
        QChar::isLowSurrogate(units[gapEnd_])) {
        if (end - 1 > at) return {units + at, size_t(end - 1 - at)};
        pair_[0] = units[end - 1];
        pair_[1] = units[gapEnd_];
        return {pair_, 2};
    }
    return {units + at, size_t(end - at)};
}
