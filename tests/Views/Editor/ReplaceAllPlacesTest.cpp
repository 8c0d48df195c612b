// With the replace row open, the count of a plain query keeps the places of its matches: a Replace All
// then makes its parts from them instead of searching the whole text again while the window waits.
#include <gtest/gtest.h>

#include "Editor/FindMatcher.h"
#include "EditorFixture.h"
#include "WorkBounds.h"

TEST(ReplaceAllPlaces, WithTheReplaceRowOpenAReplaceAllSearchesNothingMore) {
    const QString line = QStringLiteral("alpha kilo beta\n");
    const auto searchedByReplaceAll = [&](qsizetype units, bool replaceShown) {
        const QString text = line.repeated(units / line.size());
        EditorFixture f(text, QStringLiteral("words.txt"));
        f.view->setShowFind(true);
        f.find.setShowReplace(replaceShown);
        f.find.setCaseSensitive(true);
        f.find.setReplacement(QStringLiteral("kilogram"));
        f.find.setQuery(QStringLiteral("kilo"));
        f.settle();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
        EXPECT_EQ(f.find.matchCount(), text.size() / line.size());
        // The parts go into the display over later turns: the new text is searched once they are in.
        const qsizetype before = FindMatcher::placesKeptAnywhere();
        f.find.engine()->replaceAll();
        const qsizetype kept = FindMatcher::placesKeptAnywhere() - before;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.editor().isBusy(); }, 120000));
        EXPECT_TRUE(f.text() == QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram")));
        return kept;
    };
    work_bounds::expectFlat(searchedByReplaceAll(1 << 20, true), searchedByReplaceAll(8 << 20, true), 0, 0);
    // Without it, the count alone is kept and the places are found when the Replace All needs them.
    EXPECT_EQ(searchedByReplaceAll(1 << 20, false), (1 << 20) / line.size());
}
