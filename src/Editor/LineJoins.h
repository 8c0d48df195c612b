#pragma once
// Where the display shows a line terminator as a line separator inside a block rather than as the
// separator between two blocks. Filling the display costs about the same per block whatever the
// block holds, so a long run of empty lines is shown as few blocks of many lines each. A join is the
// exact offset of such a terminator; it is not a character of its own.
//
// Only empty lines are joined, in runs of at least kGroup of them, so ordinary text is never
// grouped: every line of a block that holds a join is empty. An edit only takes joins away, those
// whose lines it may touch, so that stays true.
#include <QStringView>
#include <vector>

#include "Editor/SplitOffsets.h"
#include "Editor/TextRange.h"

class LineJoins {
public:
    // Empty lines per grouped block.
    static constexpr qsizetype kGroup = 64;

    void clear() { joins_.reset({}); }
    // Joins the runs of empty lines in [from, to) of text, which must lie after every join there is.
    // from is a line start or a long line's piece start; text (the whole text) is read from from - 1
    // to to.
    void group(QStringView text, qsizetype from, qsizetype to);
    // Joins the runs of empty lines in [from, to) of the whole text that no block of joined lines
    // holds, wherever they are: text that gained them after it was grouped. Gives the first join of
    // each block made (kGroup - 1 joins from there on) and where to go on: `to`, or the start of the
    // lines of a run that `to` cut short.
    struct Regrouped {
        std::vector<qsizetype> firsts;
        qsizetype resume = 0;
    };
    Regrouped regroup(QStringView text, qsizetype from, qsizetype to);
    // Takes away the joins at or after offset.
    void dropFrom(qsizetype offset) { joins_.dropFrom(offset); }

    // Exact offsets of terminators, ascending: joins()[i] for i < joins().size().
    const SplitOffsets& joins() const { return joins_; }
    bool isEmpty() const { return joins_.isEmpty(); }
    // How many joins lie before offset, or in [from, to).
    qsizetype countBefore(qsizetype offset) const { return joins_.countBefore(offset); }
    qsizetype countIn(qsizetype from, qsizetype to) const { return countBefore(to) - countBefore(from); }
    bool isJoin(qsizetype offset) const;

    // The joins an edit of [at, at + removed) takes away: from the first to just past the last, or an
    // empty range when there are none. Those are the joins whose own line or next line the edit may
    // change or make non-empty.
    TextRange touchedBy(qsizetype at, qsizetype removed) const;
    // After [at, at + removed) was replaced by `added` units: the touched joins go, those after
    // move with the text.
    void edit(qsizetype at, qsizetype removed, qsizetype added);

private:
    // Joins runs in [from, to) of text, none of a block whose last terminator is at or after limit.
    std::vector<qsizetype> joinRuns(QStringView text, qsizetype from, qsizetype to, qsizetype limit, qsizetype* resume);

    SplitOffsets joins_;
};
