#pragma once
// Ascending offsets into a text that is being edited (where its CR LF pairs are, which line ends the
// display joins), kept split at the last edit with those after it counted from the text's end, so
// that typing, taking back or breaking lines at one place moves no entry however many follow. Moving
// the split costs the entries it passes, as moving the text's own gap costs the units it passes.
#include <QtGlobal>
#include <vector>

class SplitOffsets {
public:
    // All of them, ascending.
    void reset(std::vector<qsizetype> offsets);

    qsizetype size() const { return qsizetype(before_.size() + after_.size()); }
    bool isEmpty() const { return before_.empty() && after_.empty(); }
    // The j-th offset, 0 <= j < size().
    qsizetype operator[](qsizetype j) const {
        const qsizetype near = qsizetype(before_.size());
        return j < near ? before_[size_t(j)] : end_ - after_[after_.size() - 1 - size_t(j - near)];
    }
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
    void splitAt(qsizetype offset);

    std::vector<qsizetype> before_;  // before the split, by their offsets
    // After it, each as end_ minus its offset; the nearest to the split last.
    std::vector<qsizetype> after_;
    // Moves with the text's end: only the differences matter, so it starts anywhere.
    qsizetype end_ = 0;
    qsizetype moved_ = 0;
};
