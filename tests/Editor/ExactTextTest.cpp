// The exact text and its one-block-per-line display: whatever is replaced where, the display must
// hold one separator per line terminator and offsets must map both ways.
#include <gtest/gtest.h>

#include "Editor/ExactText.h"
#include "Platform/Lines.h"
#include "WorkBounds.h"

#include <algorithm>

#include <QRandomGenerator>

namespace {

// Applies a change's display part to a display string, as the text widget would.
void applyToDisplay(QString& display, const ExactText::Change& change) {
    display.replace(change.displayStart, change.displayEnd - change.displayStart, change.displayText);
}

// The display must be exactly what the current exact text displays as.
void expectConsistent(const ExactText& text, const QString& display) {
    EXPECT_EQ(display, ExactText::display(text.text()));
    EXPECT_EQ(display.count(QChar(ExactText::kSeparator)), Lines::all(text.text()).size() - 1);
}

} // namespace

TEST(ExactText, DisplayHasOneSeparatorPerTerminatorAndKeepsOtherCharacters) {
    const QString text = QString::fromUtf8("a\r\nb\rc\nd") + QChar(0x85) + "e" + QChar(0x2028) + "f" + QChar(0x2029) +
                         "g" + QChar(0x00A0) + QChar(0xFDD0) + "h";
    const QString display = ExactText::display(text);
    const QChar sep(ExactText::kSeparator);
    EXPECT_EQ(display, QString("a") + sep + "b" + sep + "c" + sep + "d" + sep + "e" + sep + "f" + sep + "g" +
                           QChar(0x00A0) + QChar(QChar::ReplacementCharacter) + "h");
    EXPECT_EQ(ExactText::display(QString()), QString());
}

TEST(ExactText, OffsetsMapBothWaysAroundCrLf) {
    ExactText text(QStringLiteral("ab\r\ncd\r\n\r\nx"));
    // exact: a0 b1 \r2 \n3 c4 d5 \r6 \n7 \r8 \n9 x10 ; display: a b ¶ c d ¶ ¶ x
    EXPECT_EQ(text.toDisplay(2), 2);
    EXPECT_EQ(text.toDisplay(3), 2);  // between CR and LF: the separator's start
    EXPECT_EQ(text.toDisplay(4), 3);
    EXPECT_EQ(text.toDisplay(8), 6);
    EXPECT_EQ(text.toDisplay(10), 7);
    EXPECT_EQ(text.toDisplay(11), 8);
    for (qsizetype d = 0; d <= 8; ++d) EXPECT_EQ(text.toDisplay(text.toExact(d)), d) << d;
    EXPECT_EQ(text.toExact(3), 4);
    EXPECT_EQ(text.toExact(7), 10);
    EXPECT_EQ(text.toExact(99), 11);  // clamped
}

TEST(ExactText, ReplacementsNeverLeaveTheDisplayOutOfStep) {
    struct Case {
        const char* text;
        qsizetype from, length;
        const char* with;
        const char* result;
    };
    const Case cases[] = {
        {"ab\r\ncd", 1, 0, "x", "axb\r\ncd"},
        {"a\rb\nc", 2, 1, "", "a\r\nc"},           // deleting between CR and LF joins them into one break
        {"a\r\nb", 2, 0, "x", "a\rx\nb"},          // inserting inside a CR LF splits it into two breaks
        {"a\r\nb", 3, 1, "", "a\r\n"},
        {"a\rb", 2, 0, "\nz", "a\r\nzb"},          // an inserted LF after a lone CR joins it
        {"a\nb", 0, 1, "x\r", "x\r\nb"},           // an inserted CR before an LF joins it
        {"a\r\n\r\nb", 3, 2, "", "a\r\nb"},        // half of each of two CR LFs
        {"", 0, 0, "p\r\nq\rr\ns", "p\r\nq\rr\ns"},
        {"x\r\ny", 0, 5, "", ""},
        {"x\r\ny", 1, 1, "\r", "x\r\ny"},
    };
    for (const Case& c : cases) {
        ExactText text{QString::fromUtf8(c.text)};
        QString display = ExactText::display(text.text());
        applyToDisplay(display, text.replace({c.from, c.length}, QString::fromUtf8(c.with)));
        EXPECT_EQ(text.text(), QString::fromUtf8(c.result)) << c.text << " @" << c.from;
        expectConsistent(text, display);
        // The index follows: mapping agrees with a freshly indexed copy.
        const ExactText fresh(text.text());
        for (qsizetype i = 0; i <= text.size(); ++i) ASSERT_EQ(text.toDisplay(i), fresh.toDisplay(i)) << c.text;
    }
}

