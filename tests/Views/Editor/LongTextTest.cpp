// A long text goes into the display a step at a time after its first lines are shown. Whatever the
// user does meanwhile, the display ends up exactly what showing the whole text at once gives.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <QTextBlock>

#include "EditorFixture.h"
#include "Editor/ExactText.h"
#include "Editor/FoldComputer.h"
#include "Editor/RegexHighlighter.h"
#include "Platform/Lines.h"
#include "TextShapes.h"
#include "WorkBounds.h"
#include "Views/Editor/WrappingTextLayout.h"

namespace {

QString longText() {
    QString text;
    // CR LF and lone CR endings too, so that steps may never split a line ending.
    for (int i = 0; i < 60000; ++i)
        text += QStringLiteral("line %1 of a long text%2").arg(i).arg(i % 7 == 0 ? u"\r\n" : i % 11 == 0 ? u"\r" : u"\n");
    return text;
}

void waitShown(EditorFixture& f) {
    (void)QTest::qWaitFor([&] { return f.editor().isFullyShown(); }, 120000);
    EditorFixture::settle();
}

// The display holds exactly the text's display form: one block per line.
void expectDisplayOf(EditorFixture& f, const QString& exact) {
    ASSERT_TRUE(f.editor().isFullyShown());
    EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(exact));
}

// An editor on the text with its event loop not yet run: only the first lines are shown.
EditorFixture unsettled(const QString& text) {
    return EditorFixture(text, QStringLiteral("notes.txt"), std::nullopt, false);
}

class LongText : public ::testing::Test {
protected:
    const QString text = longText();
};

} // namespace

TEST_F(LongText, EditsWhileItIsShownLandWhereTyped) {
    EditorFixture f = unsettled(text);
    ASSERT_FALSE(f.editor().isFullyShown());
    EXPECT_LT(f.view->document()->blockCount(), 60000);
    // Near the top: typed into what is shown, the rest still to come.
    f.select(text.indexOf(QStringLiteral("line 3 ")));
    f.type(QStringLiteral("abc"));
    f.enter();
    f.backspace();
    f.backspace();
    EXPECT_FALSE(f.editor().isFullyShown());
    QString expected = text;
    expected.insert(text.indexOf(QStringLiteral("line 3 ")), QStringLiteral("ab"));
    EXPECT_TRUE(f.text() == expected);
    waitShown(f);
    expectDisplayOf(f, expected);
    for (int i = 0; i < 4; ++i) f.undo();
    EXPECT_TRUE(f.text() == text);
    expectDisplayOf(f, text);
}

