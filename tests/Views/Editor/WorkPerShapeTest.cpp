// What a keystroke, a scroll and a click cost in texts of every shape, counted in units the
// highlighter and the fold scan read and in lines the layout measures: the same for a text eight
// times as long.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "Editor/LinePieces.h"
#include "Editor/RegexHighlighter.h"
#include "EditorFixture.h"
#include "TextShapes.h"
#include "WorkBounds.h"
#include "Views/Editor/WrappingTextLayout.h"

namespace {

struct Work {
    qsizetype keystrokeColouring = 0;
    qsizetype keystrokeFolds = 0;
    qsizetype keystrokeMoves = 0;  // units the text's storage moved for a typed character
    qsizetype keystrokeLaidOut = 0;  // units the layout laid out for one, painting included
    qsizetype typedLine = 0;  // units in the display's line typed into (a long line's piece)
    qsizetype quoteFolds = 0;  // a quote turns strings and comments over to the end of the text
    qsizetype scrollColouring = 0;
    qsizetype clickLines = 0;
};

Work workIn(text_shapes::Shape shape, qsizetype units) {
    // As plain text, so every shape, code too, is coloured by the regular-expression highlighter.
    EditorFixture f(text_shapes::make(shape, units), QStringLiteral("shape-%1.txt").arg(text_shapes::name(shape)));
    f.editor().showAll();
    const auto* colours = dynamic_cast<const RegexHighlighter*>(f.editor().highlighter());
    EXPECT_NE(colours, nullptr);
    if (!colours) return {};
    const qsizetype middle = f.text().size() / 2;
    f.select(middle);
    f.view->ensureCursorVisible();
    f.settle();

    Work work;
    f.type("x");
    work.keystrokeColouring = colours->lastScanLength();
    work.keystrokeFolds = f.editor().foldTracker().lastScanLength();
    // The first key at a place may bring the storage there; the next ones type where it is.
    const qsizetype moved = f.editor().text().unitsMoved();
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    const qsizetype laidOut = layout->laidOutUnits();

    f.type("y");
    f.view->repaint();
    work.keystrokeMoves = f.editor().text().unitsMoved() - moved;
    work.keystrokeLaidOut = layout->laidOutUnits() - laidOut;
    work.typedLine = f.view->textCursor().block().length();
    QScrollBar* bar = f.view->verticalScrollBar();
    bar->setValue(bar->value() + bar->pageStep());
    f.settle();
    work.scrollColouring = colours->lastScanLength();

    f.markEveryLine();
    const qsizetype before = layout->measuredBlocks();
    QWidget* area = f.view->viewport();
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(area->width() / 3, area->height() / 2));
    work.clickLines = layout->measuredBlocks() - before;
    f.type("'");
    work.quoteFolds = f.editor().foldTracker().lastScanLength();
    return work;
}

} // namespace

TEST(WorkPerShape, KeystrokesScrollsAndClicksCostNoMoreInALongerTextOfAnyShape) {
    work_bounds::compareSizes(256 * 1024, 2 * 1024 * 1024, workIn, [](const Work& small, const Work& large) {
        work_bounds::expectFlat(small.keystrokeColouring, large.keystrokeColouring);
        work_bounds::expectFlat(small.scrollColouring, large.scrollColouring);
        work_bounds::expectFlat(small.keystrokeFolds, large.keystrokeFolds);
        // Bounded outright: a small text of wide characters may hold fewer units than a key moves.
        EXPECT_LE(small.keystrokeMoves, 256 * 1024);
        EXPECT_LE(large.keystrokeMoves, 256 * 1024);
        work_bounds::expectFlat(small.quoteFolds, large.quoteFolds);
        // The line typed into is laid out once, with its new colours, nothing more: a long line's
        // piece is the most a line holds.
        EXPECT_LE(small.keystrokeLaidOut, small.typedLine);
        EXPECT_LE(large.keystrokeLaidOut, large.typedLine);
        EXPECT_LE(large.typedLine, LinePieces::kMaxPiece + 2);
        work_bounds::expectFlat(small.clickLines, large.clickLines, 2000, 200);
    });
}

