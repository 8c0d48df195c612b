#include "Views/Editor/WrappingTextLayout.h"

#include <QFontMetrics>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "Editor/ExactText.h"

namespace {

// A line typed into keeps its colours until new ones come (a parse on its own thread may take a
// while): those after the edit move with the text, one the edit falls inside grows or shrinks with
// it. Left where they were, every row after the edit would show colours off by the edit's length.
void moveColours(QTextLayout* layout, int at, int removed, int added) {
    QList<QTextLayout::FormatRange> formats = layout->formats();
    if (formats.isEmpty()) return;
    const int delta = added - removed;
    for (QTextLayout::FormatRange& range : formats) {
        const int end = range.start + range.length;
        const int start = range.start <= at ? range.start : range.start >= at + removed ? range.start + delta : at + added;
        range.length = (end <= at ? end : end >= at + removed ? end + delta : at) - start;
        range.start = start;
    }
    formats.removeIf([](const QTextLayout::FormatRange& range) { return range.length <= 0; });
    layout->setFormats(formats);
}

} // namespace

WrappingTextLayout::WrappingTextLayout(QTextDocument* document)
    : QPlainTextDocumentLayout(document), blockCount_(document->blockCount()) {}

qreal WrappingTextLayout::lineWidth(const QTextBlock& block) const {
    const QTextDocument* doc = document();
    qreal width = wrapWidth_ > 0 ? wrapWidth_ : qreal(INT_MAX);
    width -= 2 * doc->documentMargin();
    if (doc->defaultTextOption().flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
        width -= QFontMetrics(block.charFormat().font()).horizontalAdvance(QChar(0x21B5));
    return width;
}

void WrappingTextLayout::breakIntoLines(QTextLayout* layout, qreal width) const {
    const qreal margin = document()->documentMargin();
    layout->setTextOption(document()->defaultTextOption());
    qreal y = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(margin, y));
        y += line.height();
        if (line.leading() < 0) y += std::ceil(line.leading());
    }
    layout->endLayout();
}

void WrappingTextLayout::layOutDetached(QTextLayout& layout) const {
    laidOut_ += layout.text().size();
    layout.setFont(document()->defaultFont());
    breakIntoLines(&layout, lineWidth(document()->firstBlock()));
}

void WrappingTextLayout::layOut(const QTextBlock& block) {
    QTextDocument* doc = document();
    QTextLayout* layout = block.layout();
    laidOut_ += block.length();
    // The shapes of a block's glyphs are kept from its layout for painting it, which would otherwise
    // shape it all again at every paint (a keystroke, the caret's blink, a highlight, an overlay).
    layout->setCacheEnabled(true);
    breakIntoLines(layout, lineWidth(block));
    if (block.length() > kLongFrom)
        keepCached(block, cachedLong_, kLongBlocks);
    else
        keepCached(block, cachedShort_, kShortBlocks);
    const int linesBefore = doc->lineCount();
    const_cast<QTextBlock&>(block).setUserState(style_);
    const_cast<QTextBlock&>(block).setLineCount(block.isVisible() ? layout->lineCount() : 0);
    if (doc->lineCount() != linesBefore) emit documentSizeChanged(documentSize());
}

void WrappingTextLayout::keepCached(const QTextBlock& block, std::deque<int>& cached, size_t most) {
    const int number = block.blockNumber();
    if (std::find(cached.begin(), cached.end(), number) != cached.end()) return;
    cached.push_back(number);
    if (cached.size() <= most) return;
    const QTextBlock old = document()->findBlockByNumber(cached.front());
    if (&cached == &cachedLong_) shown_.erase(cached.front());
    cached.pop_front();
    if (!old.isValid() || old == block || !old.layout()->cacheEnabled()) return;
    // Laid out with no lines, it lets its glyphs go; it is laid out again when next shown.
    QTextLayout* layout = old.layout();
    layout->setCacheEnabled(false);
    layout->beginLayout();
    layout->endLayout();
}

void WrappingTextLayout::setWrapWidth(qreal width) {
    if (width == wrapWidth_) return;
    wrapWidth_ = width;
    forgetRows();
}

void WrappingTextLayout::forgetRows() {
    ++style_;
    shown_.clear();
    // The lines kept laid out lose their rows now: they are most of those laid out, and the caret's
    // up and down read a line's rows as held. The walk finds any other.
    for (const std::deque<int>* cached : {&cachedLong_, &cachedShort_})
        for (const int number : *cached) document()->findBlockByNumber(number).clearLayout();
    walkAt_ = 0;
    walk();
    emit documentSizeChanged(documentSize());
    requestUpdate();
}

