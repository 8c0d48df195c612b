// Matches for the find bar and one replacement expanded in the context of the whole text.
#include <gtest/gtest.h>

#include "Editor/FindMatcher.h"
#include "Editor/FindState.h"

namespace {
RegularExpression compile(const QString& pattern, bool caseInsensitive = false) {
    auto re = RegularExpression::compile(pattern, caseInsensitive);
    if (!re) ADD_FAILURE() << "pattern did not compile";
    re->setTimeLimit(250);
    return *re;
}
} // namespace

TEST(FindMatcher, EmptyMatchesAreNotMatches) {
    const FindMatcher::Result runs = FindMatcher::matches(compile("a*"), "baab a");
    EXPECT_FALSE(runs.stopped);
    EXPECT_EQ(runs.matches, (QList<TextRange>{{1, 2}, {5, 1}}));
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

namespace {
QString numberedLines(int count) {
    QString text;
    text.reserve(qsizetype(count) * 24);
    for (int i = 0; i < count; ++i) text += QStringLiteral("line %1 foo bar baz\n").arg(i);
    return text;
}
std::optional<RegularExpression> query(const QString& text, bool regex) {
    FindState find;
    find.setUseRegex(regex);
    find.setQuery(text);
    return find.makeRegex();
}
} // namespace

TEST(FindMatcher, PlainSearchesFindEveryMatchHoweverLargeTheText) {
    const QString large = numberedLines(2'000'000);  // about 46 MB of text
    const FindMatcher::Result literal = FindMatcher::matches(*query("foo", false), large);
    EXPECT_FALSE(literal.stopped);
    ASSERT_EQ(literal.matches.size(), 2'000'000);
    EXPECT_EQ(literal.matches.back(), (TextRange{large.lastIndexOf("foo"), 3}));

    const QString medium = numberedLines(200'000);
    const FindMatcher::Result pattern = FindMatcher::matches(*query("[a-z]+ \\d+ foo", true), medium);
    EXPECT_FALSE(pattern.stopped);
    EXPECT_EQ(pattern.matches.size(), 200'000);
}

TEST(FindMatcher, RunawayPatternsStopAndSaySo) {
    // Exponential backtracking at one start position.
    const FindMatcher::Result one = FindMatcher::matches(*query("(a+)+$", true), QString(40, u'a') + "b");
    EXPECT_TRUE(one.stopped);
    EXPECT_TRUE(one.matches.isEmpty());
    // Many attempts that are each affordable but together are not: the whole search has a budget too.
    QString lines;
    for (int i = 0; i < 4000; ++i) lines += QString(18, u'a') + "b\n";
    EXPECT_TRUE(FindMatcher::matches(*query("(a+)+$", true), lines).stopped);
}
