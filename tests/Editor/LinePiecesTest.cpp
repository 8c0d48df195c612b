// Where a long line is broken into the display's pieces when keys are typed into it, and which pieces
// may be laid out without the text shaper.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <functional>

#include "Editor/LinePieces.h"

namespace {

// One line of words `units` long, a space every few characters, as minified code has.
QString wordLine(qsizetype units) {
    QString line;
    for (int i = 0; line.size() < units; ++i) line += QStringLiteral("w%1=f(x); ").arg(i);
    line.truncate(units);
    return line;
}

// Types one character at `at` as the editor does: the pieces around it, the edit, the pieces after.
bool typeAt(LinePieces& pieces, QString& text, qsizetype at) {
    const TextRange around = pieces.around(text, {at, 0});
    text.insert(at, u'x');
    return pieces.edit(text, at, 0, 1, around.location, around.end());
}

} // namespace

TEST(LinePieces, AKeyInALongPieceBreaksItIntoShortOnesAndLeavesTheOthers) {
    QString text = wordLine(40000) + QStringLiteral("\nshort line\n");
    LinePieces pieces;
    pieces.reset(text);
    const std::vector<qsizetype> before = pieces.breaks();
    // A piece longer than a roomy one, from opening.
    size_t first = 0;
    while (first + 2 < before.size() && before[first + 1] - before[first] <= LinePieces::kRoomyPiece) ++first;
    const qsizetype start = before[first], end = before[first + 1];
    ASSERT_GT(end - start, LinePieces::kRoomyPiece);
    const qsizetype at = start + (end - start) / 2;
    const TextRange around = pieces.around(text, {at, 0});
    ASSERT_TRUE(typeAt(pieces, text, at));
    const TextRange typed = pieces.pieceAt(text, at);
    EXPECT_GT(typed.length, LinePieces::kFreshLeast);
    EXPECT_LE(typed.length, LinePieces::kFreshPiece);
    // The pieces before it are as they were, those past the ones around it moved by the key; none
    // is too long.
    for (const qsizetype b : before)
        if (b <= start || b >= around.end()) EXPECT_TRUE(pieces.isBreak(b <= start ? b : b + 1)) << b;
    const std::vector<qsizetype>& breaks = pieces.breaks();
    for (size_t i = 1; i < breaks.size(); ++i) EXPECT_LE(breaks[i] - breaks[i - 1], LinePieces::kMaxPiece);
    // The next keys there find the piece short enough and break nothing.
    const std::vector<qsizetype> settled = pieces.breaks();
    for (int key = 1; key <= 20; ++key) EXPECT_FALSE(typeAt(pieces, text, at + key)) << key;
    EXPECT_EQ(pieces.breaks().size(), settled.size());
}

TEST(LinePieces, ALineShownWholeStaysWholeWhenTypedInto) {
    // Longer than a roomy piece, short of a full one: one block in the display, as it was.
    QString text = QStringLiteral("a\n") + wordLine(LinePieces::kMaxPiece - 10) + QStringLiteral("\nz");
    LinePieces pieces;
    pieces.reset(text);
    ASSERT_TRUE(pieces.breaks().empty());
    for (int key = 0; key < 5; ++key) EXPECT_FALSE(typeAt(pieces, text, 2 + 3000 + key));
    EXPECT_TRUE(pieces.breaks().empty());
}


// A long line is passed over for line ends a block of units at a time: only the units near where a
// piece must end are looked at one by one, for a place to break, whether the line is broken when
// the text opens or again when most of it is replaced.
TEST(LinePieces, BreakingALongLineLooksOneByOneOnlyNearEachBreak) {
    for (const qsizetype units : {qsizetype(1) << 20, qsizetype(1) << 24}) {
        SCOPED_TRACE(units);
        QString text = QStringLiteral("w=f(x); ").repeated(units / 8) + QStringLiteral("\nlast line");
        LinePieces pieces;
        qsizetype before = LinePieces::unitsStepped();
        pieces.reset(text);
        const auto perPiece = [&] { return (LinePieces::unitsStepped() - before) / qsizetype(pieces.breaks().size() + 1); };
        EXPECT_LE(perPiece(), 80);
        // Most of the line replaced by a like one: its pieces broken afresh.
        const qsizetype at = 10, removed = units - 20;
        const TextRange around = pieces.around(text, {at, removed});
        text.replace(at, removed, QStringLiteral("v=g(y); ").repeated(removed / 8));
        before = LinePieces::unitsStepped();
        ASSERT_TRUE(pieces.edit(text, at, removed, removed / 8 * 8, around.location, around.end()));
        EXPECT_LE(perPiece(), 80);
    }
}

// Pieces of exactly the longest length next to a key stay as they are: nothing there is broken
// afresh. A deletion from one break to the next leaves one break there, not two.
TEST(LinePieces, EditsBesidePiecesOfTheLongestLengthBreakNothingAndKeepOneBreakAPlace) {
    const qsizetype most = LinePieces::kMaxPiece;
    QString text = QString(most, u'x') + QString(most, u'y') + QString(100, u'z');
    LinePieces pieces;
    pieces.reset(text);
    ASSERT_EQ(pieces.breaks(), (std::vector<qsizetype>{most, 2 * most}));
    const qsizetype at = 2 * most + 50;
    TextRange around = pieces.around(text, {at, 1});
    ASSERT_LE(around.location, most);
    text.remove(at, 1);
    EXPECT_FALSE(pieces.edit(text, at, 1, 0, around.location, around.end()));
    EXPECT_EQ(pieces.breaks(), (std::vector<qsizetype>{most, 2 * most}));

    text = QStringLiteral("w=f(x); ").repeated(3 * most / 8);
    pieces.reset(text);
    ASSERT_GE(pieces.breaks().size(), 2u);
    const qsizetype from = pieces.breaks()[0], to = pieces.breaks()[1];
    around = pieces.around(text, {from, to - from});
    text.remove(from, to - from);
    pieces.edit(text, from, to - from, 0, around.location, around.end());
    const std::vector<qsizetype>& breaks = pieces.breaks();
    EXPECT_TRUE(std::adjacent_find(breaks.begin(), breaks.end(), std::greater_equal<>()) == breaks.end());
}
