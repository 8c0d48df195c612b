#include "Views/Editor/CodeEditorCoordinator.h"

#include <QElapsedTimer>

#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimerEvent>
#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <span>
#include <tuple>
#include <utility>

#include "Editor/EditingAssistance.h"
#include "Editor/PerStringTest.h"
#include "Editor/FindMatcher.h"
#include "Editor/FindState.h"
#include "Editor/LongLineCheck.h"
#include "Editor/HighlighterRule.h"
#include "Editor/ParseWorker.h"
#include "Editor/TreeSitterHighlighter.h"
#include "Editor/TokenRole.h"
#include "Platform/LateRelease.h"
#include "Platform/Lines.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/Editor/FoldingLayoutManager.h"
#include "Views/Editor/LineNumberRuler.h"
#include "Views/Editor/WrappingTextLayout.h"
#include "Workspace/EditorDocument.h"

namespace {

// Where a slice of exact text ends in the display's rows and columns, given where it starts. Read
// where it lies: the display shows each terminator as one separator, and keeps every other unit.
TextEdit::Point pointAfter(TextEdit::Point start, QStringView exact) {
    if (!Lines::hasBreak(exact)) return {start.row, start.col + exact.size()};
    const qsizetype breaks = Lines::breakCount(exact);
    qsizetype lastBreak = exact.size() - 1;
    while (!Lines::isBreak(exact[lastBreak].unicode())) --lastBreak;
    return {start.row + breaks, exact.size() - lastBreak - 1};
}

// Lengths of the common start and end of two texts, never overlapping.
std::pair<qsizetype, qsizetype> commonAffixes(QStringView a, QStringView b) {
    const qsizetype limit = qMin(a.size(), b.size());
    qsizetype prefix = 0;
    while (prefix < limit && a[prefix] == b[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < limit - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) ++suffix;
    return {prefix, suffix};
}

// The edit as the highlighter needs it: offsets, and rows and columns before and after.
TextEdit editRecord(const ExactText::Change& change, TextEdit::Point start) {
    return TextEdit{change.range.location,
                    change.range.end(),
                    change.range.location + change.text.size(),
                    start,
                    pointAfter(start, change.removed),
                    pointAfter(start, change.text)};
}

// A text longer than this has its matches counted on another thread; a shorter one at once.
constexpr qsizetype kCountHereUpTo = 256 * 1024;
// How many matches ahead of the one a Replace All makes a part of its text is asked of memory.
constexpr qsizetype kReadAhead = 16;
// While they are counted, a new query's first match is looked for this far into the text, and the
// matches to paint at most this far into what the screen shows.
constexpr qsizetype kLookAheadWhileCounting = 64 * 1024;

// The exact range of some visible lines, whole, terminators included; all of the text when none.
TextRange exactRangeOf(const QList<CodeEditorView::VisibleLine>& lines, const ExactText& text) {
    if (lines.isEmpty()) return {0, text.size()};
    const QTextBlock last = lines.back().block;
    const qsizetype start = text.toExact(lines.front().block.position());
    const QTextBlock after = last.next();
    // The display's last line ends where the text shown so far ends.
    const qsizetype end = text.toExact(after.isValid() ? after.position() : last.position() + last.length() - 1);
    return {start, end - start};
}

// UTF-16 units put into the display per step while a long text is being shown: a step takes some
// tens of milliseconds, so typing and scrolling meanwhile never wait long.
constexpr qsizetype kShowStep = 256 * 1024;
// UTF-16 units handed to the display at once while it is filled.
constexpr qsizetype kShowSlice = 16 * 1024;
// Units a keystroke's fold rescan reads at most before the rest is left to later turns (a quote
// turns strings over to the end of the text), and per turn after.
constexpr qsizetype kFoldBudget = 64 * 1024;
constexpr qsizetype kFoldStep = 4 * 1024 * 1024;
// The text as it lies on either side of the gap kept at the last edit: the fold scan reads it
// there, so that a keystroke moves none of it.
FoldTracker::Runs foldText(const ExactText& text) {
    const QStringView head = text.wholeUpTo() > 0 ? text.run(0) : QStringView();
    return {head, text.run(head.size())};
}
// UTF-16 units a turn reads for long runs of empty lines that edits brought: at most a few hundred
// blocks of them joined per turn.
constexpr qsizetype kRegroupStep = 16 * 1024;
// A change longer than this goes into the display a step at a time.
constexpr qsizetype kRefillLength = 4 * kShowStep;
// Lines put into the display per step at most: a step of short lines then takes about a frame, so a
// key pressed meanwhile waits no longer.
constexpr qsizetype kShowLines = 8 * 1024;
// How far past what is shown a selection may reach and still be shown at once: a few steps.
constexpr qsizetype kNearReach = 2 * kShowStep;
// UTF-16 units whose line terminators are counted per step ahead of the display: the gutter learns
// the last line's number long before the display holds that line.
constexpr qsizetype kCountStep = 8 * 1024 * 1024;
// How long a turn goes on showing steps while a caret waits far past them: with the step after,
// about a frame, so a key typed meanwhile waits no longer.
constexpr qint64 kPendingTurnMs = 12;
// Steps between updates of the scroll bar: each update lays out the lines at the display's end.
constexpr int kStepsPerResize = 32;

// commonAffixes() of what the display shows before and after a part, never splitting a surrogate pair.
std::pair<qsizetype, qsizetype> displayedDifference(QStringView removed, QStringView inserted) {
    auto [prefix, suffix] = commonAffixes(removed, inserted);
    if (prefix > 0 && QChar::isHighSurrogate(removed[prefix - 1].unicode())) --prefix;
    if (suffix > 0 && QChar::isLowSurrogate(removed[removed.size() - suffix].unicode())) --suffix;
    return {prefix, suffix};
}

} // namespace

CodeEditorCoordinator::CodeEditorCoordinator(CodeEditorView* view, EditorDocument* document, FindState* find)
    : QObject(view), view_(view), document_(document), find_(find) {
    QTextDocument* display = view->document();
    display->setUndoRedoEnabled(false);  // undo works on the exact text (EditHistory)
    folding_ = std::make_unique<FoldingLayoutManager>(display, &text_);
    // The document's text, shared: a small one is copied at its first edit, and at a large one's
    // the saved text lets go of it (replaceExact), so it is then edited where it lies. The document
    // reads its text from here meanwhile, so the text is held once besides the saved text.
    text_.reset(document ? document->text() : QString());
    if (document) {
        documentRevision_ = document->textRevision();
        document->lendText(&text_);
    }
    makeHighlighter();
    connect(&counter_, &FindCounter::finished, this, &CodeEditorCoordinator::countFinished);

    // The display gets the text's start now and the rest on later turns of the event loop: filling
    // it costs about a second per ten megabytes, none of it needed to show the first lines.
    shownTo_ = nextShowEnd(0);
    text_.group(0, shownTo_);
    mirroring_ = true;
    display->setPlainText(text_.displayOf(0, shownTo_));
    mirroring_ = false;
    countedTo_ = shownTo_;
    // The folds likewise: those of the lines shown now, the rest a step per turn (scanFoldsOn). A
    // whole scan here would hold this turn for a time that grows with the text.
    folds_.reset(QStringView());
    folds_.edit(text_.text(), 0, 0, text_.size(), shownTo_);
    if (!isFullyShown() || !folds_.complete()) showing_.start(0, this);
    connect(display, &QTextDocument::contentsChange, this, &CodeEditorCoordinator::displayChanged);
    // Filling the display leaves the caret after the text, unseen and unreported: a new editor starts
    // at the top, and the document learns where its caret is.
    QTextCursor start(display);
    start.setPosition(int(toDisplay(firstEditable())));
    view->setTextCursor(start);
    updateCursor();
}

CodeEditorCoordinator::~CodeEditorCoordinator() {
    // Only this editor's loan ends here; a newer editor of the document may hold it already.
    if (document_ && document_->lentText() == &text_) document_->lendText(nullptr);
}

void CodeEditorCoordinator::makeHighlighter() {
    lastLanguage_ = language();
    parseWorker_.reset();
    colouredRevision_.reset();  // what the new highlighter parses is coloured anew
    highlighter_ = HighlighterRule::make(lastLanguage_, text_.size());
    treeSitter_ = dynamic_cast<TreeSitterHighlighter*>(highlighter_.get());
    highlighter_->setReader([this](qsizetype end) { text_.through(end); });
    if (!treeSitter_) return;
    parseWorker_ = std::make_unique<ParseWorker>(treeSitter_->language());
    connect(parseWorker_.get(), &ParseWorker::parsed, this, [this](quint64 revision) {
        if (revision == revision_ && (colouredRevision_ != revision || colouredByGuess_ || colouredRange_ != visibleRange()))
            highlight();
    });
    // The thread gets a text nothing here edits in place, or the first keystroke would copy the
    // whole text: the saved text while the text is just that (the thread copies it at its first
    // edit), else a copy.
    const bool saved = document_ && documentRevision_ == document_->textRevision() && document_->textIsSavedText();
    parseWorker_->reset(saved ? document_->savedText() : QString(text_.text().constData(), text_.size()), revision_);
}

void CodeEditorCoordinator::noteEdit(const ExactText::Change& change, TextEdit::Point startPoint) {
    noteEdit(editRecord(change, startPoint), change.text, &text_);
}

void CodeEditorCoordinator::noteEdit(const TextEdit& record, const QString& text, const ExactText* now) {
    ++revision_;
    if (parseWorker_) parseWorker_->edit(record, text, revision_, lastShown_, now);
    else if (highlighter_) highlighter_->noteEdit(record);
    // Points laid after an edit may no longer hold: laying goes on from the edit, a step a turn,
    // rather than taking up in one turn all it had laid past it.
    if (pointsLaidTo_ < text_.size()) pointsLaidTo_ = qMin(pointsLaidTo_, record.startChar);
}

CodeLanguage CodeEditorCoordinator::language() const {
    return document_ ? document_->language() : CodeLanguage::plain;
}

TextEdit::Point CodeEditorCoordinator::pointOf(qsizetype exact) const {
    QTextBlock block = view_->document()->findBlock(int(toDisplay(exact)));
    if (!block.isValid()) return {};
    const int row = lineOf(block);
    if (!startsLine(block)) {
        // The line's first piece: the first block of its line. A line of megabytes is thousands of
        // pieces, too many to walk back through at every keystroke; a block's line is never past
        // its number.
        int lo = row, hi = block.blockNumber();
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (lineOf(view_->document()->findBlockByNumber(mid)) < row) lo = mid + 1;
            else hi = mid;
        }
        block = view_->document()->findBlockByNumber(lo);
    }
    const qsizetype start = toExact(block.position());
    // A block of joined empty lines: the line is the one after the last join before the offset.
    if (const qsizetype joined = text_.joins().countIn(start, exact); joined > 0)
        return {row + int(joined), exact - text_.lineStart(exact)};
    return {row, exact - start};
}

