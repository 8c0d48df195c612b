#pragma once
// Where the text's CR LF pairs are: the exact offset of each one's CR, ascending. The index is kept
// split at the last edit, those after it counted from the text's end, so that typing, taking back
// or breaking lines at one place moves no entry however many lines follow; moving the split costs
// the entries it passes, as moving the text's own gap costs the units it passes.
#include <QtGlobal>
#include <vector>

class CrLfIndex {
public:
    // All of a text `length` units long, ascending.
    void reset(std::vector<qsizetype> offsets, qsizetype length);

    qsizetype size() const { return qsizetype(before_.size() + after_.size()); }
    // The j-th offset, 0 <= j < size().
    qsizetype operator[](qsizetype j) const {
        const qsizetype near = qsizetype(before_.size());
        return j < near ? before_[size_t(j)] : length_ - after_[after_.size() - 1 - size_t(j - near)];
    }
    // How many lie before exact.
    qsizetype countBefore(qsizetype exact) const;

    // [from, to) of the text was replaced by `inserted` units holding CR LFs at `added` (ascending,
    // offsets in the new text).
    void replace(qsizetype from, qsizetype to, qsizetype inserted, const std::vector<qsizetype>& added);

    // Entries moved or rewritten so far.
    qsizetype moved() const { return moved_; }

private:
    std::vector<qsizetype> before_;  // before the split, by their offsets
    // After it, each as length_ minus its offset; the nearest to the split last.
    std::vector<qsizetype> after_;
    qsizetype length_ = 0;
    qsizetype moved_ = 0;
};
