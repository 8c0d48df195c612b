// The editor widget driven like a user: typing help, undo, comments, go-to-line, folding with the
// gutter, and find and replace over the widget's text.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QPaintEvent>
#include <QTextLayout>

#include "Editor/ExactText.h"
#include "Editor/FindMatcher.h"
#include "Editor/FoldComputer.h"
#include "EditorFixture.h"
#include "Views/Editor/FoldingLayoutManager.h"
#include "Views/Editor/WrappingTextLayout.h"
#include "Platform/SettingsStore.h"
#include "WorkBounds.h"

// --- typing help and undo

TEST(CodeEditorTyping, OpenerPairsAndCloserTypesOver) {
    EditorFixture f("");
    f.type("(");
    EXPECT_EQ(f.text(), "()");
    EXPECT_EQ(f.selection(), (TextRange{1, 0}));
    f.type(")");
    EXPECT_EQ(f.text(), "()");
    EXPECT_EQ(f.selection(), (TextRange{2, 0}));
    EXPECT_TRUE(f.document.isDirty());

    f.type(" \"");
    EXPECT_EQ(f.text(), "() \"\"");
    f.type(QString::fromUtf8("é😀"));
    EXPECT_EQ(f.text(), QString::fromUtf8("() \"é😀\""));
}

TEST(CodeEditorTyping, ReturnBetweenBracesSplitsTheBlock) {
    EditorFixture f("  f {}");
    f.select(5);
    f.enter();
    EXPECT_EQ(f.text(), "  f {\n      \n  }");
    EXPECT_EQ(f.selection(), (TextRange{12, 0}));
    EXPECT_EQ(f.view->document()->blockCount(), 3);
    f.undo();  // the whole own edit is one step
    EXPECT_EQ(f.text(), "  f {}");
    EXPECT_EQ(f.selection(), (TextRange{5, 0}));
    f.redo();
    EXPECT_EQ(f.text(), "  f {\n      \n  }");
}

TEST(CodeEditorTyping, EveryOwnEditIsOneUndoStep) {
    EditorFixture f("abc def");
    f.select(0, 3);
    f.type("[");
    EXPECT_EQ(f.text(), "[abc] def");
    EXPECT_EQ(f.selection(), (TextRange{1, 3}));
    f.select(8);
    f.type("(");
    EXPECT_EQ(f.text(), "[abc] de()f");
    f.backspace();  // between an empty pair: both go
    EXPECT_EQ(f.text(), "[abc] def");

    f.undo();
    EXPECT_EQ(f.text(), "[abc] de()f");
    f.undo();
    EXPECT_EQ(f.text(), "[abc] def");
    f.undo();
    EXPECT_EQ(f.text(), "abc def");
    EXPECT_EQ(f.selection(), (TextRange{0, 3}));
    f.undo();  // nothing more to undo
    EXPECT_EQ(f.text(), "abc def");
}

TEST(CodeEditorTyping, TypedWordsUndoTogether) {
    EditorFixture f("");
    f.type("hello world");
    f.undo();
    EXPECT_EQ(f.text(), "hello ");
    f.undo();
    EXPECT_EQ(f.text(), "");
}

TEST(CodeEditorTyping, NewLinesFollowTheDocumentsLineEnding) {
    EditorFixture f("a\r\nb");
    f.select(1);
    f.enter();
    EXPECT_EQ(f.text(), "a\r\n\r\nb");
    EXPECT_EQ(f.view->document()->blockCount(), 3);
    f.backspace();  // a CR LF is one line break: one Backspace removes it whole
    EXPECT_EQ(f.text(), "a\r\nb");
    EXPECT_EQ(f.selection(), (TextRange{1, 0}));
    // Return on a line longer than what an edit's readers ask for, ended by a lone CR, reads the line
    // up to the CR and the unit after it (a sanitizer build reports a read past what was asked for).
    const QString longLine(100000, u'y');
    EditorFixture cr("ab" + longLine + "\rcd");
    cr.select(1);
    cr.type("x");
    cr.enter();
    EXPECT_EQ(cr.text(), "ax\rb" + longLine + "\rcd");
}

TEST(CodeEditorTyping, PasteAndInputMethodCommitsGoThroughTheFilter) {
    EditorFixture f("x");
    f.select(1);
    QMimeData* data = new QMimeData;
    data->setText("p\r\nq\rr");
    QApplication::clipboard()->setMimeData(data);
    f.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.text(), "xp\r\nq\rr");  // pasted exactly, line endings and all
    EXPECT_EQ(f.view->document()->blockCount(), 3);

    const QString exact = QString("a") + QChar(0xA0) + "\r\nb" + QChar(0x2028) + "c";
    f.document.setText(exact);
    f.settle();
    f.select(0, exact.size());
    f.key(Qt::Key_C, Qt::ControlModifier);  // copying hands over the characters as they are
    EXPECT_EQ(QApplication::clipboard()->text(), exact);
    f.select(exact.size());

    QInputMethodEvent commit;
    commit.setCommitString("(");
    QApplication::sendEvent(f.view.get(), &commit);
    EXPECT_EQ(f.text(), exact + "()");
}

TEST(CodeEditorTyping, ChangesTheWidgetMakesItselfReachTheText) {
    EditorFixture f("one\r\ntwo three");
    // Cut, and a word deleted with Ctrl+Backspace.
    f.select(0, 4);
    f.key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(f.text(), "\r\ntwo three");
    f.select(f.text().size());
    f.key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(f.text(), "\r\ntwo ");
    // An edit made straight on the widget's display: its line break takes the document's ending.
    QTextCursor cursor = f.view->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText("x\ny");
    EXPECT_EQ(f.text(), "\r\ntwo x\r\ny");
    cursor.insertText(QString(QChar(QChar::LineSeparator)));  // a line break to the text: its own line here too
    EXPECT_EQ(f.view->document()->blockCount(), 4);
    f.undo();
    f.undo();
    EXPECT_EQ(f.text(), "\r\ntwo ");
}

TEST(CodeEditorTyping, TypographyFollowsTheSettingsOnlyWhenTheyChange) {
    EditorFixture f("\tx");
    EXPECT_EQ(f.view->appliedFontSize(), 13);
    SettingsStore::shared().setValue("ziduduzovu.editor.fontSize", 20);
    SettingsStore::shared().setValue("ziduduzovu.editor.tabWidth", 8);
    f.settle();
    EXPECT_EQ(f.view->font().pixelSize(), 20);
    EXPECT_DOUBLE_EQ(f.view->tabStopDistance(), QFontMetricsF(f.view->font()).horizontalAdvance(u' ') * 8);
    // A hand-edited settings file cannot make the text vanish: the editor keeps to what the controls allow.
    SettingsStore::shared().setValue("ziduduzovu.editor.fontSize", 1e308);
    SettingsStore::shared().setValue("ziduduzovu.editor.tabWidth", 1000);
    f.settle();
    EXPECT_EQ(f.view->font().pixelSize(), 24);
    EXPECT_DOUBLE_EQ(f.view->tabStopDistance(), QFontMetricsF(f.view->font()).horizontalAdvance(u' ') * 8);
    SettingsStore::shared().remove("ziduduzovu.editor.fontSize");
    SettingsStore::shared().remove("ziduduzovu.editor.tabWidth");
    f.settle();
    EXPECT_EQ(f.view->font().pixelSize(), 13);
}

