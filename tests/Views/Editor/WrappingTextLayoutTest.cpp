// Lines edited in place wrap exactly as lines laid out afresh.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextLayout>
#include <map>
#include <random>

#include "EditorFixture.h"
#include "Editor/HighlighterRule.h"
#include "Views/Editor/WrappingTextLayout.h"

namespace {

// Lines per block and their heights, as laid out for display.
std::vector<std::pair<int, qreal>> shape(EditorFixture& f) {
    std::vector<std::pair<int, qreal>> out;
    for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next()) {
        const QRectF r = f.view->document()->documentLayout()->blockBoundingRect(b);
        out.emplace_back(b.layout()->lineCount(), r.height());
    }
    return out;
}

} // namespace

TEST(WrappingTextLayout, TypedLinesWrapAndUnwrapLikeFreshOnes) {
    const QString start = QStringLiteral("let a = 1;\nlet b = 2;\nlet c = 3;\n");
    EditorFixture f(start, QStringLiteral("main.js"));
    f.select(start.indexOf(u'2') + 1);
    const QString words = QStringLiteral(" + value").repeated(30);
    f.type(words);
    EditorFixture::settle();
    const QTextBlock typed = f.view->document()->findBlockByNumber(1);
    EXPECT_GT(typed.layout()->lineCount(), 2);
    EXPECT_EQ(f.view->document()->lineCount(), 3 + typed.layout()->lineCount());  // the last line is empty
    {
        EditorFixture fresh(f.text(), QStringLiteral("main.js"));
        EXPECT_EQ(shape(f), shape(fresh));
    }

    for (qsizetype i = 0; i < words.size(); ++i) f.backspace();
    EditorFixture::settle();
    EXPECT_EQ(f.text(), start);
    EXPECT_EQ(typed.layout()->lineCount(), 1);
    EXPECT_EQ(f.view->document()->lineCount(), 4);
    EditorFixture fresh(start, QStringLiteral("main.js"));
    EXPECT_EQ(shape(f), shape(fresh));
}

// Resizing rewraps every line at the new width, also lines laid out before and scrolled away, and
// edits between resizes leave the same lines as a fresh editor of that width and text.
TEST(WrappingTextLayout, ResizesAndEditsWrapLikeAFreshEditor) {
    QString start;
    for (int i = 0; i < 400; ++i)
        start += QStringLiteral("let value%1 = [%2];\n").arg(i).arg(QStringLiteral("1, 2, 3, ").repeated(i % 9));
    EditorFixture f(start, QStringLiteral("main.js"));
    const auto check = [&](int width) {
        SCOPED_TRACE(width);
        EditorFixture::settle();
        EditorFixture fresh(f.text(), QStringLiteral("main.js"));
        fresh.view->resize(width, 480);
        EditorFixture::settle();
        EXPECT_EQ(f.view->viewport()->width(), fresh.view->viewport()->width());
        // As held now, before anything asks: a line is either not laid out (and is laid out when
        // asked) or laid out as afresh. The caret's up and down read lines as held.
        std::vector<int> held;
        for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next())
            held.push_back(b.layout()->lineCount());
        const auto expected = shape(fresh);
        ASSERT_EQ(held.size(), expected.size());
        for (size_t i = 0; i < held.size(); ++i)
            if (held[i] != 0) EXPECT_EQ(held[i], expected[i].first) << "line " << i;
        EXPECT_EQ(shape(f), expected);
    };
    const int widths[] = {300, 900, 250, 640, 641};
    std::mt19937 random(15);
    int step = 0;
    for (const int width : widths) {
        f.view->resize(width, 480);
        EditorFixture::settle();
        // Laid out at this width, then left behind by scrolling: the next width must still reach them.
        f.view->verticalScrollBar()->setValue(int(random() % 300));
        EditorFixture::settle();
        for (int edit = 0; edit < 3; ++edit, ++step) {
            f.select(qsizetype(random() % quint32(f.text().size())));
            if (step % 3 == 2) f.enter();
            else f.type(QStringLiteral(" more words here").repeated(1 + step % 4));
        }
        check(width);
    }
}