TEST_F(LongText, ReachingPastWhatIsShownShowsTheRest) {
    {
        // Select all and copy: all of the text.
        EditorFixture f = unsettled(text);
        ASSERT_FALSE(f.editor().isFullyShown());
        f.key(Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(f.selection(), (TextRange{0, text.size()}));
        f.key(Qt::Key_C, Qt::ControlModifier);
        EXPECT_TRUE(QApplication::clipboard()->text() == text);
        expectDisplayOf(f, text);
    }
    {
        // A line down from the last line shown: the caret on the next line, where it was put.
        EditorFixture f = unsettled(text);
        ASSERT_FALSE(f.editor().isFullyShown());
        const QTextBlock end = f.view->document()->lastBlock();
        const qsizetype next = f.editor().toExact(end.position());
        f.select(f.editor().toExact(end.previous().position()) + 2);
        f.key(Qt::Key_Down);
        EXPECT_EQ(f.selection(), (TextRange{next, 0}));
        // Only the lines the caret needs came in at once, not all the rest.
        EXPECT_FALSE(f.editor().isFullyShown());
        // Selecting to the end with the keyboard reaches the text's end.
        f.key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(f.selection(), (TextRange{next, text.size() - next}));
    }
}

// The end key and going to a line far past what is shown keep the window turning:
// the caret goes there once the display holds the place, and a move of the user's meanwhile wins.
TEST_F(LongText, ReachingFarPastWhatIsShownWaitsForThePlace) {
    {
        // The end key: the caret at the text's end once it is there, typing there.
        EditorFixture f = unsettled(text);
        f.key(Qt::Key_End, Qt::ControlModifier);
        EXPECT_FALSE(f.editor().isFullyShown());
        EXPECT_EQ(f.view->textCursor().position(), 0) << "the caret is drawn where it is until it gets there";
        EXPECT_EQ(f.selection(), (TextRange{text.size(), 0})) << "but keys act at the end";
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{text.size(), 0}));
        EXPECT_TRUE(f.view->viewport()->rect().contains(f.view->cursorRect()));
        f.type(QStringLiteral("z"));
        EXPECT_TRUE(f.text() == text + u'z');
        expectDisplayOf(f, text + u'z');
    }
    {
        // Past 99,999 lines: the gutter takes the width the last line's number needs (CR LF counting
        // as one line ending) before the display holds that many lines, and keeps it; the caret
        // still gets to the end.
        QString many;
        for (int i = 0; i < 200000; ++i) many += QStringLiteral("line %1%2").arg(i % 10).arg(i % 3 ? u"\n" : u"\r\n");
        EditorFixture f = unsettled(many);
        f.key(Qt::Key_End, Qt::ControlModifier);
        (void)QTest::qWaitFor([&] { return f.view->ruler()->width() > LineNumberRuler::kThickness; }, 60000);
        EXPECT_LT(f.view->document()->blockCount(), 100000);
        const int width = f.view->ruler()->width();
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{many.size(), 0}));
        EXPECT_EQ(f.view->document()->blockCount(), 200001);
        EXPECT_EQ(f.view->ruler()->width(), width);
    }
    {
        // A caret the user clicks elsewhere before the place arrives stays where it was put.
        EditorFixture f = unsettled(text);
        f.editor().goToLine(59001);
        QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{0, 0}));
    }
    {
        // Going to a late line, and replacing there.
        EditorFixture f = unsettled(text);
        ASSERT_FALSE(f.editor().isFullyShown());
        const qsizetype late = text.indexOf(QStringLiteral("line 59000 "));
        f.editor().goToLine(59001);
        EXPECT_FALSE(f.editor().isFullyShown());
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{late, 0}));
        f.editor().plainChange({late, 4}, QStringLiteral("LINE"));
        QString expected = text;
        expected.replace(late, 4, QStringLiteral("LINE"));
        EXPECT_TRUE(f.text() == expected);
        expectDisplayOf(f, expected);
        EXPECT_EQ(f.view->textCursor().block().text().left(10), QStringLiteral("LINE 59000"));
    }
}

// A long line is shown in pieces; the caret's column counts from the line's start, however many
// pieces lie before it.
TEST(LongLine, TheCaretIsReportedAtItsColumnInAnyPiece) {
    const QString line = text_shapes::make(text_shapes::Shape::minified, 64 * 1024).remove(u'\n');
    EditorFixture f("ab\n" + line + "\nz", QStringLiteral("bundle.txt"));
    f.editor().showAll();
    for (const qsizetype column : {qsizetype(0), LinePieces::kMaxPiece + 1, line.size() / 2, line.size()}) {
        f.select(3 + column);
        f.settle();
        EXPECT_EQ(f.document.cursorLine(), 2) << column;
        EXPECT_EQ(f.document.cursorColumn(), column + 1) << column;
    }
}

// Pieces as long as they may be are common (a long line broken where it reaches the limit). The key
// that outgrows one breaks the pieces around it afresh; the keys after it lay out the one piece they
// type into, not all of them again at every key.
TEST(LongLine, KeysTypedIntoAFullPieceLayOutOnlyThatPieceAfterTheFirst) {
    EditorFixture f(text_shapes::make(text_shapes::Shape::minified, 256 * 1024), QStringLiteral("bundle.txt"));
    f.editor().showAll();
    const std::vector<qsizetype>& breaks = f.editor().text().pieces().breaks();
    const auto full = std::adjacent_find(breaks.begin(), breaks.end(),
                                         [](qsizetype a, qsizetype b) { return b - a == LinePieces::kMaxPiece; });
    ASSERT_NE(full, breaks.end());
    f.select(*full + LinePieces::kMaxPiece / 2, 0);
    f.settle();
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    f.type("x");
    f.settle();
    for (int key = 0; key < 30; ++key) {
        const qsizetype before = layout->laidOutUnits();
        f.type("y");
        f.settle();
        ASSERT_LE(layout->laidOutUnits() - before, f.view->textCursor().block().length()) << key;
    }
}