TEST(CodeEditorTyping, ReadOnlyEditorChangesNothing) {
    EditorFixture f("ab");
    f.view->setReadOnly(true);
    f.select(1);
    f.type("(x");
    f.enter();
    f.backspace();
    f.editor().toggleComment();
    EXPECT_EQ(f.text(), "ab");
    EXPECT_FALSE(f.document.isDirty());
}

// Delete removes the whole character the user sees after the caret, as the arrow keys step over
// it; Backspace takes one code point back (an accent alone, say).
TEST(CodeEditorTyping, DeleteRemovesOneWholeCharacter) {
    const struct {
        QString text;
        qsizetype caret;
        QString expected;
    } cases[] = {
        {QString::fromUtf8("xe\u0301y"), 1, QStringLiteral("xy")},
        {QString::fromUtf8("x\U0001F600\U0001F44D\U0001F3FDy"), 3, QString::fromUtf8("x\U0001F600y")},
        {QString::fromUtf8("a\U0001F1EB\U0001F1F7b"), 1, QStringLiteral("ab")},  // a flag: two regional indicators
        {QStringLiteral("a\r\nb"), 1, QStringLiteral("ab")},
        {QStringLiteral("ab"), 2, QStringLiteral("ab")},
    };
    for (const auto& c : cases) {
        EditorFixture f(c.text, QStringLiteral("notes.txt"));
        f.select(c.caret);
        f.key(Qt::Key_Delete);
        EXPECT_EQ(f.text(), c.expected) << c.text.toStdString();
        EXPECT_EQ(f.selection(), (TextRange{c.caret, 0}));
    }
    EditorFixture back(QString::fromUtf8("xe\u0301y"), QStringLiteral("notes.txt"));
    back.select(3);
    back.backspace();
    EXPECT_EQ(back.text(), QStringLiteral("xey"));
}

TEST(CodeEditorTyping, CaretIsReportedToTheDocumentOnALaterTurn) {
    EditorFixture f("a\n\tb\n");
    f.select(3);
    EXPECT_EQ(f.document.cursorLine(), 1);  // not yet
    f.settle();
    EXPECT_EQ(f.document.cursorLine(), 2);
    EXPECT_EQ(f.document.cursorColumn(), 2);
    f.select(5);
    f.settle();
    EXPECT_EQ(f.document.cursorLine(), 3);
    EXPECT_EQ(f.document.cursorColumn(), 1);
}

TEST(CodeEditorTyping, TextReplacedFromOutsideKeepsTheCaretInside) {
    EditorFixture f(QString(600, u'x'));
    f.select(500);
    f.document.setText(QString(120, u'y'));
    f.settle();
    EXPECT_EQ(f.editor().text().text(), QString(120, u'y'));
    EXPECT_EQ(f.selection(), (TextRange{120, 0}));
    f.undo();  // a reload is not the user's to undo
    EXPECT_EQ(f.text(), QString(120, u'y'));
}

// --- commands

TEST(CodeEditorCommands, ToggleCommentOverMixedLinesAndBack) {
    EditorFixture f("a\n  b\nc");
    f.select(0, 5);
    f.controller.toggleComment();
    EXPECT_EQ(f.text(), "// a\n  // b\nc");
    EXPECT_EQ(f.selection(), (TextRange{0, 11}));
    f.controller.toggleComment();
    EXPECT_EQ(f.text(), "a\n  b\nc");
    f.undo();
    EXPECT_EQ(f.text(), "// a\n  // b\nc");

    EditorFixture crlf("x\r\ny\r\nz", "a.py");
    crlf.select(0, 4);
    crlf.editor().toggleComment();
    EXPECT_EQ(crlf.text(), "# x\r\n# y\r\nz");
}

TEST(CodeEditorCommands, GoToLineClampsToTheLastLine) {
    EditorFixture f("aa\nbb\ncc");
    f.controller.goToLine(3);
    EXPECT_EQ(f.selection(), (TextRange{6, 0}));
    f.controller.goToLine(1);
    EXPECT_EQ(f.selection(), (TextRange{0, 0}));
    f.controller.goToLine(40);
    EXPECT_EQ(f.selection(), (TextRange{6, 0}));

    // Every kind of line ending starts a line.
    const QString endings = QStringLiteral("a\r\nb\u2028c\u0085d\re\nf");
    EditorFixture g(endings, QStringLiteral("notes.txt"));
    const qsizetype starts[] = {0, 3, 5, 7, 9, 11};
    for (int line = 1; line <= 6; ++line) {
        g.controller.goToLine(line);
        EXPECT_EQ(g.selection(), (TextRange{starts[line - 1], 0})) << line;
    }
}

// Going to a line far down a long text finds its block without stepping through the lines before it.
TEST(CodeEditorCommands, GoingToALineMeasuresNoMoreLinesInALongerText) {
    const auto measuredFor = [](int lines) {
        EditorFixture f(QStringLiteral("call(a, b);\n").repeated(lines), QStringLiteral("notes.txt"));
        f.editor().showAll();
        f.settle();
        const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
        const qsizetype measured = layout->measuredBlocks(), stepped = f.view->steppedBlocks();
        const int line = lines / 20 * 17;
        f.controller.goToLine(line);
        f.view->viewport()->grab();
        f.settle();
        EXPECT_EQ(f.selection(), (TextRange{qsizetype(line - 1) * 12, 0}));
        return layout->measuredBlocks() - measured + f.view->steppedBlocks() - stepped;
    };
    work_bounds::expectFlat(measuredFor(20000), measuredFor(400000), 4096, 256);
}

// --- folding and the gutter

namespace {
void search(EditorFixture& f, const QString& query, bool caseSensitive = false, bool wholeWord = false,
            bool regex = false) {
    f.find.setCaseSensitive(caseSensitive);
    f.find.setWholeWord(wholeWord);
    f.find.setUseRegex(regex);
    f.find.setQuery(query);
    f.settle();
}
} // namespace


namespace {
// Twelve lines; lines 3 to 7 (1-based) form a block.
const QString kBlockText = "l1\nl2\nif x {\n  a\n  b\n  c\n}\nl8\nl9\nl10\nl11\nl12";

QList<int> gutterNumbers(EditorFixture& f) {
    f.view->ruler()->grab();  // paints
    QList<int> out;
    for (const auto& n : f.view->ruler()->drawnNumbers()) out << n.number;
    return out;
}
} // namespace