namespace {

// The colour painted at each exact offset of the blocks on screen (later formats over earlier).
std::map<qsizetype, QRgb> coloursOnScreen(EditorFixture& f) {
    std::map<qsizetype, QRgb> out;
    for (const CodeEditorView::VisibleLine& line : f.view->visibleLines())
        for (const QTextLayout::FormatRange& r : line.block.layout()->formats())
            for (int i = r.start; i < r.start + r.length; ++i)
                out[f.editor().toExact(line.block.position() + i)] = r.format.foreground().color().rgba();
    return out;
}

// Where an editor and a fresh one of the same text both show colours, they agree.
void expectSameColours(EditorFixture& f, EditorFixture& fresh) {
    const std::map<qsizetype, QRgb> a = coloursOnScreen(f), b = coloursOnScreen(fresh);
    qsizetype compared = 0;
    for (const auto& [at, colour] : a)
        if (const auto it = b.find(at); it != b.end()) {
            ASSERT_EQ(colour, it->second) << "at " << at;
            ++compared;
        }
    EXPECT_GT(compared, 100);
}

} // namespace

namespace {

// A minified line is shown as pieces, each a block of its own: whatever is typed, pasted, undone or
// deleted on it, no piece outgrows its limit, the gutter numbers lines, not pieces, and text, colours,
// folds and find matches are those of a fresh editor of the same text. The same in a text past the
// size a syntax tree may cover.
void editsLikeAFreshEditor(const QString& start, const QString& line) {
    EditorFixture f(start, QStringLiteral("main.js"));
    f.find.setQuery(QStringLiteral("return a"));
    f.view->setShowFind(true);
    std::mt19937 random(26);
    for (int step = 0; step < 40; ++step) {
        const qsizetype at = qsizetype(random() % quint32(f.text().size()));
        f.select(at, step % 7 == 3 ? qsizetype(random() % 9000) : 0);
        switch (step % 5) {
        case 0: f.type(QStringLiteral("q(1)")); break;
        case 1: f.backspace(); break;
        case 2: f.editor().userChange(f.selection(), line.mid(int(random() % 50000), 6000)); break;
        case 3: f.type(QStringLiteral("{")); f.enter(); break;
        default: f.undo(); break;
        }
    }
    f.editor().showAll();
    f.settleColours();
    f.editor().findSync();
    EditorFixture fresh(f.text(), QStringLiteral("main.js"));
    fresh.find.setQuery(QStringLiteral("return a"));
    fresh.view->setShowFind(true);
    EXPECT_TRUE(f.editor().text().text() == f.text());
    for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next())
        ASSERT_LE(b.length() - 1, LinePieces::kMaxPiece);
    EXPECT_EQ(f.editor().lineCount(), fresh.editor().lineCount());
    // A fold scan an edit left short goes on in later turns, as a fresh editor's first one does.
    for (EditorFixture* e : {&f, &fresh})
        ASSERT_TRUE(QTest::qWaitFor([&] { return e->editor().foldTracker().complete(); }, 120000));
    EXPECT_EQ(f.editor().foldRegions(), fresh.editor().foldRegions());
    (void)QTest::qWaitFor([&] { return !f.find.counting() && !fresh.find.counting(); }, 120000);
    EXPECT_EQ(f.find.matchCount(), fresh.find.matchCount());
    // A long text's new query is counted, its places found once a step needs them.
    fresh.find.engine()->findNext();
    EXPECT_EQ(f.editor().matches(), fresh.editor().matches());
    // Somewhere on the long line, on both.
    const qsizetype far = f.text().indexOf(QStringLiteral("function f300("));
    for (EditorFixture* e : {&f, &fresh}) {
        e->editor().showAll();
        e->editor().setSelection({far, 0}, true);
        e->settleColours();
    }
    expectSameColours(f, fresh);
    // The gutter numbers the lines shown; a later piece gets none.
    f.editor().setSelection({0, 0}, true);
    f.view->ruler()->repaint();
    const QList<LineNumberRuler::DrawnNumber> drawn = f.view->ruler()->drawnNumbers();
    ASSERT_FALSE(drawn.isEmpty());
    EXPECT_EQ(drawn.front().number, 1);
    for (qsizetype i = 1; i < drawn.size(); ++i) EXPECT_EQ(drawn[i].number, drawn[i - 1].number + 1);
    int lines = 0;
    for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next()) {
        if (f.editor().startsLine(b)) ++lines;
        ASSERT_EQ(f.editor().lineOf(b), lines - 1);
    }
    EXPECT_EQ(lines, f.editor().lineCount());
    EXPECT_LT(lines, f.view->document()->blockCount());
}

} // namespace

