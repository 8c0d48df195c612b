#pragma once
// The fold regions of an editor's text, kept up to date edit by edit. The scan that finds them is
// restarted at the last checkpoint before an edit and stops at the first checkpoint past it where
// its state is again what the earlier scan had there, so a keystroke costs a short rescan instead
// of a pass over the whole text, also inside a line of megabytes. The result is always the one a whole scan gives.
#include <QList>
#include <QStringView>
#include <utility>
#include <vector>

#include "Editor/FoldRegion.h"

class FoldTracker {
public:
    // Scans the whole text.
    void reset(QStringView text);
    // text is the text after `removed` units at `at` were replaced by `inserted` units.
    void edit(QStringView text, qsizetype at, qsizetype removed, qsizetype inserted);

    // In the order the closing brackets occur (an inner block before the one enclosing it).
    const QList<FoldRegion>& regions() const { return regions_; }
    // The first region (in that order) whose header line starts at the offset, if any.
    const FoldRegion* withHeader(qsizetype headerLineStart) const;
    // Whether some region hides exactly this range; text is the current text.
    bool hides(QStringView text, TextRange hiddenRange) const;

    struct Open {
        char16_t closer;
        qsizetype lineStart;   // of the line holding the opening bracket
        qsizetype terminator;  // where that line's terminator starts; -1 while the line goes on
        friend bool operator==(const Open&, const Open&) = default;
    };
    struct State {
        char16_t inString = 0;
        bool inComment = false;
        qsizetype lineStart = 0;  // of the line being scanned
        std::vector<Open> stack;
    };
    struct Checkpoint {
        qsizetype offset = 0;  // anywhere, also inside a long line
        State state;
    };

private:
    QList<FoldRegion> regions_;
    std::vector<qsizetype> closeAt_;       // offset of each region's closing bracket
    std::vector<Checkpoint> checkpoints_;  // ascending
    std::vector<std::pair<qsizetype, qsizetype>> byHeader_;  // (header line start, region index), ascending
};