void WrappingTextLayout::walk() {
    if (!std::exchange(turnAhead_, true))
        QMetaObject::invokeMethod(this, [this] {
            turnAhead_ = false;
            walkedThisTurn_ = 0;
            if (walkAt_ >= 0) walk();
        }, Qt::QueuedConnection);
    QTextBlock block = document()->findBlockByNumber(walkAt_);
    bool recounted = false;
    for (; block.isValid() && walkedThisTurn_ < walkStep_; block = block.next()) {
        ++walkedThisTurn_;
        ++walked_;
        // A line not laid out since it last changed counts what it counts before layout already,
        // and one laid out since the walk began is as it should be: neither is read.
        const int laidOutAt = block.userState();
        if (laidOutAt == kNotLaidOut || laidOutAt == style_) continue;
        block.clearLayout();
        block.setUserState(kNotLaidOut);
        // Writing the count walks up the block tree.
        if (const int lines = rowsBeforeLayout(block); block.lineCount() != lines) {
            block.setLineCount(lines);
            recounted = true;
        }
    }
    walkAt_ = block.isValid() ? block.blockNumber() : -1;
    if (recounted) emit documentSizeChanged(documentSize());
}

QRectF WrappingTextLayout::blockBoundingRect(const QTextBlock& block) const {
    ++measured_;
    // Laid out here first, so the stock layout finds it laid out and never lays it out itself (at
    // its own width, with its widest-line tracking).
    // A folded line takes no room: it is never laid out (the stock layout would lay it out first,
    // and the widget asks for every folded line above the last one it paints).
    if (block.isValid() && !block.isVisible()) return QRectF();
    bool held = false;
    if (block.isValid() && !held_.empty()) {
        const int number = block.blockNumber();
        for (const Held& line : held_) {
            if (line.number != number) continue;
            if (line.bounds) return *line.bounds;
            held = true;
        }
    }
    if (block.isValid()) {
        const QTextLayout* layout = block.layout();
        if (layout->lineCount() == 0 || block.userState() != style_ || layout->lineAt(0).width() != lineWidth(block)) {
            auto* self = const_cast<WrappingTextLayout*>(this);
            self->layOut(block);
            // A line held back still shows its rows from before: the end of the hold compares.
            if (!held) self->remember(block);
        }
    }
    return QPlainTextDocumentLayout::blockBoundingRect(block);
}

QSizeF WrappingTextLayout::documentSize() const {
    // Lines wrap within the width; none is wider.
    return QSizeF(wrapWidth_, document()->lineCount());
}

void WrappingTextLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    QTextDocument* doc = document();
    // A new default font, text option or margin comes as the whole text added, none removed: no
    // character changed, only how every line wraps.
    if (from == 0 && charsRemoved == 0 && charsAdded == doc->characterCount() && doc->blockCount() == blockCount_) {
        forgetRows();
        return;
    }
    const std::optional<std::vector<int>> touched = std::exchange(nextChangeBlocks_, std::nullopt);
    if (touched && doc->blockCount() == blockCount_) {
        for (const int number : *touched) {
            doc->findBlockByNumber(number).clearLayout();
            shown_.erase(number);
        }
        emit update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
        return;
    }
    // What changed now lies in [from, from + charsAdded): the removed text is gone. (A line marked
    // dirty for its colours comes as its whole length removed and added.)
    const QTextBlock first = doc->findBlock(from);
    const QTextBlock last = doc->findBlock(from + qMax(charsAdded - 1, 0));
    // A change within one line, as typing makes, is laid out here; anything else goes the stock way,
    // which only forgets the layouts of the lines changed.
    const bool withinALine = first.isValid() && first == last && first.length() > 0 && doc->blockCount() == blockCount_;
    // New colours drop the rows laid out: a line held back keeps its bounds from them first.
    const auto keepColours = [&] {
        if (charsAdded != charsRemoved) moveColours(first.layout(), from - first.position(), charsRemoved, charsAdded);
    };
    if (withinALine && holds_ > 0) {
        hold(first);
        keepColours();
        return;
    }
    // Lines held back lose their numbers when lines come or go: they are laid out when next asked.
    if (!held_.empty()) {
        held_.clear();
        emit update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
    }
    if (withinALine) {
        // The count the line was last laid out with, kept by the document even when its layout
        // was cleared (as new colours clear it).
        const int linesBefore = first.lineCount();
        keepColours();
        layOut(first);
        repaint(first, linesBefore);
        return;
    }
    // A walk under way goes on where it was, however many lines came or went before it.
    if (walkAt_ > 0 && first.isValid() && walkAt_ > first.blockNumber())
        walkAt_ = qMax(first.blockNumber(), walkAt_ + doc->blockCount() - blockCount_);
    // The lines changed are painted whole; numbers shift when lines come or go.
    if (doc->blockCount() != blockCount_ || !first.isValid() || !last.isValid()) shown_.clear();
    else
        std::erase_if(shown_, [&](const auto& line) {
            return line.first >= first.blockNumber() && line.first <= last.blockNumber();
        });
    blockCount_ = doc->blockCount();
    // The stock layout walks from the first block changed through as many units as were removed and
    // added together.
    const QTextBlock walkedTo = doc->findBlock(qMax(0, from + charsRemoved + charsAdded - 1));
    forgotten_ += (walkedTo.isValid() ? walkedTo.blockNumber() : doc->blockCount() - 1) - first.blockNumber() + 1;
    // The stock way counts one row for a line it forgets (or shows again after a fold) where a block
    // of joined lines has a row per line: they count theirs first, so the scroll range never
    // shrinks meanwhile (the widget would scroll to fit it).
    bool recounted = false;
    const QTextBlock end = unjoined_ && first.isValid() ? first.next() : walkedTo.next();
    for (QTextBlock block = first; block.isValid() && block != end; block = block.next())
        if (const int lines = rowsBeforeLayout(block); lines > 1 && lines != block.lineCount()) {
            block.setLineCount(lines);
            recounted = true;
        }
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    if (recounted) emit documentSizeChanged(documentSize());
}

