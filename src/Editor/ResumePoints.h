#pragma once
// Where a scan for strings or block comments resumes in a text being edited, ascending: each a
// place on the chain of matches a scan from the start follows, and one past the last character the
// attempts before it looked at (its horizon; horizons ascend with the places). Confirmed points are
// known to hold. After an edit, those its text may have moved the scan off are kept, moved with
// the text, as candidates after the confirmed ones: a scan that meets one knows that it and all
// after it hold again, as the text after it is what it was. The points past an edit move with it
// lazily (see PendingShift), so that typing at one place costs the same however many follow.
#include <QList>
#include <QtGlobal>

#include "Editor/PendingShift.h"

class ResumePoints {
public:
    struct Point {
        qsizetype position = 0;
        qsizetype horizon = 0;
    };

    void clear() {
        const qsizetype moved = moved_;
        *this = ResumePoints();
        moved_ = moved;
    }
    qsizetype size() const { return points_.size(); }
    qsizetype confirmed() const { return confirmed_; }
    bool hasCandidates() const { return confirmed_ < points_.size(); }
    // The i-th point as it stands in the text now.
    Point at(qsizetype i) const;
    // The last confirmed point at or before the offset, or the start.
    Point confirmedAtOrBefore(qsizetype offset) const;
    // Where the last confirmed point lies, or 0.
    qsizetype lastConfirmed() const { return confirmed_ == 0 ? 0 : at(confirmed_ - 1).position; }

    // [start, oldEnd) was replaced by text up to newEnd. Confirmed points whose scan never looked as
    // far as the start stay; of the rest, those after the replaced text become the candidates, and
    // the candidates of an earlier edit that no scan met go: they belong to another text.
    void edit(qsizetype start, qsizetype oldEnd, qsizetype newEnd);
    // A new confirmed point, after the confirmed ones and before any candidate.
    void addConfirmed(Point point);
    // The candidates before the offset were never on the chain: they go.
    void dropCandidatesBefore(qsizetype offset);
    // The chain met the first candidate: all of them hold, their horizons raised to the chain's.
    void confirmCandidates(qsizetype horizon);
    void dropCandidates();

    // Points moved or rewritten one at a time so far.
    qsizetype moved() const { return moved_; }

private:
    bool shifted(qsizetype i) const { return size_t(i) >= shift_.first(); }
    // Stores a point as it stands now at index i, which reads through the shift when past it.
    void store(qsizetype i, Point point);
    // Brings every point up to date.
    void settle();
    void erase(qsizetype from, qsizetype to);

    QList<Point> points_;  // past shift_.first(), as they stood before the edits it holds
    qsizetype confirmed_ = 0;
    PendingShift shift_;
    qsizetype moved_ = 0;
};
