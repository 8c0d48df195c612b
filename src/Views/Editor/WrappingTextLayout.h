#pragma once
// The editor's line layout. Lines always wrap at the view's width, so the widest line never matters;
// the stock layout still tracks it, and whenever the line it holds as widest gets narrower (a
// backspace in it, or the line wrapping) it measures every line of the document again, on every
// such keystroke. This layout lays out every line itself, without that tracking.
//
// The wrap width is set here too (setWrapWidth), not through the stock setTextWidth: that one gives
// every line of the document a layout object of its own at each width change (hundreds of bytes a
// line, a gigabyte for a few million lines), where only the lines shown ever need one.
#include <QPlainTextDocumentLayout>
#include <deque>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "Views/Editor/ShownRows.h"

class WrappingTextLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    explicit WrappingTextLayout(QTextDocument* document);

    // The width lines wrap at (the view's width, margins included); 0 for no wrapping. A change
    // forgets how lines were laid out; each is laid out again when next asked for.
    void setWrapWidth(qreal width);
    qreal wrapWidth() const { return wrapWidth_; }

    // A new width, font or tab stop forgets how every line wrapped at once: a line laid out before
    // is laid out again when next asked for. The lines that took more rows than they count before
    // layout go back to that count on a walk over the blocks, at most walkStep() of them a turn, so
    // that a text of millions of lines never holds up the window for the whole walk.
    bool forgetting() const { return walkAt_ >= 0; }
    int walkStep() const { return walkStep_; }
    void setWalkStep(int blocks) { walkStep_ = qMax(1, blocks); }
    // How many blocks those walks stepped on since the layout was made.
    qsizetype walkedBlocks() const { return walked_; }

    // Lays out a line the display does not hold yet as it would lay out its block.
    void layOutDetached(QTextLayout& layout) const;

    QRectF blockBoundingRect(const QTextBlock& block) const override;
    // How many times a block's bounds were asked for since the layout was made.
    qsizetype measuredBlocks() const { return measured_; }
    // How many units of text were laid out since the layout was made.
    qsizetype laidOutUnits() const { return laidOut_; }
    // How many blocks changes handed to the stock layout to forget, since the layout was made.
    qsizetype forgottenBlocks() const { return forgotten_; }
    // How many blocks were read for whether they hold joined lines, since the layout was made.
    qsizetype blocksReadForJoins() const { return joinReads_; }
    QSizeF documentSize() const override;
    // The blocks holding rows laid out that the next change of the document touches, when it is
    // made of a few edits among the many lines between its first and its last (a Replace All): that
    // change forgets the rows of these alone instead of every line in between. Holds for that one
    // change only; dropNextChangeBlocks() takes it back.
    void setNextChangeBlocks(std::vector<int> blocks) { nextChangeBlocks_ = std::move(blocks); }
    void dropNextChangeBlocks() { nextChangeBlocks_.reset(); }
    // While on, changes bring no block of joined lines after the first block they touch (text
    // appended that has none): their new blocks are not read one by one for them.
    void setUnjoinedChanges(bool on) { unjoined_ = on; }
    // The blocks holding rows laid out in which one of these display spans, ascending, starts. Only
    // those few are looked up, however many spans there are.
    std::vector<int> laidOutBlocksAt(std::span<const std::pair<int, int>> spans) const;
    // How many blocks laidOutBlocksAt() looks up at most.
    qsizetype laidOutBlockCount() const { return qsizetype(cachedLong_.size() + cachedShort_.size() + shown_.size()); }

    // Between hold() and release() a line changed within itself (typed into, or given new colours)
    // is not laid out: an edit gives it new text and then new colours, and laying it out at each
    // would lay it out twice. Meanwhile it has no rows and measures as it did before the change;
    // release() lays out each such line once. True when that changed how many rows a line takes,
    // so the lines on screen are others than those measured meanwhile. Holds nest.
    void hold() { ++holds_; }
    bool release();

    // The rows a line not laid out yet counts: none when folded; one, or one per line for a block of
    // joined empty lines (an empty line never wraps), so the scroll range spans every line at once.
    int rowsBeforeLayout(const QTextBlock& block) const;

signals:
    // Rows [top, bottom) of a long line, within it, show something else: they alone need painting.
    void rowsChanged(const QTextBlock& block, qreal top, qreal bottom);

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    // Blocks keep their shaped glyphs between layout and painting (tens of bytes a character): of
    // those longer than kLongFrom the last kLongBlocks laid out, of the others the last kShortBlocks,
    // more than the largest screen shows.
    static constexpr int kLongFrom = 1024;
    static constexpr size_t kLongBlocks = 16;
    static constexpr size_t kShortBlocks = 400;
    void layOut(const QTextBlock& block);
    // Repaints a line laid out afresh; true when it now takes another number of rows than
    // linesBefore, and every line after it was repainted too.
    bool repaint(const QTextBlock& block, int linesBefore);
    // Holds a line back from layout (see hold()).
    void hold(const QTextBlock& block);
    void breakIntoLines(QTextLayout* layout, qreal width) const;
    void keepCached(const QTextBlock& block, std::deque<int>& cached, size_t most);
    // Notes what a long line's rows show as laid out now.
    void remember(const QTextBlock& block);
    // The width a line of text gets: the wrap width less the margins.
    qreal lineWidth(const QTextBlock& block) const;
    // Forgets how every line wrapped (see forgetting()), starts the walk and asks for a new size and
    // a repaint.
    void forgetRows();
    // Walks on through what is left of this turn's step.
    void walk();

    // Every line laid out carries, as its block's user state, the count of forgetRows() calls it
    // was laid out after: one that carries an older count is laid out again when asked for.
    static constexpr int kNotLaidOut = -1;
    int style_ = 0;
    int walkAt_ = -1;  // the number of the next block to walk; -1 when no walk is under way
    int walkStep_ = 1 << 19;
    int walkedThisTurn_ = 0;
    bool turnAhead_ = false;  // a call on the next turn is queued: it starts that turn's step
    qsizetype walked_ = 0;

    int blockCount_;
    qreal wrapWidth_ = 0;
    // Numbers of the blocks that keep their glyphs, oldest first. A number is looked up again when
    // it goes: the block may have moved or gone meanwhile, and one found in its place only loses
    // its glyphs.
    std::deque<int> cachedLong_;
    std::deque<int> cachedShort_;
    // What the long lines that keep their glyphs showed when last laid out, by block number.
    std::unordered_map<int, ShownRows> shown_;
    std::optional<std::vector<int>> nextChangeBlocks_;
    bool unjoined_ = false;
    // The lines held back from layout, with what they measured and how many rows they took before.
    struct Held {
        int number;
        std::optional<QRectF> bounds;
        int rows;
    };
    int holds_ = 0;
    std::vector<Held> held_;
    mutable qsizetype measured_ = 0;
    mutable qsizetype laidOut_ = 0;
    mutable qsizetype joinReads_ = 0;
    qsizetype forgotten_ = 0;
};
