#include "Views/Editor/FoldingLayoutManager.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "Editor/ExactText.h"
#include "Views/Editor/WrappingTextLayout.h"

FoldingLayoutManager::FoldingLayoutManager(QTextDocument* display, const ExactText* text)
    : display_(display), text_(text) {}

void FoldingLayoutManager::setBlocksVisible(int first, int last, bool visible) {
    if (first > last) return;
    QTextBlock block = display_->findBlockByNumber(first);
    if (!block.isValid()) return;
    // The rows each line counts are written here: marked dirty instead, the lines would have the
    // stock layout walk on past them through as many lines again, and each of them find its place.
    const auto* wrapping = qobject_cast<const WrappingTextLayout*>(display_->documentLayout());
    for (int n = first; n <= last && block.isValid(); ++n, block = block.next()) {
        ++visitedBlocks_;
        block.setVisible(visible);
        // A line shown again is laid out when next measured.
        if (visible) block.clearLayout();
        // Writing the count walks up the block tree: only where it changes. A block of joined empty
        // lines counts a row per line.
        const int rows = !visible ? 0 : wrapping ? wrapping->rowsBeforeLayout(block) : 1;
        if (block.lineCount() != rows) block.setLineCount(rows);
    }
    QAbstractTextDocumentLayout* layout = display_->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    emit layout->update(QRectF(0., -display_->documentMargin(), 1000000000., 1000000000.));
}

void FoldingLayoutManager::setFoldedRanges(const QList<TextRange>& ranges) {
    QList<Applied> opened;
    for (qsizetype i = applied_.size() - 1; i >= 0; --i) {
        if (ranges.contains(applied_[i].range)) continue;
        setBlocksVisible(applied_[i].firstBlock, applied_[i].lastBlock, true);
        opened << applied_.takeAt(i);
    }
    // A fold still closed inside one that opened was shown with it: hide its lines again.
    for (const Applied& a : std::as_const(applied_))
        if (std::any_of(opened.begin(), opened.end(),
                        [&](const Applied& o) { return a.firstBlock <= o.lastBlock && o.firstBlock <= a.lastBlock; }))
            setBlocksVisible(a.firstBlock, a.lastBlock, false);
    folded_ = ranges;
    for (const TextRange& range : folded_) {
        const bool done = std::any_of(applied_.begin(), applied_.end(), [&](const Applied& a) { return a.range == range; });
        if (done) continue;
        // The header's block stays; the lines after it up to the closing line go.
        const int header = display_->findBlock(int(text_->toDisplay(range.location))).blockNumber();
        const int closing = display_->findBlock(int(text_->toDisplay(range.end()))).blockNumber();
        applied_.append({range, header + 1, closing - 1});
        setBlocksVisible(header + 1, closing - 1, false);
    }
}

void FoldingLayoutManager::releaseFrom(int firstBlock) {
    for (qsizetype i = applied_.size() - 1; i >= 0; --i) {
        if (applied_[i].lastBlock < firstBlock) continue;
        setBlocksVisible(applied_[i].firstBlock, applied_[i].lastBlock, true);
        applied_.removeAt(i);
    }
}

void FoldingLayoutManager::releaseChangedFrom(int firstBlock) {
    applied_.removeIf([&](const Applied& a) { return a.lastBlock >= firstBlock; });
    int run = -1;
    int n = firstBlock;
    for (QTextBlock block = display_->findBlockByNumber(firstBlock); block.isValid(); block = block.next(), ++n) {
        if (!block.isVisible()) {
            if (run < 0) run = n;
        } else if (run >= 0) {
            setBlocksVisible(run, n - 1, true);
            run = -1;
        }
    }
    if (run >= 0) setBlocksVisible(run, n - 1, true);
}

int FoldingLayoutManager::hiddenThrough(int block) const {
    int last = -1;
    for (const Applied& a : applied_)
        if (block >= a.firstBlock && block <= a.lastBlock) last = std::max(last, a.lastBlock);
    return last;
}
