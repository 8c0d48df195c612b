#pragma once
// Ascending offsets into a text that is being edited (where its CR LF pairs are, which line ends the
// display joins), kept with a hole at the last edit, those after it stored less what the edits
// since moved them by, so that typing, taking back or breaking lines at one place moves no entry
// however many follow. Moving the hole costs the entries it passes once edits have moved those
// after it, as moving the text's own gap costs the units it passes; before any edit, and while the
// hole is empty and nothing is moved, it costs nothing.
#include <QtGlobal>
#include <vector>

class SplitOffsets {
public:
    // All of them, ascending.
    void reset(std::vector<qsizetype> offsets);

    qsizetype size() const { return qsizetype(v_.size()) - holeLength_; }
    bool isEmpty() const { return size() == 0; }
    // The j-th offset, 0 <= j < size().
    qsizetype operator[](qsizetype j) const { return j < hole_ ? v_[size_t(j)] : v_[size_t(j + holeLength_)] + shift_; }
    // How many lie before exact.
    qsizetype countBefore(qsizetype exact) const;
    // A copy of all of them, ascending.
    std::vector<qsizetype> all() const;

    // [from, to) of the text was replaced by `inserted` units: the offsets in that range go, those
    // after move with the text, and `added` (ascending, offsets in the new text, in the inserted
    // units) come.
    void replace(qsizetype from, qsizetype to, qsizetype inserted, const std::vector<qsizetype>& added);
    // Adds offsets past every one there is, ascending.
    void append(const std::vector<qsizetype>& offsets);
    // Takes away those at or after offset.
    void dropFrom(qsizetype offset);

    // Entries moved or rewritten so far.
    qsizetype moved() const { return moved_; }

private:
    // The hole to before the j-th entry.
    void moveHole(qsizetype j);

    // Before the hole, offsets; after it, offsets less shift_.
    std::vector<qsizetype> v_;
    qsizetype hole_ = 0;
    qsizetype holeLength_ = 0;
    qsizetype shift_ = 0;
    qsizetype moved_ = 0;
};