// Pieces broken afresh around keys typed into a long line: each edit the syntax tree is given starts
// at the row and column it has in the text, and the display keeps showing the text in its pieces.
TEST(LongLine, EditsThatBreakPiecesAfreshReachTheSyntaxTreeAtTheirPlace) {
    const QString text = text_shapes::make(text_shapes::Shape::minified, 256 * 1024);
    EditorFixture f(text, QStringLiteral("bundle.js"));
    f.editor().showAll();
    const qsizetype middle = text.size() / 2;
    f.select(middle);
    f.type(QStringLiteral("typed here ") + QString(200, u'z'));
    for (int i = 0; i < 150; ++i) f.backspace();
    f.settleColours();
    ASSERT_TRUE(f.editor().coloursSettled());
    const ExactText& shown = f.editor().text();
    EXPECT_TRUE(f.view->document()->toRawText() == shown.displayOf(0, shown.size()));
    EXPECT_EQ(f.document.cursorLine(), 1);
    EXPECT_EQ(f.document.cursorColumn(), middle + 62);
}

// Keys typed far past what is shown, a backspace too, find the caret's line and column counted on
// from the last key's, not from where what is shown ends: a key reads as little at the end of a
// longer text.
TEST(LongLine, KeysTypedFarPastWhatIsShownCountTheirPlaceFromTheLastKey) {
    const auto readPerKey = [](qsizetype units) {
        const QString text = text_shapes::make(text_shapes::Shape::minified, units);
        EditorFixture f(text, QStringLiteral("bundle.txt"), std::nullopt, false);
        f.select(text.size());
        f.type("x");
        const qsizetype before = f.editor().unitsReadPastShown();
        f.type("yz");
        f.backspace();
        EXPECT_FALSE(f.editor().isFullyShown());
        return f.editor().unitsReadPastShown() - before;
    };
    EXPECT_LE(readPerKey(3 * 1024 * 1024), readPerKey(1024 * 1024) + 16);
}

// Keys pressed after a key that sent the caret far past what is shown act where it went. Those that
// only change the text do so at once, before the display gets there: the document (what a save
// writes) holds them. A key that moves on from there waits until the caret is there.
// A move after the end key waits for all of a long line to be shown; filling the display lays out
// no more of a longer line for it. Home and End do not wait: they lay out only the caret's piece.
TEST(LongLine, KeysAfterTheEndKeyLayOutNoMoreOfALongerLine) {
    const auto laidOutByLeft = [](qsizetype units) {
        EditorFixture f(text_shapes::make(text_shapes::Shape::minified, units), QStringLiteral("bundle.txt"),
                        std::nullopt, false);
        const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
        f.key(Qt::Key_End, Qt::ControlModifier);
        const qsizetype before = layout->laidOutUnits();
        f.key(Qt::Key_Left);
        EXPECT_TRUE(f.editor().isFullyShown());
        return layout->laidOutUnits() - before;
    };
    const qsizetype small = laidOutByLeft(1024 * 1024);
    // The screenful at the end may take a piece more or less, as the last piece is longer or shorter.
    EXPECT_LE(laidOutByLeft(3 * 1024 * 1024), small + 2 * LinePieces::kMaxPiece);

    const QString text = text_shapes::make(text_shapes::Shape::minified, 3 * 1024 * 1024);
    EditorFixture shown(text, QStringLiteral("bundle.txt"));
    shown.editor().showAll();
    EditorFixture f(text, QStringLiteral("bundle.txt"), std::nullopt, false);
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    for (const qsizetype at : {text.size() - 5, text.size() / 2 + 77, text.size() / 2 + 1111}) {
        for (const int key : {Qt::Key_Home, Qt::Key_End}) {
            shown.select(at);
            shown.key(key);
            f.select(at);
            ASSERT_TRUE(f.editor().hasPendingSelection());
            const qsizetype before = layout->laidOutUnits();
            f.key(key);
            EXPECT_EQ(f.selection(), shown.selection()) << at << " " << key;
            EXPECT_LE(layout->laidOutUnits() - before, LinePieces::kMaxPiece);
        }
    }
    EXPECT_FALSE(f.editor().isFullyShown());
}