TEST(WrappingTextLayout, ALongLineEditsLikeAFreshEditor) {
    QString line;
    for (int i = 0; line.size() < 60000; ++i)
        line += QStringLiteral("function f%1(a,b){return a+\"s%1\"*b/2;}var v%1=[%1,0x1f];").arg(i);
    const QString head = QStringLiteral("// head\nif (x) {\n  y();\n}\n") + line;
    {
        SCOPED_TRACE("one long line");
        editsLikeAFreshEditor(head + QStringLiteral("\nlast();\n"), line);
    }
    SCOPED_TRACE("a text past the syntax tree's limit");
    const QString filler = QStringLiteral("const value = compute(1, 'two', /* three */ 4); // five\n");
    editsLikeAFreshEditor(head + u'\n' + filler.repeated(int(HighlighterRule::kTreeLimit / filler.size()) + 10), line);
}

// Where two pieces of a long line meet, the caret still moves one character per key, as on a short
// line: by arrows, with Shift, by words, and from a click at the end of a piece's last row.
TEST(WrappingTextLayout, TheCaretCrossesAPieceBreakOneCharacterAtATime) {
    const QString line = QStringLiteral("alpha beta, gamma ").repeated(700);
    EditorFixture f(line + u'\n', QStringLiteral("notes.txt"));
    ASSERT_FALSE(f.editor().text().pieces().breaks().empty());
    const qsizetype b = f.editor().text().pieces().breaks().front();
    const auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        f.key(key, modifiers);
        return f.selection();
    };
    f.select(b - 3);
    for (qsizetype at = b - 2; at <= b + 3; ++at) EXPECT_EQ(press(Qt::Key_Right).location, at);
    for (qsizetype at = b + 2; at >= b - 3; --at) EXPECT_EQ(press(Qt::Key_Left).location, at);
    for (qsizetype n = 1; n <= 6; ++n) EXPECT_EQ(press(Qt::Key_Right, Qt::ShiftModifier), (TextRange{b - 3, n}));
    for (qsizetype n = 5; n >= 0; --n) EXPECT_EQ(press(Qt::Key_Left, Qt::ShiftModifier), (TextRange{b - 3, n}));

    // Word moves never stand still.
    f.select(b - 12);
    for (qsizetype last = b - 12; last < b + 12;) {
        const qsizetype at = press(Qt::Key_Right, Qt::ControlModifier).location;
        ASSERT_GT(at, last);
        last = at;
    }
    for (qsizetype last = f.selection().location; last > b - 12;) {
        const qsizetype at = press(Qt::Key_Left, Qt::ControlModifier).location;
        ASSERT_LT(at, last);
        last = at;
    }

    // Delete and Backspace on the break remove the character after and before it.
    f.select(b - 1);
    press(Qt::Key_Right);
    ASSERT_EQ(f.selection().location, b);
    f.key(Qt::Key_Delete);
    EXPECT_EQ(f.text(), QString(line).remove(b, 1) + u'\n');
    f.undo();
    f.select(b + 1);
    press(Qt::Key_Left);
    f.backspace();
    EXPECT_EQ(f.text(), QString(line).remove(b - 1, 1) + u'\n');
    EXPECT_EQ(f.selection().location, b - 1);
    f.undo();

    // A click past the end of the earlier piece's last row, then Right.
    f.editor().setSelection({b, 0}, true);
    EditorFixture::settle();
    QTextCursor end(f.view->document());
    end.setPosition(int(f.editor().toDisplay(b)) - 1);
    const QRect row = f.view->cursorRect(end);
    QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, QPoint(row.right() + 4, row.center().y()));
    const qsizetype clicked = f.selection().location;
    EXPECT_GE(clicked, b - 1);
    EXPECT_LE(clicked, b);
    EXPECT_EQ(press(Qt::Key_Right).location, clicked + 1);
    EXPECT_EQ(press(Qt::Key_Right).location, clicked + 2);
}

// Long blocks keep their glyphs for painting, but only the last few laid out: scrolling through a
// long text does not keep the glyphs of all of it, and a block that let them go lays out as before.
TEST(WrappingTextLayout, OnlyTheLastLongBlocksLaidOutKeepTheirGlyphs) {
    const QString text = (QStringLiteral("word ").repeated(400) + u'\n').repeated(60);
    EditorFixture f(text, QStringLiteral("notes.txt"));
    const auto cachedBlocks = [&] {
        int n = 0;
        for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next())
            if (b.length() > 1024 && b.layout()->cacheEnabled()) ++n;
        return n;
    };
    const std::vector<std::pair<int, qreal>> laidOut = shape(f);
    EXPECT_GT(cachedBlocks(), 0);
    EXPECT_LE(cachedBlocks(), 16);
    EXPECT_EQ(shape(f), laidOut);
}

