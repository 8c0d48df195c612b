#pragma once
// The one object that reacts to an editor's text. It keeps the document's exact text (the text
// widget only shows it), decides with the editing assistance what a typed or pasted change becomes,
// applies every edit as one undo step, writes the text into the document, keeps the folds in step,
// colours the visible lines and reports the caret. It is also how the window reaches this editor:
// as EditorActions (menu commands, go-to-line) and as FindEngine (the find bar).
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTextBlock>
#include <deque>
#include <memory>
#include <optional>

#include "Editor/CodeLanguage.h"
#include "Editor/EditHistory.h"
#include "Editor/EditSpan.h"
#include "Editor/EditorActions.h"
#include "Editor/ExactText.h"
#include "Editor/FindCounter.h"
#include "Editor/FindEngine.h"
#include "Editor/FoldRegion.h"
#include "Editor/FoldTracker.h"
#include "Editor/SyntaxHighlighter.h"
#include "Editor/FindState.h"
#include "Editor/TextEdit.h"
#include "Editor/UngroupedRange.h"
#include "Workspace/EditorDocument.h"

class CodeEditorView;
class FoldingLayoutManager;
class ParseWorker;
class TreeSitterHighlighter;
class WrappingTextLayout;

class CodeEditorCoordinator : public QObject, public EditorActions, public FindEngine {
    Q_OBJECT
public:
    // Loads the document's text into the view's display.
    CodeEditorCoordinator(CodeEditorView* view, EditorDocument* document, FindState* find);
    ~CodeEditorCoordinator() override;

    // What later turns do for a long text (showing the rest, laying colour points, scanning folds
    // on) waits until no key has come for this long: a key typed meanwhile would wait behind a turn.
    static constexpr qint64 kTypingPauseMs = 250;

    const ExactText& text() const { return text_; }
    qsizetype toDisplay(qsizetype exact) const { return text_.toDisplay(exact); }
    qsizetype toExact(qsizetype display) const { return text_.toExact(display); }