TEST_F(LongText, KeysAfterAFarReachingKeyActWhereItWent) {
    const qsizetype late = text.indexOf(QStringLiteral("line 59000 "));
    const qsizetype found = text.indexOf(QStringLiteral("line 59998 "));
    QString typedAtEnd = text + QStringLiteral("QR");
    QString typedAtLine = text;
    typedAtLine.insert(late, QStringLiteral("ab"));
    QString replacedMatch = text;
    replacedMatch.replace(found, 11, QStringLiteral("X"));
    QString beforeLast = text;
    beforeLast.insert(text.size() - 1, u'y');
    const struct {
        const char* name;
        std::function<void(EditorFixture&)> keys;
        QString expected;
        TextRange caret;
        bool atOnce;  // before the display holds the place
    } cases[] = {
        {"end key, typing, a new line taken back",
         [](EditorFixture& f) {
             f.key(Qt::Key_End, Qt::ControlModifier);
             f.type(QStringLiteral("QR"));
             f.enter();
             f.backspace();
         },
         typedAtEnd, {typedAtEnd.size(), 0}, true},
        {"going to a line",
         [](EditorFixture& f) {
             f.editor().goToLine(59001);
             f.type(QStringLiteral("ab"));
         },
         typedAtLine, {late + 2, 0}, true},
        {"a find match",
         [](EditorFixture& f) {
             f.find.setQuery(QStringLiteral("line 59998 "));
             f.view->setShowFind(true);
         },
         text, {found, 11}, true},
        {"a find match, typed over",
         [](EditorFixture& f) {
             f.find.setQuery(QStringLiteral("line 59998 "));
             f.view->setShowFind(true);
             f.type(QStringLiteral("X"));
         },
         replacedMatch, {found + 1, 0}, true},
        {"typing undone",
         [](EditorFixture& f) {
             f.key(Qt::Key_End, Qt::ControlModifier);
             f.type(QStringLiteral("abc"));
             f.undo();
         },
         text, {text.size(), 0}, true},
        {"the start key after the end key",
         [](EditorFixture& f) {
             f.key(Qt::Key_End, Qt::ControlModifier);
             f.key(Qt::Key_Home, Qt::ControlModifier);
             f.type(QStringLiteral("s"));
         },
         u's' + text, {1, 0}, true},
        {"a move from there",
         [](EditorFixture& f) {
             f.key(Qt::Key_End, Qt::ControlModifier);
             f.key(Qt::Key_Left);
             f.type(QStringLiteral("y"));
         },
         beforeLast, {text.size(), 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorFixture f = unsettled(text);
        c.keys(f);
        EXPECT_TRUE(f.text() == c.expected);
        if (c.atOnce) EXPECT_FALSE(f.editor().isFullyShown());
        waitShown(f);
        EXPECT_EQ(f.selection(), c.caret);
        expectDisplayOf(f, c.expected);
    }
    {
        // A large paste goes into the display a step at a time; keys typed at once land after it.
        EditorFixture f(QStringLiteral("start\nend\n"), QStringLiteral("notes.txt"));
        f.select(6);
        f.editor().userChange(f.selection(), text);
        f.type(QStringLiteral("abc"));
        const QString expected = QStringLiteral("start\n") + text + QStringLiteral("abcend\n");
        EXPECT_TRUE(f.text() == expected);
        EXPECT_FALSE(f.editor().isFullyShown());
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{6 + text.size() + 3, 0}));
        expectDisplayOf(f, expected);
        f.undo();
        f.undo();
        EXPECT_TRUE(f.text() == QStringLiteral("start\nend\n"));
        expectDisplayOf(f, QStringLiteral("start\nend\n"));
    }
}

// A text large enough that the editor shares the document's buffer instead of copying it: unedited it
// stays clean, the first edit turns it dirty and lets the saved text go, and undo brings the text back
// (still dirty: only a save makes it clean).
TEST(SharedLargeText, FollowsTheDirtyRule) {
    const QString line = QStringLiteral("const value = compute(1, 'two', 3); // four\n");
    QString text = line.repeated(9 * 1024 * 1024 / line.size());
    EditorFixture f = unsettled(text);
    EXPECT_FALSE(f.document.isDirty());
    f.select(line.size() * 2 + 6);
    f.key(Qt::Key_Right);
    EXPECT_FALSE(f.document.isDirty());
    EXPECT_FALSE(f.document.savedText().isEmpty());
    f.type(QStringLiteral("x"));
    EXPECT_TRUE(f.document.isDirty());
    EXPECT_TRUE(f.document.savedText().isEmpty());
    EXPECT_EQ(f.text().size(), text.size() + 1);
    EXPECT_EQ(f.text().mid(line.size() * 2 + 6, 3), QStringLiteral("vxa"));
    f.undo();
    EXPECT_TRUE(f.text() == text);
    EXPECT_TRUE(f.document.isDirty());
}