int CodeEditorCoordinator::lineOf(const QTextBlock& block) const {
    const qsizetype start = toExact(block.position());
    return block.blockNumber() - int(text_.pieces().countUpTo(start)) + int(text_.joins().countBefore(start));
}

int CodeEditorCoordinator::lineAt(int displayPosition) const {
    return pointOf(toExact(displayPosition)).row;
}

bool CodeEditorCoordinator::startsLine(const QTextBlock& block) const {
    return !text_.pieces().isBreak(toExact(block.position()));
}

void CodeEditorCoordinator::leaveBusy() {
    if (--busy_ == 0) emit settled();
}

// --- filling the display

qsizetype CodeEditorCoordinator::nextShowEnd(qsizetype from) const {
    // Read around the edit's gap, which typing meanwhile keeps where the caret is.
    const qsizetype size = text_.size();
    const auto breakAt = [&](qsizetype i) { return text_.at(i) == u'\n' || text_.at(i) == u'\r'; };
    const auto after = [&](qsizetype i) { return i + (text_.at(i) == u'\r' && i + 1 < size && text_.at(i + 1) == u'\n' ? 2 : 1); };
    // A line costs the display more than a character: a step of short lines ends after so many.
    const qsizetype scanned = qMin(size, from + kShowStep);
    qsizetype lines = 0;
    for (qsizetype i = from; i < scanned; ++i)
        if (breakAt(i) && ++lines >= kShowLines) return after(i);
    if (size - from <= kShowStep) return size;
    // The start of a long line's piece serves as well as a line's.
    const std::vector<qsizetype>& breaks = text_.pieces().breaks();
    const auto piece = std::lower_bound(breaks.begin(), breaks.end(), from + kShowStep);
    const qsizetype pieceEnd = piece == breaks.end() ? size : *piece;
    // After the next line terminator (never between a CR and its LF), or a piece's start.
    for (qsizetype i = from + kShowStep; i < pieceEnd; ++i)
        if (breakAt(i)) return qMin(after(i), pieceEnd);
    return pieceEnd;
}

int CodeEditorCoordinator::lineCount() const {
    if (!view_) return 0;
    return view_->document()->blockCount() - int(text_.pieces().countBefore(shownTo_)) +
           int(text_.joins().countBefore(shownTo_)) + (countedTo_ >= text_.size() ? int(unshownBreaks_) : 0);
}

void CodeEditorCoordinator::countUnshownBreaks() {
    if (countedTo_ >= text_.size()) return;
    const qsizetype to = qMin(text_.size(), countedTo_ + kCountStep);
    unshownBreaks_ += Lines::breakCount(text_.slice(countedTo_, to));
    // A step may start between a CR and its LF: the pair was counted with the CR.
    if (countedTo_ > 0 && text_.at(countedTo_) == u'\n' && text_.at(countedTo_ - 1) == u'\r') --unshownBreaks_;
    countedTo_ = to;
    // The gutter takes the width the last line's number needs while few lines are laid out.
    if (countedTo_ >= text_.size() && view_) view_->layoutRuler();
}

void CodeEditorCoordinator::showUpTo(qsizetype end, bool announce) {
    if (!view_ || end <= shownTo_) return;
    QTextDocument* display = view_->document();
    const int blocksBefore = display->blockCount();
    text_.group(shownTo_, end);
    const qsizetype joinsAdded = text_.joins().countIn(shownTo_, end);
    {
        // The view hears of the new lines below in batches (see timerEvent): each time it does it
        // lays out a screenful at the end.
        const QSignalBlocker quiet(display->documentLayout());
        QTextCursor cursor(display);
        mirroring_ = true;
        // Inside an edit block the cursor leaves its place on screen unmeasured: moved and typed
        // outside one, it would lay out the display's last line at every step.
        cursor.beginEditBlock();
        displayLayout()->setUnjoinedChanges(joinsAdded == 0);
        cursor.setPosition(display->characterCount() - 1);
        // A slice at a time, each small enough to stay in the cache while the display copies it.
        for (qsizetype from = shownTo_, to; from < end; from = to) {
            to = qMin(end, from + kShowSlice);
            if (to < end && text_.at(to - 1) == u'\r' && text_.at(to) == u'\n') ++to;  // a CR LF is one break
            if (text_.pieces().isBreak(from)) cursor.insertBlock();
            cursor.insertText(text_.displayOf(from, to));
        }
        cursor.endEditBlock();
        displayLayout()->setUnjoinedChanges(false);
        mirroring_ = false;
    }
    const qsizetype piecesAdded = text_.pieces().countBefore(end) - text_.pieces().countBefore(shownTo_);
    shownTo_ = end;
    if (countedTo_ >= end) {
        unshownBreaks_ -= display->blockCount() - blocksBefore - piecesAdded + joinsAdded;
    } else {  // shown before counted: counting goes on from here
        countedTo_ = end;
        unshownBreaks_ = 0;
    }
    if (announce || isFullyShown() || ++showSteps_ % kStepsPerResize == 0) {
        QAbstractTextDocumentLayout* layout = display->documentLayout();
        emit layout->documentSizeChanged(layout->documentSize());
        emit layout->update(QRectF(0., -display->documentMargin(), 1000000000., 1000000000.));
        if (isFullyShown()) view_->ruler()->update();
    }
}

void CodeEditorCoordinator::refillFrom(qsizetype lineStart) {
    cutDisplayBackTo(lineStart);
    showUpTo(nextShowEnd(shownTo_));
    if (!showing_.isActive()) showing_.start(0, this);
}

void CodeEditorCoordinator::cutDisplayBackTo(qsizetype lineStart) {
    QTextDocument* display = view_->document();
    mirroring_ = true;
    QTextCursor cursor(display);
    cursor.setPosition(int(toDisplay(lineStart)));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    mirroring_ = false;
    text_.ungroupFrom(lineStart);
    shownTo_ = countedTo_ = lineStart;
    unshownBreaks_ = 0;
}

void CodeEditorCoordinator::showAll() {
    catchUpDisplay();
    showUpTo(text_.size());
}

void CodeEditorCoordinator::showThrough(qsizetype exactEnd) {
    // In one piece, which the view hears of once: it then lays out a screenful at the end once.
    qsizetype end = shownTo_;
    while (exactEnd >= end && end < text_.size()) end = nextShowEnd(end);
    showUpTo(end, true);
}

WrappingTextLayout* CodeEditorCoordinator::displayLayout() const {
    return static_cast<WrappingTextLayout*>(view_->document()->documentLayout());
}

bool CodeEditorCoordinator::isFarPastShown(qsizetype exactEnd) const {
    return !isFullyShown() && exactEnd - shownTo_ > kNearReach;
}

void CodeEditorCoordinator::timerEvent(QTimerEvent* event) {
    if (event->timerId() == catchingUp_.timerId()) {
        showParts(qMin(kPartsPerTurn, behind_->left));
        if (behind_->left == 0) finishParts();
        return;
    }
    if (event->timerId() != showing_.timerId()) return QObject::timerEvent(event);
    if (behind_) return;  // goes on once the display holds the change
    // A caret on its way far ahead goes on at once; the rest waits for the keys to stop.
    if (!pendingSelection_ && lastKey_.isValid() && lastKey_.elapsed() < kTypingPauseMs) {
        showing_.start(int(kTypingPauseMs - lastKey_.elapsed()), this);
        paused_ = true;
        return;
    }
    lastKey_.invalidate();
    // While a caret is on its way far ahead, a turn shows steps for a while rather than one: it
    // arrives sooner, and a key that then waits for it has less left to show.
    QElapsedTimer turn;
    turn.start();
    do {
        if (isFullyShown()) break;
        countUnshownBreaks();
        showUpTo(nextShowEnd(shownTo_));
        // Colouring where the caret arrives then reads from a resume point near it, not from far back.
        while (pendingSelection_ && pointsLaidTo_ < shownTo_ && layHighlightPoints()) {}
    } while (pendingSelection_ && isFarPastShown(pendingSelection_->range.end()) && turn.elapsed() < kPendingTurnMs);
    if (pendingSelection_ && !isFarPastShown(pendingSelection_->range.end())) {
        const PendingSelection pending = *std::exchange(pendingSelection_, std::nullopt);
        setSelection(pending.range, pending.reveal);
    }
    const bool laying = layHighlightPoints();
    const bool folding = scanFoldsOn();
    const bool grouping = regroupOn();
    if (isFullyShown() && !laying && !folding && !grouping) showing_.stop();
    else if (paused_) showing_.start(0, this);  // back to every turn
    paused_ = false;
}