    // Changes asked for by the user. A typed, pasted or composed change goes through the editing
    // assistance first; `typed` lets consecutive typed characters share one undo step.
    void userChange(TextRange range, const QString& replacement, bool typed = false);
    // A change the assistance does not look at (cutting, deleting a word, moving dropped text).
    void plainChange(TextRange range, const QString& replacement);
    // The display changed by itself (the text widget edited it directly): carried into the text.
    void displayChanged(int position, int removed, int added);
    // The document's text replaced from outside (a reload): the caret stays where it can.
    void replaceText(const QString& text);
    // Takes the document's text when it was changed elsewhere since this editor last wrote or read it.
    void syncFromDocument();
    void undo();
    void redo();
    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }

    // The selection in exact offsets; a selection still on its way far into a long text is already
    // the selection, and edits act there.
    TextRange selection() const;
    void setSelection(TextRange range, bool reveal = false);
    // The view's selection moved: report the caret, redraw the gutter.
    void selectionChanged();

    // EditorActions
    void toggleComment() override;
    void goToLine(int line) override;

    // FindEngine, and the synchronisation the view runs at every update.
    void findNext() override { step(+1); }
    void findPrevious() override { step(-1); }
    void replaceCurrent() override;
    void replaceAll() override;
    void findSync();
    void clearFind();
    const QList<TextRange>& matches() const { return matches_; }

    // Folding.
    const QList<FoldRegion>& foldRegions() const { return folds_.regions(); }
    const FoldTracker& foldTracker() const { return folds_; }
    // The first region whose header line starts at the offset, if any.
    std::optional<FoldRegion> regionWithHeader(qsizetype headerLineStart) const;
    QSet<qsizetype> foldedStarts() const;
    void toggleFold(qsizetype headerLineStart);
    void recomputeFolds();
    FoldingLayoutManager* foldingLayout() const { return folding_.get(); }

    // Colouring.
    void highlight();
    void viewportChanged();
    // The lines on screen, whole, terminators included (exact offsets).
    TextRange visibleRange() const;
    // The highlighter colouring this editor now.
    const SyntaxHighlighter* highlighter() const { return highlighter_.get(); }
    // False while the colours of the visible lines wait for a parse of the current text.
    bool coloursSettled() const;
    // The same, but true already while they show a guess until the whole reparse lands.
    bool coloursShown() const;
    // Lines whose colours were worked out, so far.
    qint64 linesColoured() const { return linesColoured_; }
    // The background parse of a text with a grammar; null for other texts.
    const ParseWorker* parseWorker() const { return parseWorker_.get(); }
    // Whether every long run of empty lines that edits brought is shown as blocks of many lines.
    bool emptyRunsGrouped() const { return ungrouped_.isEmpty(); }

    // True while an edit and its after-edit work are under way.
    bool isBusy() const { return busy_ > 0; }
    // A change made of many parts (a Replace All, its undo) goes into the display a bounded number of
    // parts per turn, so the window keeps turning. Meanwhile the text, the document and the history
    // are already the changed ones, the view shows the text as it was, and input for it waits to
    // be replayed; anything else that needs the display first puts the rest in. True until then.
    bool isDisplayBehind() const { return behind_.has_value(); }
    // Puts the rest of such a change into the display now.
    void catchUpDisplay();
    // The most parts of the last change made of many that one turn put into the display.
    qsizetype mostPartsShownInATurn() const { return mostPartsPerTurn_; }
    // How many display lines such changes looked up on their way in, since the editor was made.
    qsizetype displayLinesLookedUp() const { return linesLookedUp_; }

    // A long text goes into the display a step at a time after its start has been shown, so its
    // first lines show without waiting for the rest. True once all of it is there.
    bool isFullyShown() const { return shownTo_ >= text_.size(); }
    // Puts the rest of the text into the display at once.
    void showAll();
    // True while a selection far past what is shown waits for the display to get there.
    bool hasPendingSelection() const { return pendingSelection_.has_value(); }
    // Makes that selection now, however much must be shown first.
    void landPendingSelection();
    // A key acts on a new query's first match: while that match waits for the count of all of them
    // (it was not near the start), the key waits for the count.
    void awaitFirstMatch() {
        if (selectFirstFrom_) awaitCount();
    }
    // Home or End from that selection: the start or end of the row on screen its end will be in,
    // found by laying out only the piece of the line it is in.
    void movePendingToRowEdge(bool toEnd);
    // The text's lines, those the display does not hold yet included.
    int lineCount() const;
    // How many units past what is shown were read to find rows and columns there.
    qsizetype unitsReadPastShown() const { return readPastShown_; }
    // The text's line (from 0) a display block shows, and whether the block starts it rather than
    // continuing a long line shown in pieces.
    int lineOf(const QTextBlock& block) const;
    bool startsLine(const QTextBlock& block) const;
    // The text's line (from 0) a display position lies in, within a block of joined lines too.
    int lineAt(int displayPosition) const;

signals:
    // The outermost edit finished; model updates held back meanwhile may run now.
    void settled();
    // The text is about to change: what must be read from it as it is now is read now.
    void textAboutToChange();

protected:
    void timerEvent(QTimerEvent* event) override;
    // Holds the view's input while the display is behind.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Goes on with a fold rescan an edit stopped short; true while there is more.
    bool scanFoldsOn();
    // Joins a step of the long runs of empty lines edits brought; true while there is more.
    bool regroupOn();
    bool mayMakeEmptyLines(const ExactText::Change& change, const QList<EditHistory::Part>* parts) const;
    // Shows each block of joined lines starting at one of these joins, whose lines the display
    // shows one block each, as one block.
    void showJoined(const std::vector<qsizetype>& firsts);