TEST(WorkPerShape, AQuoteTypedWhileColourPointsAreStillLaidKeepsEveryTurnShort) {
    // Prose holds an apostrophe a line: a quote typed at the top pairs every later one the other way.
    // The points laid meanwhile over the first megabytes no longer hold, and the turns laying them
    // on must not take up all of that again in one.
    constexpr qsizetype kMegabyte = 1024 * 1024;
    EditorFixture f(text_shapes::make(text_shapes::Shape::prose, 12 * kMegabyte), "prose.txt", std::nullopt, false);
    for (int turn = 0; turn < 6; ++turn) QApplication::processEvents();
    const auto* colours = dynamic_cast<const RegexHighlighter*>(f.editor().highlighter());
    ASSERT_NE(colours, nullptr);
    f.select(10);
    f.type("'");
    qsizetype most = 0;
    for (int turn = 0; turn < 8; ++turn) {
        QApplication::processEvents();
        most = qMax(most, colours->lastScanLength());
    }
    EXPECT_LE(most, kMegabyte + 128 * 1024);
}

TEST(WorkPerShape, KeysTypedSoonAfterOpeningWaitBehindNoTurnOfWorkLeftForLater) {
    // The turns after opening lay colour points up to where the keys go; each takes a megabyte of
    // scanning, which a key typed meanwhile would wait behind.
    EditorFixture f(text_shapes::make(text_shapes::Shape::prose, 8 * 1024 * 1024), "prose.txt", std::nullopt, false);
    f.editor().showAll();
    const auto* colours = dynamic_cast<const RegexHighlighter*>(f.editor().highlighter());
    ASSERT_NE(colours, nullptr);
    f.select(f.text().size() / 2);
    qsizetype most = 0;
    for (int key = 0; key < 4; ++key) {
        QElapsedTimer sinceKey;
        sinceKey.start();
        f.type("x");
        for (int turn = 0; turn < 3; ++turn) {
            QApplication::processEvents();
            most = qMax(most, colours->lastScanLength());
        }
        if (sinceKey.elapsed() >= CodeEditorCoordinator::kTypingPauseMs) GTEST_SKIP() << "keys came slower than a typist's";
    }
    EXPECT_LE(most, 256 * 1024);  // a keystroke's own colouring; a turn of laying scans a megabyte
    // Once the keys stop, the turns go on.
    EXPECT_TRUE(QTest::qWaitFor([&] { return colours->lastScanLength() > 512 * 1024; }, 120000));
}