// Only an edit that brings a line break, or leaves two line ends side by side, can make a run of
// empty lines. A Replace All within lines does neither: read as one change, its whole span (lines
// and all) would be read again for runs.
bool CodeEditorCoordinator::mayMakeEmptyLines(const ExactText::Change& change, const QList<EditHistory::Part>* parts) const {
    const auto lineEnd = [&](qsizetype i) { return i < 0 || i >= text_.size() || text_.at(i) == u'\n' || text_.at(i) == u'\r'; };
    // Where something was taken away and nothing put, in the text as it is now.
    const auto emptied = [&](qsizetype at) { return lineEnd(at - 1) && lineEnd(at); };
    if (!parts) {
        if (Lines::hasBreak(change.text)) return true;
        return change.range.length > 0 && change.text.isEmpty() && emptied(change.range.location);
    }
    // Parts come here only when none touches a line end (applyParts): each is within one line.
    qsizetype delta = 0;  // parts lie where the text was before them
    for (const EditHistory::Part& part : *parts) {
        if (!part.removed.isEmpty() && part.inserted.isEmpty() && emptied(part.location + delta)) return true;
        delta += part.inserted.size() - part.removed.size();
    }
    return false;
}

bool CodeEditorCoordinator::regroupOn() {
    if (ungrouped_.isEmpty() || !view_) return false;
    // What the display does not hold yet is grouped as it goes in.
    if (!isFullyShown()) return true;
    const TextRange step = ungrouped_.next(kRegroupStep);
    const LineJoins::Regrouped done = text_.regroup(step.location, step.end());
    ungrouped_.doneTo(done.resume);
    if (!done.firsts.empty()) showJoined(done.firsts);
    return !ungrouped_.isEmpty();
}

void CodeEditorCoordinator::showJoined(const std::vector<qsizetype>& firsts) {
    QTextDocument* display = view_->document();
    // Block numbers change from the first: the folds there are laid again after.
    folding_->releaseFrom(display->findBlock(int(toDisplay(firsts.front()))).blockNumber());
    // Offsets, not a cursor: the display moves its cursors along with what it replaces.
    const int anchor = view_->textCursor().anchor(), position = view_->textCursor().position();
    const int top = view_->verticalScrollBar()->value();
    mirroring_ = true;
    QTextCursor cursor(display);
    cursor.beginEditBlock();
    // The separators between the lines become line breaks inside one block, unit for unit.
    const QString joins(LineJoins::kGroup - 1, QChar(ExactText::kJoin));
    for (const qsizetype first : firsts) {
        cursor.setPosition(int(toDisplay(first)));
        cursor.setPosition(cursor.position() + int(joins.size()), QTextCursor::KeepAnchor);
        cursor.insertText(joins);
    }
    cursor.endEditBlock();
    // The caret and the selection stand where they stood, and so do the lines on screen.
    QTextCursor kept(display);
    kept.setPosition(anchor);
    kept.setPosition(position, QTextCursor::KeepAnchor);
    view_->setTextCursor(kept);
    mirroring_ = false;
    // The widget looks for the block of its first line again only when the value changes: the
    // blocks before it may be fewer now.
    QScrollBar* bar = view_->verticalScrollBar();
    bar->setValue(top > bar->minimum() ? top - 1 : top + 1);
    bar->setValue(top);
    keepFolds();
    view_->ruler()->update();
}

// A regular-expression highlighter resumes its scan for strings and comments at points its earlier
// scans laid. Laying them through a long text a step at a time after it opens means that a first look
// far into it never scans from the start.
bool CodeEditorCoordinator::layHighlightPoints() {
    if (parseWorker_ || !highlighter_ || pointsLaidTo_ >= text_.size()) return false;
    // Past the last edit they wait: laying them there would move the text away from where it is
    // typed into, at every keystroke. Colouring a place far on lays them on its way.
    if (qMin(text_.size(), pointsLaidTo_ + 4 * kShowStep) > text_.wholeUpTo()) return false;
    pointsLaidTo_ = qMin(text_.size(), pointsLaidTo_ + 4 * kShowStep);
    highlighter_->ranges(colourText(pointsLaidTo_), std::nullopt, TextRange{pointsLaidTo_, 0});
    return pointsLaidTo_ < text_.size();
}

const QString& CodeEditorCoordinator::colourText(qsizetype end) const {
    // The highlighter asks for more itself when it reads on (see SyntaxHighlighter::setReader).
    return text_.through(end);
}

// --- selection

TextRange CodeEditorCoordinator::selection() const {
    if (!view_) return {};
    if (pendingSelection_) return pendingSelection_->range;
    if (behind_) return behind_->after;
    const QTextCursor cursor = view_->textCursor();
    const qsizetype start = toExact(cursor.selectionStart());
    return {start, toExact(cursor.selectionEnd()) - start};
}

void CodeEditorCoordinator::setSelection(TextRange range, bool reveal) {
    catchUpDisplay();
    if (!view_) return;
    const qsizetype start = qBound<qsizetype>(firstEditable(), range.location, text_.size());
    const qsizetype end = qBound<qsizetype>(start, range.end(), text_.size());
    pendingSelection_.reset();
    // Showing all that lies before a far place takes seconds in a long text: the window goes on
    // turning and the selection is made when the place arrives.
    if (isFarPastShown(end)) {
        pendingSelection_ = PendingSelection{{start, end - start}, reveal};
        return;
    }
    showThrough(end);
    unfoldAt(start, end);
    QTextCursor cursor(view_->document());
    cursor.setPosition(int(toDisplay(start)));
    cursor.setPosition(int(toDisplay(end)), QTextCursor::KeepAnchor);
    view_->setTextCursor(cursor);
    if (reveal) view_->ensureCursorVisible();
}

void CodeEditorCoordinator::landPendingSelection() {
    catchUpDisplay();
    if (!pendingSelection_) return;
    const PendingSelection pending = *std::exchange(pendingSelection_, std::nullopt);
    showThrough(pending.range.end());
    setSelection(pending.range, pending.reveal);
}

void CodeEditorCoordinator::movePendingToRowEdge(bool toEnd) {
    catchUpDisplay();
    if (!view_ || !pendingSelection_) return;
    const qsizetype at = pendingSelection_->range.end();
    const TextRange piece = text_.pieces().pieceAt(text_.text(), at);
    // A piece holds no terminator: its display offsets are its own.
    QTextLayout layout(text_.displayOf(piece.location, piece.end()));
    displayLayout()->layOutDetached(layout);
    // The row the caret is in: the last one starting at or before it.
    int row = 0;
    while (row + 1 < layout.lineCount() && layout.lineAt(row + 1).textStart() <= at - piece.location) ++row;
    const QTextLine line = layout.lineAt(row);
    qsizetype target = line.isValid() ? line.textStart() : 0;
    if (toEnd && line.isValid()) {
        target += line.textLength();
        // A row the wrapping broke after a space ends before it, as the widget's own End has it.
        if (row + 1 < layout.lineCount() && layout.text().at(target - 1).isSpace()) --target;
    }
    setSelection({piece.location + target, 0}, true);
}

qsizetype CodeEditorCoordinator::firstEditable() const {
    return text_.size() > 0 && text_.at(0) == QChar(0xFEFF) ? 1 : 0;
}

void CodeEditorCoordinator::selectionChanged() {
    if (!view_ || mirroring_ || behind_) return;
    pendingSelection_.reset();  // the user's own move
    // The file's byte-order mark reads as nothing: a caret before it would act on it unseen.
    if (const QTextCursor cursor = view_->textCursor(); firstEditable() > 0 && cursor.selectionStart() == 0) {
        const int past = int(toDisplay(firstEditable()));
        QTextCursor kept(view_->document());
        kept.setPosition(qMax(cursor.anchor(), past));
        kept.setPosition(qMax(cursor.position(), past), QTextCursor::KeepAnchor);
        view_->setTextCursor(kept);  // comes back here
        return;
    }
    // The caret or selection reached the end of what is shown (a line down, a page down, a drag):
    // a caret needs the next lines, a selection all of the rest. A selection of all that is shown
    // grows to all of the text; anything else stays where it was put.
    if (const QTextCursor cursor = view_->textCursor();
        !isFullyShown() && cursor.selectionEnd() >= view_->document()->characterCount() - 1) {
        const int anchor = cursor.anchor(), position = cursor.position();
        // Either moves a cursor at the end along.
        if (cursor.hasSelection()) showAll();
        else showThrough(shownTo_);
        if (qMin(anchor, position) > 0) {
            QTextCursor kept(view_->document());
            kept.setPosition(anchor);
            kept.setPosition(position, QTextCursor::KeepAnchor);
            view_->setTextCursor(kept);
        }
    }
    updateCursor();
    view_->ruler()->refresh();
}

void CodeEditorCoordinator::updateCursor() {
    if (!view_ || !document_) return;
    // The caret's own place, also one still on its way past what the display holds.
    const qsizetype exact = qMin(selection().location, text_.size());
    const TextEdit::Point point = exact > shownTo_ ? unshownPoint(exact) : pointOf(exact);
    const int line = point.row + 1;
    const int column = int(qMax<qsizetype>(point.col + 1 - (point.row == 0 ? firstEditable() : 0), 1));
    // Reported on a later turn, after the edit or move that caused it has been fully processed.
    const QPointer<EditorDocument> document = document_;
    QMetaObject::invokeMethod(
        document.data(),
        [document, line, column] {
            if (!document) return;
            document->setCursorLine(line);
            document->setCursorColumn(column);
        },
        Qt::QueuedConnection);
}