TEST(ExactText, NewlineFollowsTheFirstLineEnding) {
    EXPECT_EQ(ExactText(QStringLiteral("a\r\nb\nc")).newline(), QStringLiteral("\r\n"));
    EXPECT_EQ(ExactText(QStringLiteral("a\rb\r\n")).newline(), QStringLiteral("\r"));
    EXPECT_EQ(ExactText(QStringLiteral("a\nb\r\n")).newline(), QStringLiteral("\n"));
    EXPECT_EQ(ExactText(QStringLiteral("abc")).newline(), QStringLiteral("\n"));
    // A text that starts with its first line break.
    EXPECT_EQ(ExactText(QStringLiteral("\nb\r\n")).newline(), QStringLiteral("\n"));
    // A text moved over one whose first line ending was known: the moved text's counts.
    ExactText earlier(QStringLiteral("ab\r\nc"));
    EXPECT_EQ(earlier.newline(), QStringLiteral("\r\n"));
    ExactText later(QStringLiteral("\nz"));
    EXPECT_EQ(later.newline(), QStringLiteral("\n"));
    earlier = std::move(later);
    EXPECT_EQ(earlier.newline(), QStringLiteral("\n"));
    // The first line break typed into a text without one.
    for (const QString& typed : {QStringLiteral("x\ry"), QStringLiteral("\r\n"), QStringLiteral("x\n\r")}) {
        ExactText oneLine(QStringLiteral("abc"));
        EXPECT_EQ(oneLine.newline(), QStringLiteral("\n"));
        oneLine.replace({1, 0}, typed);
        EXPECT_EQ(oneLine.newline(), ExactText(oneLine.text()).newline()) << typed.toStdString();
    }
}

// A long line is shown as pieces: whatever is replaced where, the display stays what the text shows
// as, no piece is longer than the limit, and offsets still map both ways.
TEST(ExactText, LongLinesShowInBoundedPiecesThroughAnyEdit) {
    QRandomGenerator random(26);
    const QStringList words = {"var ", "x", "=", "1,", "f(", ")", ";", "{", "}", "é", "😀", "\r\n", "\n", "abcdefgh"};
    const auto randomText = [&](int count, bool breaks) {
        QString out;
        while (count-- > 0) {
            const QString& w = words[random.bounded(int(words.size()))];
            if (breaks || !w.contains(u'\n')) out += w;
        }
        return out;
    };
    const qsizetype limit = LinePieces::kMaxPiece;
    // One line of ~12 pieces, and a line of letters alone, which has no place to break but its limit.
    for (const QString& start : {randomText(12000, false), QString(3 * limit + 5, u'q')}) {
        ExactText text(start);
        QString display = text.displayOf(0, text.size());
        // Typed exactly where two pieces meet: into the later one.
        ASSERT_FALSE(text.pieces().breaks().empty());
        const qsizetype meet = text.pieces().breaks().front();
        const ExactText::Change typed = text.replace({meet, 0}, QStringLiteral("z"));
        applyToDisplay(display, typed);
        ASSERT_EQ(display, text.displayOf(0, text.size()));
        if (typed.displayText == u"z") {  // not a piece outgrown and broken afresh
            EXPECT_EQ(typed.displayEnd, typed.displayStart);
            EXPECT_EQ(display[text.toDisplay(meet)], u'z');
        }
        for (int step = 0; step < 300; ++step) {
            const qsizetype at = random.bounded(int(text.size() + 1));
            const qsizetype length = random.bounded(int(qMin<qsizetype>(text.size() - at, step % 10 ? 8 : 3 * limit) + 1));
            // Mostly typing; now and then a paste longer than a piece, or one with line breaks.
            const QString with = step % 25 == 0 ? randomText(2000, step % 50 == 0) : randomText(random.bounded(3), true);
            applyToDisplay(display, text.replace({at, length}, with));
            ASSERT_EQ(display, text.displayOf(0, text.size())) << step;
        }
        for (const QStringView block : QStringView(display).split(QChar(ExactText::kSeparator)))
            EXPECT_LE(block.size(), limit);
        EXPECT_EQ(display.count(QChar(ExactText::kSeparator)),
                  Lines::all(text.text()).size() - 1 + qsizetype(text.pieces().breaks().size()));
        for (qsizetype x = 0; x <= text.size(); x += 7) {
            const bool insideCrLf = x > 0 && x < text.size() && text.text()[x - 1] == u'\r' && text.text()[x] == u'\n';
            if (!insideCrLf) ASSERT_EQ(text.toExact(text.toDisplay(x)), x) << x;
        }
        // Both sides of a piece's separator map to where the later piece starts.
        for (const qsizetype b : text.pieces().breaks()) {
            ASSERT_EQ(text.toExact(text.toDisplay(b) - 1), b);
            ASSERT_EQ(display[text.toDisplay(b) - 1], QChar(ExactText::kSeparator));
        }
    }
}

