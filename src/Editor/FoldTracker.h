#pragma once
// The fold regions of an editor's text, kept up to date edit by edit. The scan that finds them is
// restarted at the last checkpoint before an edit and stops at the first checkpoint past it where
// its state is again what the earlier scan had there, so a keystroke costs a short rescan instead
// of a pass over the whole text, also inside a line of megabytes. The result is always the one a whole scan gives.
#include <QList>
#include <QStringView>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "Editor/EditHistory.h"
#include "Editor/FoldRegion.h"
#include "Editor/PendingShift.h"

class FoldTracker {
public:
    // A text as it lies in two runs (a text kept with a gap at its last edit: the units before the
    // gap, then those after it), read where it lies so that a rescan moves none of it.
    struct Runs {
        QStringView head;
        QStringView tail;
        qsizetype size() const { return head.size() + tail.size(); }
    };

    // Scans the whole text.
    void reset(Runs text);
    void reset(QStringView text) { reset(Runs{text, {}}); }
    // text is the text after `removed` units at `at` were replaced by `inserted` units. A rescan
    // that has neither met the earlier scan nor reached the end after about `budget` units stops
    // there (a quote typed turns strings over to the end of the text): the regions are then known
    // only up to knownTo() until scanOn() has gone the rest of the way.
    void edit(Runs text, qsizetype at, qsizetype removed, qsizetype inserted, qsizetype budget = kWhole);
    void edit(QStringView text, qsizetype at, qsizetype removed, qsizetype inserted, qsizetype budget = kWhole) {
        edit(Runs{text, {}}, at, removed, inserted, budget);
    }
    // Several separate changes at once (ascending, apart; locations in the text before them), text
    // the text after them. Where none of them holds or borders anything the scan reacts to (a
    // bracket, quote, slash or line end), as words replaced by words, what lies after each only moves
    // along: true, and done at the first look at the folds after (or by settleMoves() on a later
    // turn), so the edit itself costs what its parts do, not what the folds of the text do.
    // Otherwise nothing is changed and false.
    bool moveAlong(QStringView text, const QList<EditHistory::Part>& parts);
    // The same, the text after the parts read a unit at a time (0 past either end): only the units
    // beside each part are read, so a text kept with a gap need not be brought into one piece. Many
    // parts are read on several threads at once: `at` must only read.
    bool moveAlong(const std::function<char16_t(qsizetype)>& at, const QList<EditHistory::Part>& parts);
    // Brings what moveAlong() moved up to date; a no-op when nothing waits.
    void settleMoves() const;
    bool movesPending() const { return !moves_.isEmpty(); }
    // Goes on with a scan edit() stopped, about `budget` units further, from resumesAt().
    void scanOn(Runs text, qsizetype budget);
    void scanOn(QStringView text, qsizetype budget) { scanOn(Runs{text, {}}, budget); }
    qsizetype resumesAt() const {
        settleMoves();
        return checkpoints_.empty() ? 0 : checkpointOffset(checkpoints_.size() - 1);
    }
    bool complete() const { return complete_; }
    // Whether the regions are known whose hidden range ends before this offset: all of them once
    // complete, else those whose closing line starts before the line the scan stopped in.
    qsizetype knownTo() const {
        settleMoves();
        return complete_ ? kWhole : checkpointLineStart(checkpoints_.size() - 1);
    }
    static constexpr qsizetype kWhole = std::numeric_limits<qsizetype>::max();

    // In the order the closing brackets occur (an inner block before the one enclosing it). Brings
    // every region up to date: for a whole list, not for each keystroke.
    const QList<FoldRegion>& regions() const;
    // The first region (in that order) whose header line starts at the offset, if any.
    std::optional<FoldRegion> withHeader(qsizetype headerLineStart) const;
    // Whether some region hides exactly this range; text is the current text.
    bool hides(QStringView text, TextRange hiddenRange) const;

    struct Open {
        char16_t closer;
        qsizetype lineStart;   // of the line holding the opening bracket
        qsizetype terminator;  // where that line's terminator starts; -1 while the line goes on
    };
    // The scan's state at a checkpoint, anywhere in the text, kept as what changed since the
    // checkpoint before: the open brackets below `floor` are that checkpoint's, the ones above are
    // `top`. However deep the brackets nest, a checkpoint holds only what its own stretch of text
    // opened, and the brackets of a line that ended in that stretch (their terminator became known).
    struct Checkpoint {
        qsizetype offset = 0;
        char16_t inString = 0;
        bool inComment = false;
        qsizetype lineStart = 0;  // of the line being scanned
        qsizetype depth = 0;      // open brackets here
        qsizetype floor = 0;      // the fewest open brackets since the checkpoint before
        qsizetype lineFloor = 0;  // the fewest since lineStart: those above were opened on this line
        // Depths floor..depth, their offsets counted from the checkpoint before so that moving this
        // one moves them too. A line start before that checkpoint can only be its own lineStart,
        // kept as -1; an unknown terminator is -1 too.
        std::vector<Open> top;
    };

    // Units the last reset or edit scanned.
    qsizetype lastScanLength() const { return lastScanLength_; }
    // Regions, header entries and checkpoints the last edit moved or shifted one by one.
    qsizetype lastEntriesShifted() const { return lastEntriesShifted_; }
    // Comparisons the header index took to order the regions the last reset, edit or scan found.
    qsizetype headersCompared() const { return headersCompared_; }

private:
    // Sorts (header line start, region index) entries given in closing order; returns the comparisons.
    static qsizetype orderByHeader(std::vector<std::pair<qsizetype, qsizetype>>& entries);
    // From the checkpoint `start` on; with onward, past the last checkpoint without meeting any.
    void rescan(Runs text, qsizetype at, qsizetype removed, qsizetype inserted, qsizetype budget, bool onward);

    // Entries as they are now, read through the shifts not yet applied to them.
    FoldRegion region(qsizetype i) const;
    qsizetype closeAt(qsizetype i) const;
    qsizetype checkpointOffset(size_t i) const;
    qsizetype checkpointLineStart(size_t i) const;
    qsizetype header(size_t i) const { return headerShift_.lineStart(byHeader_[i].first); }
    // The first header entry at or past a line start.
    size_t firstHeaderFrom(qsizetype lineStart) const;
    // Each brings its entries up to date, one by one, and says how many.
    qsizetype settleRegions() const;
    qsizetype settleCheckpoints() const;
    qsizetype settleHeaders() const;

    // The entries past an edit move along with it lazily (see PendingShift), so that typing costs
    // the same however much text follows.
    mutable QList<FoldRegion> regions_;
    mutable std::vector<qsizetype> closeAt_;  // offset of each region's closing bracket
    mutable PendingShift regionShift_;
    mutable std::vector<Checkpoint> checkpoints_;  // ascending; the first at offset 0 with nothing open
    mutable PendingShift checkpointShift_;
    mutable std::vector<std::pair<qsizetype, qsizetype>> byHeader_;  // (header line start, region index), ascending
    mutable PendingShift headerShift_;             // over all of byHeader_
    // The parts moveAlong() took, not yet applied to the entries (shared with the edit's own list:
    // nothing is made of them until they are applied).
    mutable QList<EditHistory::Part> moves_;
    qsizetype lastScanLength_ = 0;
    qsizetype lastEntriesShifted_ = 0;
    qsizetype headersCompared_ = 0;
    bool complete_ = true;
};
