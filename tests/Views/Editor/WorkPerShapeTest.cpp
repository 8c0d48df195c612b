// What a keystroke, a scroll and a click cost in texts of every shape, counted in units the
// highlighter and the fold scan read and in lines the layout measures: the same for a text eight
// times as long.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QTextBlockFormat>

#include "Editor/RegexHighlighter.h"
#include "EditorFixture.h"
#include "TextShapes.h"
#include "Views/Editor/WrappingTextLayout.h"

namespace {

struct Work {
    qsizetype keystrokeColouring = 0;
    qsizetype keystrokeFolds = 0;
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
    QScrollBar* bar = f.view->verticalScrollBar();
    bar->setValue(bar->value() + bar->pageStep());
    f.settle();
    work.scrollColouring = colours->lastScanLength();

    // Every line carries a list marker, so a walk through the lines for one measures each it passes.
    QTextCursor all(f.view->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat marked;
    marked.setMarker(QTextBlockFormat::MarkerType::Unchecked);
    all.mergeBlockFormat(marked);
    f.settle();
    const auto* layout = qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
    const qsizetype before = layout->measuredBlocks();
    QWidget* area = f.view->viewport();
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(area->width() / 3, area->height() / 2));
    work.clickLines = layout->measuredBlocks() - before;
    return work;
}

} // namespace

TEST(WorkPerShape, KeystrokesScrollsAndClicksCostNoMoreInALongerTextOfAnyShape) {
    constexpr qsizetype kSmall = 256 * 1024;
    constexpr qsizetype kLarge = 8 * kSmall;
    for (const text_shapes::Shape shape : text_shapes::all()) {
        SCOPED_TRACE(text_shapes::name(shape));
        const Work small = workIn(shape, kSmall);
        const Work large = workIn(shape, kLarge);
        // Resume points lie some thousands of units apart: where they fall moves the figures a little.
        for (const auto& [a, b] : {std::pair{small.keystrokeColouring, large.keystrokeColouring},
                                   std::pair{small.scrollColouring, large.scrollColouring},
                                   std::pair{small.keystrokeFolds, large.keystrokeFolds}}) {
            EXPECT_LE(a, 128 * 1024);
            EXPECT_LE(b, a + 48 * 1024);
        }
        EXPECT_LE(small.clickLines, 2000);
        EXPECT_LE(large.clickLines, small.clickLines + 200);
    }
}
