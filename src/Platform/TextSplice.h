#pragma once
// Replacing part of a large text where it lies. The buffer keeps room before and after the text, and
// an edit moves whichever side of it is shorter (the head into the room before, or the tail), so a
// keystroke near either end of a long text moves next to nothing and one in the middle half of it,
// instead of building a new copy of the whole text for every keystroke.
#include <QString>
#include <QStringView>
#include <cstring>
#include <vector>

namespace TextSplice {

// Gives text a private buffer with room for at least `need` more units on each side of it.
inline void makeRoom(QString& text, qsizetype need = 0) {
    const qsizetype n = text.size();
    const qsizetype room = qMax(need, n / 16) + 64;
    QString::DataPointer& own = text.data_ptr();
    if (n > 0 && !own.needsDetach() && own.freeSpaceAtBegin() == 0) {
        // A buffer of its own grows where it lies (a large one is not copied for it), and the text
        // moves up to leave the room before it.
        text.reserve(n + 2 * room);
        char16_t* begin = own.data();
        std::memmove(begin + room, begin, size_t(n) * 2);
        own.setBegin(begin + room);
        own.data()[n] = 0;
        return;
    }
    QString spaced(n + 2 * room, Qt::Uninitialized);
    QString::DataPointer& d = spaced.data_ptr();
    char16_t* begin = d.data() + room;
    if (n > 0) std::memcpy(begin, text.utf16(), size_t(n) * 2);
    begin[n] = 0;
    d.setBegin(begin);
    d.size = n;
    text = std::move(spaced);
}

// Replaces length units at `at` by `with` (both already within the text). `with` must not point
// into `text`.
inline void replace(QString& text, qsizetype at, qsizetype length, QStringView with) {
    const qsizetype delta = with.size() - length;
    const qsizetype tail = text.size() - at - length;
    const bool moveHead = delta != 0 && at < tail;
    QString::DataPointer& d = text.data_ptr();
    if (d.needsDetach() || (delta > 0 && (moveHead ? d.freeSpaceAtBegin() : d.freeSpaceAtEnd()) < delta))
        makeRoom(text, delta);
    char16_t* begin = d.data();
    if (moveHead) {
        char16_t* const newBegin = begin - delta;
        std::memmove(newBegin, begin, size_t(at) * 2);
        d.setBegin(newBegin);
        begin = newBegin;
    } else if (delta != 0 && tail > 0) {
        std::memmove(begin + at + with.size(), begin + at + length, size_t(tail) * 2);
    }
    d.size += delta;
    begin[d.size] = 0;
    if (!with.isEmpty()) std::memcpy(begin + at, with.utf16(), size_t(with.size()) * 2);
}

// One of several ranges replaced at once: `length` units at `at` by `with` (which must not point into
// the text).
struct Piece {
    qsizetype at = 0;
    qsizetype length = 0;
    QStringView with;
};

// Whether the pieces all shorten the text (or keep its length), or all lengthen it: such pieces can
// be replaced in one pass where the text lies.
inline bool oneWay(const std::vector<Piece>& pieces) {
    bool shorter = false, longer = false;
    for (const Piece& p : pieces) {
        shorter = shorter || p.with.size() < p.length;
        longer = longer || p.with.size() > p.length;
    }
    return !(shorter && longer);
}

// Replaces the pieces (ascending, apart, oneWay) in one pass over the text, in its own buffer: a
// large text is then not copied into new memory, whose first touch costs more than the moves. A
// pass from the first piece when they shorten it, from the last (after growing the buffer where it
// lies) when they lengthen it, so no unit is overwritten before it has moved.
inline void replaceEach(QString& text, const std::vector<Piece>& pieces) {
    qsizetype delta = 0;
    for (const Piece& p : pieces) delta += p.with.size() - p.length;
    const qsizetype n = text.size();
    if (n + delta == 0) {
        text.clear();
        return;
    }
    if (delta > 0) text.reserve(n + delta);
    QString::DataPointer& d = text.data_ptr();
    if (d.needsDetach()) text.reserve(n);  // a buffer of its own
    char16_t* const s = d.data();
    const auto move = [s](qsizetype to, qsizetype from, qsizetype length) {
        if (length > 0 && to != from) std::memmove(s + to, s + from, size_t(length) * 2);
    };
    const auto put = [s](qsizetype to, QStringView with) {
        if (!with.isEmpty()) std::memcpy(s + to, with.utf16(), size_t(with.size()) * 2);
    };
    if (delta <= 0) {
        qsizetype shift = 0;  // where the text from here on moves, relative to where it is
        for (size_t i = 0; i < pieces.size(); ++i) {
            const Piece& p = pieces[i];
            put(p.at + shift, p.with);
            shift += p.with.size() - p.length;
            const qsizetype end = p.at + p.length, next = i + 1 < pieces.size() ? pieces[i + 1].at : n;
            move(end + shift, end, next - end);
        }
    } else {
        qsizetype shift = delta;
        for (size_t i = pieces.size(); i-- > 0;) {
            const Piece& p = pieces[i];
            const qsizetype end = p.at + p.length, next = i + 1 < pieces.size() ? pieces[i + 1].at : n;
            move(end + shift, end, next - end);
            shift -= p.with.size() - p.length;
            put(p.at + shift, p.with);
        }
    }
    d.size = n + delta;
    s[d.size] = 0;
}

} // namespace TextSplice
