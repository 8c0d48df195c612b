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

// Blocks the layout measured for a click, a double click, a drag and the pointer passing in the middle
// of the screen of a text of word lines, every line carrying a list marker.
qsizetype blocksMeasuredByClicks(qsizetype units) {
    EditorFixture f(text_shapes::make(text_shapes::Shape::wordList, units), "words.txt");
    f.editor().showAll();
    f.markEveryLine();
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    QWidget* area = f.view->viewport();
    const QPoint middle(area->width() / 3, area->height() / 2);
    const qsizetype before = layout->measuredBlocks();
    QTest::mouseClick(area, Qt::LeftButton, {}, middle);
    QTest::mouseDClick(area, Qt::LeftButton, {}, middle + QPoint(0, 20));
    QTest::mousePress(area, Qt::LeftButton, {}, middle);
    QTest::mouseMove(area, middle + QPoint(10, 40));
    QTest::mouseMove(area, middle + QPoint(10, 60));
    QTest::mouseRelease(area, Qt::LeftButton, {}, middle + QPoint(10, 60));
    EXPECT_GT(f.selection().length, 0);
    // The pointer passing over the text with no button held (as the view gets it when it tracks the mouse).
    for (const QPoint at : {middle + QPoint(30, -40), middle + QPoint(60, 40)}) {
        QMouseEvent hover(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(area, &hover);
    }
    return layout->measuredBlocks() - before;
}

} // namespace

TEST(MouseSelection, AClickLooksOnlyAtTheLinesUnderThePointer) {
    const qsizetype small = blocksMeasuredByClicks(256 * 1024);
    const qsizetype large = blocksMeasuredByClicks(4 * 1024 * 1024);
    work_bounds::expectFlat(small, large, 2000, 200);
}

namespace {

// The same gestures near the end of the text, with a Shift press, a third press and a drag held
// past the bottom edge (the view follows it down a line at a time) for a few turns of the event loop.
qsizetype blocksMeasuredByClicksAtTheEnd(qsizetype units) {
    EditorFixture f(text_shapes::make(text_shapes::Shape::wordList, units), "words.txt");
    f.editor().showAll();
    f.settle();
    f.select(f.text().size() - 2000);
    f.view->ensureCursorVisible();
    f.markEveryLine();
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    QWidget* area = f.view->viewport();
    const QPoint middle(area->width() / 3, area->height() / 2);
    const qsizetype before = layout->measuredBlocks();
    QTest::mouseClick(area, Qt::LeftButton, {}, middle);
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, middle + QPoint(0, 40));
    QTest::mouseDClick(area, Qt::LeftButton, {}, middle + QPoint(0, 20));
    QTest::mouseClick(area, Qt::LeftButton, {}, middle + QPoint(0, 20));
    const qsizetype line = f.selection().length;
    QTest::mousePress(area, Qt::LeftButton, {}, middle - QPoint(0, 60));
    QTest::mouseMove(area, QPoint(middle.x(), area->height() + 30));
    QMouseEvent past(QEvent::MouseMove, QPointF(middle.x(), area->height() + 30), area->mapToGlobal(QPointF(middle.x(), area->height() + 30)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &past);
    f.settle();
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(middle.x(), area->height() + 30));
    EXPECT_GT(line, 0);  // the third press selected the line
    EXPECT_GT(f.selection().length, line);
    return layout->measuredBlocks() - before;
}

} // namespace

TEST(MouseSelection, ClicksNearTheEndLookOnlyAtTheLinesUnderThePointer) {
    const qsizetype small = blocksMeasuredByClicksAtTheEnd(256 * 1024);
    const qsizetype large = blocksMeasuredByClicksAtTheEnd(4 * 1024 * 1024);
    // Following the pointer past the edge paints the screen a few times over.
    work_bounds::expectFlat(small, large, 8000, 200);
}
