// Building an editor does a bounded share of a long text's work before its first lines show; the
// folds of the rest arrive on later turns, as a whole scan finds them.
#include <gtest/gtest.h>

#include "Editor/FoldTracker.h"
#include "EditorFixture.h"

namespace {
QString bracedLines(qsizetype units) {
    const QString block = QStringLiteral("block {\n    words and 12 numbers\n    (nested [x])\n}\n");
    return block.repeated(units / block.size() + 1);
}
} // namespace

TEST(FirstShow, ScansTheSameForFoldsAndBuildsTheSameBlocksAtOneAndFiftyMegabytes) {
    const auto firstTurn = [](const QString& text) {
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        return std::pair(f.editor().foldTracker().lastScanLength(), f.view->document()->blockCount());
    };
    const auto small = firstTurn(bracedLines(1024 * 1024));
    EXPECT_LT(small.first, 512 * 1024);
    EXPECT_EQ(firstTurn(bracedLines(50 * 1024 * 1024)), small);
}

TEST(FirstShow, FoldsFoundOnLaterTurnsAreThoseOfAWholeScanAndKeepAFoldTakenMeanwhile) {
    // Unbalanced brackets and a string across steps: a scan resumed wrongly pairs them otherwise.
    QString text = bracedLines(3 * 1024 * 1024);
    text.insert(text.size() / 3, QStringLiteral("open ( \"quote { \n"));
    text.insert(2 * text.size() / 3, QStringLiteral("\" close )\n{\n"));
    EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
    ASSERT_FALSE(f.editor().foldTracker().complete());
    const FoldRegion first = f.editor().foldRegions().front();
    f.editor().toggleFold(first.headerLineStart);
    (void)QTest::qWaitFor([&] { return f.editor().foldTracker().complete(); }, 120000);
    FoldTracker whole;
    whole.reset(text);
    EXPECT_EQ(f.editor().foldRegions(), whole.regions());
    EXPECT_TRUE(f.editor().foldedStarts().contains(first.hiddenRange.location));
}