// The first key in a long text that the editor alone holds, as a file read hands it over, moves no
// more of it in a longer text: what follows the key moves on by whole pages of memory. The text
// stays exact through undo, redo and a save.
TEST(SharedLargeText, TheFirstKeyMovesNoMoreOfALongerTextAndKeepsItExact) {
    const QString line = QStringLiteral("const value = compute(1, 'two', 3); // four\n");
    QTemporaryDir dir;
    const auto firstKeyMoves = [&](qsizetype lines) -> qsizetype {
        EditorFixture f = unsettled(line.repeated(lines));
        const qsizetype at = line.size() * 2 + 6;
        f.select(at);
        const qsizetype before = f.editor().text().unitsMoved();
        f.type(QStringLiteral("x"));
        const qsizetype moved = f.editor().text().unitsMoved() - before;
        QString expected = line.repeated(lines);
        expected.insert(at, u'x');
        EXPECT_TRUE(f.text() == expected);
        f.undo();
        EXPECT_TRUE(f.text() == line.repeated(lines));
        f.redo();
        EXPECT_TRUE(f.text() == expected);
        const QString path = dir.filePath(QStringLiteral("typed-%1.txt").arg(lines));
        QString error;
        EXPECT_TRUE(f.document.save(path, &error)) << error.toStdString();
        QFile saved(path);
        EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_TRUE(saved.readAll() == expected.toUtf8());
        EXPECT_FALSE(f.document.isDirty());
        return moved;
    };
    // The readers of the lines around the key move the gap past them, as at every key.
    work_bounds::expectFlat(firstKeyMoves(100'000), firstKeyMoves(400'000), 256 * 1024, 4096);
}

// The line and column the document hears are the caret's own, also while and after a large paste
// goes into the display a step at a time, and after typing or a page down there.
TEST_F(LongText, TheCaretReportedAfterALargePasteIsWhereItIs) {
    const auto expectReported = [](EditorFixture& f, const char* after) {
        EditorFixture::settle();
        const QString& t = f.text();
        const qsizetype caret = f.selection().location;
        const qsizetype lineStart = Lines::lineStart(t, caret);
        EXPECT_EQ(f.document.cursorLine(), Lines::breakCount(QStringView(t).first(lineStart)) + 1) << after;
        EXPECT_EQ(f.document.cursorColumn(), caret - lineStart + 1) << after;
    };
    EditorFixture f(QStringLiteral("start\nend"), QStringLiteral("notes.txt"));
    f.select(9);
    f.editor().userChange(f.selection(), text);
    EXPECT_FALSE(f.editor().isFullyShown());
    expectReported(f, "pasting");
    f.type(QStringLiteral("ab"));
    expectReported(f, "typing at once");
    waitShown(f);
    expectReported(f, "once shown");
    f.type(QStringLiteral("c"));
    expectReported(f, "typing");
    f.select(text.size() / 2);
    f.key(Qt::Key_PageDown);
    expectReported(f, "a page down");
}

namespace {
// Shows all of the text and readies a case-sensitive Replace All of "prototype" by "proto_type".
void readyReplaceAll(EditorFixture& f) {
    f.editor().showAll();
    f.view->setShowFind(true);
    f.find.setCaseSensitive(true);
    f.find.setReplacement(QStringLiteral("proto_type"));
    f.find.setQuery(QStringLiteral("prototype"));
    f.settle();
}
} // namespace