namespace {

// What a Replace All of a token found a few times a kilobyte, and its undo, leave the display,
// the colours and the fold scan to do, per match: laid out only on screen, scanned only near it.
struct ReplaceWork {
    qsizetype matches = 0;
    qsizetype laidOut = 0;    // units the layout laid out for the replacement, painting included
    qsizetype colouring = 0;  // units the highlighter read for it
    qsizetype folds = 0;      // units the fold scan read for it
    qsizetype undoLaidOut = 0;
    qsizetype undoColouring = 0;
    qsizetype undoFolds = 0;
};

ReplaceWork replaceWorkIn(text_shapes::Shape shape, qsizetype units) {
    const QString original = text_shapes::make(shape, units);
    EditorFixture f(original, QStringLiteral("shape-%1.txt").arg(text_shapes::name(shape)));
    f.editor().showAll();
    f.settle();
    const auto* colours = dynamic_cast<const RegexHighlighter*>(f.editor().highlighter());
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    EXPECT_NE(colours, nullptr);
    if (!colours || !layout) return {};
    const text_shapes::Replacing replacing = text_shapes::replacing(shape);
    f.find.setCaseSensitive(true);
    f.find.setReplacement(replacing.replacement);
    f.find.setQuery(replacing.query);
    f.view->setShowFind(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
    f.settle();

    ReplaceWork work;
    work.matches = f.find.matchCount();
    // Counted over the turns the operation takes until the fold scan it started is done.
    const auto measure = [&](const std::function<void()>& operation, qsizetype& laidOut, qsizetype& colouring,
                             qsizetype& folds) {
        const qsizetype laidBefore = layout->laidOutUnits();
        operation();
        f.editor().catchUpDisplay();  // what goes into the display over later turns, at once
        colouring = colours->lastScanLength();
        folds = f.editor().foldTracker().lastScanLength();
        f.view->repaint();
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.editor().foldTracker().complete() && f.editor().emptyRunsGrouped(); }, 120000));
        f.settle();
        laidOut = layout->laidOutUnits() - laidBefore;
    };
    measure([&] { f.find.engine()->replaceAll(); }, work.laidOut, work.colouring, work.folds);
    QString replaced = original;
    replaced.replace(replacing.query, replacing.replacement);
    EXPECT_TRUE(f.editor().text().text() == replaced);
    measure([&] { f.editor().undo(); }, work.undoLaidOut, work.undoColouring, work.undoFolds);
    EXPECT_TRUE(f.editor().text().text() == original);
    return work;
}

} // namespace

TEST(WorkPerShape, AReplaceAllAndItsUndoLeaveNoMoreToLayOutColourOrScanInALongerTextOfAnyShape) {
    work_bounds::compareSizes(256 * 1024, 2 * 1024 * 1024, replaceWorkIn, [](const ReplaceWork& small, const ReplaceWork& large) {
        EXPECT_GT(small.matches, 0);
        EXPECT_GT(large.matches, 4 * small.matches);  // the token's count grows with the text
        const auto flat = [](const char* what, qsizetype s, qsizetype l) {
            SCOPED_TRACE(what);
            work_bounds::expectFlat(s, l);
        };
        flat("laid out", small.laidOut, large.laidOut);
        flat("coloured", small.colouring, large.colouring);
        flat("fold scan", small.folds, large.folds);
        flat("laid out for the undo", small.undoLaidOut, large.undoLaidOut);
        flat("coloured for the undo", small.undoColouring, large.undoColouring);
        flat("fold scan for the undo", small.undoFolds, large.undoFolds);
    });
}

namespace {

// The most one look of the highlighter read from a key typed after a Replace All and its undo, until
// the save that follows has been written and the turns after it have laid colour points a step on.
qsizetype keyThenSaveColouring(text_shapes::Shape shape, qsizetype units) {
    QTemporaryDir dir;
    // As plain text, so code too is coloured by the regular-expression highlighter.
    const QString name = QStringLiteral("shape-%1.txt").arg(text_shapes::name(shape));
    EditorFixture f(text_shapes::make(shape, units), name, dir.filePath(name));
    f.editor().showAll();
    const auto* colours = dynamic_cast<const RegexHighlighter*>(f.editor().highlighter());
    EXPECT_NE(colours, nullptr);
    if (!colours) return -1;
    const text_shapes::Replacing replacing = text_shapes::replacing(shape);
    f.find.setCaseSensitive(true);
    f.find.setReplacement(replacing.replacement);
    f.find.setQuery(replacing.query);
    f.view->setShowFind(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
    f.find.engine()->replaceAll();
    f.editor().undo();
    f.view->setShowFind(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.editor().foldTracker().complete(); }, 120000));
    f.settle();

    qsizetype most = 0;
    const auto look = [&] { most = qMax(most, colours->lastScanLength()); };
    f.select(10);
    f.type("z");
    look();
    QSignalSpy saved(&f.document, &EditorDocument::saveFinished);
    EXPECT_TRUE(f.document.saveInBackground());
    // One turn at a time, each look seen.
    EXPECT_TRUE(QTest::qWaitFor([&] { QApplication::processEvents(); look(); return !saved.isEmpty(); }, 120000));
    for (int turn = 0; turn < 8; ++turn) {
        QApplication::processEvents();
        look();
    }
    EXPECT_FALSE(f.document.isDirty());
    return most;
}

} // namespace