std::vector<int> WrappingTextLayout::laidOutBlocksAt(std::span<const std::pair<int, int>> spans) const {
    std::vector<int> numbers(cachedLong_.begin(), cachedLong_.end());
    numbers.insert(numbers.end(), cachedShort_.begin(), cachedShort_.end());
    for (const auto& line : shown_) numbers.push_back(line.first);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::erase_if(numbers, [&](int number) {
        const QTextBlock block = document()->findBlockByNumber(number);
        if (!block.isValid()) return true;
        const int start = block.position();
        const auto at = std::lower_bound(spans.begin(), spans.end(), start, [](const auto& span, int from) { return span.first < from; });
        return at == spans.end() || at->first >= start + block.length();
    });
    return numbers;
}

int WrappingTextLayout::rowsBeforeLayout(const QTextBlock& block) const {
    if (!block.isVisible()) return 0;
    // A block of joined lines is one of empty lines, never more than a group.
    const int length = block.length();
    if (length <= 1 || length > LineJoins::kGroup) return 1;
    ++joinReads_;
    return document()->characterAt(block.position()) == QChar(ExactText::kJoin) ? length : 1;
}

void WrappingTextLayout::remember(const QTextBlock& block) {
    if (block.length() > kLongFrom) shown_.insert_or_assign(block.blockNumber(), ShownRows(block));
}

bool WrappingTextLayout::repaint(const QTextBlock& block, int linesBefore) {
    std::optional<std::pair<qreal, qreal>> band;
    if (const auto was = shown_.find(block.blockNumber()); was != shown_.end()) {
        const ShownRows now(block);
        band = ShownRows::changedBand(was->second, now);
        was->second = now;
    } else {
        remember(block);
    }
    if (band) {
        if (band->second > band->first) emit rowsChanged(block, band->first, band->second);
    } else if (block.lineCount() == linesBefore) {
        emit updateBlock(block);
    } else {
        emit update(QRectF(0., -document()->documentMargin(), 1000000000., 1000000000.));
    }
    return block.lineCount() != linesBefore;
}

void WrappingTextLayout::hold(const QTextBlock& block) {
    const int number = block.blockNumber();
    if (std::any_of(held_.begin(), held_.end(), [number](const Held& line) { return line.number == number; })) return;
    QTextLayout* layout = block.layout();
    // Its rows as they were before the change still say how far it reaches (they are measured,
    // never drawn). A line whose rows are gone already (new colours clear them) is laid out when
    // measured, as it would be anyway.
    Held line{number, std::nullopt, block.lineCount()};
    if (layout->lineCount() > 0) line.bounds = QPlainTextDocumentLayout::blockBoundingRect(block);
    held_.push_back(line);
    // Rows that no longer fit the text are never read while it is held.
    layout->clearLayout();
}

bool WrappingTextLayout::release() {
    if (holds_ == 0 || --holds_ > 0) return false;
    bool moved = false;
    for (const Held& line : std::exchange(held_, {})) {
        const QTextBlock block = document()->findBlockByNumber(line.number);
        if (!block.isValid()) continue;
        if (block.layout()->lineCount() == 0) layOut(block);
        moved |= repaint(block, line.rows);
    }
    return moved;
}
