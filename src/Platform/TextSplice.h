#pragma once
// Replacing part of a large text where it lies: the tail moves once and the buffer is reused while
// it has room, instead of building a new copy of the whole text for every keystroke.
#include <QString>
#include <QStringView>
#include <cstring>

namespace TextSplice {

// Replaces length units at `at` by `with` (both already within the text). `with` must not point
// into `text`.
inline void replace(QString& text, qsizetype at, qsizetype length, QStringView with) {
    const qsizetype oldSize = text.size();
    const qsizetype delta = with.size() - length;
    const qsizetype tail = oldSize - at - length;
    if (delta > 0) {
        if (text.capacity() < oldSize + delta) text.reserve(qMax(oldSize + delta, oldSize + oldSize / 8));
        text.resize(oldSize + delta);
    }
    char16_t* data = reinterpret_cast<char16_t*>(text.data());
    if (delta != 0 && tail > 0) std::memmove(data + at + with.size(), data + at + length, size_t(tail) * 2);
    if (!with.isEmpty()) std::memcpy(data + at, with.utf16(), size_t(with.size()) * 2);
    if (delta < 0) text.truncate(oldSize + delta);
}

} // namespace TextSplice
