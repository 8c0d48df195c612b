// Matching text for the navigation overlays: caseless containment, query trimming and paths shown
// inside the folder.
#include <gtest/gtest.h>

#include "Views/Navigation/FolderPaths.h"
#include "Views/Navigation/SearchText.h"

namespace {

const QString eAcute = QStringLiteral("\u00e9");
const QString eCombining = QStringLiteral("e\u0301");

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
