// What building an editor does before its first lines show, and what it leaves to later turns: the
// work of that one turn must not grow with the text, or switching to a tab of a long text stalls
// the window.
#include <gtest/gtest.h>

#include "Editor/FoldTracker.h"
#include "EditorFixture.h"

namespace {

QString bracedLines(qsizetype units) {
    const QString block = QStringLiteral("block {\n    words and 12 numbers\n    (nested [x])\n}\n");
    return block.repeated(units / block.size() + 1);
}

struct FirstTurn {
    qsizetype foldUnits = 0;
    int displayBlocks = 0;
};

FirstTurn firstTurnOf(const QString& text) {
    EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
    return {f.editor().foldTracker().lastScanLength(), f.view->document()->blockCount()};
}

} // namespace

TEST(FirstShow, ReadsTheSameForFoldsAndBuildsTheSameBlocksAtOneAndFiftyMegabytes) {
    const FirstTurn small = firstTurnOf(bracedLines(1024 * 1024));
    const FirstTurn large = firstTurnOf(bracedLines(50 * 1024 * 1024));
    // About what the first lines shown hold, not the whole text (a megabyte here).
    EXPECT_LT(small.foldUnits, 512 * 1024);
    EXPECT_EQ(large.foldUnits, small.foldUnits);
    EXPECT_EQ(large.displayBlocks, small.displayBlocks);
}

TEST(FirstShow, FoldsFoundOnLaterTurnsAreThoseOfAWholeScan) {
    // Unbalanced brackets and strings across the step boundaries: a scan resumed wrongly would pair
    // them otherwise.
    QString text = bracedLines(3 * 1024 * 1024);
    text.insert(text.size() / 3, QStringLiteral("open ( \"quote { \n"));
    text.insert(2 * text.size() / 3, QStringLiteral("\" close )\n{\n"));
    EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
    EXPECT_FALSE(f.editor().foldTracker().complete());
    (void)QTest::qWaitFor([&] { return f.editor().foldTracker().complete(); }, 120000);
    ASSERT_TRUE(f.editor().foldTracker().complete());

    FoldTracker whole;
    whole.reset(text);
    EXPECT_EQ(f.editor().foldRegions(), whole.regions());
    EXPECT_GT(whole.regions().size(), 1000);
}

TEST(FirstShow, AFoldTakenBeforeTheScanEndsStaysAndTheRestArrive) {
    const QString text = bracedLines(2 * 1024 * 1024);
    EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
    ASSERT_FALSE(f.editor().foldRegions().isEmpty());
    const FoldRegion region = f.editor().foldRegions().front();
    f.editor().toggleFold(region.headerLineStart);
    EXPECT_TRUE(f.editor().foldedStarts().contains(region.hiddenRange.location));
    (void)QTest::qWaitFor([&] { return f.editor().foldTracker().complete(); }, 120000);
    EditorFixture::settle();
    EXPECT_TRUE(f.editor().foldedStarts().contains(region.hiddenRange.location));
    FoldTracker whole;
    whole.reset(text);
    EXPECT_EQ(f.editor().foldRegions().size(), whole.regions().size());
}