TEST(ExactText, PiecesBreakAfterASpaceOrPunctuationWhereOneIsNear) {
    const QString line = QString("abc ").repeated(2000) + QString(LinePieces::kMaxPiece * 2, u'x') + QString("a,").repeated(3000);
    const ExactText text(line);
    const std::vector<qsizetype>& breaks = text.pieces().breaks();
    ASSERT_FALSE(breaks.empty());
    EXPECT_EQ(line[breaks.front() - 1], u' ');
    EXPECT_EQ(line[breaks.back() - 1], u',');
    // Short lines are not broken at all.
    EXPECT_TRUE(ExactText(QString("short line\n").repeated(5000)).pieces().breaks().empty());
}

// Only lines longer than a piece get breaks, wherever they lie among short lines: at the start, right
// after a long one, at the end, one unit either side of the limit.
TEST(ExactText, OnlyLinesLongerThanAPieceAreBroken) {
    const qsizetype limit = LinePieces::kMaxPiece;
    const QList<qsizetype> lengths{limit + 1, limit, 3, limit + 1, limit + 1, 0, 10, limit - 1, 7, 2 * limit + 5, 1, limit + 1};
    QString text;
    QList<TextRange> lines;
    for (const qsizetype length : lengths) {
        lines.append({text.size(), length});
        text += QString(length, u'x') + u'\n';
    }
    text.chop(1);
    const ExactText exact(text);
    for (const TextRange& line : lines) {
        const auto inside = std::count_if(exact.pieces().breaks().begin(), exact.pieces().breaks().end(),
                                          [&](qsizetype b) { return b > line.location && b < line.end(); });
        EXPECT_EQ(inside, (line.length + limit - 1) / limit - 1 + (line.length == 0)) << line.location;
    }
}