TEST(CodeEditorFolding, FoldingHidesTheInnerLinesAndTheGutterSkipsTheirNumbers) {
    for (const QString& ending : {QStringLiteral("\n"), QStringLiteral("\r\n")}) {
        QString text = kBlockText;
        text.replace("\n", ending);
        EditorFixture f(text);
        ASSERT_EQ(f.editor().foldRegions().size(), 1);
        EXPECT_EQ(gutterNumbers(f).mid(0, 8), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
        const qsizetype header = text.indexOf("if");
        f.editor().toggleFold(header);
        EXPECT_TRUE(f.editor().foldedStarts().contains(f.editor().foldRegions()[0].hiddenRange.location));
        for (int line : {3, 4, 5}) EXPECT_FALSE(f.view->document()->findBlockByNumber(line).isVisible()) << line;
        EXPECT_TRUE(f.view->document()->findBlockByNumber(6).isVisible());
        EXPECT_EQ(gutterNumbers(f).mid(0, 6), (QList<int>{1, 2, 3, 7, 8, 9}));
        EXPECT_EQ(f.text(), text);  // folding never touches the text
        EXPECT_FALSE(f.document.isDirty());
    }
}

// An inner block folded inside an outer one stays folded when the outer one opens.
TEST(CodeEditorFolding, OpeningAnOuterFoldKeepsAnInnerOneFolded) {
    EditorFixture f("l1\nif x {\n  a\n  if y {\n    b\n    c\n  }\n  d\n}\nl10");
    ASSERT_EQ(f.editor().foldRegions().size(), 2);
    f.editor().toggleFold(f.text().indexOf("  if y"));  // its line's start
    f.editor().toggleFold(f.text().indexOf("if x"));
    ASSERT_EQ(f.editor().foldedStarts().size(), 2);
    f.editor().toggleFold(f.text().indexOf("if x"));
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    QList<bool> shown;
    for (int line = 0; line < 10; ++line) shown << f.view->document()->findBlockByNumber(line).isVisible();
    EXPECT_EQ(shown, (QList<bool>{true, true, true, true, false, false, true, true, true, true}));
    EXPECT_EQ(gutterNumbers(f).mid(0, 8), (QList<int>{1, 2, 3, 4, 7, 8, 9, 10}));
}

// Two blocks closing on one line: the inner one's only line is the outer one's last.
TEST(CodeEditorFolding, FoldsClosingOnOneLineKeepTheStillClosedOnesLinesHidden) {
    EditorFixture f("l1\nif x {\n  a\n  if y {\n    b\n  }}\nl7");
    ASSERT_EQ(f.editor().foldRegions().size(), 2);
    f.editor().toggleFold(f.text().indexOf("  if y"));
    f.editor().toggleFold(f.text().indexOf("if x"));
    f.editor().toggleFold(f.text().indexOf("  if y"));
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    QList<bool> shown;
    for (int line = 0; line < 7; ++line) shown << f.view->document()->findBlockByNumber(line).isVisible();
    EXPECT_EQ(shown, (QList<bool>{true, true, false, false, false, true, true}));

    // And the other way round: the outer one opened keeps the inner one's line hidden.
    f.editor().toggleFold(f.text().indexOf("  if y"));
    f.editor().toggleFold(f.text().indexOf("if x"));
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    shown.clear();
    for (int line = 0; line < 7; ++line) shown << f.view->document()->findBlockByNumber(line).isVisible();
    EXPECT_EQ(shown, (QList<bool>{true, true, true, true, false, true, true}));
}

// Text taken away on the display itself (dropped or composed there) from inside a fold through its
// last line leaves no line hidden.
TEST(CodeEditorFolding, AChangeOnTheDisplayThroughAFoldShowsWhatIsLeft) {
    EditorFixture f("l1\nif x {\n  a\n  b\n}");
    f.editor().toggleFold(f.text().indexOf("if x"));
    ASSERT_FALSE(f.view->document()->findBlockByNumber(2).isVisible());
    QTextCursor cursor(f.view->document());
    cursor.setPosition(int(f.text().indexOf("  a")) + 1);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    f.settle();
    EXPECT_EQ(f.text(), QStringLiteral("l1\nif x {\n "));
    for (QTextBlock block = f.view->document()->firstBlock(); block.isValid(); block = block.next())
        EXPECT_TRUE(block.isVisible()) << block.blockNumber();
}

// Letters changed on the display in a fold's lines: they are hidden exactly while it is folded.
TEST(CodeEditorFolding, AChangeOnTheDisplayInAFoldKeepsItsLinesHiddenWhileFolded) {
    EditorFixture f("l1\nif x {\n  a\n  b\n}\nl6");
    f.editor().toggleFold(f.text().indexOf("if x"));
    QTextCursor cursor(f.view->document());
    cursor.setPosition(int(f.text().indexOf("  b")) + 2);
    cursor.setPosition(cursor.position() + 1, QTextCursor::KeepAnchor);
    cursor.insertText(QStringLiteral("c"));
    f.settle();
    EXPECT_EQ(f.text(), QStringLiteral("l1\nif x {\n  a\n  c\n}\nl6"));
    const bool folded = !f.editor().foldedStarts().isEmpty();
    for (int line : {2, 3}) EXPECT_EQ(f.view->document()->findBlockByNumber(line).isVisible(), !folded) << line;

    // A letter added in its first line.
    if (!folded) f.editor().toggleFold(f.text().indexOf("if x"));
    ASSERT_FALSE(f.editor().foldedStarts().isEmpty());
    cursor.setPosition(int(f.text().indexOf("  a")) + 3);
    cursor.insertText(QStringLiteral("x"));
    f.settle();
    EXPECT_EQ(f.text(), QStringLiteral("l1\nif x {\n  ax\n  c\n}\nl6"));
    const bool stillFolded = !f.editor().foldedStarts().isEmpty();
    for (int line : {2, 3}) EXPECT_EQ(f.view->document()->findBlockByNumber(line).isVisible(), !stillFolded) << line;
}

TEST(CodeEditorFolding, ChevronClickTogglesAndEditsAboveUnfold) {
    EditorFixture f(kBlockText);
    f.view->ruler()->grab();
    const auto hits = f.view->ruler()->chevronHits();
    ASSERT_EQ(hits.size(), 1);
    // Four points outside the chevron still hit it.
    QTest::mouseClick(f.view->ruler(), Qt::LeftButton, {}, (hits[0].rect.topLeft() - QPointF(3.5, 3.5)).toPoint());
    EXPECT_EQ(f.editor().foldedStarts().size(), 1);
    QTest::mouseClick(f.view->ruler(), Qt::LeftButton, {}, QPoint(5, int(hits[0].rect.center().y())));
    EXPECT_EQ(f.editor().foldedStarts().size(), 1);  // a click elsewhere in the gutter does nothing

    f.select(f.text().size());
    f.type("z");  // below the fold: it stays
    EXPECT_EQ(f.editor().foldedStarts().size(), 1);
    EXPECT_FALSE(f.view->document()->findBlockByNumber(4).isVisible());
    f.select(0);
    f.type("z");  // above: the block moved, the fold goes
    EXPECT_TRUE(f.editor().foldedStarts().isEmpty());
    EXPECT_TRUE(f.view->document()->findBlockByNumber(4).isVisible());
}

// A line broken above a fold moves its lines down: the fold goes and every one of them shows again.
TEST(CodeEditorFolding, ALineBrokenAboveAFoldShowsAllOfItsLinesAgain) {
    EditorFixture f(kBlockText);
    f.editor().toggleFold(f.text().indexOf("if"));
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    f.select(0);
    f.enter();
    f.settle();
    EXPECT_TRUE(f.editor().foldedStarts().isEmpty());
    for (QTextBlock block = f.view->document()->firstBlock(); block.isValid(); block = block.next())
        EXPECT_TRUE(block.isVisible()) << block.blockNumber();
}

// The caret never rests in folded text: going to a line or a match inside a fold opens it.
TEST(CodeEditorFolding, ArrivingInsideAFoldUnfoldsIt) {
    EditorFixture f(kBlockText);
    const qsizetype header = f.text().indexOf("if");
    f.editor().toggleFold(header);
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    f.controller.goToLine(9);  // below the fold: it stays
    EXPECT_EQ(f.editor().foldedStarts().size(), 1);
    f.controller.goToLine(3);  // the header line shows
    EXPECT_EQ(f.editor().foldedStarts().size(), 1);
    f.controller.goToLine(5);
    EXPECT_TRUE(f.editor().foldedStarts().isEmpty());
    EXPECT_TRUE(f.view->document()->findBlockByNumber(4).isVisible());
    EXPECT_TRUE(f.view->textCursor().block().isVisible());
    f.type("z");
    EXPECT_TRUE(f.text().contains("\n  a\nz  b\n"));

    f.editor().toggleFold(header);
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    f.view->setShowFind(true);
    search(f, "c\n");
    EXPECT_TRUE(f.editor().foldedStarts().isEmpty());
    EXPECT_TRUE(f.view->textCursor().block().isVisible());
}

// Folded lines cost nothing to paint: none of them is laid out, however many there are.
TEST(CodeEditorFolding, FoldedLinesAreNeverLaidOut) {
    const QString text = "{\n" + QStringLiteral("  step();\n").repeated(5000) + "}\nafter\n";
    EditorFixture f(text, QStringLiteral("notes.txt"));
    f.editor().toggleFold(0);
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    f.view->viewport()->grab();
    f.settle();
    int laidOut = 0, hidden = 0;
    for (QTextBlock block = f.view->document()->firstBlock(); block.isValid(); block = block.next()) {
        if (block.isVisible()) continue;
        ++hidden;
        laidOut += block.layout()->lineCount() > 0;
    }
    EXPECT_EQ(hidden, 5000);
    EXPECT_EQ(laidOut, 0);
    EXPECT_EQ(gutterNumbers(f).mid(0, 3), (QList<int>{1, 5002, 5003}));
}

// The lines on screen are found by stepping over a fold in view, not through its hidden lines.
TEST(CodeEditorFolding, TheLinesOnScreenAreFoundWithoutSteppingThroughAFold) {
    const QString text = "{\n" + QStringLiteral("  step();\n").repeated(20000) + "}\nafter\n";
    EditorFixture f(text, QStringLiteral("notes.txt"));
    f.editor().showAll();
    f.editor().toggleFold(0);
    f.settle();
    const qsizetype before = f.view->steppedBlocks();
    const QList<CodeEditorView::VisibleLine> lines = f.view->visibleLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1].block.text(), "}");
    EXPECT_EQ(lines[2].block.text(), "after");
    EXPECT_LE(f.view->steppedBlocks() - before, 8);
}

