// A text of many empty lines goes into the display as few blocks of many lines each. Lines, caret,
// gutter and every edit behave as with one block per line, and the text stays the user's own.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTextBlock>

#include "EditorFixture.h"
#include "Editor/ExactText.h"
#include "Platform/Lines.h"

namespace {

void waitShown(EditorFixture& f) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.editor().isFullyShown(); }, 120000));
    EditorFixture::settle();
}

int lineAtOffset(const QString& text, qsizetype offset) { return int(Lines::breakCount(QStringView(text).first(offset))); }

// The display, its joined lines shown as separate blocks again, is the text's display; every block
// holding joined lines holds empty lines only, and every block knows its line.
void expectDisplayFollows(EditorFixture& f) {
    const QString& text = f.text();
    QString display = f.view->document()->toRawText();
    display.replace(QChar(ExactText::kJoin), QChar(ExactText::kSeparator));
    ASSERT_EQ(display.size(), ExactText::display(text).size());
    ASSERT_TRUE(display == ExactText::display(text));
    ASSERT_EQ(f.editor().lineCount(), Lines::breakCount(text) + 1);
    for (QTextBlock block = f.view->document()->firstBlock(); block.isValid(); block = block.next()) {
        const QString shown = block.text();
        if (shown.contains(QChar(ExactText::kJoin)))
            ASSERT_EQ(shown.count(QChar(ExactText::kJoin)), shown.size()) << block.blockNumber();
        ASSERT_EQ(f.editor().lineOf(block), lineAtOffset(text, f.editor().toExact(block.position())))
            << block.blockNumber();
    }
}

// The caret's line and column as reported, against the text.
void expectCaretAt(EditorFixture& f, qsizetype offset) {
    EditorFixture::settle();
    const QString& text = f.text();
    EXPECT_EQ(f.selection().location, offset);
    EXPECT_EQ(f.document.cursorLine(), lineAtOffset(text, offset) + 1);
    EXPECT_EQ(f.document.cursorColumn(), offset - Lines::lineStart(text, offset) + 1);
}

// Undone, the text is what it was, shown as it was; saved, its bytes.
void expectBackTo(EditorFixture& f, const QString& original) {
    ASSERT_TRUE(f.text() == original);
    expectDisplayFollows(f);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(f.document.save(path));
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == original.toUtf8());
}

} // namespace