// --- changes

void CodeEditorCoordinator::userChange(TextRange range, const QString& replacement, bool typed) {
    if (applyingEdit_) {
        apply(range, replacement, {range.location + replacement.size(), 0}, Origin::own);
        return;
    }
    lastKey_.start();
    using Kind = EditingAssistance::Decision::Kind;
    // The assistance reads the characters at the edit, or for a new line the line it splits (and
    // the unit after a lone CR, to tell it from a CR LF).
    const qsizetype reads = replacement == QStringLiteral("\n") ? text_.lineEnd(range.end(), text_.size()) + 1 : range.end() + 2;
    const EditingAssistance::Decision decision =
        EditingAssistance::filter(text_.through(reads), range, replacement, language(), text_.newline());
    switch (decision.kind) {
    case Kind::allow:
        apply(range, replacement, {range.location + replacement.size(), 0}, typed ? Origin::typing : Origin::user);
        break;
    case Kind::moveCaret:
        history_.closeStep();
        setSelection({decision.caret, 0}, true);
        break;
    case Kind::edit:
        applyingEdit_ = true;
        apply(decision.edit.range, decision.edit.text, decision.edit.selection, Origin::own);
        applyingEdit_ = false;
        break;
    }
}

void CodeEditorCoordinator::plainChange(TextRange range, const QString& replacement) {
    apply(range, replacement, {range.location + replacement.size(), 0}, Origin::user);
}

void CodeEditorCoordinator::mirror(qsizetype displayStart, qsizetype displayEnd, const QString& displayText) {
    mirroring_ = true;
    QTextCursor cursor(view_->document());
    cursor.setPosition(int(displayStart));
    cursor.setPosition(int(displayEnd), QTextCursor::KeepAnchor);
    if (displayText.isEmpty()) cursor.removeSelectedText();
    else cursor.insertText(displayText);
    mirroring_ = false;
}

bool CodeEditorCoordinator::apply(TextRange range, const QString& text, TextRange after, Origin origin) {
    catchUpDisplay();
    if (!view_) return false;
    if (origin != Origin::external && view_->isReadOnly()) return false;  // the change check
    // The byte-order mark stays: only a reload or undo puts the text before it in other hands.
    const qsizetype first = origin == Origin::external || origin == Origin::undo ? 0 : firstEditable();
    const qsizetype a = qBound<qsizetype>(first, range.location, text_.size());
    const qsizetype b = qBound<qsizetype>(a, range.end(), text_.size());
    // Past the first unit not shown, even an edit that joins a CR LF stays out of the display.
    if (!isFullyShown() && a > shownTo_) return applyUnshown({a, b - a}, text, after, origin);
    // The display takes the pieces around the edit whole when it breaks them afresh.
    showThrough(b + 2 * LinePieces::kMaxPiece);
    const TextRange before = selection();
    if (text_.slice(a, b) == text) {
        setSelection(after, true);
        return true;
    }

    ++busy_;
    QTextDocument* display = view_->document();
    // Lines before the change are as they were: its start point reads the same either side. It is
    // read before, while the display and the pieces agree: the change may break the piece it starts
    // in afresh. Replacing widens the range by a CR before it at most.
    const TextEdit::Point pointAtStart = pointOf(a);
    const TextEdit::Point pointBeforeStart = a > 0 && text_.at(a - 1) == u'\r' ? pointOf(a - 1) : pointAtStart;
    const ExactText::Change change = replaceExact({a, b - a}, text, origin != Origin::external);
    shiftShown(change.text.size() - change.range.length);  // the change lies within what is shown
    const TextEdit::Point startPoint = change.range.location == a ? pointAtStart : pointBeforeStart;
    // The parse starts now, on its own thread, while the display takes the change.
    noteEdit(change, startPoint);
    const QTextBlock startBlock = display->findBlock(int(change.displayStart));
    folding_->releaseFrom(startBlock.blockNumber());
    // A change far longer than a step of filling the display (a large paste) goes in as a long text
    // opens: the display is cut back to the line it starts on and filled again a step at a time.
    // Keys typed meanwhile act in the text (a selection on its way, see applyUnshown).
    // The line edited is laid out once its new colours are in (recordApplied), not before as well.
    displayLayout()->hold();
    if (change.text.size() > kRefillLength && display->characterCount() - 1 - change.displayEnd <= kShowStep)
        refillFrom(toExact(startBlock.position()));
    else
        mirror(change.displayStart, change.displayEnd, text_.displayOf(change));
    recordApplied(change, before, after, origin);
    updateCursor();
    leaveBusy();
    return true;
}

void CodeEditorCoordinator::recordApplied(const ExactText::Change& change, TextRange before, TextRange after, Origin origin) {
    if (origin == Origin::external) history_.clear();
    else if (origin != Origin::undo)
        history_.record({change.range.location, change.removed, change.text, before, after, origin == Origin::typing, {}});
    // Colours first: the caret below measures the line edited, which lays it out, with them.
    textDidChange(origin != Origin::external, change);
    // A line that took another number of rows moved the lines after it: those on screen are others.
    if (displayLayout()->release()) highlight();
    setSelection(after, true);
}

bool CodeEditorCoordinator::applyUnshown(TextRange range, const QString& text, TextRange after, Origin origin) {
    const TextRange before = selection();
    if (text_.slice(range.location, range.end()) == text) {
        setSelection(after, true);
        return true;
    }
    ++busy_;
    const ExactText::Change change = replaceExact(range, text, origin != Origin::external);
    // The text before the change is as it was: its start point reads the same either side.
    const TextEdit::Point startPoint = unshownPoint(change.range.location);
    const qsizetype changeEnd = change.range.location + change.text.size();
    if (change.range.end() <= countedTo_) {
        countedTo_ += change.text.size() - change.range.length;
        unshownBreaks_ += Lines::breakCount(change.text) - Lines::breakCount(change.removed);
    } else if (change.range.location < countedTo_) {
        unshownBreaks_ -= Lines::breakCount(QStringView(change.removed).first(countedTo_ - change.range.location));
        countedTo_ = change.range.location;
    }
    noteEdit(change, startPoint);
    recordApplied(change, before, after, origin);
    // Set after textDidChange, which forgets a known point the edit lies before; the caret is
    // reported from it.
    unshownKnown_ = {changeEnd, pointAfter(startPoint, change.text)};
    updateCursor();
    leaveBusy();
    return true;
}

TextEdit::Point CodeEditorCoordinator::unshownPoint(qsizetype exact) const {
    // The display's last block, empty, starts where what is shown ends (a line's start, or a long
    // line's piece).
    qsizetype from = shownTo_;
    TextEdit::Point point = pointOf(shownTo_);
    // A place earlier on the known point's line (a backspace there) counts back from it.
    const KnownPoint& known = unshownKnown_;
    if (known.offset > exact && exact >= shownTo_ && exact >= known.offset - known.point.col) {
        const QStringView back = text_.slice(exact, known.offset);
        readPastShown_ += back.size();
        if (!Lines::hasBreak(back)) return {known.point.row, known.point.col - back.size()};
    }
    if (unshownKnown_.offset >= shownTo_ && unshownKnown_.offset <= exact) {
        from = unshownKnown_.offset;
        point = unshownKnown_.point;
    }
    const QStringView stretch = text_.slice(from, exact);
    readPastShown_ += stretch.size();
    const qsizetype breaks = Lines::breakCount(stretch);
    if (breaks == 0) return {point.row, point.col + stretch.size()};
    return {point.row + breaks, exact - Lines::lineStart(text_.through(exact), exact)};
}

void CodeEditorCoordinator::displayChanged(int position, int removed, int added) {
    if (mirroring_ || !view_) return;
    catchUpDisplay();
    // The rest goes after the change, which the lengths below then account for.
    showAll();
    QTextDocument* display = view_->document();
    const qsizetype newLength = display->characterCount() - 1;
    const qsizetype oldLength = toDisplay(text_.size());
    // A whole-document change counts the final block separator too.
    added = int(qBound<qsizetype>(0, qsizetype(added), newLength - position));
    removed = int(qBound<qsizetype>(0, oldLength - newLength + added, oldLength - position));

    const qsizetype exactStart = toExact(position);
    const qsizetype exactEnd = toExact(position + removed);
    const QString before = text_.displayOf(exactStart, exactEnd);
    QTextCursor slice(display);
    slice.setPosition(position);
    slice.setPosition(position + added, QTextCursor::KeepAnchor);
    const QString after = slice.selectedText();
    const auto [prefix, suffix] = commonAffixes(before, after);
    if (before.size() == prefix + suffix && after.size() == prefix + suffix) return;  // nothing really changed

    ++busy_;
    const QStringView addedDisplay = QStringView(after).mid(prefix, after.size() - prefix - suffix);
    QString inserted = addedDisplay.toString();
    inserted.replace(QChar(ExactText::kSeparator), text_.newline());

    const TextRange range{toExact(position + prefix), toExact(position + removed - suffix) - toExact(position + prefix)};
    const TextRange selectionBefore = {range.location, range.length};
    folding_->releaseChangedFrom(display->findBlock(int(position + prefix)).blockNumber());
    const ExactText::Change change = replaceExact(range, inserted, true);
    shiftShown(change.text.size() - change.range.length);
    if (const QString shown = text_.displayOf(change); change.range != range || shown != addedDisplay) {
        // The exact text joined or split a CR LF, or took a character the display shows otherwise
        // (a line separator inside a line): show it as it is.
        const qsizetype shownEnd = change.displayEnd + (newLength - oldLength);
        mirror(change.displayStart, shownEnd, shown);
    }
    noteEdit(change, pointOf(change.range.location));
    history_.record({change.range.location, change.removed, change.text, selectionBefore, selection(), false, {}});
    textDidChange(true, change);
    updateCursor();
    leaveBusy();
}

