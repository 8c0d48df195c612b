#pragma once
// Where the display breaks a long line. The display lays out each of its blocks as one piece, at a
// cost that grows faster than the block's length, so a line longer than kMaxPiece is shown as several
// blocks, each at most kMaxPiece long, broken after a space or a punctuation mark where one is near.
// A break is the exact offset at which a new block starts inside a line; it is not a character.
#include <QStringView>
#include <vector>

#include "Editor/TextRange.h"

class LinePieces {
public:
    static constexpr qsizetype kMaxPiece = 4096;
    // Every key typed into a piece lays all of it out again. An edit that leaves its piece, in a line
    // shown in pieces, longer than kRoomyPiece breaks the pieces from there afresh, each at most
    // kFreshPiece and over kFreshLeast long: short to lay out, with room to type, and long enough
    // that the display repaints only its rows a key changes (it does so for blocks over 1,024).
    static constexpr qsizetype kRoomyPiece = kMaxPiece / 2;
    static constexpr qsizetype kFreshPiece = 1536;
    static constexpr qsizetype kFreshLeast = 1024;
    // A line of at least two stretches this long is broken a stretch per thread.
    static constexpr qsizetype kStretch = qsizetype(1) << 22;

    // Whether c ends a line (as Lines::isBreak), without branches: a run of units is then read for
    // one several units at a time.
    static constexpr unsigned endsLine(char16_t c) {
        return unsigned(c == u'\n') | unsigned(c == u'\r') | unsigned(c == 0x85) | unsigned((c | 1) == 0x2029);
    }

    // Breaks for the whole text.
    void reset(QStringView text);

    // Ascending exact offsets, each strictly inside a line.
    const std::vector<qsizetype>& breaks() const { return breaks_; }
    // How many breaks lie at or before offset, or strictly before it.
    qsizetype countUpTo(qsizetype offset) const;
    qsizetype countBefore(qsizetype offset) const;
    bool isBreak(qsizetype offset) const;
    // The piece the display shows offset in: from the last break or line start at or before it up to
    // the next break, terminator or the text's end.
    TextRange pieceAt(QStringView text, qsizetype offset) const;

    // The pieces an edit of range may change, before the edit: from the start of the piece holding
    // its start to the end of the piece holding its end, one piece further where it ends at a break.
    TextRange around(QStringView text, TextRange range) const;

    // After [at, at + removed) of the text was replaced by `added` units (text is the new text), with
    // [from, to) what around() gave before the edit. Keeps the breaks elsewhere as they were,
    // shifted; true when the pieces around the edit were broken afresh, so the display must take
    // [from, to + added - removed) of the new text whole. `addedPlain`: the caller has read the added
    // units and they hold no line terminator, so they are not read for one again.
    bool edit(QStringView text, qsizetype at, qsizetype removed, qsizetype added, qsizetype from, qsizetype to,
              bool addedPlain = false);

    // Units looked at one by one while breaking lines, and units read for line ends in all, so far,
    // by any pieces.
    static qsizetype unitsStepped();
    static qsizetype unitsRead();

private:
    // Where the piece holding offset starts: the last break or line start at or before it; and where
    // the piece holding offset ends: the first break, line start, terminator or text end at or after it.
    qsizetype pieceStart(QStringView text, qsizetype offset) const;
    qsizetype pieceEnd(QStringView text, qsizetype offset) const;
    // Breaks for [from, to) of the text, appended to out in order, each piece at most `most` and,
    // where a line goes on, over `least` long.
    // Units in `plain` hold no line terminator.
    static void split(QStringView text, qsizetype from, qsizetype to, std::vector<qsizetype>& out,
                      qsizetype most = kMaxPiece, qsizetype least = kMaxPiece / 2, TextRange plain = {});
    // The same for a stretch of them, on the calling thread.
    static void splitFrom(QStringView text, qsizetype from, qsizetype to, std::vector<qsizetype>& out, qsizetype most,
                          qsizetype least, TextRange plain);
    // Where a stretch broken apart may start at or just after target, before to: -1 for nowhere near.
    static qsizetype cutNear(QStringView text, qsizetype target, qsizetype to);
    // Whether a break may stand at offset: strictly inside a line, not before its terminator.
    static bool canBreakAt(QStringView text, qsizetype offset);

    std::vector<qsizetype> breaks_;
};