// Folding and unfolding a block visits its lines once and no others, however many follow it.
TEST(CodeEditorFolding, FoldingVisitsOnlyTheFoldedLines) {
    constexpr int kInner = 20000;
    const QString block = "{\n" + QStringLiteral("  step();\n").repeated(kInner) + "}\n";
    const auto visitedFor = [&](int linesAfter) {
        EditorFixture f(block + QStringLiteral("after();\n").repeated(linesAfter), QStringLiteral("notes.txt"));
        f.editor().showAll();
        f.settle();
        QTextDocument* display = f.view->document();
        const auto* layout = qobject_cast<WrappingTextLayout*>(display->documentLayout());
        const qsizetype before = f.editor().foldingLayout()->visitedBlocks() + layout->forgottenBlocks();
        const qreal rows = layout->documentSize().height();
        f.editor().toggleFold(0);
        f.settle();
        EXPECT_FALSE(display->findBlockByNumber(kInner).isVisible());
        EXPECT_TRUE(display->findBlockByNumber(kInner + 1).isVisible());
        EXPECT_EQ(layout->documentSize().height(), rows - kInner);  // the scroll bar follows
        f.editor().toggleFold(0);
        f.settle();
        EXPECT_TRUE(display->findBlockByNumber(kInner).isVisible());
        EXPECT_EQ(layout->documentSize().height(), rows);
        return f.editor().foldingLayout()->visitedBlocks() + layout->forgottenBlocks() - before;
    };
    const qsizetype small = visitedFor(10);
    // Each line hidden and shown again, and the lines coming into view given their colours.
    EXPECT_LE(small, 2 * kInner + 256);
    EXPECT_LE(visitedFor(200000), small + 64);
}

// A repaint of a view showing a fold steps over its hidden lines at once, however many they are.
TEST(CodeEditorFolding, PaintingAFoldInViewMeasuresOnlyTheLinesShown) {
    const auto measuredFor = [](int inner) {
        EditorFixture f("{\n" + QStringLiteral("  step();\n").repeated(inner) + "}\nafter\n", QStringLiteral("notes.txt"));
        f.editor().showAll();
        f.editor().toggleFold(0);
        f.view->viewport()->grab();
        f.settle();
        const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
        const qsizetype before = layout->measuredBlocks();
        const QImage painted = f.view->viewport()->grab().toImage();
        EXPECT_FALSE(f.view->document()->findBlockByNumber(inner).isVisible());
        return layout->measuredBlocks() - before;
    };
    // How many depends on the repaints that land meanwhile, not on the fold's size.
    EXPECT_LE(measuredFor(2000), 16);
    EXPECT_LE(measuredFor(100000), 16);
}

TEST(CodeEditorFolding, AQuoteFarAboveAFoldKeepsItUntilTheFoldScanHasReachedIt) {
    QString text;
    while (text.size() < 400 * 1024) text += "s = 'a';\n";
    const qsizetype header = text.size();
    text += "if x {\n  a\n  b\n}\nl\n";
    EditorFixture f(text, "notes.txt");
    f.editor().toggleFold(header);
    ASSERT_EQ(f.editor().foldedStarts().size(), 1);
    // Every string after it turns over: the block ends up inside one, but only the scan going on
    // after the keystroke can tell.
    f.select(0);
    f.key(Qt::Key_unknown, Qt::NoModifier, "'");
    EXPECT_FALSE(f.editor().foldTracker().complete());
    EXPECT_EQ(f.editor().foldedStarts().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.editor().foldTracker().complete(); }, 120000));
    EXPECT_EQ(f.editor().foldRegions(), FoldComputer::regions(f.text()));
    EXPECT_TRUE(f.editor().foldedStarts().isEmpty());
    EXPECT_TRUE(f.view->document()->lastBlock().previous().isVisible());
}

