#pragma once
// How far the positions kept past an index have moved since they were last brought up to date. A
// run of edits at one place (typing, taking characters back) adds to it without touching any of
// them; they are read through it, and brought up to date one by one only when an edit comes that
// the run cannot take in.
#include <QtGlobal>
#include <cstddef>
#include <limits>
#include <optional>

class PendingShift {
public:
    static constexpr size_t kNone = std::numeric_limits<size_t>::max();

    // Whether an edit (current positions) joins the run exactly: it lies within the stretch the run
    // has edited, so it moves every kept position the run moves and no other.
    bool absorbs(qsizetype at, qsizetype removed, qsizetype inserted) const;
    // Joins the edit to the run; one the run cannot take in starts a new run, so the kept positions
    // must be up to date (settled) before.
    void add(qsizetype at, qsizetype removed, qsizetype inserted);
    // Nothing kept has moved.
    void clear() { *this = PendingShift(); }
    bool idle() const { return by_ == 0; }

    // The kept positions at and past this index have moved; those before it are up to date.
    size_t first() const { return idle() ? kNone : first_; }
    void setFirst(size_t index) { first_ = index; }

    // A kept unit's offset now: a unit at the edit moves on with what follows it.
    qsizetype unit(qsizetype kept) const { return kept >= at_ ? kept + by_ : kept; }
    // What to keep for a unit that is at `now`, so that unit() reads it: none inside the stretch the
    // run edited, which no kept value reads as.
    std::optional<qsizetype> keptUnit(qsizetype now) const {
        if (idle() || now < at_) return now;
        if (now >= end_) return now - by_;
        return std::nullopt;
    }
    // A kept line start (or a range's end) now: one at the edit stays, as the line break before it does.
    qsizetype lineStart(qsizetype kept) const { return kept > at_ ? kept + by_ : kept; }

private:
    qsizetype at_ = 0;   // where the run starts
    qsizetype end_ = 0;  // where the stretch it edited ends now
    qsizetype by_ = 0;   // how far what follows that stretch has moved
    // Started with nothing removed: no kept line start lies right at end_, only past it.
    bool clean_ = true;
    size_t first_ = kNone;
};
