// Matching text for the navigation overlays: the fuzzy file-name filter, caseless containment,
// query trimming and paths shown inside the folder.
#include <gtest/gtest.h>

#include "Views/Navigation/FolderPaths.h"
#include "Views/Navigation/FuzzyMatch.h"
#include "Views/Navigation/SearchText.h"

namespace {

const QString eAcute = QStringLiteral("\u00e9");
const QString eCombining = QStringLiteral("e\u0301");

TEST(FuzzyMatchTest, LettersInOrderWithGapsMatchReversedOrMissingOnesDoNot) {
    EXPECT_TRUE(fuzzyMatch("ap", "AppState.cpp"));
    EXPECT_TRUE(fuzzyMatch("rv", "RootView.h"));
    EXPECT_TRUE(fuzzyMatch("RV", "rootview.h"));
    EXPECT_FALSE(fuzzyMatch("vr", "RootView.h"));
    EXPECT_FALSE(fuzzyMatch("rootz", "RootView.h"));
    EXPECT_TRUE(fuzzyMatch("aa", "banana"));
    EXPECT_FALSE(fuzzyMatch("aaaa", "banana"));  // each candidate letter counts once
}

TEST(FuzzyMatchTest, EmptyTextsAndSpaces) {
    EXPECT_TRUE(fuzzyMatch("", "anything"));
    EXPECT_TRUE(fuzzyMatch("", ""));
    EXPECT_FALSE(fuzzyMatch("a", ""));
    EXPECT_TRUE(fuzzyMatch(" ", "my notes.txt"));
    EXPECT_FALSE(fuzzyMatch(" ", "notes.txt"));
}

TEST(FuzzyMatchTest, ComparesWholeCharactersUnderCanonicalEquivalence) {
    EXPECT_TRUE(fuzzyMatch(eAcute, "caf" + eCombining + ".md"));
    EXPECT_TRUE(fuzzyMatch(eCombining, "caf" + eAcute + ".md"));
    EXPECT_TRUE(fuzzyMatch(QStringLiteral("\u00c9"), "caf" + eAcute));  // upper-case query
    // An accented letter is one character: a bare "e" is not in it.
    EXPECT_FALSE(fuzzyMatch("fe", "caf" + eCombining));
    EXPECT_TRUE(fuzzyMatch(QStringLiteral("\U0001F600"), QStringLiteral("a\U0001F600b")));
}

TEST(SearchTextTest, ContainmentIgnoresCaseAndAccentEncoding) {
    using SearchText::containsIgnoringCase;
    EXPECT_TRUE(containsIgnoringCase("Quick Open File", "open"));
    EXPECT_TRUE(containsIgnoringCase("Quick Open File", "OPEN"));
    EXPECT_FALSE(containsIgnoringCase("Save", " "));
    EXPECT_TRUE(containsIgnoringCase("Stra\u00dfe", "STRASSE"));  // full folding
    EXPECT_TRUE(containsIgnoringCase("un caf" + eCombining, "CAF" + eAcute));
    EXPECT_FALSE(containsIgnoringCase("caf" + eAcute, "cafe"));
    EXPECT_TRUE(containsIgnoringCase("anything", ""));
}

TEST(SearchTextTest, TrimsOnlySpacesAndTabs) {
    using SearchText::trimBlanks;
    EXPECT_EQ(trimBlanks(" \t a b \u00a0\t"), "a b");
    EXPECT_EQ(trimBlanks("\nx\n"), "\nx\n");
    EXPECT_EQ(trimBlanks(" \t "), "");
}

TEST(FolderPathsTest, StripsOnlyTheLeadingFolder) {
    EXPECT_EQ(FolderPaths::insideFolder("/p/src/main.c", "/p"), "src/main.c");
    // The folder's path again deeper down stays where it is.
    EXPECT_EQ(FolderPaths::insideFolder("/p/x/p/b.c", "/p"), "x/p/b.c");
    EXPECT_EQ(FolderPaths::insideFolder("/other/b.c", "/p"), "/other/b.c");
    EXPECT_EQ(FolderPaths::insideFolder("/pq/b.c", "/p"), "/pq/b.c");
}

} // namespace