private:
    enum class Origin { typing, user, own, find, undo, external };

    // Replaces range by text in the exact text and the display, records it, selects `after` and
    // runs the after-edit work. False when the editor is read-only.
    bool apply(TextRange range, const QString& text, TextRange after, Origin origin);
    // apply() of the whole text becoming newText, narrowed to the part that differs; the caret
    // stays where it can, or goes to `after`.
    bool applyWhole(const QString& newText, Origin origin, std::optional<TextRange> after = std::nullopt);
    // Separate changes (ascending, apart; locations in the current text) made as one edit and one
    // undo step; each reaches the display on its own where it can. False when the editor is read-only.
    bool applyParts(const QList<EditHistory::Part>& parts, TextRange after, Origin origin);
    // Puts the next `count` parts of the change behind (the last first) into the display.
    void showParts(qsizetype count);
    // The after-edit work of a change made of parts, once the display holds all of them; then the
    // input held meanwhile, in order.
    void finishParts();
    void replayHeld();
    // Makes the document's text and revision follow a change of the exact text.
    void tellDocument(const ExactText::Change& change);
    // apply() of an edit wholly past what is shown: the display gets it when it gets there.
    bool applyUnshown(TextRange range, const QString& text, TextRange after, Origin origin);
    // Where an exact offset past what is shown will lie in the display's rows and columns.
    TextEdit::Point unshownPoint(qsizetype exact) const;
    void mirror(qsizetype displayStart, qsizetype displayEnd, const QString& displayText);
    // The end of an applied edit: its history entry, textDidChange(), the selection after it. The
    // caller reports the caret.
    void recordApplied(const ExactText::Change& change, TextRange before, TextRange after, Origin origin);
    // text_.replace(), the document told beforehand when the edit goes to it.
    ExactText::Change replaceExact(TextRange range, const QString& text, bool toDocument);
    // With `parts`, the change was made of them (see applyParts) and the folds may move along.
    void textDidChange(bool toDocument, const ExactText::Change& change, const QList<EditHistory::Part>* parts = nullptr);
    // Its two halves: what follows the text (the document, the folds, the find's books), and what
    // follows the display (the folds shown, the colours, the gutter).
    void modelDidChange(bool toDocument, const ExactText::Change& change, const QList<EditHistory::Part>* parts);
    void displayDidChange();
    // Hands an edit to the highlighter (or the background parse).
    void noteEdit(const ExactText::Change& change, TextEdit::Point startPoint);
    // now, when given, is the text as the edit left it: the edited lines are coloured at once.
    void noteEdit(const TextEdit& record, const QString& text, const ExactText* now = nullptr);
    void makeHighlighter();
    // Folds stay only while some region still hides exactly their range.
    void keepFolds();
    // Opens the folds that hide either end of a selection: the caret never rests in hidden text.
    void unfoldAt(qsizetype start, qsizetype end);
    void updateCursor();
    void step(int delta);
    // Writes the count and the current match, selecting the first when asked or when the count a
    // new query waited for has come.
    void publishMatches(bool selectFirst);
    // Counts the matches of a long text on other threads; meanwhile a new query's first match near
    // the start is selected, and the matches on screen are painted as they are found there.
    void startCount(const RegularExpression& expression, bool newQuery);
    void countFinished(const FindMatcher::Result& found);
    // Waits for a count on its way.
    void awaitCount();
    // Actions that need every match's place wait for them, found now where they were only counted.
    void awaitPlaces();
    // Where the matches are is not known yet: they are on their way, or were only counted.
    bool placesPending() const { return counting_ || counted_ >= 0; }
    // The range cut to a bounded length, searched while the matches are counted.
    TextRange lookAhead(TextRange range) const;
    void paintFindHighlights();
    CodeLanguage language() const;
    // 1 when the text starts with a byte-order mark, which no edit of the user's touches; else 0.
    qsizetype firstEditable() const;
    // Row and column of an exact offset the display holds.
    TextEdit::Point pointOf(qsizetype exact) const;
    // Where a line (from 0) the display holds starts, when no line is shown in pieces.
    qsizetype shownLineStart(int row) const;
    void leaveBusy();
    // Appends the exact text up to `end` (a line start, or the end) to the display; `announce` tells
    // the view of the new lines now rather than with the next batch.
    void showUpTo(qsizetype end, bool announce = false);
    // Where a step of filling the display from `from` ends: a line start at least a step's length on.
    qsizetype nextShowEnd(qsizetype from) const;
    // Counts line terminators past what is shown a step further.
    void countUnshownBreaks();
    // An edit within what is shown moved what follows by delta.
    void shiftShown(qsizetype delta) {
        shownTo_ += delta;
        countedTo_ += delta;
    }
    // The text as the regular-expression highlighter reads it for a range ending at `end`.
    const QString& colourText(qsizetype end) const;
    // Lays the highlighter's resume points a step further through the text; false once through.
    bool layHighlightPoints();
    // Cuts the display back to `lineStart` (exact) and shows the text from there a step at a time.
    void refillFrom(qsizetype lineStart);
    // Takes the display back to the line starting there, which is then the first not shown.
    void cutDisplayBackTo(qsizetype lineStart);
    // Shows the text a step at a time until the display holds `exactEnd`.
    void showThrough(qsizetype exactEnd);
    // True when `exactEnd` lies so far past what is shown that showing it now would stall the window.
    bool isFarPastShown(qsizetype exactEnd) const;
    WrappingTextLayout* displayLayout() const;

    QPointer<CodeEditorView> view_;
    QPointer<EditorDocument> document_;
    QPointer<FindState> find_;
    ExactText text_;
    EditHistory history_;
    std::unique_ptr<FoldingLayoutManager> folding_;
    FoldTracker folds_;
    std::unique_ptr<SyntaxHighlighter> highlighter_;
    // With a grammar the tree is kept on a thread of its own; treeSitter_ is then highlighter_.
    std::unique_ptr<ParseWorker> parseWorker_;
    TextRange lastShown_;  // the lines in view when last coloured: the background parse takes them first
    qint64 linesColoured_ = 0;
    // The lines last coloured from a parse, and the revision of that parse: the whole reparse that
    // follows a quick one colours them alike and need not colour them again.
    TextRange colouredRange_;
    std::optional<quint64> colouredRevision_;
    bool colouredByGuess_ = false;  // the lines in view show a guess until the whole reparse lands
    TreeSitterHighlighter* treeSitter_ = nullptr;
    quint64 revision_ = 0;  // counts edits of the exact text
    quint64 documentRevision_ = 0;  // the document's text revision this editor last wrote or read
    CodeLanguage lastLanguage_ = CodeLanguage::plain;
    bool applyingEdit_ = false;
    bool mirroring_ = false;
    bool highlighting_ = false;
    int busy_ = 0;
    // A turn puts at most this many parts of a change into the display (about 10 to 20 ms of the
    // display's own work).
    static constexpr qsizetype kPartsPerTurn = 2048;
    // A change made of parts on its way into the display (see isDisplayBehind()).
    struct PartsBehind {
        QList<EditHistory::Part> parts;
        std::vector<std::pair<int, int>> shown;  // where each part lies in the display as it was
        qsizetype left = 0;                      // parts [0, left) are still to go in
        TextRange after;
    };
    std::optional<PartsBehind> behind_;
    QBasicTimer catchingUp_;
    qsizetype mostPartsPerTurn_ = 0;
    qsizetype linesLookedUp_ = 0;
    struct HeldInput {
        QPointer<QObject> target;
        std::unique_ptr<QEvent> event;
    };
    std::deque<HeldInput> held_;
    bool replaying_ = false;
    qsizetype shownTo_ = 0;  // the display holds the exact text up to here (whole lines)
    qsizetype countedTo_ = 0;      // line terminators are counted from shownTo_ up to here
    qsizetype unshownBreaks_ = 0;  // how many there are
    QBasicTimer showing_;
    QElapsedTimer lastKey_;  // since the user's last change
    bool paused_ = false;    // showing_ runs at the pause's end rather than every turn
    int showSteps_ = 0;
    qsizetype pointsLaidTo_ = 0;  // how far the highlighter's resume points have been laid
    UngroupedRange ungrouped_;
    // A selection far past what is shown, made once the display holds it; any other selection or
    // edit meanwhile drops it.
    struct PendingSelection {
        TextRange range;
        bool reveal = false;
    };
    std::optional<PendingSelection> pendingSelection_;
    // A point past what is shown whose row and column are known (the end of the last edit there),
    // so that typing there counts lines from it rather than from the end of what is shown.
    struct KnownPoint {
        qsizetype offset = -1;
        TextEdit::Point point;
    };
    KnownPoint unshownKnown_;
    mutable qsizetype readPastShown_ = 0;
    QList<TextRange> matches_;
    QString lastSignature_;
    // matches_ hold the search of the query lastSignature_ names; findEdits_ are the edits since.
    bool searched_ = false;
    EditSpan findEdits_;
    // The whole search on its way while counting_, for lastSignature_ in the text findEdits_ were
    // made to since.
    FindCounter counter_;
    bool counting_ = false;
    qsizetype counted_ = -1;  // how many matches lastSignature_ has, where matches_ does not hold them
    // What is counted: while placesPending(), each repaint finds the matches on screen through it.
    std::optional<RegularExpression> countedExpression_;
    // The matches found on screen through it, with the text revision and region searched.
    struct OnScreen {
        quint64 revision = 0;
        TextRange region;
        QList<TextRange> matches;
    };
    std::optional<OnScreen> onScreen_;
    // The selection when a new query's count started without its first match: the count selects
    // that match unless the selection moved meanwhile.
    std::optional<TextRange> selectFirstFrom_;
};