TEST(CodeEditorFolding, CaretLinesAreMarkedInTheGutter) {
    EditorFixture f(kBlockText);
    f.select(f.text().indexOf("  a"), f.text().indexOf("  c") + 1 - f.text().indexOf("  a"));
    f.view->ruler()->grab();
    QList<int> marked;
    for (const auto& n : f.view->ruler()->drawnNumbers())
        if (n.caretLine) marked << n.number;
    EXPECT_EQ(marked, (QList<int>{4, 5, 6}));
}

// Line numbers of any length fit: past 99,999 lines the gutter widens by what the longer numbers
// need, and the text moves over with it.
TEST(CodeEditorFolding, LongLineNumbersFitTheGutter) {
    EditorFixture small(kBlockText);
    EXPECT_EQ(small.view->ruler()->width(), LineNumberRuler::kThickness);

    EditorFixture f(QString(120'000, u'\n'), QStringLiteral("notes.txt"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.editor().isFullyShown(); }, 120000));
    f.key(Qt::Key_End, Qt::ControlModifier);
    f.settle();
    f.view->ruler()->grab();
    const auto numbers = f.view->ruler()->drawnNumbers();
    ASSERT_FALSE(numbers.isEmpty());
    EXPECT_EQ(numbers.back().number, 120'001);
    for (const auto& n : numbers) EXPECT_GE(n.left, 0.) << n.number;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return f.view->ruler()->width() > LineNumberRuler::kThickness &&
               f.view->viewport()->geometry().left() >= f.view->ruler()->geometry().right();
    }, 120000)) << "the text moves over with the wider gutter";
}

// --- find and replace

TEST(CodeEditorFind, CountsFollowTheOptions) {
    EditorFixture f("Abc abc abcdef");
    f.view->setShowFind(true);
    search(f, "abc");
    EXPECT_EQ(f.find.matchCount(), 3);
    EXPECT_EQ(f.find.current(), 1);
    EXPECT_EQ(f.selection(), (TextRange{0, 3}));
    EXPECT_EQ(f.view->matchHighlights().matches().size(), 3);
    search(f, "abc", false, true);
    EXPECT_EQ(f.find.matchCount(), 2);
    search(f, "abc", true, true);
    EXPECT_EQ(f.find.matchCount(), 1);
    search(f, "c.a", false, false, false);
    EXPECT_EQ(f.find.matchCount(), 0);
    search(f, "(", false, false, true);
    EXPECT_TRUE(f.find.invalidRegex());
    EXPECT_EQ(f.find.matchCount(), 0);
    search(f, "b*", false, false, true);
    EXPECT_FALSE(f.find.invalidRegex());
    EXPECT_EQ(f.find.matchCount(), 3);

    f.view->setShowFind(false);
    EXPECT_TRUE(f.view->matchHighlights().matches().isEmpty());
    EXPECT_EQ(f.find.matchCount(), 3);  // kept while closed
}

TEST(CodeEditorFind, StepsWrapAndTypingKeepsTheCurrentMatch) {
    EditorFixture f("ab ab ab");
    f.view->setShowFind(true);
    search(f, "ab");
    f.find.engine()->findPrevious();
    EXPECT_EQ(f.find.current(), 3);
    EXPECT_EQ(f.selection(), (TextRange{6, 2}));
    f.find.engine()->findNext();
    EXPECT_EQ(f.find.current(), 1);
    f.find.engine()->findNext();
    f.select(8);
    f.type(" ab");
    f.settle();
    EXPECT_EQ(f.find.matchCount(), 4);
    EXPECT_EQ(f.find.current(), 2);
    EXPECT_EQ(f.selection(), (TextRange{11, 0}));
}

// With the find bar open, every kind of edit leaves the matches a fresh search of the text finds,
// also when several edits come before the view's next update, and for a regular expression.
TEST(CodeEditorFind, MatchesFollowEveryEditAsAFreshSearchFindsThem) {
    QString start;
    for (int i = 0; i < 300; ++i) start += i % 5 ? QStringLiteral("ab aab Ab\n") : QStringLiteral("abab\n");
    EditorFixture f(start, QStringLiteral("notes.txt"));
    f.view->setShowFind(true);
    const auto expectFresh = [&](const char* after) {
        f.settle();
        const QList<TextRange> fresh = FindMatcher::matches(*f.find.makeRegex(), f.text()).matches;
        EXPECT_EQ(f.editor().matches(), fresh) << after;
        EXPECT_EQ(f.find.matchCount(), fresh.size()) << after;
    };
    for (const bool regex : {false, true}) {
        search(f, regex ? "a+b" : "ab", false, false, regex);
        expectFresh("opening");
        f.select(f.text().indexOf(QStringLiteral("abab")) + 2);
        f.type(QStringLiteral("a"));
        expectFresh("typing inside a match");
        f.backspace();
        f.backspace();
        expectFresh("deleting");
        f.undo();
        expectFresh("undoing");
        f.editor().userChange({0, 1}, QString());
        f.editor().userChange({3000, 12}, QStringLiteral("AB\nab"));
        f.editor().userChange({40, 0}, QStringLiteral("b"));
        expectFresh("three edits before one update");
        f.find.engine()->replaceCurrent();
        expectFresh("replacing");
        f.find.engine()->replaceAll();
        expectFresh("replacing all");
        f.undo();
        expectFresh("a Replace All undone");
        f.document.setText(f.text().left(700) + QStringLiteral("aab") + f.text().mid(900));
        expectFresh("a change from outside");
    }
}

TEST(CodeEditorFind, ReplaceCurrentAdvancesAndReplacementsAreLiteralUnlessTemplates) {
    EditorFixture f("x1 x2 x3");
    f.view->setShowFind(true);
    search(f, "x");
    f.find.engine()->findNext();
    f.find.setReplacement("y");
    f.find.engine()->replaceCurrent();
    EXPECT_EQ(f.text(), "x1 y2 x3");
    EXPECT_EQ(f.find.matchCount(), 2);
    EXPECT_EQ(f.find.current(), 2);

    const struct {
        const char *text, *query;
        bool regex;
        const char *replacement;
        bool all;
        const char* expected;
    } cases[] = {
        {"mail bob@host", "(\\w+)@", true, "$1 at", false, "mail bob athost"},  // a template, in context
        {"cost $5", "(?<=\\$)\\d", true, "[$0]", false, "cost $[5]"},
        {"a b a", "b", false, "(", false, "a ( a"},  // never typed: no closer added
        {"f() g()", "(", false, "", false, "f) g()"},
        {"f() g()", "(", false, "", true, "f) g)"},
        // A dollar sign not followed by a group number is itself.
        {"price 5 and 7", "\\d", true, "US$", false, "price US$ and 7"},
        {"price 5 and 7", "\\d", true, "US$", true, "price US$ and US$"},
        {"price 5 and 7", "(\\d)", true, "$$1", true, "price $5 and $7"},
        {"a5", "\\d", true, "$ \\$x$", true, "a$ $x$"},
    };
    for (const auto& c : cases) {
        EditorFixture r(c.text);
        r.view->setShowFind(true);
        r.find.setReplacement(c.replacement);
        search(r, c.query, false, false, c.regex);
        if (c.all) r.find.engine()->replaceAll();
        else r.find.engine()->replaceCurrent();
        EXPECT_EQ(r.text(), c.expected) << c.text;
    }
}