void CodeEditorCoordinator::syncFromDocument() {
    if (document_ && document_->language() != lastLanguage_) highlight();  // coloured as the language it now is
    if (!document_ || document_->textRevision() == documentRevision_) return;
    documentRevision_ = document_->textRevision();
    replaceText(document_->text());
    document_->lendText(&text_);
}

void CodeEditorCoordinator::replaceText(const QString& newText) {
    if (newText == text_.text()) return;
    applyWhole(newText, Origin::external);
}

bool CodeEditorCoordinator::applyWhole(const QString& newText, Origin origin, std::optional<TextRange> after) {
    const qsizetype caret = qMin(selection().location, newText.size());
    // Only the part that differs is replaced, so folds and colours elsewhere stay.
    const auto [prefix, suffix] = commonAffixes(text_.text(), newText);
    const TextRange range{prefix, text_.size() - prefix - suffix};
    return apply(range, newText.mid(prefix, newText.size() - prefix - suffix), after.value_or(TextRange{caret, 0}), origin);
}

void CodeEditorCoordinator::undo() {
    catchUpDisplay();
    // A step taken but not made would be made again by a redo once the text may change.
    if (!view_ || view_->isReadOnly()) return;
    const std::optional<EditHistory::Entry> entry = history_.takeUndo();
    if (!entry) return;
    if (!entry->parts.isEmpty())
        applyParts(EditHistory::inverted(entry->parts), entry->selectionBefore, Origin::undo);
    else
        apply({entry->location, entry->inserted.size()}, entry->removed, entry->selectionBefore, Origin::undo);
}

void CodeEditorCoordinator::redo() {
    catchUpDisplay();
    if (!view_ || view_->isReadOnly()) return;
    const std::optional<EditHistory::Entry> entry = history_.takeRedo();
    if (!entry) return;
    if (!entry->parts.isEmpty()) applyParts(entry->parts, entry->selectionAfter, Origin::undo);
    else apply({entry->location, entry->removed.size()}, entry->inserted, entry->selectionAfter, Origin::undo);
}

bool CodeEditorCoordinator::applyParts(const QList<EditHistory::Part>& parts, TextRange after, Origin origin) {
    catchUpDisplay();
    if (!view_ || parts.isEmpty()) return false;
    if (view_->isReadOnly()) return false;  // the change check
    // Each part goes into the display on its own, so the display keeps every line between them, when
    // no part touches a line's end (which could join or split a CR LF or a line) and no line is or
    // becomes long enough to be shown in pieces. Otherwise the text between the first and the last
    // part is replaced as one change.
    PerStringTest removedBreaks(Lines::hasBreak), insertedBreaks(Lines::hasBreak);
    const auto touchesALineEnd = [&](const EditHistory::Part& part) {
        const qsizetype at = part.location, end = part.location + part.removed.size();
        return removedBreaks(part.removed) || insertedBreaks(part.inserted) ||
               (at > 0 && text_.at(at - 1) == u'\r' && end < text_.size() && text_.at(end) == u'\n');
    };
    // A part near joined empty lines may empty a line or fill an empty one: the parts then go as one
    // change, which shows the lines around them one block each. Otherwise the joins move along.
    const auto nearJoins = [&](const EditHistory::Part& part) {
        return text_.joins().touchedBy(part.location, part.removed.size()).length > 0;
    };
    const bool separately = isFullyShown() && text_.pieces().breaks().empty() &&
                            std::none_of(parts.begin(), parts.end(), touchesALineEnd) &&
                            (text_.joins().isEmpty() || std::none_of(parts.begin(), parts.end(), nearJoins)) &&
                            !LongLineCheck::growsALineLong(text_, parts);
    if (!separately) {
        // Only the span from the first part to the last is made anew, not the whole text.
        const qsizetype from = parts.front().location, to = parts.back().location + parts.back().removed.size();
        QList<RegularExpression::Replacement> replacements;
        replacements.reserve(parts.size());
        for (const EditHistory::Part& part : parts) replacements.append({{part.location - from, part.removed.size()}, part.inserted});
        const QStringView old = text_.slice(from, to);
        QString span = RegularExpression::spliced(old, replacements);
        const auto [prefix, suffix] = commonAffixes(old, span);
        const TextRange range{from + prefix, old.size() - prefix - suffix};
        span.truncate(span.size() - suffix);
        span.remove(0, prefix);  // its start moves on: nothing is copied
        const auto release = qScopeGuard([&] { LateRelease::drop(span); });  // a long line's: freed off this thread
        // While the display is still being filled, a span reaching past what it holds would first be
        // shown whole, in one turn: the display goes back to before the span's first line instead,
        // and the filling goes on from there with the span already changed.
        if (!isFullyShown() && range.location <= shownTo_ && range.end() > shownTo_) {
            QTextDocument* display = view_->document();
            QTextBlock first = display->findBlock(int(toDisplay(range.location)));
            // The span must begin past the first unit not shown: a line starting with it goes too.
            if (toExact(first.position()) == range.location && first.previous().isValid()) first = first.previous();
            folding_->releaseFrom(first.blockNumber());
            cutDisplayBackTo(toExact(first.position()));
            if (!showing_.isActive()) showing_.start(0, this);
            // A span from the text's very start: nothing is shown before it, nor can it join a line end.
            if (range.location == 0 && (origin == Origin::undo || firstEditable() == 0)) {
                if (!applyUnshown(range, span, after, origin)) return false;
                if (origin != Origin::undo) history_.replaceLast(parts);
                return true;
            }
        }
        if (!apply(range, span, after, origin)) return false;
        // apply() recorded one change; the history keeps the parts instead.
        if (origin != Origin::undo && origin != Origin::external) history_.replaceLast(parts);
        return true;
    }

    emit textAboutToChange();
    ++busy_;
    const TextRange before = selection();
    const qsizetype a = parts.front().location;
    const qsizetype b = parts.back().location + parts.back().removed.size();
    qsizetype delta = 0;
    for (const EditHistory::Part& part : parts) delta += part.inserted.size() - part.removed.size();
    // No part adds or removes a line: rows stay, and the last line's column moves by what the
    // parts on that line add.
    const TextEdit::Point startPoint = pointOf(a), oldEndPoint = pointOf(b);
    const qsizetype lastLineStart = b - oldEndPoint.col;
    qsizetype lastLineDelta = 0;
    for (const EditHistory::Part& part : parts)
        if (part.location >= lastLineStart) lastLineDelta += part.inserted.size() - part.removed.size();
    const TextEdit record{a, b, b + delta, startPoint, oldEndPoint, {oldEndPoint.row, oldEndPoint.col + lastLineDelta}};
    // Where each part lies in the display as it is.
    std::vector<std::pair<int, int>> shown;
    shown.reserve(size_t(parts.size()));
    for (const EditHistory::Part& part : parts)
        shown.emplace_back(int(text_.toDisplay(part.location)), int(text_.toDisplay(part.location + part.removed.size())));
    // A text still shared with the saved text would be copied whole for the edit: the document lets
    // go of it first where it can (as for any first edit), and the parts go in where the text lies.
    if (document_ && document_->textRevision() == documentRevision_ && document_->lentText() == &text_)
        for (qsizetype i = 0; i < parts.size() && text_.isShared(); ++i)
            document_->willReplace(parts[i].location, parts[i].removed.size(), parts[i].inserted);
    text_.replaceEach(parts);
    ExactText::Change change;
    change.range = {a, b - a};
    // What the parts put there, read where it lies (the gap ends the span: nothing moves for it), valid
    // through the after-edit work; the background parse, which keeps what it is given, gets a copy.
    const QStringView span = text_.slice(a, b + delta);
    change.text = QString::fromRawData(span.constData(), span.size());
    folding_->releaseFrom(view_->document()->findBlock(shown.front().first).blockNumber());
    shiftShown(delta);
    // The text, the document, the history, the colours' and the folds' books have the change at once:
    // a save, or a look at any of them, meanwhile sees all of it.
    noteEdit(record, parseWorker_ ? QString(change.text.constData(), change.text.size()) : change.text);
    if (origin != Origin::undo) {
        EditHistory::Entry entry;
        entry.selectionBefore = before;
        entry.selectionAfter = after;
        entry.parts = parts;
        history_.record(std::move(entry));
    }
    modelDidChange(true, change, &parts);
    behind_ = PartsBehind{parts, std::move(shown), parts.size(), after};
    mostPartsPerTurn_ = 0;
    if (parts.size() <= kPartsPerTurn) {
        showParts(parts.size());
        finishParts();
        return true;
    }
    // The view keeps the old text's frame until all of it is in; nothing half done is painted.
    view_->setUpdatesEnabled(false);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    catchingUp_.start(0, this);
    return true;
}