// A Replace All forgets the layouts of the lines it changed alone: they wrap afresh (and unwrap again
// with its undo) while the lines between keep theirs.
TEST(WrappingTextLayout, ReplacedLinesWrapLikeFreshOnes) {
    QString start;
    for (int i = 0; i < 200; ++i) start += i % 50 == 0 ? QStringLiteral("x = wide;\n") : QStringLiteral("y = %1;\n").arg(i);
    EditorFixture f(start, QStringLiteral("main.js"));
    f.editor().showAll();
    (void)shape(f);  // every line laid out once
    f.view->setShowFind(true);
    f.find.setReplacement(QStringLiteral(" + value").repeated(30));
    f.find.setCaseSensitive(true);
    f.find.setQuery(QStringLiteral("wide"));
    EditorFixture::settle();
    f.find.engine()->replaceAll();
    EditorFixture::settle();
    const auto replaced = shape(f);
    EXPECT_GT(replaced[50].first, 2);
    {
        EditorFixture fresh(f.text(), QStringLiteral("main.js"));
        EXPECT_EQ(replaced, shape(fresh));
    }
    f.editor().undo();
    EditorFixture::settle();
    EditorFixture fresh(start, QStringLiteral("main.js"));
    EXPECT_EQ(shape(f), shape(fresh));
}

TEST(WrappingTextLayout, ALineRecolouredRepaintsThatLineAlone) {
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("let v%1 = [%1, 'w'];\n").arg(i);
    EditorFixture f(text, QStringLiteral("main.js"));
    QTextDocument* display = f.view->document();
    const QTextBlock line = display->findBlockByNumber(5);
    const int lineHeight = int(display->documentLayout()->blockBoundingRect(line).height());
    // The heights painted, in the text and in the ruler beside it.
    struct Painted : QObject {
        std::vector<int> heights;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) heights.push_back(static_cast<QPaintEvent*>(event)->rect().height());
            return false;
        }
    } painted;
    f.view->viewport()->installEventFilter(&painted);
    f.view->ruler()->installEventFilter(&painted);
    // As the highlighter colours a line anew.
    QTextCharFormat red;
    red.setForeground(Qt::red);
    line.layout()->setFormats({{0, 3, red}});
    display->markContentsDirty(line.position(), line.length());
    EditorFixture::settle();
    // The gutter's numbers stay as they were: it need not repaint at all.
    EXPECT_GE(painted.heights.size(), 1u);
    for (const int height : painted.heights) EXPECT_LE(height, lineHeight + 2) << "viewport " << f.view->viewport()->height();
}

// A line held back is not laid out until the hold ends, and the end of the hold says whether a line
// laid out then took another number of rows (the lines on screen are then others). Holds nest.
TEST(WrappingTextLayout, ALineHeldBackIsLaidOutOnceTheHoldEnds) {
    EditorFixture f(QStringLiteral("one\ntwo\nthree\n"), QStringLiteral("notes.txt"));
    QTextDocument* display = f.view->document();
    auto* layout = qobject_cast<WrappingTextLayout*>(display->documentLayout());
    ASSERT_NE(layout, nullptr);
    const QTextBlock two = display->findBlockByNumber(1);
    ASSERT_EQ(two.layout()->lineCount(), 1);
    const QRectF bounds = layout->blockBoundingRect(two);
    layout->hold();
    display->markContentsDirty(two.position(), two.length());
    EXPECT_EQ(two.layout()->lineCount(), 0);
    EXPECT_EQ(layout->blockBoundingRect(two), bounds);  // measured as it was
    EXPECT_FALSE(layout->release());
    EXPECT_EQ(two.layout()->lineCount(), 1);

    layout->hold();
    f.editor().plainChange({5, 0}, QStringLiteral(" word").repeated(200));  // holds and ends its own hold
    EXPECT_EQ(two.layout()->lineCount(), 0);
    EXPECT_TRUE(layout->release());
    EXPECT_GT(two.layout()->lineCount(), 1);
    EXPECT_FALSE(layout->release());  // no hold left to end
}