TEST(CodeEditorFind, ReplaceAllIsOneStep) {
    EditorFixture f("a-a-a");
    f.view->setShowFind(true);
    f.find.setReplacement("$1");
    search(f, "a");
    f.find.engine()->replaceAll();
    EXPECT_EQ(f.text(), "$1-$1-$1");  // literal mode: inserted as written
    EXPECT_EQ(f.find.matchCount(), 0);
    EXPECT_EQ(f.find.current(), 0);
    f.undo();
    EXPECT_EQ(f.text(), "a-a-a");

    f.find.setReplacement("a");  // nothing would change: no edit at all
    f.settle();
    f.find.engine()->replaceAll();
    f.undo();
    EXPECT_EQ(f.text(), "a-a-a");

    f.find.setReplacement("aa");
    f.settle();
    f.find.engine()->replaceAll();
    EXPECT_EQ(f.text(), "aa-aa-aa");
    EXPECT_EQ(f.find.current(), 1);
    EXPECT_EQ(f.find.matchCount(), 6);
}

// A new query in a long text shows its first match and the matches on screen from work that does
// not grow with the text, keeping the places of those alone; the count of them all follows from work
// off this thread.
TEST(CodeEditorFind, ANewQueryShowsItsFirstMatchFromWorkTheTextsLengthDoesNotSet) {
    const QString line = QStringLiteral("function f(a, b) { return a.value + b.extra; }\n");
    const auto scannedFor = [&](qsizetype units) {
        EditorFixture f(line.repeated(units / line.size()), QStringLiteral("big.txt"));
        f.view->setShowFind(true);
        const qsizetype before = FindMatcher::unitsSearchedHere(), keptBefore = FindMatcher::matchesKeptHere();
        search(f, "e");
        const qsizetype scanned = FindMatcher::unitsSearchedHere() - before;
        const qsizetype kept = FindMatcher::matchesKeptHere() - keptBefore;
        EXPECT_EQ(f.selection(), (TextRange{20, 1}));
        const qsizetype onScreen = f.view->matchHighlights().matches().size();
        EXPECT_EQ(onScreen % 3, 0);
        EXPECT_GT(onScreen, 3);
        // Each repaint of the highlights while the matches are counted finds those on screen again,
        // a few times a keystroke however long the text.
        EXPECT_LE(kept, 16 * onScreen + 1);
        // Counted for the text as it is when the count comes, never for the text it started from.
        f.editor().userChange({0, 0}, QStringLiteral("e"));
        const qsizetype total = f.text().count(u'e');
        f.settle();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
        EXPECT_EQ(f.find.matchCount(), total);
        EXPECT_EQ(f.find.current(), 1);
        search(f, "ex");
        f.find.engine()->findNext();  // waits for the count
        EXPECT_EQ(f.find.current(), 2);
        EXPECT_EQ(f.selection(), (TextRange{f.text().indexOf(QStringLiteral("ex"), 50), 2}));
        return scanned;
    };
    work_bounds::expectFlat(scannedFor(1 << 20), scannedFor(50 << 20));

    // A first match far from the start is selected when the count comes.
    EditorFixture far(QStringLiteral("x\n").repeated(200'000) + QStringLiteral("q"), QStringLiteral("far.txt"));
    far.view->setShowFind(true);
    search(far, "q");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !far.find.counting(); }, 120000));
    EXPECT_EQ(far.selection(), (TextRange{400'000, 1}));
    EXPECT_EQ(far.find.matchCount(), 1);
}

// A new plain query of a word or a character in a long text is counted, not listed: the places of its
// matches are kept only once an action needs them, whatever the case option.
TEST(CodeEditorFind, ANewPlainQueryIsCountedWithoutKeepingThePlacesOfItsMatches) {
    const QString line = QStringLiteral("function f(a, b) { return a.value + b.Value; }\n");
    for (const bool caseSensitive : {false, true}) {
        const auto keptFor = [&](qsizetype units) {
            EditorFixture f(line.repeated(units / line.size()), QStringLiteral("big.txt"));
            f.view->setShowFind(true);
            const qsizetype before = FindMatcher::placesKeptAnywhere();
            search(f, "value", caseSensitive);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
            const qsizetype kept = FindMatcher::placesKeptAnywhere() - before;
            EXPECT_EQ(f.find.matchCount(), (caseSensitive ? 1 : 2) * (units / line.size()));
            EXPECT_EQ(f.find.current(), 1);
            EXPECT_EQ(f.selection(), (TextRange{line.indexOf(u"value"), 5}));
            // Stepping needs the places: they are found then, and the step lands where it should.
            f.find.engine()->findNext();
            EXPECT_EQ(f.find.current(), 2);
            EXPECT_EQ(f.selection(), (TextRange{caseSensitive ? line.size() + line.indexOf(u"value") : line.indexOf(u"Value"), 5}));
            return kept;
        };
        work_bounds::expectFlat(keptFor(1 << 20), keptFor(16 << 20), 16, 0);
    }
}

TEST(CodeEditorView, TheDocumentKeepsItsEditedTextWhenTheEditorCloses) {
    // The editor lends the document its text while it is open: closing it gives the text back.
    EditorFixture f("abc", "a.txt");
    f.select(3);
    f.type("d");
    f.view.reset();
    EXPECT_EQ(f.document.text(), "abcd");
}

// Undoing a Replace All spread over a long text searches it again off this thread, as a new query
// is: this thread reads what is on screen, however long the text; the count still comes right.
TEST(CodeEditorFind, UndoingAReplaceAllSearchesTheLongTextOffThisThread) {
    const QString line = QStringLiteral("Shape.prototype.area = function () { return this.w; };\n");
    const auto scannedFor = [&](qsizetype units) {
        const QString text = line.repeated(units / line.size());
        EditorFixture f(text, QStringLiteral("big.js"));
        f.view->setShowFind(true);
        f.find.setReplacement(QStringLiteral("proto_type"));
        search(f, "prototype", true);
        f.find.engine()->replaceAll();
        f.settle();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting() && !f.editor().isDisplayBehind(); }, 120000));
        const qsizetype before = FindMatcher::unitsSearchedHere();
        f.undo();
        f.settle();
        const qsizetype scanned = FindMatcher::unitsSearchedHere() - before;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
        EXPECT_TRUE(f.text() == text);
        EXPECT_EQ(f.find.matchCount(), text.size() / line.size());
        return scanned;
    };
    work_bounds::expectFlat(scannedFor(1 << 20), scannedFor(8 << 20));
}

