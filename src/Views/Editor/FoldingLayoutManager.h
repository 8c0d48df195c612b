#pragma once
// Hides the text of folded blocks: the display shows one block per line, so a fold hides the whole
// lines between its header and its closing line. A region is folded exactly while its hidden range
// is in foldedRanges().
#include <QList>

#include "Editor/TextRange.h"

class ExactText;
class QTextDocument;

class FoldingLayoutManager {
public:
    FoldingLayoutManager(QTextDocument* display, const ExactText* text);

    // Hidden ranges of the folded regions, in the order they were folded.
    const QList<TextRange>& foldedRanges() const { return folded_; }
    // Shows what is no longer folded and hides what newly is.
    void setFoldedRanges(const QList<TextRange>& ranges);

    // Before the display's blocks from `firstBlock` on change: shows the hidden lines there, whose
    // block numbers are about to move; the next setFoldedRanges() hides what is still folded.
    void releaseFrom(int firstBlock);
    // After the display changed from `firstBlock` on without notice: the same, by looking.
    void releaseChangedFrom(int firstBlock);
    // The last block of the folds hiding the block, -1 when none does.
    int hiddenThrough(int block) const;
    // How many blocks were hidden or shown since this was made: what folding costs, counted.
    qsizetype visitedBlocks() const { return visitedBlocks_; }

private:
    struct Applied {
        TextRange range;
        int firstBlock;
        int lastBlock;
    };
    void setBlocksVisible(int first, int last, bool visible);

    QTextDocument* display_;
    const ExactText* text_;
    QList<TextRange> folded_;
    QList<Applied> applied_;  // folds hidden on the display now, with their blocks
    qsizetype visitedBlocks_ = 0;
};
