// Edits that replace most of a long text, and the checks a Replace All makes before its parts go in:
// what was removed is not copied, the display form of a long range is the same however it is cut, and
// a line is judged by all its parts wherever the runs of parts are cut.
#include <gtest/gtest.h>

#include "Editor/ExactText.h"
#include "Editor/LinePieces.h"
#include "Editor/LongLineCheck.h"
#include "Platform/LateRelease.h"
#include "Platform/Lines.h"

namespace {

// What the display shows for the whole text, put together one unit and one break at a time.
QString displayByHand(const ExactText& text) {
    const QString exact = text.text();
    QString out;
    out.reserve(exact.size() + qsizetype(text.pieces().breaks().size()));
    qsizetype from = 0;
    for (const qsizetype at : text.pieces().breaks()) {
        out += ExactText::display(QStringView(exact).sliced(from, at - from));
        out += QChar(ExactText::kSeparator);
        from = at;
    }
    return out + ExactText::display(QStringView(exact).sliced(from));
}

// A text above the size from which a replacement goes into a buffer of its own.
constexpr qsizetype kLong = (qsizetype(1) << 24) + 4096;

} // namespace

// Most of a long text replaced or taken out (a long line's Replace All and its undo, a selection of
// nearly all deleted): the units it removed stay where they were rather than being copied, and the
// text, the removed units and the display read as a replacement one unit at a time would.
TEST(LongReplace, MostOfALongTextReplacedKeepsWhatItRemovedWhereItLay) {
    const QString line = QStringLiteral("items.length+f(x);");
    const QString minified = line.repeated(kLong / line.size() + 1);
    const QString lines = QStringLiteral("kilo 12\r\nword and more\n").repeated(kLong / 23 + 1);
    for (const QString* base : {&minified, &lines}) {
        // The gap: none, before the range, inside it, after it.
        for (const auto& [gap, deleted] : {std::pair{0, true}, {1, false}, {2, false}, {3, true}}) {
          {
            SCOPED_TRACE(testing::Message() << (base == &minified ? "one line" : "lines") << ", gap " << gap << ", deleted " << deleted);
            // Of its own, as an edited text is: a text shared with its reader is copied first anyway.
            ExactText text(QString(base->constData(), base->size()));
            const qsizetype n = base->size(), a = 23 * 4 + 12, b = n - a + 1;  // away from any CR LF
            if (gap > 0) {
                const qsizetype at = gap == 1 ? 50 : gap == 2 ? n / 2 : n - 50;
                text.replace({at, 0}, QStringLiteral("z"));
                text.replace({at, 1}, QString());
            }
            QString with = deleted ? QStringLiteral("x") : base->mid(a, b - a);
            with.replace(QStringLiteral("length"), QStringLiteral("size"));
            with.replace(QStringLiteral("kilo"), QStringLiteral("kilogram"));
            QString display = text.displayOf(0, n);
            const qsizetype read = text.unitsRead();
            const ExactText::Change change = text.replace({a, b - a}, with);
            // What stays and what comes are copied; what goes is not.
            EXPECT_LE(text.unitsRead() - read, n - (b - a) + with.size());
            ASSERT_EQ(change.range, (TextRange{a, b - a}));
            EXPECT_TRUE(change.removed == QStringView(*base).sliced(a, b - a));
            EXPECT_EQ(change.removed.constData()[change.removed.size()], QChar(0));
            const QString expected = base->first(a) + with + base->sliced(b);
            ASSERT_EQ(text.size(), expected.size());
            display.replace(change.displayStart, change.displayEnd - change.displayStart, text.displayOf(change));
            EXPECT_TRUE(display == text.displayOf(0, text.size()));
            EXPECT_TRUE(display == displayByHand(text));
            // Edits go on in the new buffer, and the removed units stay as they were.
            text.replace({a + 3, 0}, QStringLiteral("typed"));
            EXPECT_TRUE(text.text() == QString(expected).insert(a + 3, QStringLiteral("typed")));
            EXPECT_TRUE(change.removed == QStringView(*base).sliced(a, b - a));
          }
        }
    }
}

