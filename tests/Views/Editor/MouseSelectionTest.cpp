// Selecting with the mouse: caret placement, Shift, double and triple presses, drags, presses inside
// the selection; and what a click costs in a long text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QTextBlock>

#include "EditorFixture.h"
#include "TextShapes.h"
#include "WorkBounds.h"
#include "Views/Editor/WrappingTextLayout.h"

namespace {

// Just right of the caret place before the character at an offset, in the viewport.
QPoint pointOf(EditorFixture& f, qsizetype offset) {
    QTextCursor cursor(f.view->document());
    cursor.setPosition(int(offset));
    const QRect place = f.view->cursorRect(cursor);
    return QPoint(place.left() + 1, place.center().y());
}

QString selected(EditorFixture& f) {
    const TextRange s = f.selection();
    return f.text().mid(s.location, s.length);
}

} // namespace

TEST(MouseSelection, ClicksPlaceTheCaretAndShiftClicksMoveTheSelectionsEnd) {
    EditorFixture f("alpha beta gamma\nsecond line here\nthird\n", "notes.txt");
    QWidget* area = f.view->viewport();
    QTest::mouseClick(area, Qt::LeftButton, {}, pointOf(f, 6));
    EXPECT_EQ(f.selection(), (TextRange{6, 0}));
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, pointOf(f, 24));
    EXPECT_EQ(f.selection(), (TextRange{6, 18}));
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, pointOf(f, 2));
    EXPECT_EQ(f.selection(), (TextRange{2, 4}));
    // A press inside the selection that never moves places the caret where it was released.
    QTest::mouseClick(area, Qt::LeftButton, {}, pointOf(f, 4));
    EXPECT_EQ(f.selection(), (TextRange{4, 0}));
    // Other buttons leave the caret alone.
    QTest::mouseClick(area, Qt::MiddleButton, {}, pointOf(f, 30));
    EXPECT_EQ(f.text(), "alpha beta gamma\nsecond line here\nthird\n");
}

TEST(MouseSelection, APressWhileComposingKeepsTheComposedTextAndThenPlacesTheCaret) {
    EditorFixture f("alpha beta\nsecond\n", "notes.txt");
    QWidget* area = f.view->viewport();
    f.select(5);
    QInputMethodEvent composing(QString::fromUtf8("\u306B\u307B"), {});
    QApplication::sendEvent(f.view.get(), &composing);
    EXPECT_EQ(f.text(), "alpha beta\nsecond\n");  // shown only, not yet in the text
    QTest::mouseClick(area, Qt::LeftButton, {}, pointOf(f, 13));
    EXPECT_EQ(f.text(), QString::fromUtf8("alpha\u306B\u307B beta\nsecond\n"));
    EXPECT_TRUE(f.view->textCursor().block().layout()->preeditAreaText().isEmpty());
    EXPECT_EQ(f.selection(), (TextRange{15, 0}));  // the place pressed, after what was composed
    // Nothing is left composing: the next commit inserts only itself, at the caret.
    QInputMethodEvent commit;
    commit.setCommitString("x");
    QApplication::sendEvent(f.view.get(), &commit);
    EXPECT_EQ(f.text(), QString::fromUtf8("alpha\u306B\u307B beta\nsexcond\n"));
}

TEST(MouseSelection, DoubleAndTriplePressesSelectAWordAndALineAndDragsGrowByThem) {
    EditorFixture f("alpha beta gamma\nsecond line here\nthird\n", "notes.txt");
    QWidget* area = f.view->viewport();
    QTest::mouseDClick(area, Qt::LeftButton, {}, pointOf(f, 7));
    EXPECT_EQ(selected(f), "beta");
    QTest::mouseClick(area, Qt::LeftButton, {}, pointOf(f, 7));
    EXPECT_EQ(selected(f), "alpha beta gamma\n");

    // A drag after a double press takes whole words, keeping the first.
    QTest::mouseClick(area, Qt::LeftButton, {}, pointOf(f, 30));  // long after: no third press
    QTest::mouseDClick(area, Qt::LeftButton, {}, pointOf(f, 7));
    QTest::mouseMove(area, pointOf(f, 26));
    EXPECT_EQ(selected(f), "beta gamma\nsecond line");
    QTest::mouseMove(area, pointOf(f, 1));
    EXPECT_EQ(selected(f), "alpha beta");
    QTest::mouseRelease(area, Qt::LeftButton, {}, pointOf(f, 1));

    // A plain drag takes characters.
    QTest::mousePress(area, Qt::LeftButton, {}, pointOf(f, 18));
    QTest::mouseMove(area, pointOf(f, 36));
    QTest::mouseRelease(area, Qt::LeftButton, {}, pointOf(f, 36));
    EXPECT_EQ(selected(f), "econd line here\nth");
}

