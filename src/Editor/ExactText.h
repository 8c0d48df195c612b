#pragma once
// The document's text exactly as the user has it (every line ending, NBSP and separator kept), and
// its mapping onto a display made of one block per line, where every line terminator is a single
// block separator; a long line is shown as several blocks (LinePieces), with a separator that stands
// for no character between them. The display can then never alter the user's characters: the text
// is kept here and only shown there.
#include <QString>
#include <vector>

#include "Editor/LinePieces.h"
#include "Editor/TextRange.h"

class ExactText {
public:
    // The block separator of the display (what QTextDocument keeps between blocks).
    static constexpr char16_t kSeparator = 0x2029;

    // How one replacement lands in the display: the display range to replace and its new content.
    // range/text are the exact replacement, widened by at most one unit on each side so that it never
    // starts or ends inside a CR LF nor makes one with a neighbour.
    struct Change {
        TextRange range;      // exact range replaced (widened)
        QString removed;      // the exact text that was there
        QString text;         // exact text put there (widened accordingly)
        qsizetype displayStart = 0;
        qsizetype displayEnd = 0;  // before the change
        QString displayText;
    };

    ExactText() = default;
    explicit ExactText(QString text);

    const QString& text() const { return text_; }
    qsizetype size() const { return text_.size(); }

    // Replaces the whole text; the display must be rebuilt from display(text()).
    void reset(QString text);
    // Replaces range (clamped) by text and reports how the display changes.
    Change replace(TextRange range, const QString& text);

    // Offsets between the exact text and the display. An exact offset between CR and LF maps to the
    // separator's start; one where a long line's pieces meet, to the start of the later piece (both
    // sides of that separator map back to it).
    qsizetype toDisplay(qsizetype exact) const;
    qsizetype toExact(qsizetype display) const;

    // What the display shows for [from, to) of the text, the separators between pieces inside it
    // included.
    QString displayOf(qsizetype from, qsizetype to) const;
    const LinePieces& pieces() const { return pieces_; }

    // The display form of some exact text: each terminator one separator; characters the display
    // would itself read as block or frame breaks shown as U+FFFD (same length, so offsets hold).
    static QString display(QStringView exact);

    // The line ending a typed Return inserts: the text's first LF, CR or CR LF; LF when it has none.
    QString newline() const;

private:
    void indexCrlf();
    // Writes display(exact) at `to`, which has room for exact.size() units; returns where it ended.
    static char16_t* displayInto(QStringView exact, char16_t* to);

    QString text_;
    // toDisplay() without the pieces' separators, and its inverse.
    qsizetype withoutPieces(qsizetype exact) const;
    qsizetype fromWithoutPieces(qsizetype display) const;

    std::vector<qsizetype> crlf_;  // exact offsets of the CR of every CR LF, ascending
    // Where the first CR or LF is: -1 for none, -2 while not known (a long line is not read for it
    // at every keystroke).
    mutable qsizetype firstBreak_ = -2;
    LinePieces pieces_;
};