// Edits anywhere, read back every way the editor reads: by unit, as a copy, as a range in one
// piece, through an offset or within a range by the text's own offsets, and whole. A copy of the
// whole text taken before an edit keeps what it had.
TEST(ExactText, ReadsAfterEditsAnywhereSeeTheEditedText) {
    QRandomGenerator random(7);
    QString model = QString(300, u'a') + QStringLiteral("\nb\r\nc") + QString(20000, u'd');
    for (qsizetype i = 0; i < model.size(); i += 97) model[i] = QChar(char16_t(u'e' + i % 11));
    ExactText text(model);
    const auto check = [&](qsizetype from, qsizetype to) {
        ASSERT_EQ(text.size(), model.size());
        ASSERT_EQ(text.slice(from, to), QStringView(model).sliced(from, to - from));
        ASSERT_EQ(text.mid(from, to - from), model.mid(from, to - from));
        ASSERT_EQ(text.within(from, to).sliced(from, to - from), QStringView(model).sliced(from, to - from));
        ASSERT_EQ(QStringView(text.through(to)).first(to), QStringView(model).first(to));
        for (qsizetype i = from; i < to; i += 13) ASSERT_EQ(text.at(i), model[i]);
        ASSERT_EQ(text.lineStart(to), Lines::lineStart(model, to));
    };
    for (int step = 0; step < 400; ++step) {
        const qsizetype at = step % 50 == 0 ? random.bounded(model.size() + 1) : qMin(model.size(), qsizetype(step % 7));
        const qsizetype where = step % 3 == 0 ? random.bounded(model.size() + 1) : model.size() / 2 + step;
        const qsizetype a = qMin(where, model.size()), b = qMin(model.size(), a + at % 3);
        const QString with = step % 5 == 0 ? QString(20000, u'f') : QString(step % 4, QChar(char16_t(u'g' + step % 3)));
        const QString before = step % 9 == 0 ? text.text() : QString();
        const QString copied = before;
        const ExactText::Change change = text.replace({a, b - a}, with);
        ASSERT_EQ(change.removed, model.mid(change.range.location, change.range.length));  // what undo puts back
        model.replace(change.range.location, change.range.length, change.text);
        if (step % 9 == 0) ASSERT_EQ(before, copied);
        const qsizetype from = random.bounded(model.size() + 1);
        check(from, qMin(model.size(), from + random.bounded(3000)));
        check(qMax<qsizetype>(0, a - 50), qMin(model.size(), a + 50));
    }
    ExactText copy(text);
    const ExactText moved(std::move(copy));
    EXPECT_EQ(copy.size(), 0);  // NOLINT(bugprone-use-after-move): a moved-from text is empty
    EXPECT_EQ(moved.text(), model);
    EXPECT_EQ(text.text(), model);
    EXPECT_EQ(moved.toDisplay(model.size()), text.toDisplay(model.size()));  // its CR LFs came along
    EXPECT_EQ(text.lineEnd(model.size() - 2, model.size()), model.size());
    // The line ending a Return inserts is found on either side of the gap.
    ExactText breaks(QStringLiteral("ab\r\ncd"));
    breaks.replace({1, 0}, QStringLiteral("x"));
    EXPECT_EQ(breaks.newline(), QStringLiteral("\r\n"));
    EXPECT_EQ(breaks.lineEnd(0, breaks.size()), 5);  // after the CR LF, read across the gap
    ExactText none(QStringLiteral("abc"));
    EXPECT_EQ(none.newline(), QStringLiteral("\n"));
    none.replace({1, 0}, QStringLiteral("\r"));
    EXPECT_EQ(none.newline(), QStringLiteral("\r"));
}

TEST(ExactText, ThePieceAtAnOffsetIsTheBlockTheDisplayShowsItIn) {
    const QString line = QString(LinePieces::kMaxPiece * 3, u'x');
    const ExactText text(QStringLiteral("ab\n\n") + line + QStringLiteral("\r\nz"));
    const LinePieces& pieces = text.pieces();
    ASSERT_EQ(pieces.breaks().size(), 2u);
    const qsizetype first = pieces.breaks()[0], second = pieces.breaks()[1];
    const auto at = [&](qsizetype offset) { return pieces.pieceAt(text.text(), offset); };
    EXPECT_EQ(at(1), (TextRange{0, 2}));
    EXPECT_EQ(at(2), (TextRange{0, 2}));  // before its terminator: still the line
    EXPECT_EQ(at(3), (TextRange{3, 0}));  // an empty line
    EXPECT_EQ(at(4), (TextRange{4, first - 4}));
    EXPECT_EQ(at(first), (TextRange{first, second - first}));  // where pieces meet: the later one
    EXPECT_EQ(at(second + 5), (TextRange{second, 4 + line.size() - second}));
    EXPECT_EQ(at(text.size()), (TextRange{text.size() - 1, 1}));
}

