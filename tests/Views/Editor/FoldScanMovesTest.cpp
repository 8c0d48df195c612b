// The fold scan after a key reads the text where it lies, on both sides of the gap its storage
// keeps at the last edit: a key typed where the last one went moves none of the text for the folds,
// however long the text, and the folds stay those a whole scan finds.
#include <gtest/gtest.h>

#include "Editor/FoldComputer.h"
#include "Editor/HighlighterRule.h"
#include "EditorFixture.h"
#include "TextShapes.h"

namespace {

struct KeyWork {
    qsizetype movedPerKey = 0;  // units the storage moved, for each key after the first
    bool foldsWhole = false;    // the folds then equal a whole scan's
};

// Keys typed in the middle of a text of code, a quote among them, which turns strings over as far
// as the scan's budget. Coloured from its syntax tree, whose parse keeps a copy of its own, the
// colours read the text only up to the end of the lines on screen.
KeyWork keysIn(qsizetype units) {
    EditorFixture f(text_shapes::make(text_shapes::Shape::code, units), QStringLiteral("code.js"));
    f.select(f.text().size() / 2);
    f.view->ensureCursorVisible();
    f.settle();
    f.type(QStringLiteral("x"));  // brings the gap here
    f.settle();
    const QString keys = QStringLiteral("ab{c'd");
    const qsizetype before = f.editor().text().unitsMoved();
    for (const QChar key : keys) f.type(QString(key));
    KeyWork work;
    work.movedPerKey = (f.editor().text().unitsMoved() - before) / keys.size();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.editor().foldTracker().complete(); }, 120000));
    f.settle();
    work.foldsWhole = f.editor().foldTracker().regions() == FoldComputer::regions(f.editor().text().text());
    return work;
}

} // namespace

TEST(FoldScanMoves, KeysTypedInOnePlaceMoveNoTextForTheFoldsInALongerText) {
    constexpr qsizetype kMegabyte = 1024 * 1024;
    for (const qsizetype units : {kMegabyte, HighlighterRule::kTreeLimit - kMegabyte}) {
        SCOPED_TRACE(units);
        const KeyWork work = keysIn(units);
        // What the key's line takes, nothing for the folds' budget past the key.
        EXPECT_LE(work.movedPerKey, 1024);
        EXPECT_TRUE(work.foldsWhole);
    }
}