TEST(WorkPerShape, AKeyAndASaveAfterAReplaceAllAndItsUndoReadNoMoreInALongerText) {
    // The colour points past a Replace All were looked for from its first match to its last at the
    // first look that laid points after the save.
    using text_shapes::Shape;
    for (const Shape shape : {Shape::wordList, Shape::code}) {
        SCOPED_TRACE(text_shapes::name(shape));
        const qsizetype small = keyThenSaveColouring(shape, 1024 * 1024);
        const qsizetype large = keyThenSaveColouring(shape, 6 * 1024 * 1024);
        // A turn lays points over a megabyte. It comes once the keys have paused, by the clock: on a
        // busy machine the save outlasts that pause and a laying turn is among the turns looked at,
        // in the longer text (the shorter one has its points laid through already). So both are
        // held to one turn's laying, not to each other.
        const qsizetype oneTurn = 1024 * 1024 + 128 * 1024;
        EXPECT_LE(small, oneTurn);
        EXPECT_LE(large, oneTurn);
    }
}

namespace {

// Keys typed into the middle of a screen of long lines, then a page down: what the word passes
// search and what the text's storage moves for each.
struct LongLineWork {
    qsizetype screen = 0;         // units on screen
    qsizetype keyWords = 0;       // the most a key made the word passes search
    qsizetype keyMoves = 0;       // the most a key moved of the text's storage
    qsizetype pageColouring = 0;  // units the highlighter read for a page down
};

LongLineWork longLineWork(text_shapes::Shape shape, qsizetype units) {
    EditorFixture f(text_shapes::make(shape, units), QStringLiteral("shape-%1.txt").arg(text_shapes::name(shape)));
    f.editor().showAll();
    const auto* colours = dynamic_cast<const RegexHighlighter*>(f.editor().highlighter());
    EXPECT_NE(colours, nullptr);
    if (!colours) return {};
    f.select(f.text().size() / 2);
    f.view->ensureCursorVisible();
    f.settle();
    LongLineWork work;
    work.screen = f.editor().visibleRange().length;
    f.type("x");  // the first key brings the storage's gap here
    for (const QString& key : {"y", "z", " ", "(", "1"}) {
        const qsizetype moved = f.editor().text().unitsMoved();
        f.type(key);
        work.keyWords = qMax(work.keyWords, colours->lastWordScanLength());
        work.keyMoves = qMax(work.keyMoves, f.editor().text().unitsMoved() - moved);
    }
    QScrollBar* bar = f.view->verticalScrollBar();
    bar->setValue(bar->value() + bar->pageStep());
    f.settle();
    work.pageColouring = colours->lastScanLength();
    return work;
}

} // namespace

TEST(WorkPerShape, AKeyInLongLinesSearchesTheWordsItTouchedAndMovesLittleOfTheTextInAnyLength) {
    using text_shapes::Shape;
    for (const Shape shape : {Shape::prose, Shape::minified}) {
        SCOPED_TRACE(text_shapes::name(shape));
        const LongLineWork small = longLineWork(shape, 512 * 1024);
        const LongLineWork large = longLineWork(shape, 4 * 1024 * 1024);
        for (const LongLineWork& work : {small, large}) {
            EXPECT_GT(work.screen, 1000);
            // Not the screen again: the words around the key.
            EXPECT_LE(work.keyWords, 256);
            // Up to the screen's end and the longest word after it, there and back.
            EXPECT_LE(work.keyMoves, 2 * (work.screen + 8 * 1024));
        }
        work_bounds::expectFlat(small.pageColouring, large.pageColouring);
    }
}