// A long range put into display form is cut into stretches converted apart: at piece breaks, at line
// starts, never inside a CR LF, and without a cut where a line holds neither for long.
TEST(LongReplace, ALongRangeInDisplayFormReadsAsConvertedWhole) {
    const QString mixed = QStringLiteral("a\r\nb\rc\n").repeated(64) + QStringLiteral("word ").repeated(1 << 20) + QStringLiteral("\r\n") +
                          QStringLiteral("x").repeated(5 << 20) + QStringLiteral("\r\n") + QStringLiteral("kilo\r\n").repeated(3 << 20);
    const ExactText text(mixed);
    ASSERT_GE(text.size(), kLong);
    const QString whole = displayByHand(text);
    for (const auto& [from, to] : {std::pair<qsizetype, qsizetype>{0, text.size()}, {3, text.size() - 6}, {200, kLong + 200}}) {
        SCOPED_TRACE(testing::Message() << from << ".." << to);
        const qsizetype at = text.toDisplay(from);
        const qsizetype shown = text.toDisplay(to) - at - (text.pieces().isBreak(to) ? 1 : 0);
        EXPECT_TRUE(text.displayOf(from, to) == QStringView(whole).sliced(at, shown));
    }
}

// Parts of one line may fall into different runs: the line is judged with all of its parts.
TEST(LongReplace, ALineIsJudgedByAllItsPartsWhereverTheRunsAreCut) {
    const QString shortLine = QStringLiteral("ab kilo cd kilo\n");
    const QString wide = QStringLiteral("kilo ").repeated(700);  // 3,500 units: long with enough parts
    const auto partsOf = [](const QString& text, const QString& with) {
        QList<EditHistory::Part> parts;
        for (qsizetype at = text.indexOf(QStringLiteral("kilo")); at >= 0; at = text.indexOf(QStringLiteral("kilo"), at + 4))
            parts.append({at, QStringLiteral("kilo"), with});
        return parts;
    };
    const QString grows = shortLine.repeated(50) + wide + u'\n' + shortLine.repeated(50);
    const QString stays = shortLine.repeated(200);
    for (const qsizetype run : {1, 2, 3, 7, 64, 100000}) {
        SCOPED_TRACE(run);
        // 700 parts adding 2 units each take the wide line past kMaxPiece; no run holds all of them.
        EXPECT_TRUE(LongLineCheck::growsALineLong(ExactText(grows), partsOf(grows, QStringLiteral("kilo++")), run));
        EXPECT_FALSE(LongLineCheck::growsALineLong(ExactText(grows), partsOf(grows, QStringLiteral("k+")), run));
        EXPECT_FALSE(LongLineCheck::growsALineLong(ExactText(stays), partsOf(stays, QStringLiteral("kilogram")), run));
    }
    static_assert(3500 + 700 * 2 >= LinePieces::kMaxPiece && 3500 < LinePieces::kMaxPiece);
}

// Most of a long line replaced (its Replace All, or the undo of one): the display, filled again a step
// at a time, takes a step of it, so the change leaves its display form to be made when asked for; and
// its pieces are broken afresh without the line being read again.
TEST(LongReplace, MostOfALongLineReplacedIsPutIntoDisplayFormOnlyWhenAsked) {
    const QString pattern = QStringLiteral("items.length+f(x); ");
    for (const qsizetype units : {qsizetype(1) << 21, kLong}) {
        SCOPED_TRACE(units);
        const QString line = pattern.repeated(units / pattern.size());
        ExactText text(line);
        QString display = text.displayOf(0, text.size());
        const QString with = QString(line.sliced(10, line.size() - 20)).replace(QStringLiteral("length"), QStringLiteral("size"));
        const qsizetype before = ExactText::unitsConverted(), readBefore = LinePieces::unitsRead();
        const ExactText::Change change = text.replace({10, line.size() - 20}, with);
        EXPECT_LE(ExactText::unitsConverted() - before, 4 * LinePieces::kMaxPiece);
        // Nor are the new units, read for their line ends once, read for them again to break the line.
        EXPECT_LE(LinePieces::unitsRead() - readBefore, 4 * LinePieces::kMaxPiece);
        display.replace(change.displayStart, change.displayEnd - change.displayStart, text.displayOf(change));
        EXPECT_TRUE(display == displayByHand(text));
    }
}

