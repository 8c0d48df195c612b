// Matches for the find bar and one replacement expanded in the context of the whole text.
#include <gtest/gtest.h>

#include "Editor/FindMatcher.h"

namespace {
RegularExpression compile(const QString& pattern, bool caseInsensitive = false) {
    auto re = RegularExpression::compile(pattern, caseInsensitive);
    if (!re) ADD_FAILURE() << "pattern did not compile";
    re->setTimeLimit(250);
    return *re;
}
} // namespace

TEST(FindMatcher, EmptyMatchesAreNotMatches) {
    const QList<TextRange> runs = FindMatcher::matches(compile("a*"), "baab a");
    EXPECT_EQ(runs, (QList<TextRange>{{1, 2}, {5, 1}}));
}

TEST(FindMatcher, TemplatesSeeTheWholeText) {
    const QString text = "mail bob@host and ann@site";
    const RegularExpression word = compile("(\\w+)@");
    EXPECT_EQ(FindMatcher::expandTemplate(word, text, {5, 4}, "$1 at"), "bob at");
    EXPECT_EQ(FindMatcher::expandTemplate(word, text, {18, 4}, "<$0>"), "<ann@>");
    EXPECT_EQ(FindMatcher::expandTemplate(word, text, {5, 4}, "\\$1"), "$1");

    // Look-behind needs the text before the match; the match alone would not match.
    const QString prices = "cost $5 and 7";
    const RegularExpression behind = compile("(?<=\\$)\\d");
    EXPECT_EQ(FindMatcher::expandTemplate(behind, prices, {6, 1}, "[$0]"), "[5]");
    // An anchor only matches at the real start.
    const RegularExpression anchored = compile("^x");
    EXPECT_EQ(FindMatcher::expandTemplate(anchored, "xax", {0, 1}, "y"), "y");
    EXPECT_FALSE(FindMatcher::expandTemplate(anchored, "xax", {2, 1}, "y").has_value());
}

TEST(FindMatcher, StaleOrMalformedRequestsExpandToNothing) {
    const RegularExpression word = compile("(\\w+)@");
    EXPECT_FALSE(FindMatcher::expandTemplate(word, "a@ b@", {1, 2}, "x").has_value());   // not a match there
    EXPECT_FALSE(FindMatcher::expandTemplate(word, "a@", {0, 9}, "x").has_value());      // past the end
    EXPECT_FALSE(FindMatcher::expandTemplate(word, "a@", {0, 2}, "$7").has_value());     // no group 7
}