// A Replace All over a long text and its undo: no turn of the event loop afterwards reads more of
// the text for colours than a step of laying the highlighter's resume points, however far apart
// the first and the last match lie.
TEST(ReplaceAllWork, EachTurnAfterwardsReadsABoundedStretchForColours) {
    constexpr qsizetype kStep = 1024 * 1024;  // the resume points laid per turn
    QString text;
    for (int i = 0; text.size() < 4 * kStep; ++i)
        text += QStringLiteral("Item%1.prototype.get = function (k) {\n  return this.map[\"k%1\"]; // (\n};\n").arg(i);
    EditorFixture f(text, QStringLiteral("code.txt"));
    readyReplaceAll(f);
    const auto* colours = dynamic_cast<const RegexHighlighter*>(f.editor().highlighter());
    ASSERT_NE(colours, nullptr);
    const auto worstTurn = [&] {
        qsizetype worst = 0;
        // Until the folds are known again, and a few turns past that for the resume points.
        for (int turns = 0; turns < 8 || !f.editor().foldTracker().complete(); ++turns) {
            QApplication::processEvents();
            worst = qMax(worst, colours->lastScanLength());
        }
        return worst;
    };
    // Words replaced by words move the folds along without a scan: they are known at once.
    const auto expectFoldsMovedAlong = [&] {
        EXPECT_TRUE(f.editor().foldTracker().complete());
        EXPECT_EQ(f.editor().foldTracker().lastScanLength(), 0);
        EXPECT_EQ(f.editor().foldRegions(), FoldComputer::regions(f.text()));
    };
    f.find.engine()->replaceAll();
    ASSERT_TRUE(f.text().contains(QStringLiteral("Item9.proto_type")));
    expectFoldsMovedAlong();
    EXPECT_LE(worstTurn(), kStep + 64 * 1024);
    f.editor().undo();
    ASSERT_EQ(f.text(), text);
    expectFoldsMovedAlong();
    EXPECT_LE(worstTurn(), kStep + 64 * 1024);
}

namespace {
// About `units` of code with blocks to fold throughout, and the same `matches` lines holding
// "prototype" spread over it, whatever its length.
QString codeWithMatches(qsizetype units, int matches) {
    const QString block = QStringLiteral("if (ready) {\n  step(1); // (\n}\n");
    const QString match = QStringLiteral("Item.prototype.get = function (k) { return k; };\n");
    const qsizetype blocks = units / block.size();
    QString text;
    text.reserve(units + matches * match.size());
    for (qsizetype i = 0; i < blocks; ++i) {
        text += block;
        if (i % (blocks / matches) == 0 && text.count(u'I') < matches) text += match;
    }
    return text;
}
} // namespace

// A Replace All and its undo cost the same in a longer text with the same matches: the text is
// edited where it lies and read nowhere but at the matches (no copy, no pass over all of it), and
// the folds after each match move along without being rewritten one by one in the same turn.
TEST(ReplaceAllWork, CostsTheSameInALongerTextWithTheSameMatches) {
    struct Work {
        qsizetype read = 0, foldEntries = 0;
    };
    const auto workFor = [](qsizetype units) {
        // No copy of the text kept here: the editor and the saved text are its only holders.
        EditorFixture f(codeWithMatches(units, 100), QStringLiteral("code.txt"));
        const QString expected = QString(f.text()).replace(QStringLiteral("prototype"), QStringLiteral("proto_type"));
        readyReplaceAll(f);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
        EXPECT_EQ(f.find.matchCount(), 100);
        const ExactText& text = f.editor().text();
        Work work;
        const auto measured = [&](const std::function<void()>& action) {
            const qsizetype read = text.unitsRead();
            action();
            work.read = qMax(work.read, text.unitsRead() - read);
            work.foldEntries = qMax(work.foldEntries, f.editor().foldTracker().lastEntriesShifted());
        };
        measured([&] { f.find.engine()->replaceAll(); });
        // Nothing looks at the folds here: later turns bring them up to date by themselves.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.editor().foldTracker().movesPending(); }, 60000));
        EXPECT_TRUE(f.text() == expected);
        EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(expected));
        EXPECT_EQ(f.editor().foldRegions(), FoldComputer::regions(expected));
        f.settle();
        measured([&] { f.undo(); });
        const QString original = QString(expected).replace(QStringLiteral("proto_type"), QStringLiteral("prototype"));
        EXPECT_TRUE(f.text() == original);
        EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(original));
        EXPECT_EQ(f.editor().foldRegions(), FoldComputer::regions(original));
        return work;
    };
    const Work small = workFor(1 << 20), large = workFor(8 << 20);
    work_bounds::expectFlat(small.read, large.read);
    work_bounds::expectFlat(small.foldEntries, large.foldEntries, 4096, 1024);
}