TEST(EmptyLineRuns, ShowAsFewBlocksWithEveryLineInPlace) {
    constexpr int kLines = 100'000;
    const QString text = QString(kLines, u'\n') + QStringLiteral("end");
    EditorFixture f(text, QStringLiteral("notes.txt"));
    waitShown(f);
    // Filling the display costs per block: a run of empty lines takes a block per many of them.
    EXPECT_LT(f.view->document()->blockCount(), kLines / 32);
    EXPECT_EQ(f.editor().lineCount(), kLines + 1);
    // The scroll bar spans every line before the blocks are laid out.
    EXPECT_EQ(f.view->document()->lineCount(), kLines + 1);
    expectDisplayFollows(f);

    // Going to a line inside a block of them, and to the last.
    for (const int line : {1, 2, 64, 65, 50'001, 99'999, kLines + 1}) {
        SCOPED_TRACE(line);
        f.editor().goToLine(line);
        expectCaretAt(f, line - 1);
    }
    // The gutter numbers every line, once, in order, the caret's marked.
    f.editor().goToLine(50'001);
    EditorFixture::settle();
    f.view->ruler()->grab();
    const auto numbers = f.view->ruler()->drawnNumbers();
    ASSERT_GT(numbers.size(), 5);
    QList<int> marked;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (i > 0) EXPECT_EQ(numbers[i].number, numbers[i - 1].number + 1);
        if (i > 0) EXPECT_GT(numbers[i].y, numbers[i - 1].y);
        if (numbers[i].caretLine) marked << numbers[i].number;
    }
    EXPECT_EQ(marked, QList<int>{50'001});

    // End and Home keep to the empty line.
    f.key(Qt::Key_End);
    expectCaretAt(f, 50'000);
    f.key(Qt::Key_Home);
    expectCaretAt(f, 50'000);
    // Moving down a line goes a line further; typing there makes that line a line of its own, and
    // copying takes the text's own terminators.
    f.key(Qt::Key_Down);
    expectCaretAt(f, 50'001);
    f.type(QStringLiteral("x"));
    QString expected = text;
    expected.insert(50'001, u'x');
    ASSERT_TRUE(f.text() == expected);
    expectCaretAt(f, 50'002);
    expectDisplayFollows(f);
    f.select(49'990, 20);
    f.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::clipboard()->text() == expected.mid(49'990, 20));
    f.undo();
    EXPECT_TRUE(f.text() == text);
    expectDisplayFollows(f);
}

// Random edits across runs of LF, CR LF and CR lines: the text is what the same edits give a plain
// string, the display, lines and caret follow, and the saved bytes are the text's.
TEST(EmptyLineRuns, EditsAcrossThemKeepTextLinesAndCaret) {
    const QString original = QStringLiteral("a\n") + QString(300, u'\n') + QStringLiteral("b\r\n") +
                             QStringLiteral("\r\n").repeated(200) + QStringLiteral("c\r") + QString(150, u'\r') +
                             QStringLiteral("d") + QChar(0x2028) + QString(100, u'\n') + QStringLiteral("end\n");
    EditorFixture f(original, QStringLiteral("notes.txt"));
    waitShown(f);
    ASSERT_LT(f.view->document()->blockCount(), 200);  // of 760 lines
    QRandomGenerator random(quint32(qEnvironmentVariableIntValue("EMPTY_SEED") + 3636));
    QString expected = original;
    const QStringList pastes = {QStringLiteral("x"), QStringLiteral("p\nq"), QStringLiteral("\n\n"), QStringLiteral("\r\n"),
                                QString(130, u'\n'), QStringLiteral("\r\n").repeated(70)};
    int edits = 0;
    for (int i = 0; i < 120; ++i) {
        SCOPED_TRACE(i);
        // A caret never stands between a CR and its LF.
        const auto caretAt = [&](qsizetype p) { return p > 0 && p < expected.size() && expected[p - 1] == u'\r' && expected[p] == u'\n' ? p - 1 : p; };
        const qsizetype at = caretAt(random.bounded(int(expected.size() + 1)));
        switch (random.bounded(7)) {
        case 5: {
            // A word move, with or without Shift, then a letter typed over what it selected.
            f.select(at);
            f.key(random.bounded(2) ? Qt::Key_Right : Qt::Key_Left,
                  random.bounded(2) ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
            const TextRange moved = f.selection();
            f.type(QStringLiteral("z"));
            expected.replace(moved.location, moved.length, QStringLiteral("z"));
            break;
        }
        case 6:
            // The keys stop: the long runs the edits brought are joined.
            ASSERT_TRUE(QTest::qWaitFor([&] { return f.editor().emptyRunsGrouped(); }, 60000));
            break;
        case 0:
            f.select(at);
            f.type(QStringLiteral("z"));
            expected.insert(at, u'z');
            break;
        case 1: {
            const qsizetype length = caretAt(qMin<qsizetype>(at + random.bounded(40), expected.size())) - at;
            if (length == 0) continue;
            f.select(at, length);
            f.key(Qt::Key_Delete);
            expected.remove(at, length);
            break;
        }
        case 2: {
            const QString paste = pastes[random.bounded(int(pastes.size()))];
            QApplication::clipboard()->setText(paste);
            f.select(at);
            f.key(Qt::Key_V, Qt::ControlModifier);
            expected.insert(at, paste);
            break;
        }
        case 3:
            // Down and Up through the blocks of joined lines, then a typed line break.
            f.select(at);
            f.key(Qt::Key_Down);
            f.key(Qt::Key_Up);
            if (f.selection().location != at) continue;  // the last line: Down went to its end
            f.enter();
            expected.insert(at, u'\n');
            break;
        default:
            f.select(at);
            f.backspace();
            if (at == 0) continue;
            expected.remove(at - (at >= 2 && expected[at - 1] == u'\n' && expected[at - 2] == u'\r' ? 2 : 1),
                            at >= 2 && expected[at - 1] == u'\n' && expected[at - 2] == u'\r' ? 2 : 1);
            break;
        }
        ++edits;
        if (f.text() != expected) {
            qsizetype d = 0;
            while (d < expected.size() && d < f.text().size() && expected[d] == f.text()[d]) ++d;
            ADD_FAILURE() << "at " << at << " first difference " << d << " sizes " << f.text().size() << " " << expected.size()
                          << " got " << f.text().mid(d - 3, 8).toUtf8().toHex().toStdString() << " expected "
                          << expected.mid(d - 3, 8).toUtf8().toHex().toStdString();
        }
        ASSERT_TRUE(f.text() == expected);
        expectDisplayFollows(f);
        expectCaretAt(f, f.selection().location);
        if (HasFatalFailure()) return;
    }
    // Undone one by one, it is the text it was; saved, its bytes.
    for (int i = 0; i < edits + 4; ++i) f.undo();
    expectBackTo(f, original);
}

// Keys that reach back or on by a word or a line from an empty line act as they do on one of few:
// on the line, not on the block of lines it is shown in.
TEST(EmptyLineRuns, WordAndLineKeysActOnTheLine) {
    for (const int empty : {10, 200}) {
        SCOPED_TRACE(empty);
        const QString text = QStringLiteral("a\n") + QString(empty, u'\n') + QStringLiteral("b");
        EditorFixture f(text, QStringLiteral("notes.txt"));
        f.select(6);
        f.key(Qt::Key_Backspace, Qt::ControlModifier);
        EXPECT_EQ(f.text().size(), text.size() - 1);
        EXPECT_EQ(f.selection().location, 5);
        f.key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(f.text().size(), text.size() - 1);
        // Triple click selects the line: here its line break.
        const QPoint at = f.view->cursorRect(f.view->textCursor()).center();
        for (int click = 0; click < 2; ++click) QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(f.selection(), (TextRange{5, 1}));
    }
}

// Word moves and selections by word step through joined empty lines one line at a time, landing
// where they land in the same text shown one block per line.
TEST(EmptyLineRuns, WordMovesStepLineByLine) {
    const QString text = QStringLiteral("one two\n") + QString(150, u'\n') + QStringLiteral("three four\n") + QString(70, u'\n');
    EditorFixture f(text, QStringLiteral("notes.txt"));
    waitShown(f);
    ASSERT_LT(f.view->document()->blockCount(), 40);
    QPlainTextEdit plain;
    plain.setPlainText(text);
    // The text has LF lines only: its offsets are the plain widget's.
    const auto expectSame = [&](const char* what) {
        EditorFixture::settle();
        const QTextCursor caret = plain.textCursor();
        EXPECT_EQ(f.selection(), (TextRange{caret.selectionStart(), caret.selectionEnd() - caret.selectionStart()})) << what;
        EXPECT_EQ(f.editor().toExact(f.view->textCursor().position()), caret.position()) << what;
        if (caret.hasSelection()) return;
        EXPECT_EQ(f.document.cursorLine(), caret.blockNumber() + 1) << what;
        EXPECT_EQ(f.document.cursorColumn(), caret.positionInBlock() + 1) << what;
    };
    for (const qsizetype start : {0, 40, 69, 134, 158, 200}) {
        SCOPED_TRACE(start);
        f.select(start);
        QTextCursor placed(plain.document());
        placed.setPosition(int(start));
        plain.setTextCursor(placed);
        for (const auto& [key, modifiers] : std::initializer_list<std::pair<Qt::Key, Qt::KeyboardModifiers>>{
                 {Qt::Key_Right, Qt::ControlModifier}, {Qt::Key_Left, Qt::ControlModifier},
                 {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier}, {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier}}) {
            for (int i = 0; i < 5; ++i) {
                f.key(key, modifiers);
                QTest::keyClick(&plain, key, modifiers);
                expectSame(key == Qt::Key_Right ? "right" : "left");
            }
        }
    }
}

// Replace All across runs of empty lines changes the lines it replaces in, one by one: the runs
// between stay blocks of many lines. One next to a run shows that run's lines one block each.
TEST(EmptyLineRuns, ReplaceAllLeavesTheRunsBetweenItsMatches) {
    const QString run = QString(640, u'\n');
    const QString text = QStringLiteral("x1\n") + run + QStringLiteral("a x2 x3\n") + run + QStringLiteral("b x4");
    EditorFixture f(text, QStringLiteral("notes.txt"));
    waitShown(f);
    const int blocks = f.view->document()->blockCount();
    ASSERT_LT(blocks, 40);
    f.view->setShowFind(true);
    f.find.setReplacement(QStringLiteral("yy"));
    f.find.setQuery(QStringLiteral("x"));
    f.editor().findSync();
    f.find.engine()->replaceAll();
    // Replacing within lines makes no empty line: nothing is left to read again for runs.
    EXPECT_TRUE(f.editor().emptyRunsGrouped());
    QString expected = text;
    expected.replace(u'x', QStringLiteral("yy"));
    ASSERT_TRUE(f.text() == expected);
    expectDisplayFollows(f);
    EXPECT_EQ(f.view->document()->blockCount(), blocks);
    f.undo();
    EXPECT_TRUE(f.editor().emptyRunsGrouped());
    ASSERT_TRUE(f.text() == text);
    expectDisplayFollows(f);
    EXPECT_EQ(f.view->document()->blockCount(), blocks);

    // Matches that empty a line beside a run.
    f.find.setReplacement(QString());
    f.find.setQuery(QStringLiteral("a x2 x3|b x4"));
    f.find.setUseRegex(true);
    f.editor().findSync();
    f.find.engine()->replaceAll();
    expected = text;
    expected.remove(QStringLiteral("a x2 x3")).remove(QStringLiteral("b x4"));
    ASSERT_TRUE(f.text() == expected);
    expectDisplayFollows(f);
    // The emptied line joins two runs into one: that is read again once the keys stop.
    EXPECT_FALSE(f.editor().emptyRunsGrouped());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.editor().emptyRunsGrouped(); }, 60000));
    expectDisplayFollows(f);
    f.undo();
    ASSERT_TRUE(f.text() == text);
    expectDisplayFollows(f);
}

// A narrower window keeps the lines it showed: blocks of joined lines keep their rows while the
// lines are rewrapped.
TEST(EmptyLineRuns, ResizingKeepsThePlace) {
    const QString text = QStringLiteral("first\n") + QString(200, u'\n') + QStringLiteral("after\n") + QString(10, u'\n') + QStringLiteral("end");
    EditorFixture f(text, QStringLiteral("notes.txt"));
    waitShown(f);
    f.editor().goToLine(60);
    EditorFixture::settle();
    const int top = f.view->verticalScrollBar()->value();
    ASSERT_GT(top, 0);
    f.view->resize(300, 200);
    EditorFixture::settle();
    EXPECT_EQ(f.view->verticalScrollBar()->value(), top);
    EXPECT_EQ(f.view->document()->lineCount(), Lines::breakCount(text) + 1);
}

// Folding and unfolding a block that holds runs of joined empty lines: the scroll range counts every
// line shown at once, before anything is laid out again.
TEST(EmptyLineRuns, FoldingKeepsTheScrollRangeWhole) {
    const QString body = QString(300, u'\n');
    const QString text = QStringLiteral("function f() {\n") + body + QStringLiteral("}\n") + body + QStringLiteral("end\n");
    EditorFixture f(text, QStringLiteral("main.js"));
    waitShown(f);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.editor().regionWithHeader(0).has_value(); }, 60000));
    const int lines = f.editor().lineCount();
    ASSERT_EQ(f.view->document()->lineCount(), lines);
    f.editor().toggleFold(0);
    EXPECT_EQ(f.view->document()->lineCount(), lines - 300);
    f.editor().toggleFold(0);
    EXPECT_EQ(f.view->document()->lineCount(), lines);
    // Resizing forgets every line's layout; the scroll range still spans every line.
    f.view->resize(400, 300);
    EditorFixture::settle();
    EXPECT_EQ(f.view->document()->lineCount(), lines);
}

// Long runs of empty lines a paste or a held Return brings are joined once the keys stop, as if
// the text had been opened with them: the caret, the selection, the lines on screen, undo and the
// saved bytes stay exactly as they were.
TEST(EmptyLineRuns, RunsGainedAfterOpeningAreJoinedOnceTheKeysStop) {
    QString original;
    for (int i = 0; i < 200; ++i) original += QStringLiteral("line %1\n").arg(i);
    EditorFixture f(original, QStringLiteral("notes.txt"));
    waitShown(f);
    const int blocks = f.view->document()->blockCount();
    const auto numbersShown = [&] {
        f.view->ruler()->grab();
        QList<int> numbers;
        // A block's rows above and below the window are drawn too, out of sight.
        for (const auto& drawn : f.view->ruler()->drawnNumbers())
            if (drawn.y >= 0 && drawn.y < f.view->viewport()->height()) numbers << drawn.number;
        return numbers;
    };

    QApplication::clipboard()->setText(QString(20'000, u'\n'));
    f.select(original.indexOf(QStringLiteral("line 100")));
    f.key(Qt::Key_V, Qt::ControlModifier);
    QString expected = original;
    expected.insert(original.indexOf(QStringLiteral("line 100")), QString(20'000, u'\n'));
    ASSERT_TRUE(f.text() == expected);
    f.editor().goToLine(10'000);
    f.select(f.selection().location - 3, 5);  // across lines
    EditorFixture::settle();
    const TextRange selected = f.selection();
    const int top = f.view->verticalScrollBar()->value();
    const QList<int> shown = numbersShown();
    ASSERT_FALSE(shown.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.view->document()->blockCount() < blocks + 20'000 / 32; }, 60000));
    expectDisplayFollows(f);
    EXPECT_EQ(f.selection(), selected);
    EXPECT_EQ(f.view->verticalScrollBar()->value(), top);
    EXPECT_EQ(numbersShown(), shown);
    EXPECT_EQ(f.view->document()->lineCount(), f.editor().lineCount());

    // Return held at the end of a line: the new lines join too, and the caret stays on the last.
    f.select(expected.indexOf(QStringLiteral("line 150")) + 8);
    for (int i = 0; i < 300; ++i) f.enter();
    expected.insert(expected.indexOf(QStringLiteral("line 150")) + 8, QString(300, u'\n'));
    ASSERT_TRUE(f.text() == expected);
    const int held = f.view->document()->blockCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.view->document()->blockCount() < held - 200; }, 60000));
    expectDisplayFollows(f);
    expectCaretAt(f, expected.indexOf(QStringLiteral("line 150")) + 8 + 300);

    // Undone, it is the text it was; saved, its bytes.
    for (int i = 0; i < 400 && f.text() != original; ++i) f.undo();
    expectBackTo(f, original);
}

// The first key typed into a long text of empty lines moves no more of the joins than a later one
// does: nothing of what it does grows with the text.
TEST(EmptyLineRuns, TheFirstKeyMovesNoMoreJoinsInALongerText) {
    std::vector<qsizetype> moved;
    for (const int lines : {20'000, 320'000}) {
        SCOPED_TRACE(lines);
        EditorFixture f(QString(lines, u'\n'), QStringLiteral("notes.txt"));
        waitShown(f);
        f.select(lines / 2);
        EditorFixture::settle();
        const qsizetype before = f.editor().text().joins().joins().moved();
        f.type(QStringLiteral("x"));
        ASSERT_EQ(f.text().size(), lines + 1);
        moved.push_back(f.editor().text().joins().joins().moved() - before);
    }
    // The joins the key takes away, whatever the text's length.
    EXPECT_LE(moved[0], 16);
    EXPECT_LE(moved[1], 16);
}