void CodeEditorCoordinator::showParts(qsizetype count) {
    PartsBehind& job = *behind_;
    const qsizetype first = job.left - count;
    QTextDocument* display = view_->document();
    // One edit block: the cursor then skips placing itself on the laid-out line after each part
    // (which would lay out every line touched), and the layout forgets the changed lines once.
    mirroring_ = true;
    // With undo off, the display compacts its whole buffer as soon as the text removed since the
    // last compaction passes a few tens of kilobytes, which a Replace All or its undo soon does:
    // tens of milliseconds for a long text. Text removed while undo is on is not counted; it goes
    // at a later compaction, and the undo steps recorded meanwhile are dropped at once.
    display->setUndoRedoEnabled(true);
    QTextCursor cursor(display);
    cursor.beginEditBlock();
    // Only the lines holding rows laid out need forgetting them: those few are found among the
    // parts' places, rather than each part's line being looked up (most are far from the screen).
    auto* layout = qobject_cast<WrappingTextLayout*>(display->documentLayout());
    std::vector<int> touched;
    if (layout) {
        linesLookedUp_ += layout->laidOutBlockCount();
        touched = layout->laidOutBlocksAt(std::span(job.shown).subspan(size_t(first), size_t(count)));
    }
    // From the last to the first, so the display offsets of those still to come stay as they are.
    // The display's text has one character format throughout (colours are laid over it, never put
    // into it): it is looked up once rather than at each part.
    QTextCharFormat format;
    bool formatKnown = false;
    // The parts of a Replace All share their strings (one taken away, one put in): what the display
    // takes for a pair is worked out when the pair changes, not at each part.
    QStringView removed, inserted;
    bool pairKnown = false;
    qsizetype prefix = 0, suffix = 0;
    QString middle;
    const auto same = [](const QString& s, QStringView known) { return s.constData() == known.constData() && s.size() == known.size(); };
    for (qsizetype i = job.left - 1; i >= first; --i) {
        const EditHistory::Part& part = job.parts[i];
        if (!pairKnown || !same(part.removed, removed) || !same(part.inserted, inserted)) {
            pairKnown = true;
            removed = part.removed;
            inserted = part.inserted;
            // Only what differs goes in: a word replaced by a like one is a unit or two put in or
            // taken out, each a costly step of the display's own.
            const QString displayed = ExactText::display(part.inserted);
            std::tie(prefix, suffix) = displayedDifference(ExactText::display(part.removed), displayed);
            middle = displayed.sliced(prefix, displayed.size() - prefix - suffix);
        }
        const int from = job.shown[size_t(i)].first + int(prefix), to = job.shown[size_t(i)].second - int(suffix);
        if (from == to && middle.isEmpty()) continue;
        cursor.setPosition(from);
        // Each placing of the cursor walks the display's pieces: an insertion places it once.
        if (to != from) cursor.setPosition(to, QTextCursor::KeepAnchor);
        if (middle.isEmpty()) {
            cursor.removeSelectedText();
            continue;
        }
        if (!std::exchange(formatKnown, true)) format = cursor.charFormat();
        cursor.insertText(middle, format);
    }
    linesLookedUp_ += qsizetype(touched.size());
    if (layout) layout->setNextChangeBlocks(std::move(touched));
    cursor.endEditBlock();
    if (layout) layout->dropNextChangeBlocks();  // for this change only, had it not reached the layout
    display->setUndoRedoEnabled(false);
    mirroring_ = false;
    job.left = first;
    mostPartsPerTurn_ = qMax(mostPartsPerTurn_, count);
}

void CodeEditorCoordinator::catchUpDisplay() {
    if (!behind_) return;
    showParts(behind_->left);
    finishParts();
}

void CodeEditorCoordinator::finishParts() {
    const PartsBehind job = *std::exchange(behind_, std::nullopt);
    if (catchingUp_.isActive()) {
        catchingUp_.stop();
        view_->removeEventFilter(this);
        view_->viewport()->removeEventFilter(this);
        view_->setUpdatesEnabled(true);
    }
    setSelection(job.after, true);
    displayDidChange();
    updateCursor();
    leaveBusy();
    replayHeld();
}

void CodeEditorCoordinator::replayHeld() {
    if (replaying_) return;  // the one replaying goes on with the next once this one is done
    const QPointer<CodeEditorCoordinator> self(this);
    replaying_ = true;
    while (!held_.empty() && !behind_) {
        const HeldInput input = std::move(held_.front());
        held_.pop_front();
        if (input.target) QCoreApplication::sendEvent(input.target, input.event.get());
        if (!self) return;  // the input closed this editor
    }
    replaying_ = false;
}

bool CodeEditorCoordinator::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        // The filter is on only while the display is behind: what comes goes after what came.
        if (behind_) {
            held_.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
            event->accept();
            return true;
        }
        break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

ExactText::Change CodeEditorCoordinator::replaceExact(TextRange range, const QString& text, bool toDocument) {
    emit textAboutToChange();
    // A large text is shared with the document's saved text until its first edit (see the
    // constructor); the document lets go of it first where it can, so it is edited where it lies.
    if (toDocument && document_ && document_->textRevision() == documentRevision_ && document_->lentText() == &text_)
        document_->willReplace(range.location, range.length, text);
    return text_.replace(range, text);
}

void CodeEditorCoordinator::tellDocument(const ExactText::Change& change) {
    if (!document_) return;
    // The document holds a copy of its own: the edit is made there too, unless its text was
    // changed elsewhere meanwhile, in which case this editor's text wins as before.
    if (document_->textRevision() == documentRevision_)
        document_->replaceText(change.range.location, change.range.length, change.text);
    else
        document_->setText(text_.text());
    documentRevision_ = document_->textRevision();
    document_->lendText(&text_);
}

void CodeEditorCoordinator::textDidChange(bool toDocument, const ExactText::Change& change,
                                          const QList<EditHistory::Part>* parts) {
    modelDidChange(toDocument, change, parts);
    displayDidChange();
}

void CodeEditorCoordinator::modelDidChange(bool toDocument, const ExactText::Change& change,
                                           const QList<EditHistory::Part>* parts) {
    if (!view_) return;
    if (toDocument) {
        tellDocument(change);
    } else if (document_) {
        documentRevision_ = document_->textRevision();
        document_->lendText(&text_);
    }
    if (change.range.location < unshownKnown_.offset) unshownKnown_.offset = -1;
    if (searched_ || placesPending()) findEdits_.add(change.range, text_.size() - change.text.size() + change.range.length);
    // The rescan starts at or before the edit and reads at most its budget (or a checkpoint's spacing).
    const auto at = [this](qsizetype i) { return i >= 0 && i < text_.size() ? text_.at(i).unicode() : char16_t(0); };
    if (!parts || !folds_.moveAlong(at, *parts))
        folds_.edit(foldText(text_), change.range.location, change.range.length, change.text.size(), kFoldBudget);
    ungrouped_.edit(change.range.location, change.range.length, change.text.size(), mayMakeEmptyLines(change, parts),
                    text_.size());
}

void CodeEditorCoordinator::displayDidChange() {
    if (!view_) return;
    if ((!folds_.complete() || folds_.movesPending() || !ungrouped_.isEmpty()) && !showing_.isActive()) showing_.start(0, this);
    keepFolds();
    highlight();
    view_->ruler()->refresh();
}

// --- commands

void CodeEditorCoordinator::toggleComment() {
    if (!view_) return;
    const std::optional<EditingAssistance::OwnEdit> edit =
        EditingAssistance::toggleComment(text_.text(), selection(), language());
    if (!edit) return;
    applyingEdit_ = true;
    apply(edit->range, edit->text, edit->selection, Origin::own);
    applyingEdit_ = false;
}

void CodeEditorCoordinator::goToLine(int line) {
    catchUpDisplay();
    if (!view_) return;
    // The display holds one block per line (or per run of joined empty lines) when no line is long
    // enough to be shown in pieces: the line's block is found without reading the text before it.
    const bool direct = isFullyShown() && text_.pieces().breaks().empty() && line >= 1 && line <= lineCount();
    setSelection({direct ? shownLineStart(line - 1) : EditingAssistance::lineStartOffset(text_.text(), line), 0}, true);
    if (view_->window()) view_->setFocus(Qt::OtherFocusReason);
}

qsizetype CodeEditorCoordinator::shownLineStart(int row) const {
    const QTextDocument* display = view_->document();
    const SplitOffsets& joins = text_.joins().joins();
    // The last block starting at or before the line: a block's first line is at least its number
    // and at most its number and the joins before it.
    int lo = qMax(0, row - int(joins.size())), hi = qMin(row, display->blockCount() - 1);
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (lineOf(display->findBlockByNumber(mid)) <= row) lo = mid;
        else hi = mid - 1;
    }
    const QTextBlock block = display->findBlockByNumber(lo);
    const qsizetype start = toExact(block.position());
    const qsizetype within = row - lineOf(block);
    if (within <= 0) return start;
    const qsizetype join = joins[text_.joins().countBefore(start) + within - 1];
    return text_.lineEnd(join, join + 2);
}

// --- folds

void CodeEditorCoordinator::recomputeFolds() {
    catchUpDisplay();
    // The regions follow every edit as a whole scan finds them, and a scan still under way goes on a
    // step a turn (scanFoldsOn): scanning the whole text again here would only hold up this turn.
    keepFolds();
}

// A fold rescan an edit stopped short of the end goes on a step per turn of the event loop.
bool CodeEditorCoordinator::scanFoldsOn() {
    // Folds a Replace All moved along are brought up to date on a turn of their own.
    folds_.settleMoves();
    if (folds_.complete()) return false;
    folds_.scanOn(foldText(text_), kFoldStep);
    keepFolds();
    if (view_) view_->ruler()->refresh();
    return !folds_.complete();
}