// A text with CR LF line ends: typing, taking back and breaking lines at one place move no more of
// its line-end index in a hundredfold text; edits anywhere keep the index as a fresh one would be.
TEST(ExactText, TypingInACrLfTextMovesNoMoreOfItsLineEndsInALongerText) {
    const auto typed = [](int lines) {
        QString model;
        for (int i = 0; i < lines; ++i) model += QStringLiteral("line %1\r\n").arg(i);
        ExactText text(model);
        qsizetype at = model.size() / 2 + 3;
        // The first key there moves the index's split to it once, as it moves the text's gap.
        text.replace({at++, 0}, QStringLiteral("x"));
        const qsizetype before = text.lineEndsMoved();
        for (int i = 0; i < 39; ++i) text.replace({at++, 0}, QStringLiteral("x"));
        for (int i = 0; i < 10; ++i) text.replace({--at, 1}, QString());
        text.replace({at, 0}, QStringLiteral("\r\n"));
        text.replace({at, 2}, QString());
        return text.lineEndsMoved() - before;
    };
    const qsizetype small = typed(1'000);
    EXPECT_LE(small, 64);
    EXPECT_EQ(typed(100'000), small);

    QRandomGenerator random(41);
    QString model = QStringLiteral("a\r\nb\r\n\r\nc\rd\ne\r\n");
    ExactText text(model);
    const QString pieces[] = {"\r", "\n", "\r\n", "x", "", "yy\r\nz", "\n\r"};
    for (int step = 0; step < 600; ++step) {
        const qsizetype a = step % 4 == 0 ? random.bounded(model.size() + 1) : qMin(model.size(), qsizetype(step % 13));
        const qsizetype b = qMin(model.size(), a + qsizetype(random.bounded(4)));
        const ExactText::Change change = text.replace({a, b - a}, pieces[random.bounded(7)]);
        model.replace(change.range.location, change.range.length, change.text);
        ASSERT_EQ(text.text(), model);
        const ExactText fresh(model);
        ASSERT_EQ(text.newline(), fresh.newline()) << step;
        for (qsizetype i = 0; i <= model.size(); ++i) ASSERT_EQ(text.toDisplay(i), fresh.toDisplay(i)) << step << " " << i;
        const qsizetype shown = fresh.toDisplay(model.size());
        for (qsizetype d = 0; d <= shown; ++d) ASSERT_EQ(text.toExact(d), fresh.toExact(d)) << step << " " << d;
        if (model.size() > 200) {
            // Now and then a text without a line break, which the next ones give its first.
            model.truncate(20);
            if (step % 3 == 0) model = QStringLiteral("abc");
            text = ExactText(model);
        }
    }
}

// An edit that ends where a long line's next piece starts keeps that piece's separator.
TEST(ExactText, AnEditEndingAtAPieceStartKeepsItsSeparator) {
    ExactText text(QString(3 * LinePieces::kMaxPiece, u'a'));
    ASSERT_FALSE(text.pieces().breaks().empty());
    const qsizetype b = text.pieces().breaks().front();
    QString display = text.displayOf(0, text.size());
    applyToDisplay(display, text.replace({b - 5, 5}, QStringLiteral("xyz")));
    EXPECT_TRUE(display == text.displayOf(0, text.size()));
}

TEST(ExactText, ALongLineReplacedIsPutIntoDisplayFormOnce) {
    // Its pieces are broken afresh, so the display takes them whole: that text is converted, and
    // the replacement alone is not converted before it as well.
    for (const qsizetype words : {qsizetype(20'000), qsizetype(200'000)}) {
        const QString line = QStringLiteral("word ").repeated(words);
        ExactText text(line);
        ASSERT_FALSE(text.pieces().breaks().empty());
        QString display = text.displayOf(0, text.size());
        const QString with = QStringLiteral("WORD ").repeated(words - 4);
        const qsizetype before = ExactText::unitsConverted();
        const ExactText::Change change = text.replace({10, line.size() - 20}, with);
        display.replace(change.displayStart, change.displayEnd - change.displayStart, text.displayOf(change));
        EXPECT_LE(ExactText::unitsConverted() - before, with.size() + 4 * LinePieces::kMaxPiece);
        EXPECT_TRUE(display == text.displayOf(0, text.size()));
    }
}

TEST(ExactText, TheFirstEditOfATextItSharesCopiesItOnceAndMovesNothingMore) {
    // The text the document keeps is shared: the first edit takes a copy, and that copy is laid out
    // with the gap already at the edit instead of moving half the text to it after.
    for (const int lines : {10'000, 100'000}) {
        QString model = QStringLiteral("a line\n").repeated(lines);
        const QString shared = model;
        ExactText text(shared);
        const qsizetype at = model.size() / 2 + 3;
        text.replace({at, 0}, QStringLiteral("x"));
        // The copy, and reading on to the end of the line typed into.
        EXPECT_LE(text.unitsMoved(), model.size() + 8);
        model.insert(at, u'x');
        EXPECT_EQ(text.text(), model);
        EXPECT_EQ(shared, QStringLiteral("a line\n").repeated(lines));
    }
}

TEST(ExactText, TheFirstKeyInATextItAloneHoldsMovesNoMoreInALongerText) {
    // A text handed over whole, as a file read hands it, gets its gap at the first key: the half of
    // a long text after the key is moved on by whole pages of memory, not unit by unit.
    const auto firstKeyMoves = [](qsizetype lines) {
        QString model = QStringLiteral("one line\n").repeated(lines);
        ExactText text(QString(model.constData(), model.size()));
        const qsizetype at = model.size() / 2 + 3;
        text.replace({at, 0}, QStringLiteral("x"));
        const qsizetype moved = text.unitsMoved();
        model.insert(at, u'x');
        EXPECT_EQ(text.mid(at - 5000, 10000), model.mid(at - 5000, 10000));
        EXPECT_EQ(text.text(), model);
        return moved;
    };
    work_bounds::expectFlat(firstKeyMoves(1'500'000), firstKeyMoves(6'000'000), 64 * 1024, 4096);
}

TEST(ExactText, ALongTextReadsAsEditedWhereverItsGapIsMovedByPages) {
    // Keys typed and taken back at places far apart leave the gap a whole number of pages, so that
    // reads and edits between them move the text across it by pages, either way; each edit and
    // read must still see the text exactly as edited.
    QString model;
    for (int i = 0; model.size() < 10 * 1024 * 1024; ++i) model += QStringLiteral("line %1\r\n").arg(i);
    ExactText text(QString(model.constData(), model.size()));
    QRandomGenerator random(11);
    for (int step = 0; step < 40; ++step) {
        // Each place a quarter of the text or more from the last one.
        const qsizetype quarter = model.size() / 4;
        const qsizetype at = (step % 2 ? 3 * quarter : 0) + random.bounded(quarter - 8) + 4;
        const QString typed = QString(qsizetype(1 + random.bounded(5)), QChar(u'a' + step % 26));
        ExactText::Change change = text.replace({at, 0}, typed);
        model.replace(change.range.location, change.range.length, change.text);
        ASSERT_EQ(text.mid(at - 3, 20), model.mid(at - 3, 20)) << step;
        change = text.replace({at, typed.size()}, QString());
        model.replace(change.range.location, change.range.length, change.text);
        // Reads somewhere else take the gap there.
        const qsizetype far = (step % 2 ? 0 : 3 * quarter) + random.bounded(quarter - 100);
        ASSERT_EQ(text.slice(far, far + 100), QStringView(model).sliced(far, 100)) << step;
        ASSERT_EQ(text.through(far + 50).mid(far, 50), model.mid(far, 50)) << step;
        ASSERT_EQ(text.at(far + 99), model.at(far + 99)) << step;
        // The first of those moves, right and then left, cross by pages; later ones may be copied
        // where the storage's pages were handed around before.
        if (step == 0) EXPECT_LT(text.unitsMoved(), 64 * 1024);
    }
    EXPECT_EQ(text.text(), model);
}

TEST(ExactText, ATextMovedWhileItHoldsAGapReadsAsItWas) {
    QString model = QStringLiteral("first line\nsecond line\n").repeated(20000);
    ExactText text(model);
    text.replace({30, 0}, QStringLiteral("typed"));
    model.insert(30, QStringLiteral("typed"));
    ExactText moved;
    moved = std::move(text);
    EXPECT_EQ(moved.mid(25, 20), model.mid(25, 20));
    EXPECT_EQ(moved.text(), model);
}

// Several parts replaced at once read as the same parts replaced one by one, whichever way the gap
// walks to them (or none is made) and whether the text was shared; the text is copied at most once,
// and a text of its own moves no more than the stretch from the gap across the parts.
TEST(ExactText, PartsReplacedAtOnceReadAsReplacedOneByOne) {
    const QString base = QStringLiteral("a\r\nbb cc\r\ndd\nee ff\r\n").repeated(400);
    // Parts that shorten and lengthen the text, then only lengthening ones, then only shortening ones.
    const auto partsOf = [&](int kind) {
        QList<EditHistory::Part> parts;
        for (qsizetype at = base.indexOf(u'b'); at >= 0; at = base.indexOf(QStringLiteral("bb"), at + 1)) {
            if (kind != 1) parts.append({at, QStringLiteral("bb"), QString()});
            if (kind != 2) parts.append({at + 3, QStringLiteral("cc"), QStringLiteral("CCCC")});
            // The last part changes the length too: the CR LF after it moves with it.
            parts.append({at + 10, QStringLiteral("e"), kind == 2 ? QString() : QStringLiteral("EE")});
        }
        return parts;
    };
    enum class Start { shared, gapAtStart, gapAtEnd, whole };
    for (const int kind : {0, 1, 2}) {
        const QList<EditHistory::Part> parts = partsOf(kind);
        ExactText expected(base);
        for (qsizetype i = parts.size() - 1; i >= 0; --i)
            expected.replace({parts[i].location, parts[i].removed.size()}, parts[i].inserted);
        for (const Start start : {Start::shared, Start::gapAtStart, Start::gapAtEnd, Start::whole}) {
            SCOPED_TRACE(QStringLiteral("parts %1, start %2").arg(kind).arg(int(start)).toStdString());
            QString held = base;
            ExactText text(held);
            if (start != Start::shared) {
                held = QString();
                // An edit taken back leaves the gap where it was made; a whole read closes it.
                const qsizetype at = start == Start::gapAtStart ? 0 : base.size();
                text.replace({at, 0}, QStringLiteral("x"));
                text.replace({at, 1}, QString());
                if (start == Start::whole) (void)text.text();
            }
            const qsizetype moved = text.unitsMoved(), read = text.unitsRead();
            text.replaceEach(parts);
            const qsizetype movedByParts = text.unitsMoved() - moved;
            EXPECT_TRUE(text.text() == expected.text());
            EXPECT_EQ(text.newline(), QStringLiteral("\r\n"));
            for (qsizetype i = 0; i <= text.size(); i += 7) ASSERT_EQ(text.toDisplay(i), expected.toDisplay(i)) << i;
            EXPECT_EQ(text.unitsRead() - read, start == Start::shared ? base.size() : 0);
            if (start != Start::shared) EXPECT_LE(movedByParts, base.size());
        }
    }
}

// Parts that lengthen the text past what its buffer holds copy it once into a larger one, the
// parts put in on the way: the units moved and copied stay within one text's length, at any size
// and wherever the gap was.
TEST(ExactText, PartsThatOutgrowTheBufferCopyTheTextOnce) {
    for (const int lines : {5000, 50000}) {
        const QString base = QStringLiteral("kilo and more words\n").repeated(lines);
        QList<EditHistory::Part> parts;
        for (qsizetype at = base.indexOf(u'k'); at >= 0; at = base.indexOf(u'k', at + 1))
            parts.append({at, QStringLiteral("kilo"), QStringLiteral("kilograms, or")});
        QString expected = base;
        expected.replace(QStringLiteral("kilo"), QStringLiteral("kilograms, or"));
        for (const bool gapInMiddle : {false, true}) {
            SCOPED_TRACE(QStringLiteral("%1 lines, gap in the middle %2").arg(lines).arg(gapInMiddle).toStdString());
            QString held = base;
            ExactText text(held);
            held = QString();
            const qsizetype middle = base.size() / 2;
            text.replace({middle, 0}, QStringLiteral("x"));
            text.replace({middle, 1}, QString());
            if (!gapInMiddle) (void)text.text();  // closes the gap
            const qsizetype moved = text.unitsMoved(), read = text.unitsRead();
            text.replaceEach(parts);
            const qsizetype work = text.unitsMoved() - moved + text.unitsRead() - read;
            EXPECT_LE(work, base.size() + base.size() / 16);
            EXPECT_TRUE(text.text() == expected);
        }
    }
}

// A long text is copied or moved in stretches on several threads: parts across the stretches' edges,
// at the very start and end, and near a CR LF read as if put in one by one, whether they lengthen
// or shorten the text, wherever its gap was and whether the text was shared.
TEST(ExactText, PartsInALongTextReadAsPutInOneByOne) {
    const QString base = QStringLiteral("kilo\r\nword and more words\n").repeated(660000);
    const qsizetype edge = qsizetype(1) << 22;  // about where the stretches meet
    for (const int kind : {0, 1, 2}) {
        QList<EditHistory::Part> parts;
        if (kind != 1) parts.append({0, QString(), QStringLiteral("<")});
        for (qsizetype at = 2000; at + 40 < base.size(); at += 2000) {
            // One across each edge, in place of the part before it.
            const qsizetype near = (at + 2000) % edge < 2000 ? at + 2000 - (at + 2000) % edge - 2 : at;
            parts.append({near, base.mid(near, 5), kind == 0 ? QStringLiteral("longer text") : kind == 1 ? QString() : QStringLiteral("!")});
        }
        if (kind != 1) parts.append({base.size(), QString(), QStringLiteral(">")});
        else parts.append({base.size() - 1, QStringLiteral("\n"), QString()});
        QString expected;
        qsizetype from = 0;
        for (const EditHistory::Part& part : parts) {
            expected += QStringView(base).sliced(from, part.location - from);
            expected += part.inserted;
            from = part.location + part.removed.size();
        }
        const ExactText reference(expected);
        for (const int start : {0, 1, 2}) {  // in one piece, with a gap in the middle, shared
            SCOPED_TRACE(QStringLiteral("kind %1, start %2").arg(kind).arg(start).toStdString());
            ExactText text(base);
            if (start != 2) {
                // A buffer of its own, its gap where an edit was taken back.
                text.replace({base.size() / 2, 0}, QStringLiteral("x"));
                text.replace({base.size() / 2, 1}, QString());
            }
            if (start == 0) (void)text.text();
            text.replaceEach(parts);
            ASSERT_EQ(text.size(), expected.size());
            for (qsizetype i = 0; i < expected.size(); i += 997) ASSERT_EQ(text.at(i), expected.at(i)) << i;
            for (qsizetype i = 0; i <= expected.size(); i += 100003) ASSERT_EQ(text.toDisplay(i), reference.toDisplay(i)) << i;
            EXPECT_TRUE(text.text() == expected);
        }
    }
}

// Parts before the first line break move it: the newline read afterwards is still the text's own.
TEST(ExactText, PartsBeforeTheFirstBreakKeepItsNewline) {
    QString held = QStringLiteral("abc\r\nx\ny\n");
    ExactText text(held);
    held = QString();
    EXPECT_EQ(text.newline(), QStringLiteral("\r\n"));  // the first break's place is now known
    text.replaceEach({{0, QStringLiteral("abc"), QStringLiteral("ab")}});
    EXPECT_EQ(text.newline(), QStringLiteral("\r\n"));
}

// An edit away from any joined lines or pieces changes the display at the edit alone, however much
// text comes before it.
TEST(ExactText, AnEditAwayFromJoinsChangesTheDisplayAtTheEditAlone) {
    ExactText text(QStringLiteral("one line\n").repeated(1000));
    const ExactText::Change change = text.replace({4500, 4}, QStringLiteral("word"));
    EXPECT_EQ(change.displayStart, 4500);
    EXPECT_EQ(change.displayEnd, 4504);
    EXPECT_EQ(change.displayText, QStringLiteral("word"));
}

// Reading a stretch the gap lies outside of moves nothing; one it lies inside moves it out, to the
// nearer end.
TEST(ExactText, ReadingAStretchMovesTheGapOnlyWhenItLiesInside) {
    QString model = QStringLiteral("a line of text\n").repeated(1000);
    ExactText text(model);
    text.replace({100, 0}, QStringLiteral("x"));
    model.insert(100, u'x');
    const qsizetype moved = text.unitsMoved();
    EXPECT_EQ(text.within(5000, 9000).sliced(5000, 4000), QStringView(model).sliced(5000, 4000));
    EXPECT_EQ(text.within(0, 50).sliced(0, 50), QStringView(model).first(50));
    EXPECT_EQ(text.unitsMoved(), moved);
    EXPECT_EQ(text.within(90, 10000).sliced(90, 9910), QStringView(model).sliced(90, 9910));
    EXPECT_GT(text.unitsMoved(), moved);
    EXPECT_LT(text.unitsMoved(), moved + 100);
}

// A long text put in is read where it lies, never copied first; a CR LF across the stretches it is
// read in still ends one line.
TEST(ExactText, ALongTextPutInIsReadWhereItLies) {
    const QString in = QStringLiteral("aaaa\n").repeated(819) + QStringLiteral("\r\n") + QStringLiteral("bbb\r\n").repeated(2000) + u'c';
    ExactText text(QStringLiteral("xy"));
    const ExactText::Change change = text.replace({1, 0}, in);
    EXPECT_EQ(change.text.constData(), in.constData());
    EXPECT_EQ(text.text(), "x" + in + "y");
    // Each CR LF shows as one unit, as in the same text read whole.
    const ExactText whole("x" + in + "y");
    for (const qsizetype at : {qsizetype(4095), qsizetype(4096), qsizetype(4097), qsizetype(4098), text.size()}) EXPECT_EQ(text.toDisplay(at), whole.toDisplay(at)) << at;
}
