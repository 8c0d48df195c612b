#pragma once
// The document's text exactly as the user has it (every line ending, NBSP and separator kept), and
// its mapping onto a display made of one block per line, where every line terminator is a single
// block separator; a long line is shown as several blocks (LinePieces), with a separator that stands
// for no character between them; a long run of empty lines is shown as blocks of many lines each
// (LineJoins), their terminators inside a block shown as line separators. The display can then never
// alter the user's characters: the text is kept here and only shown there.
#include <QString>
#include <vector>

#include "Editor/EditHistory.h"
#include "Editor/SplitOffsets.h"
#include "Editor/LineJoins.h"
#include "Editor/LinePieces.h"
#include "Editor/TextRange.h"

class ExactText {
public:
    // The block separator of the display (what QTextDocument keeps between blocks).
    static constexpr char16_t kSeparator = 0x2029;
    // What the display shows a joined terminator as: a line break inside a block. A text's own
    // U+2028 ends a line like any terminator and is shown as kSeparator, so this is never the user's.
    static constexpr char16_t kJoin = 0x2028;

    // How one replacement lands in the display: the display range to replace and its new content.
    // range/text are the exact replacement, widened by at most one unit on each side so that it never
    // starts or ends inside a CR LF nor makes one with a neighbour.
    struct Change {
        TextRange range;      // exact range replaced (widened)
        QString removed;      // the exact text that was there
        QString text;         // exact text put there (widened accordingly)
        qsizetype displayStart = 0;
        qsizetype displayEnd = 0;  // before the change
        // What the display takes, [shownFrom, shownTo) of the text after the change, in display
        // form: made at once when short; a long one (a long line's Replace All, or its undo) is
        // left to displayOf(change), as a display filled again a step at a time takes none of it.
        QString displayText;
        qsizetype shownFrom = 0;
        qsizetype shownTo = 0;
        bool displayMade = true;

        Change() = default;
        Change(const Change&) = default;
        Change(Change&&) = default;
        Change& operator=(const Change&) = default;
        Change& operator=(Change&&) = default;
        // A long line's removed or new text, once nothing else holds it, is freed off this thread.
        ~Change();
    };
    // From this many units on, a change's display form is made only when asked for.
    static constexpr qsizetype kLongDisplay = qsizetype(1) << 20;

    ExactText() = default;
    explicit ExactText(QString text);
    ExactText(const ExactText& other);
    ExactText(ExactText&& other) noexcept;
    ExactText& operator=(const ExactText& other) = delete;
    ExactText& operator=(ExactText&& other) noexcept;
    ~ExactText();

    // The whole text in one piece. The text is kept with a gap at the last edit, so that typing
    // moves nothing; this closes the gap (moving what follows it), as a save or a whole-text search
    // needs once, not at every keystroke.
    const QString& text() const;
    qsizetype size() const { return text_.size() - gapLength_; }
    // The whole text by its own offsets, to be read only before `end`: what lies from `end` on may
    // be anything. The gap moves past `end` when it lies before it, so the cost is the distance from
    // the last edit to `end`, not the text's length. Valid until the next call or edit.
    const QString& through(qsizetype end) const;
    // The whole text by its own offsets, to be read only in [from, to): the gap moves out of that
    // range to its nearer end when it lies inside. Valid until the next call or edit.
    QStringView within(qsizetype from, qsizetype to) const;
    // [from, to) in one piece, as within() gives it.
    QStringView slice(qsizetype from, qsizetype to) const;
    // How far the text reads as it is, the gap left where it is: the last edit's end, or all of it.
    qsizetype wholeUpTo() const { return gapLength_ > 0 ? gap_ : size(); }
    QChar at(qsizetype i) const { return text_.constData()[i < gap_ ? i : i + gapLength_]; }
    // The units from `at` up to the gap or the end, where they lie, the gap left where it is.
    QStringView run(qsizetype at) const {
        at = qBound<qsizetype>(0, at, size());
        return at < gap_ ? QStringView(text_.constData() + at, gap_ - at)
                         : QStringView(text_.constData() + at + gapLength_, size() - at);
    }
    // A copy of [from, from + length) (clamped), read around the gap.
    QString mid(qsizetype from, qsizetype length) const;
    // Where the line holding `offset` starts.
    qsizetype lineStart(qsizetype offset) const;
    // Where the line holding `offset` ends, its terminator included; reads no further than `limit`
    // (returned when the line goes on past it).
    qsizetype lineEnd(qsizetype offset, qsizetype limit) const;
    // Units of the text moved within its storage so far, by edits and by readers.
    qsizetype unitsMoved() const { return unitsMoved_; }
    // CR LF offsets moved or rewritten in the index so far, by edits.
    qsizetype lineEndsMoved() const { return crlf_.moved(); }