namespace {

struct ClickWork {
    qsizetype gestures = 0;
    qsizetype pastTheEdge = 0;
};

// Blocks the layout measured, in the middle of the screen of a text of word lines every line of which
// carries a list marker (at its start or near its end), for a click, a Shift press, a double and a
// third press, a drag and the pointer passing; then for a drag held past the bottom edge for a few
// turns of the event loop (the view follows it down a line at a time).
ClickWork blocksMeasuredByClicks(qsizetype units, bool nearTheEnd) {
    EditorFixture f(text_shapes::make(text_shapes::Shape::wordList, units), "words.txt");
    f.editor().showAll();
    if (nearTheEnd) {
        f.settle();
        f.select(f.text().size() - 2000);
        f.view->ensureCursorVisible();
    }
    f.markEveryLine();
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    QWidget* area = f.view->viewport();
    const QPoint middle(area->width() / 3, area->height() / 2);
    const qsizetype before = layout->measuredBlocks();
    QTest::mouseClick(area, Qt::LeftButton, {}, middle);
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, middle + QPoint(0, 40));
    QTest::mouseDClick(area, Qt::LeftButton, {}, middle + QPoint(0, 20));
    QTest::mouseClick(area, Qt::LeftButton, {}, middle + QPoint(0, 20));
    EXPECT_GT(f.selection().length, 0);  // the third press selected the line
    QTest::mousePress(area, Qt::LeftButton, {}, middle);
    QTest::mouseMove(area, middle + QPoint(10, 40));
    QTest::mouseMove(area, middle + QPoint(10, 60));
    QTest::mouseRelease(area, Qt::LeftButton, {}, middle + QPoint(10, 60));
    const qsizetype dragged = f.selection().length;
    EXPECT_GT(dragged, 0);
    // The pointer passing over the text with no button held (as the view gets it when it tracks the mouse).
    for (const QPoint at : {middle + QPoint(30, -40), middle + QPoint(60, 40)}) {
        QMouseEvent hover(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(area, &hover);
    }
    ClickWork work;
    work.gestures = layout->measuredBlocks() - before;

    const QPoint below(middle.x(), area->height() + 30);
    QTest::mousePress(area, Qt::LeftButton, {}, middle - QPoint(0, 60));  // outside the selection
    QTest::mouseMove(area, below);
    QMouseEvent past(QEvent::MouseMove, below, area->mapToGlobal(below), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &past);
    f.settle();
    QTest::mouseRelease(area, Qt::LeftButton, {}, below);
    EXPECT_GT(f.selection().length, dragged);
    work.pastTheEdge = layout->measuredBlocks() - before - work.gestures;
    return work;
}

} // namespace

TEST(MouseSelection, AClickLooksOnlyAtTheLinesUnderThePointer) {
    for (const bool nearTheEnd : {false, true}) {
        SCOPED_TRACE(nearTheEnd ? "near the end" : "at the start");
        const ClickWork small = blocksMeasuredByClicks(256 * 1024, nearTheEnd);
        const ClickWork large = blocksMeasuredByClicks(4 * 1024 * 1024, nearTheEnd);
        work_bounds::expectFlat(small.gestures, large.gestures, 2000, 200);
        // Following the pointer past the edge paints the screen a few times over.
        work_bounds::expectFlat(small.pastTheEdge, large.pastTheEdge, 8000, 200);
    }
}