void CodeEditorCoordinator::keepFolds() {
    if (!folding_) return;
    QList<TextRange> kept;
    // A fold the scan has not reached yet stays until it is known to be gone.
    // hides() reads back from the fold's start to its header line's start, and the unit before it.
    for (const TextRange& folded : folding_->foldedRanges())
        if (folded.end() >= folds_.knownTo() ||
            folds_.hides(text_.within(text_.lineStart(folded.location) - 1, folded.location), folded))
            kept.append(folded);
    folding_->setFoldedRanges(kept);
}

std::optional<FoldRegion> CodeEditorCoordinator::regionWithHeader(qsizetype headerLineStart) const {
    return folds_.withHeader(headerLineStart);
}

QSet<qsizetype> CodeEditorCoordinator::foldedStarts() const {
    QSet<qsizetype> out;
    if (folding_)
        for (const TextRange& r : folding_->foldedRanges()) out.insert(r.location);
    return out;
}

void CodeEditorCoordinator::toggleFold(qsizetype headerLineStart) {
    catchUpDisplay();
    const std::optional<FoldRegion> region = regionWithHeader(headerLineStart);
    if (!region || !folding_ || !view_) return;
    showThrough(region->hiddenRange.end());
    QList<TextRange> folded = folding_->foldedRanges();
    if (!folded.removeOne(region->hiddenRange)) folded.append(region->hiddenRange);
    folding_->setFoldedRanges(folded);
    view_->ruler()->update();
    highlight();
}

void CodeEditorCoordinator::unfoldAt(qsizetype start, qsizetype end) {
    if (!folding_ || folding_->foldedRanges().isEmpty()) return;
    // A fold's first unit ends its header line and its end starts the closing line: both show.
    const auto hides = [](const TextRange& folded, qsizetype at) { return at > folded.location && at < folded.end(); };
    QList<TextRange> folded = folding_->foldedRanges();
    const qsizetype before = folded.size();
    folded.removeIf([&](const TextRange& r) { return hides(r, start) || hides(r, end); });
    if (folded.size() == before) return;
    folding_->setFoldedRanges(folded);
    view_->ruler()->update();
    highlight();
}

// --- colouring

TextRange CodeEditorCoordinator::visibleRange() const {
    return view_ ? exactRangeOf(view_->visibleLines(), text_) : TextRange{};
}

void CodeEditorCoordinator::highlight() {
    if (!view_ || highlighting_ || behind_) return;
    // A text grown past what a syntax tree may cover lets its tree go.
    if (language() != lastLanguage_ || !highlighter_ || (treeSitter_ && !HighlighterRule::allowsTree(text_.size())))
        makeHighlighter();
    // Nothing on screen, nothing to colour: noted edits wait for the next call.
    const QList<CodeEditorView::VisibleLine> lines = view_->visibleLines();
    if (lines.isEmpty()) return;
    const TextRange range = exactRangeOf(lines, text_);
    lastShown_ = range;
    // Lines next to each other on screen but with folded lines between are coloured run by run:
    // the folded text is not read.
    QList<TextRange> runs;
    for (qsizetype i = 0, first = 0; i < lines.size(); ++i) {
        if (i + 1 < lines.size() && lines[i].block.next() == lines[i + 1].block) continue;
        runs.append(exactRangeOf(lines.mid(first, i + 1 - first), text_));
        first = i + 1;
    }
    QList<SyntaxHighlighter::Span> spans;
    if (parseWorker_) {
        // Until a parse of this very text holding these lines lands they keep their colours
        // (shifted with the edit); the parse's signal comes back here.
        const ParseWorker::Result latest = parseWorker_->shownFor(range);
        if (!latest.valid || latest.revision != revision_) return;
        colouredRevision_ = revision_;
        colouredRange_ = range;
        colouredByGuess_ = latest.guess;
        if (latest.tree)
            for (const TextRange& run : runs) spans += treeSitter_->spans(*latest.tree, colourText(run.end()), run);
    } else {
        for (const TextRange& run : runs) spans += highlighter_->ranges(colourText(run.end()), std::nullopt, run);
    }

    linesColoured_ += lines.size();
    // One format list per visible line: the base colour over the line, then each span in order.
    // Where each visible line lies, in display order, looked up once: a long line's pieces hold
    // thousands of spans, and finding each one's block in the document would cost a walk each.
    struct Shown {
        qsizetype start;
        qsizetype length;
        qsizetype line;
    };
    std::vector<Shown> shown;
    shown.reserve(size_t(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) shown.push_back({lines[i].block.position(), lines[i].block.length(), i});
    std::sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) { return a.start < b.start; });
    QList<QList<QTextLayout::FormatRange>> formats(lines.size());
    QTextCharFormat baseFormat;
    baseFormat.setForeground(SyntaxPalette::base());
    // One format a role, shared by its spans: a format made for each would be made, compared and
    // freed again thousands of times a key.
    std::array<QTextCharFormat, size_t(TokenRole::punctuation) + 1> roleFormats;
    for (size_t role = 0; role < roleFormats.size(); ++role) roleFormats[role].setForeground(SyntaxPalette::color(TokenRole(role)));
    QTextDocument* display = view_->document();
    for (const SyntaxHighlighter::Span& span : spans) {
        if (span.range.end() > text_.size() || span.range.length <= 0) continue;
        const QTextCharFormat& format = roleFormats[size_t(span.role)];
        const qsizetype from = toDisplay(qMax(span.range.location, range.location));
        const qsizetype to = toDisplay(qMin(span.range.end(), range.end()));
        // From the last visible line starting at or before the span's start.
        auto line = std::upper_bound(shown.begin(), shown.end(), from, [](qsizetype at, const Shown& l) { return at < l.start; });
        if (line != shown.begin()) --line;
        for (; line != shown.end() && line->start < to; ++line) {
            const int start = int(qMax<qsizetype>(from - line->start, 0));
            const int end = int(qMin<qsizetype>(to - line->start, line->length - 1));
            if (end > start) formats[line->line].append({start, end - start, format});
        }
    }
    highlighting_ = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QTextBlock& block = lines[i].block;
        QList<QTextLayout::FormatRange> list{{0, block.length() - 1, baseFormat}};
        list += formats[i];
        QTextLayout* layout = block.layout();
        if (!layout || layout->formats() == list) continue;
        layout->setFormats(list);
        display->markContentsDirty(block.position(), block.length());
    }
    highlighting_ = false;
}

bool CodeEditorCoordinator::coloursSettled() const {
    if (!parseWorker_) return true;
    const ParseWorker::Result latest = parseWorker_->latestFor(visibleRange());
    return latest.valid && latest.revision == revision_;
}

bool CodeEditorCoordinator::coloursShown() const {
    if (!parseWorker_) return true;
    const ParseWorker::Result shown = parseWorker_->shownFor(visibleRange());
    return shown.valid && shown.revision == revision_;
}

void CodeEditorCoordinator::viewportChanged() {
    if (!view_ || behind_) return;
    highlight();
    paintFindHighlights();
}

// --- find

void CodeEditorCoordinator::findSync() {
    if (!view_ || !find_ || behind_) return;
    const QString signature = find_->signature();
    const bool newQuery = signature != lastSignature_;
    if (counting_) {
        // Edits meanwhile are noted: the count's arrival brings its matches up to them.
        if (!newQuery) return paintFindHighlights();
        counter_.cancel();
        counting_ = false;
    }
    // The text is searched again only when it or the query changed, not for a caret move or a step
    // to the next match. After edits a literal query, or an expression that keeps within a line,
    // searches only around them; a long text is searched whole on other threads.
    if ((!searched_ && counted_ < 0) || !findEdits_.isEmpty() || newQuery) {
        const std::optional<RegularExpression> expression = find_->makeRegex();
        const bool invalid = !find_->query().isEmpty() && !expression;
        if (find_->invalidRegex() != invalid) find_->setInvalidRegex(invalid);
        const bool aroundEdits = searched_ && !newQuery && !findEdits_.isEmpty() && !find_->searchStopped();
        const qsizetype reach = FindMatcher::literalReach(find_->query().size());
        FindMatcher::Result found;
        // Edits spread over much of the text (a Replace All undone) are searched through on every
        // thread, as a new query is.
        const bool nearEdits = aroundEdits && findEdits_.insertedLength(text_.size()) <= text_.size() / 4;
        // After edits the search reads on from before them, asking for the text as it goes.
        const auto readUpTo = [this](qsizetype end) { text_.through(end); };
        if (expression && nearEdits && !find_->useRegex())
            found = FindMatcher::matchesAfterEdit(*expression, reach, matches_, text_.through(findEdits_.replaced().location),
                                                  findEdits_, readUpTo);
        else if (expression && nearEdits && FindMatcher::staysWithinALine(find_->query()))
            found = FindMatcher::matchesAfterLineEdit(*expression, matches_, text_.through(findEdits_.replaced().location),
                                                      findEdits_, readUpTo);
        else if (expression && text_.size() > kCountHereUpTo)
            return startCount(*expression, newQuery);
        else if (expression && !find_->useRegex())
            found = FindMatcher::literalMatches(*expression, reach, text_.text());
        else if (expression)
            found = FindMatcher::matches(*expression, text_.text());
        matches_ = std::move(found.matches);
        counted_ = -1;
        if (find_->searchStopped() != found.stopped) find_->setSearchStopped(found.stopped);
        searched_ = true;
        findEdits_.clear();
    }
    publishMatches(newQuery);
}