// A long line's Replace All leaves the old buffer as what was removed: once the change is let go of,
// that buffer is freed off this thread; one the history still holds is freed when it lets go.
TEST(LongReplace, TheBufferALongReplacementRemovedIsFreedAside) {
    const QString line = QStringLiteral("items.length+f(x);").repeated(kLong / 18 + 1);
    const qsizetype n = line.size();
    const QString with = QString(line.sliced(10, n - 20)).replace(QStringLiteral("length"), QStringLiteral("size"));
    for (const bool kept : {false, true}) {
        SCOPED_TRACE(kept);
        ExactText text(QString(line.constData(), n));
        const qsizetype aside = LateRelease::unitsFreedAside();
        QString holder;
        qsizetype room = 0;
        {
            const ExactText::Change change = text.replace({10, n - 20}, with);
            room = change.removed.capacity();
            if (kept) holder = change.removed;
        }
        ASSERT_GE(room, n - 20);
        LateRelease::settle();
        EXPECT_EQ(LateRelease::unitsFreedAside() - aside, kept ? 0 : room);
        if (kept) {
            EXPECT_TRUE(holder == QStringView(line).sliced(10, n - 20));
            LateRelease::drop(holder);
            LateRelease::settle();
            EXPECT_EQ(LateRelease::unitsFreedAside() - aside, room);
        }
        EXPECT_TRUE(text.text() == line.first(10) + with + line.last(10));
    }
}

namespace {

// Every break stands inside a line where a break may (never beside a terminator, before a low
// surrogate or before a mark), no piece is longer than a piece may be, and a line shorter than
// that is never broken.
void expectSoundPieces(const ExactText& text) {
    const QString exact = text.text();
    for (const qsizetype b : text.pieces().breaks()) {
        ASSERT_TRUE(b > 0 && b < exact.size()) << b;
        ASSERT_FALSE(Lines::isBreak(exact[b - 1].unicode()) || Lines::isBreak(exact[b].unicode())) << b;
        ASSERT_FALSE(exact[b].isLowSurrogate() || exact[b].isMark()) << b;
    }
    const QString display = displayByHand(text);
    for (const QStringView block : QStringView(display).split(QChar(ExactText::kSeparator)))
        ASSERT_LE(block.size(), LinePieces::kMaxPiece);
    for (const Lines::Range& line : Lines::all(exact))
        if (line.contentEnd - line.start <= LinePieces::kMaxPiece)
            ASSERT_EQ(text.pieces().countBefore(line.contentEnd), text.pieces().countUpTo(line.start)) << line.start;
}

} // namespace

// A line long enough to be broken a stretch per thread, with a surrogate pair, a combining mark and a
// CR LF where the stretches are cut; then edited at its start, across a break in its middle, most
// of it replaced with and without line ends, and at its end: its pieces stay sound and the display,
// taking each change, stays the text.
TEST(LongReplace, ALineBrokenInStretchesStaysSoundThroughEdits) {
    const QString pattern = QStringLiteral("items.length+f(x);");
    QString line = pattern.repeated(kLong / pattern.size() + 1);
    const qsizetype cut = LinePieces::kStretch;
    line[cut - 1] = QChar(0xD83D);  // a pair across the first cut
    line[cut] = QChar(0xDE00);
    line[2 * cut] = QChar(0x0301);  // a mark at the second
    line[3 * cut - 1] = u'\r';  // a line ending across the third
    line[3 * cut] = u'\n';
    ExactText text(line);
    ASSERT_GE(text.size(), 4 * cut);
    expectSoundPieces(text);
    QString display = displayByHand(text);
    const qsizetype middle = text.pieces().breaks()[text.pieces().breaks().size() / 2];
    const QString most = QString(line.sliced(100, 2 * cut + 100)).replace(QStringLiteral("length"), QStringLiteral("size"));
    const QString mostWithEnds = QString(most).replace(QStringLiteral("f(x)"), QStringLiteral("\r\n")).replace(u';', QChar(0x2028));
    const struct {
        TextRange range;
        QString with;
    } edits[] = {{{5, 3}, QStringLiteral("\U0001F600x")},        {{middle - 3, 6}, QString()},
                 {{60, 2 * cut + 100}, most},                    {{70, 2 * cut}, mostWithEnds},
                 {{text.size() - 5, 0}, QStringLiteral("\r\n")}, {{text.size(), 0}, QStringLiteral("z")}};
    for (const auto& edit : edits) {
        SCOPED_TRACE(testing::Message() << edit.range.location << "+" << edit.range.length);
        const ExactText::Change change = text.replace(edit.range, edit.with);
        display.replace(change.displayStart, change.displayEnd - change.displayStart, text.displayOf(change));
        ASSERT_TRUE(display == displayByHand(text));
        expectSoundPieces(text);
    }
}