// Filling the display with many lines, empty or short: the lines themselves are the display's to
// make; the editor reads blocks for joined lines only where some were joined, and measures, lays out
// and steps on only the screens the view shows meanwhile, a few
// more for eight times the lines (the scroll bar follows every so many steps), never a share of
// every line. How many screens show meanwhile depends on the machine's load: the bound leaves room
// for that and still fails long before a pass over every line (224K more lines).
TEST(FillingTheDisplay, TouchesNoMoreLinesInALongerText) {
    const auto workToFill = [](const QString& text) {
        EditorFixture f = unsettled(text);
        const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
        EXPECT_NE(layout, nullptr);
        if (!layout) return qsizetype(0);
        waitShown(f);
        EXPECT_EQ(f.editor().lineCount(), text.count(u'\n') + 1);
        // No line wraps: the scroll range spans a row per line, joined empty lines included.
        EXPECT_EQ(f.view->document()->lineCount(), text.count(u'\n') + 1);
        return layout->measuredBlocks() + layout->laidOutUnits() + f.view->steppedBlocks() + layout->blocksReadForJoins();
    };
    for (const QString& line : {QStringLiteral("\n"), QStringLiteral("a\n")}) {
        const qsizetype shorter = workToFill(line.repeated(32 * 1024));
        EXPECT_LT(workToFill(line.repeated(256 * 1024)) - shorter, (256 - 32) * 1024 / 16) << line.size();
    }
}

// A new width forgets how every line wrapped: only the lines that took more than one row are read
// again, not each line of a long text, and a block of joined empty lines still counts its lines.
TEST(FillingTheDisplay, ANewWidthReadsOnlyTheLinesThatWrapped) {
    const auto readsForNewWidth = [](qsizetype lines) {
        const QString wide = QStringLiteral("wide ").repeated(200);
        const QString text = wide + QStringLiteral("\n").repeated(200) + QStringLiteral("a short line\n").repeated(lines) + wide;
        EditorFixture f(text, QStringLiteral("notes.txt"));
        waitShown(f);
        auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
        EXPECT_NE(layout, nullptr);
        if (!layout) return qsizetype(0);
        // The first line wrapped when shown, and the last wraps on screen now; the joined empty
        // lines count a row each.
        EXPECT_GT(f.view->document()->firstBlock().lineCount(), 1);
        f.select(text.size());
        EditorFixture::settle();
        EXPECT_GT(f.view->document()->lastBlock().lineCount(), 1);
        const qsizetype before = layout->blocksReadForJoins();
        layout->setWrapWidth(layout->wrapWidth() / 2);
        const qsizetype reads = layout->blocksReadForJoins() - before;
        // Each line counts what it counts before layout, as after reading every one; the view lays
        // out again at once the last line, which it shows.
        const QTextBlock last = f.view->document()->lastBlock();
        int rows = last.lineCount();
        for (QTextBlock b = f.view->document()->firstBlock(); b != last; b = b.next()) rows += layout->rowsBeforeLayout(b);
        EXPECT_EQ(f.view->document()->lineCount(), rows);
        return reads;
    };
    EXPECT_EQ(readsForNewWidth(256 * 1024), readsForNewWidth(32 * 1024));
}

// Runs of empty lines an edit brings after a long text was shown are joined a few blocks at a time:
// each such block counts a row per line, so the scroll range still spans every line.
TEST(FillingTheDisplay, RunsJoinedAfterwardsCountARowPerLine) {
    const QString original = QStringLiteral("a short line\n").repeated(20'000);
    EditorFixture f(original, QStringLiteral("notes.txt"));
    waitShown(f);
    const int blocks = f.view->document()->blockCount();
    QApplication::clipboard()->setText(QString(20'000, u'\n'));
    f.select(original.size() / 2);
    f.key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.view->document()->blockCount() < blocks + 20'000 / 32; }, 60000));
    EXPECT_EQ(f.view->document()->lineCount(), f.editor().lineCount());
    EXPECT_EQ(f.editor().lineCount(), 40'001);
}