void CodeEditorCoordinator::publishMatches(bool selectFirst) {
    lastSignature_ = find_->signature();
    const int count = int(counted_ >= 0 ? counted_ : matches_.size());
    int current = 0;
    const bool firstWaited = selectFirstFrom_ && selection() == *std::exchange(selectFirstFrom_, std::nullopt);
    if (selectFirst || firstWaited) {
        current = count > 0 ? 1 : 0;
        if (count > 0) setSelection(matches_.front(), true);
    } else {
        current = count > 0 ? qBound(1, find_->current(), count) : 0;
    }
    if (find_->current() != current) find_->setCurrent(current);
    if (find_->matchCount() != count) find_->setMatchCount(count);
    if (find_->counting()) find_->setCounting(false);
    paintFindHighlights();
}

void CodeEditorCoordinator::startCount(const RegularExpression& expression, bool newQuery) {
    lastSignature_ = find_->signature();
    matches_.clear();
    counted_ = -1;
    searched_ = false;
    findEdits_.clear();
    counting_ = true;
    countedExpression_ = expression;
    onScreen_.reset();
    bool firstShown = false;
    if (newQuery) {
        selectFirstFrom_.reset();
        // The first match, when it is near the start, is shown now; otherwise once counted.
        const QList<TextRange> head =
            FindMatcher::matchesIn(expression, text_.text(), lookAhead({0, kLookAheadWhileCounting}), 1);
        firstShown = !head.isEmpty();
        if (firstShown) setSelection(head.front(), true);
        else selectFirstFrom_ = selection();
        if (find_->current() != (firstShown ? 1 : 0)) find_->setCurrent(firstShown ? 1 : 0);
    }
    const bool literal = !find_->useRegex();
    const qsizetype reach = FindMatcher::literalReach(find_->query().size());
    // A plain query whose first match is shown is only counted: its places, many and seldom all
    // needed, are found when an action needs them. With the replace row open they are kept: a
    // replacement, which needs them, is what comes next, and it should not wait for a search.
    const bool countOnly = literal && firstShown && !find_->showReplace();
    counter_.start([expression, literal, countOnly, reach, text = text_.text()] {
        if (countOnly)
            if (std::optional<FindMatcher::Result> counted = FindMatcher::literalCount(expression, text)) return *counted;
        return literal ? FindMatcher::literalMatches(expression, reach, text) : FindMatcher::matches(expression, text);
    });
    if (!find_->counting()) find_->setCounting(true);
    paintFindHighlights();
}

void CodeEditorCoordinator::countFinished(const FindMatcher::Result& found) {
    if (!counting_) return;
    counting_ = false;
    if (!find_) return;
    matches_ = found.matches;
    counted_ = found.counted;
    searched_ = counted_ < 0;
    if (find_->searchStopped() != found.stopped) find_->setSearchStopped(found.stopped);
    findSync();  // up to the edits made meanwhile, or a query changed meanwhile
}

void CodeEditorCoordinator::awaitCount() {
    // A count that comes after edits it cannot be brought up to starts another.
    while (counting_) countFinished(counter_.wait());
}

void CodeEditorCoordinator::awaitPlaces() {
    awaitCount();
    if (counted_ < 0 || !find_ || find_->signature() != lastSignature_) return;
    if (const std::optional<RegularExpression> expression = find_->makeRegex()) {
        startCount(*expression, false);
        awaitCount();
    }
}

TextRange CodeEditorCoordinator::lookAhead(TextRange range) const {
    // To a line start, where the search of a region agrees with the search of the whole text, when
    // there is one close by.
    qsizetype end = qMin(text_.size(), range.location + qMin(range.length, kLookAheadWhileCounting));
    const qsizetype lineEnd = text_.slice(end, end + kLookAheadWhileCounting).indexOf(u'\n');
    if (lineEnd >= 0) end += lineEnd + 1;
    return {range.location, end - range.location};
}

void CodeEditorCoordinator::clearFind() {
    if (!view_) return;
    counter_.cancel();
    counting_ = false;
    counted_ = -1;
    countedExpression_.reset();
    onScreen_.reset();
    selectFirstFrom_.reset();
    view_->matchHighlights().setMatches({});
    matches_.clear();
    lastSignature_.clear();
    searched_ = false;
    findEdits_.clear();
}

void CodeEditorCoordinator::paintFindHighlights() {
    if (!view_ || behind_) return;
    QList<MatchHighlights::Match> shown;
    // Only the matches on screen are painted: scrolling repaints the newly visible ones. While all
    // of them are counted, those on screen are found here.
    const TextRange visible = visibleRange();
    const RegularExpression* expression = placesPending() && find_ && countedExpression_ ? &*countedExpression_ : nullptr;
    QList<TextRange> onScreen;
    if (expression) {
        // Every write of the find state brings a view update and so a call here, several for one
        // query: the screen is searched again only when it shows other text.
        const TextRange region = lookAhead(visible);
        if (!onScreen_ || onScreen_->revision != revision_ || onScreen_->region != region)
            onScreen_ = OnScreen{revision_, region, FindMatcher::matchesIn(*expression, text_.through(region.end()), region)};
        onScreen = onScreen_->matches;
    }
    const QList<TextRange>& matches = placesPending() ? onScreen : matches_;
    const TextRange current = expression && find_->current() > 0 ? selection() : TextRange{-1, 0};
    if (find_ && !matches.isEmpty()) {
        const auto first = std::lower_bound(matches.begin(), matches.end(), visible.location,
                                            [](const TextRange& m, qsizetype at) { return m.end() <= at; });
        for (auto it = first; it != matches.end() && it->location < visible.end(); ++it) {
            if (it->end() > qMin(text_.size(), shownTo_)) continue;
            const bool isCurrent = placesPending() ? *it == current : (it - matches.begin()) + 1 == find_->current();
            shown.append({toDisplay(it->location), toDisplay(it->end()), isCurrent});
        }
    }
    view_->matchHighlights().setMatches(std::move(shown));
}

void CodeEditorCoordinator::step(int delta) {
    if (!view_ || !find_) return;
    awaitPlaces();
    if (matches_.isEmpty()) return;
    const int count = int(matches_.size());
    const int index = ((find_->current() - 1 + delta) % count + count) % count;
    find_->setCurrent(index + 1);
    setSelection(matches_[index], true);
    paintFindHighlights();
}

void CodeEditorCoordinator::replaceCurrent() {
    catchUpDisplay();
    if (!view_ || !find_) return;
    awaitPlaces();
    const int current = find_->current();
    if (current < 1 || current > matches_.size()) return;
    const TextRange target = matches_[current - 1];
    QString replacement = find_->replacement();
    bool replace = true;
    if (find_->useRegex()) {
        if (const std::optional<RegularExpression> expression = find_->makeRegex()) {
            const std::optional<QString> expanded =
                FindMatcher::expandTemplate(*expression, text_.text(), target, replacement);
            replace = expanded.has_value();
            if (expanded) replacement = *expanded;
        }
    }
    // Replacements are taken literally: the typing assistance has no say in them.
    if (replace) apply(target, replacement, {target.location + replacement.size(), 0}, Origin::find);
    findSync();
}

void CodeEditorCoordinator::replaceAll() {
    catchUpDisplay();
    if (!view_ || !find_) return;
    awaitPlaces();
    const std::optional<RegularExpression> expression = find_->makeRegex();
    if (!expression) return;
    const QString replacementTemplate =
        find_->useRegex() ? find_->replacement() : RegularExpression::escapedTemplate(find_->replacement());
    RegularExpression::Outcome outcome = RegularExpression::Outcome::completed;
    std::optional<QList<RegularExpression::Replacement>> found;
    // A literal replacement of the matches the find bar holds for this very text and query: the
    // parts are made from them straight away.
    const bool held = !find_->useRegex() && searched_ && findEdits_.isEmpty() && lastSignature_ == find_->signature() &&
                      !find_->searchStopped();
    if (!held) found = expression->replacements(text_.text(), replacementTemplate, &outcome);
    // A replacement that cannot finish changes nothing and says so.
    const bool stopped = outcome == RegularExpression::Outcome::timedOut;
    if (find_->searchStopped() != stopped) find_->setSearchStopped(stopped);
    searched_ = false;  // the find bar's own search says again what it finds, over the whole text
    if (!held && !found) return;
    // One edit and one undo step, made of the matches that change.
    // Each match is read where it lies: the text is not gathered into one piece for them.
    // The same text found again shares one copy: a literal query's matches are mostly alike.
    QList<EditHistory::Part> parts;
    parts.reserve(held ? matches_.size() : found->size());
    QString removed;
    const auto add = [&](TextRange range, const QString& with) {
        const QStringView there = text_.run(range.location);
        if (removed.isNull() || there.size() < range.length || there.first(range.length) != removed)
            removed = text_.mid(range.location, range.length);
        if (removed != with) parts.append({range.location, removed, with});
    };
    if (held) {
        const QString with = find_->replacement();
        // The matches of a long text lie far apart: each one's text is asked of memory a few matches
        // ahead of its turn, so that those waits overlap rather than follow one another.
        const QList<TextRange>& matches = matches_;
        for (qsizetype i = 0; i < matches.size(); ++i) {
            if (i + kReadAhead < matches.size()) __builtin_prefetch(text_.run(matches[i + kReadAhead].location).data());
            add(matches[i], with);
        }
    } else {
        for (const RegularExpression::Replacement& r : *found) add(r.range, r.text);
    }
    if (parts.isEmpty()) return;
    // The caret stays by the text it was at.
    qsizetype caret = selection().location, shift = 0;
    for (const EditHistory::Part& part : parts) {
        if (part.location >= caret) break;
        if (part.location + part.removed.size() > caret) caret = part.location;  // inside: to its start
        else shift += part.inserted.size() - part.removed.size();
    }
    caret += shift;
    if (!applyParts(parts, {caret, 0}, Origin::find)) return;
    if (find_->current() != 0) find_->setCurrent(0);
    findSync();
}