// The undo of a Replace All edits the text where it lies, not a new copy of it; a replacement that
// makes a line too long for one display block still shows it in pieces, as a fresh editor does.
TEST(CodeEditorFind, UndoOfAReplaceAllEditsTheTextWhereItLies) {
    const QString text = QStringLiteral("Shape.prototype.area = 1;\n").repeated(2000);
    EditorFixture f(text, QStringLiteral("shapes.js"));
    f.view->setShowFind(true);
    f.find.setReplacement(QStringLiteral("proto_type"));
    search(f, "prototype", true);
    f.find.engine()->replaceAll();
    const ushort* buffer = f.editor().text().text().utf16();
    f.undo();
    EXPECT_EQ(f.editor().text().text().utf16(), buffer);
    EXPECT_TRUE(f.text() == text);
    EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(text));
    f.redo();
    EXPECT_TRUE(f.text() == QString(text).replace(QStringLiteral("prototype"), QStringLiteral("proto_type")));

    const QString line = QStringLiteral("ab ").repeated(1360) + u'\n';
    EditorFixture g(line + line, QStringLiteral("long.txt"));
    g.view->setShowFind(true);
    g.find.setReplacement(QStringLiteral("abc"));
    search(g, "ab", true);
    g.find.engine()->replaceAll();
    g.undo();
    g.redo();
    const QString longer = QStringLiteral("abc ").repeated(1360) + u'\n';
    EXPECT_TRUE(g.text() == longer + longer);
    EXPECT_FALSE(g.editor().text().pieces().breaks().empty());
    // The display shows the text in its pieces; pieces an edit broke afresh may lie elsewhere than
    // in a text opened afresh.
    const ExactText& shown = g.editor().text();
    EXPECT_TRUE(g.view->document()->toRawText() == shown.displayOf(0, shown.size()));
    for (QTextBlock block = g.view->document()->firstBlock(); block.isValid(); block = block.next())
        EXPECT_LE(block.length() - 1, LinePieces::kMaxPiece);
}

// --- colouring

namespace {
QList<QList<QTextLayout::FormatRange>> visibleFormats(const EditorFixture& f) {
    QList<QList<QTextLayout::FormatRange>> out;
    for (const CodeEditorView::VisibleLine& line : f.view->visibleLines()) out.append(line.block.layout()->formats());
    return out;
}
} // namespace

TEST(CodeEditorColouring, LinesTheCaretScrollsIntoViewAreColoured) {
    // Keys that move the caret out of view scroll the editor without a scroll bar signal; the
    // scroll bar itself scrolls it too.
    QString text;
    for (int i = 0; i < 3000; ++i) text += QString("let v%1 = call(%1, \"s\");\n").arg(i);
    EditorFixture f(text, "main.js");
    const auto expectColoured = [&](const char* how) {
        f.settleColours();
        const auto shown = visibleFormats(f);
        f.editor().highlight();
        EXPECT_EQ(shown, visibleFormats(f)) << how;
        EXPECT_GT(shown.first().size(), 1) << how;  // more than the base colour
        // The base colour goes under the whole line, its first character included.
        const QTextBlock line = f.view->visibleLines().first().block;
        EXPECT_EQ(shown.first().first().start, 0) << how;
        EXPECT_EQ(shown.first().first().length, line.length() - 1) << how;
    };
    f.key(Qt::Key_End, Qt::ControlModifier);
    expectColoured("Ctrl+End");
    f.key(Qt::Key_PageUp);
    expectColoured("Page Up");
    f.key(Qt::Key_Home, Qt::ControlModifier);
    expectColoured("Ctrl+Home");
    f.key(Qt::Key_PageDown);
    expectColoured("Page Down");
    f.view->verticalScrollBar()->setValue(f.view->verticalScrollBar()->maximum() / 2);
    expectColoured("scroll bar");
}

TEST(CodeEditorColouring, LinesAnEditBringsIntoViewAreColoured) {
    // A line typed into is laid out once its colours are in; when it then takes fewer rows, the
    // lines it pulls up from below the screen are coloured too. Shell is coloured as it is typed.
    QString text = QStringLiteral("echo %1\n").arg(QStringLiteral("word ").repeated(200));
    for (int i = 0; i < 400; ++i) text += QStringLiteral("echo \"s\" %1\n").arg(i);
    EditorFixture f(text, "run.sh");
    const QTextBlock first = f.view->document()->firstBlock();
    ASSERT_GT(first.layout()->lineCount(), 4);
    const int shownBefore = int(f.view->visibleLines().size());
    f.select(5, first.length() - 6);
    f.backspace();
    ASSERT_EQ(first.layout()->lineCount(), 1);
    const QList<CodeEditorView::VisibleLine> shown = f.view->visibleLines();
    ASSERT_GT(shown.size(), shownBefore);
    for (const CodeEditorView::VisibleLine& line : shown)
        EXPECT_GT(line.block.layout()->formats().size(), 1) << "line " << line.block.blockNumber();
}

TEST(CodeEditorColouring, EditedTextIsColouredLikeTheSameTextOpenedAfresh) {
    // Every edit is handed to the highlighter as it happened; a wrong edit record would leave the
    // incrementally updated colours differing from those of a fresh parse.
    const QString start = "function a(x) {\r\n  return 'q';\r\n}\r\nconst b = 1;\r\n";
    EditorFixture f(start, "edit.js");
    f.select(start.indexOf("return"));
    f.type("if (x) {");
    f.enter();
    f.type("x = \"s\" + 2;");
    f.select(start.indexOf("const") + 14);
    QMimeData* data = new QMimeData;
    data->setText("// note\r\nlet c = `t`;\n");
    QApplication::clipboard()->setMimeData(data);
    f.key(Qt::Key_V, Qt::ControlModifier);
    f.backspace();
    f.select(0);
    f.type("/* c */ ");
    f.undo();
    f.settleColours();

    EditorFixture fresh(f.text(), "edit.js");
    ASSERT_EQ(fresh.text(), f.text());
    const auto edited = visibleFormats(f);
    EXPECT_GT(edited.size(), 5);
    EXPECT_EQ(edited, visibleFormats(fresh));
}

// Every kind of edit, with CR LF endings the exact text must widen around: the folds kept edit by
// edit and the document's copy of the text stay exactly what a fresh computation gives.
TEST(CodeEditorEdits, FoldsAndDocumentFollowEveryEdit) {
    QString start;
    for (int i = 0; i < 400; ++i) start += QStringLiteral("f%1() {\r\n  g([\r\n    1,\r\n  ]);\r\n}\r\n").arg(i);
    EditorFixture f(start, "edits.js");
    const QStringList pieces = {"{", "}", "\n", "\r", "\r\n", "\"", "(", ")", "x", "// "};
    quint32 r = 12345;
    const auto next = [&r] { return (r = r * 1664525u + 1013904223u) >> 8; };
    for (int step = 0; step < 80; ++step) {
        const qsizetype size = f.editor().text().size();
        const qsizetype at = next() % (size + 1);
        const qsizetype length = qMin<qsizetype>(size - at, next() % 4);
        switch (next() % 4) {
        case 0: f.editor().userChange({at, length}, pieces[next() % pieces.size()], true); break;
        case 1: f.editor().plainChange({at, length}, pieces[next() % pieces.size()]); break;
        case 2: f.editor().plainChange({at, length}, QString()); break;
        default: f.editor().undo(); break;
        }
        ASSERT_EQ(f.text(), f.editor().text().text()) << "step " << step;
        ASSERT_EQ(f.editor().foldRegions(), FoldComputer::regions(f.text())) << "step " << step;
    }
    EXPECT_TRUE(f.document.isDirty());
}