    // Replaces the whole text; the display must be rebuilt from display(text()).
    void reset(QString text);
    // Replaces range (clamped) by text and reports how the display changes.
    Change replace(TextRange range, const QString& text);
    // Replaces each part (ascending, apart, locations in the text before them) where the text lies,
    // moving what lies between them once and reading nothing else. Only for parts that keep within
    // their lines, border no CR LF nor any joined line, and leave no line long enough to be shown in
    // pieces: the display then takes each part as it is, unit for unit.
    void replaceEach(const QList<EditHistory::Part>& parts);
    // Units read by whole-text passes (a reset's scans) and copied into new buffers, so far.
    qsizetype unitsRead() const { return unitsRead_; }
    // Whether some other holder shares the buffer: the next edit copies the text first.
    bool isShared() const { return text_.data_ptr().needsDetach(); }

    // Offsets between the exact text and the display. An exact offset between CR and LF maps to the
    // separator's start; one where a long line's pieces meet, to the start of the later piece (both
    // sides of that separator map back to it).
    qsizetype toDisplay(qsizetype exact) const;
    qsizetype toExact(qsizetype display) const;

    // What the display shows for [from, to) of the text, the separators between pieces inside it
    // included.
    QString displayOf(qsizetype from, qsizetype to) const;
    // What the display takes for the change just made (before any other edit).
    QString displayOf(const Change& change) const {
        return change.displayMade ? change.displayText : displayOf(change.shownFrom, change.shownTo);
    }
    const LinePieces& pieces() const { return pieces_; }
    const LineJoins& joins() const { return joins_; }
    // Joins the long runs of empty lines in [from, to) (from a line or piece start, past every join),
    // before the display is given that range.
    void group(qsizetype from, qsizetype to);
    // Joins the long runs of empty lines in [from, to) that no block of joined lines holds, wherever
    // they are (text the display already shows); see LineJoins::regroup.
    LineJoins::Regrouped regroup(qsizetype from, qsizetype to);
    // Shows the terminators at or after offset one block each again, as the display is cut back there.
    void ungroupFrom(qsizetype offset) { joins_.dropFrom(offset); }
    // Takes the joins of an earlier form of the text, moved along with edits that touched none.
    void keepJoins(LineJoins joins) { joins_ = std::move(joins); }

    // The display form of some exact text: each terminator one separator; characters the display
    // would itself read as block or frame breaks shown as U+FFFD (same length, so offsets hold).
    static QString display(QStringView exact);
    // Units put into display form so far, by any text (display() and displayOf()).
    static qsizetype unitsConverted();

    // The line ending a typed Return inserts: the text's first LF, CR or CR LF; LF when it has none.
    QString newline() const;

private:
    void indexCrlf();
    // The first `c` in [from, to), or -1.
    qsizetype indexOf(char16_t c, qsizetype from, qsizetype to) const;
    // Gap handling: at least `need` units of gap in a buffer of its own (a new one made with the gap
    // at `at`); the gap moved to `to`;
    // the gap closed to the end, the buffer then holding exactly the text.
    void ensureGap(qsizetype need, qsizetype at);
    void moveGap(qsizetype to) const;
    void close() const;
    // The parts put in while the text is copied into a new buffer, stretches of it at once on
    // several threads; the gap left after the last part.
    void rebuild(const QList<EditHistory::Part>& parts, qsizetype delta);
    // [a, b) replaced by t in a new buffer, copied in stretches on several threads, the gap left after
    // t; the old buffer is handed back as what was removed (nothing else may share it).
    QString replaceInNewBuffer(qsizetype a, qsizetype b, const QString& t);
    // The parts (all lengthening or all shortening the text) put in where a text without a gap
    // lies, its stretches moved on several threads; false, with nothing done, when a stretch would
    // move past the next.
    bool moveInPlace(const QList<EditHistory::Part>& parts, qsizetype delta);
    // Copies [from, to) of the text (read around the gap) to `into`.
    void copyOut(qsizetype from, qsizetype to, char16_t* into) const;
    // Reading the gap is a fault; a sanitizer build reports it.
    void guardGap(bool on) const;
    // Writes display(exact) at `to`, which has room for exact.size() units; returns where it ended.
    static char16_t* displayInto(QStringView exact, char16_t* to);

    // The text with a gap of gapLength_ units at gap_ (gap_ == size() and no gap when closed).
    mutable QString text_;
    mutable qsizetype gap_ = 0;
    mutable qsizetype gapLength_ = 0;
    mutable QString view_;  // what through() hands out
    // toDisplay() without the pieces' separators, and its inverse.
    qsizetype withoutPieces(qsizetype exact) const;
    qsizetype fromWithoutPieces(qsizetype display) const;

    SplitOffsets crlf_;
    // Where the first CR or LF is: -1 for none, -2 while not known (a long line is not read for it
    // at every keystroke).
    mutable qsizetype firstBreak_ = -2;
    LinePieces pieces_;
    LineJoins joins_;
    mutable qsizetype unitsMoved_ = 0;
    qsizetype unitsRead_ = 0;
};