// Replace All over a long text changes the display only at the matches: the lines between them
// stay as they were; undo and redo bring back each text exactly. Where a
// replacement meets a line ending the text between the first and the last match is replaced whole.
TEST(CodeEditorFind, ReplaceAllTouchesTheDisplayOnlyAtTheMatches) {
    const struct {
        QString text, query, replacement;
        bool onlyAtMatches;
    } cases[] = {
        {kBlockText.repeated(400) + "x", "l1", "L", true},
        {kBlockText.repeated(400), "l1", "", true},
        {QStringLiteral("a x\r\n").repeated(2000) + "a\rb", "a", "b", true},
        // Characters sharing a leading surrogate: the display never gets half of one.
        {QStringLiteral("a \U0001F600 b\n").repeated(2000), "\U0001F600", "\U0001F603", true},
        {QStringLiteral("prototype.x\n").repeated(2000), "prototype", "proto_type", true},
        {QStringLiteral("ab\r\n").repeated(2000), "b", "c\n", false},  // a new line in the replacement
        {QStringLiteral("a\rb\n").repeated(2000), "b", "", false},        // a CR and an LF meet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.toStdString() + " -> " + c.replacement.toStdString());
        EditorFixture f(c.text, QStringLiteral("main.swift"));
        f.view->setShowFind(true);
        f.find.setReplacement(c.replacement);
        search(f, c.query, true);
        // Each line of the display marked: a line the replacement rebuilt loses its mark.
        for (QTextBlock block = f.view->document()->firstBlock(); block.isValid(); block = block.next())
            block.setUserState(7);
        const auto marked = [&] {
            int n = 0;
            for (QTextBlock block = f.view->document()->firstBlock(); block.isValid(); block = block.next())
                n += block.userState() == 7;
            return n;
        };
        f.select(f.text().size());
        f.find.engine()->replaceAll();
        QString expected = c.text;
        expected.replace(c.query, c.replacement);
        EXPECT_TRUE(f.text() == expected);
        EXPECT_EQ(f.selection(), (TextRange{expected.size(), 0}));
        EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(expected));
        if (c.onlyAtMatches) {  // the highlighter heard of the parts as one edit
            f.settleColours();
            EditorFixture fresh(expected, QStringLiteral("main.swift"));
            fresh.select(expected.size());
            fresh.settleColours();
            EXPECT_EQ(visibleFormats(f), visibleFormats(fresh));
        }
        if (c.onlyAtMatches) EXPECT_EQ(marked(), f.view->document()->blockCount());
        else EXPECT_LT(marked(), f.view->document()->blockCount() / 2);
        f.undo();
        EXPECT_TRUE(f.text() == c.text);
        EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(c.text));
        f.redo();
        EXPECT_TRUE(f.text() == expected);
        EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(expected));
        EXPECT_EQ(f.editor().foldRegions(), FoldComputer::regions(expected));
    }
}

// --- what a caret blink repaints

namespace {
// Adds up the pixels of each repaint of a widget.
struct PaintedArea : QObject {
    qint64 area = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) area += qint64(r.width()) * r.height();
        return false;
    }
};
} // namespace

// The text's own caret asks for a repaint of its rectangle twice a second, and a key for its row;
// the gutter beside it repaints nothing while its numbers stay, while a scroll still repaints all
// of them.
TEST(CodeEditorGutter, ARepaintOfOneRowLeavesTheGutterAsItIs) {
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("line %1\n").arg(i);
    EditorFixture f(text);
    LineNumberRuler* ruler = f.view->ruler();
    PaintedArea painted;
    ruler->installEventFilter(&painted);
    const QRect caret = f.view->cursorRect();
    emit f.view->updateRequest(caret, 0);
    EditorFixture::settle();
    EXPECT_EQ(painted.area, 0);

    painted.area = 0;
    f.view->verticalScrollBar()->setValue(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return painted.area > 0; }, 120000));
    EXPECT_GE(painted.area, qint64(ruler->width()) * ruler->height());
}

// The caret's line number shows in the accent colour: the gutter repaints when the caret goes to
// another line, though no number moved.
TEST(CodeEditorGutter, TheCaretGoingToAnotherLineRepaintsItsNumber) {
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("line %1\n").arg(i);
    EditorFixture f(text);
    const auto caretLines = [&f] {
        QList<int> out;
        for (const auto& n : f.view->ruler()->drawnNumbers())
            if (n.caretLine) out << n.number;
        return out;
    };
    EXPECT_EQ(caretLines(), QList<int>{1});
    for (int key = 0; key < 5; ++key) f.key(Qt::Key_Down);
    EditorFixture::settle();
    EXPECT_EQ(caretLines(), QList<int>{6});
}

// The gutter is painted in the text's background, with a chevron beside each block's header and
// a faint line (its last column, lighter) parting it from the text.
TEST(CodeEditorGutter, ShowsTheBackgroundChevronsAndAFaintLineBesideTheText) {
    EditorFixture f(kBlockText);
    LineNumberRuler* ruler = f.view->ruler();
    const QImage gutter = ruler->grab().toImage();
    const int bottom = gutter.height() - 2;
    const QColor edge = gutter.pixelColor(gutter.width() - 1, bottom), inside = gutter.pixelColor(gutter.width() - 3, bottom);
    const QColor bg = CodeEditorView::bg().toRgb();
    EXPECT_LE(std::abs(inside.red() - bg.red()) + std::abs(inside.green() - bg.green()) + std::abs(inside.blue() - bg.blue()), 6);
    EXPECT_GT(edge.lightness(), inside.lightness());

    const auto hits = ruler->chevronHits();
    ASSERT_EQ(hits.size(), 1);
    const QRect chevron = hits[0].rect.toAlignedRect().intersected(gutter.rect());
    int drawn = 0;
    for (int y = chevron.top(); y <= chevron.bottom(); ++y)
        for (int x = chevron.left(); x <= chevron.right(); ++x) drawn += gutter.pixelColor(x, y).lightness() > inside.lightness() + 20;
    EXPECT_GT(drawn, 4);
}

// A long text's one-character query is only counted: Replace finds the places it needs first.
TEST(CodeEditorFind, ReplaceActsOnAQueryWhoseMatchesWereOnlyCounted) {
    const QString text = QStringLiteral("item = items.item(item);\n").repeated(20000);
    EditorFixture f(text, QStringLiteral("long.txt"));
    f.view->setShowFind(true);
    f.find.setReplacement(QStringLiteral("I"));
    f.find.setQuery(QStringLiteral("i"));
    f.settle();
    f.find.engine()->replaceCurrent();
    EXPECT_TRUE(f.text() == u'I' + text.mid(1));
    // With no match there is nothing to replace.
    f.find.setQuery(QStringLiteral("z"));
    f.settle();
    f.find.engine()->replaceCurrent();
    EXPECT_TRUE(f.text() == u'I' + text.mid(1));
}

TEST(CodeEditorTyping, ACloserTypedOverBeforeMoreTextLeavesNothingSelected) {
    EditorFixture f(QStringLiteral(" end"));
    f.type("(");
    f.type(")");
    EXPECT_EQ(f.selection(), (TextRange{2, 0}));
    f.type("x");
    EXPECT_EQ(f.text(), "()x end");
}
