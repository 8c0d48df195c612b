// The find model: query compilation with its options and the signature, and the regular-expression
// wrapper it hands to the engine.
#include <gtest/gtest.h>

#include "Editor/FindState.h"

namespace {

QStringList matchedTexts(const RegularExpression& re, const QString& text) {
    QStringList out;
    for (const TextRange& r : re.matches(text)) out << text.mid(r.location, r.length);
    return out;
}

std::optional<RegularExpression> compileQuery(const QString& query, bool regex, bool wholeWord = false,
                                              bool caseSensitive = false) {
    FindState find;
    find.setQuery(query);
    find.setUseRegex(regex);
    find.setWholeWord(wholeWord);
    find.setCaseSensitive(caseSensitive);
    return find.makeRegex();
}

} // namespace

TEST(FindState, LiteralQueriesMatchOnlyTheirOwnText) {
    EXPECT_FALSE(compileQuery("", false).has_value());
    EXPECT_FALSE(compileQuery("", true).has_value());

    const auto dotted = compileQuery("a.b", false);
    ASSERT_TRUE(dotted);
    EXPECT_EQ(matchedTexts(*dotted, "axb a.b A.B"), (QStringList{"a.b", "A.B"}));

    const QString metas = R"(\^$.|?*+()[]{} $1 \d \E)";
    const auto literal = compileQuery(metas, false);
    ASSERT_TRUE(literal);
    EXPECT_EQ(matchedTexts(*literal, "x" + metas + "y"), QStringList{metas});
    EXPECT_TRUE(literal->matches("x").isEmpty());
}

TEST(FindState, CaseWholeWordAndRegexOptions) {
    const QString text = "Cat cat concatenate cat.";
    EXPECT_EQ(matchedTexts(*compileQuery("cat", false), text), (QStringList{"Cat", "cat", "cat", "cat"}));
    EXPECT_EQ(matchedTexts(*compileQuery("cat", false, true), text), (QStringList{"Cat", "cat", "cat"}));
    EXPECT_EQ(matchedTexts(*compileQuery("cat", false, true, true), text), (QStringList{"cat", "cat"}));
    EXPECT_TRUE(compileQuery("cat", false)->isCaseInsensitive());
    EXPECT_FALSE(compileQuery("cat", false, false, true)->isCaseInsensitive());

    // Whole word wraps the pattern without a group: the alternation is bounded only at its outer ends.
    const auto alternation = compileQuery("cat|dog", true, true);
    ASSERT_TRUE(alternation);
    EXPECT_EQ(alternation->pattern(), R"(\bcat|dog\b)");
    EXPECT_EQ(matchedTexts(*alternation, "cats hotdog xcat dogs"), (QStringList{"cat", "dog"}));

    // No dot-all and no multi-line anchors.
    const auto anchored = compileQuery("^b.c$", true);
    ASSERT_TRUE(anchored);
    EXPECT_TRUE(anchored->matches("a\nb\nc").isEmpty());
    EXPECT_TRUE(anchored->matches("a\nbxc").isEmpty());
    EXPECT_EQ(anchored->matches("bxc").size(), 1);
}

TEST(FindState, InvalidRegularExpressionsYieldNoPattern) {
    EXPECT_FALSE(compileQuery("(", true).has_value());
    EXPECT_FALSE(compileQuery("a{,3}", true).has_value());
    EXPECT_FALSE(compileQuery("[z-a]", true).has_value());
    EXPECT_TRUE(compileQuery("(", false).has_value());  // literal mode escapes it
}

// Only a regular expression's template can name a group it lacks; a literal one is inserted as it is,
// and a query that does not compile has no groups to judge by.
TEST(FindState, AReplacementNamingAMissingGroupIsInvalidOnlyForARegex) {
    FindState find;
    find.setQuery("(a)(?<second>b)");
    find.setReplacement("$3${second}");
    EXPECT_FALSE(find.invalidReplacement());
    find.setUseRegex(true);
    EXPECT_TRUE(find.invalidReplacement());
    find.setReplacement("$2${second}$0");
    EXPECT_FALSE(find.invalidReplacement());
    find.setReplacement("${third}");
    EXPECT_TRUE(find.invalidReplacement());
    find.setQuery("(");
    EXPECT_FALSE(find.invalidReplacement());
}

TEST(FindState, UserPatternsAreTimeLimited) {
    const auto slow = compileQuery("(a+)+b", true);
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->timeLimit(), FindState::kDefaultTimeLimit);
    const QString text = QString(40, u'a') + "c";
    EXPECT_EQ(slow->forEachMatch(text, 0, [](TextRange) {}), RegularExpression::Outcome::timedOut);
    EXPECT_TRUE(slow->matches(text).isEmpty());
    RegularExpression::Outcome outcome;
    EXPECT_FALSE(slow->replaceAll(text, "x", &outcome).has_value());
    EXPECT_EQ(outcome, RegularExpression::Outcome::timedOut) << "a stopped replace is not a bad template";
    EXPECT_FALSE(slow->replaceAll("ab", "$9", &outcome).has_value());
    EXPECT_EQ(outcome, RegularExpression::Outcome::failed);
}

TEST(FindState, SignatureCoversQueryAndSearchOptionsOnly) {
    FindState find;
    find.setQuery("foo");
    EXPECT_EQ(find.signature(), "foo|false|false|false");
    const QString before = find.signature();
    find.setReplacement("bar");
    find.setShowReplace(true);
    EXPECT_EQ(find.signature(), before);
    find.setCaseSensitive(true);
    EXPECT_EQ(find.signature(), "foo|true|false|false");
    find.setWholeWord(true);
    find.setUseRegex(true);
    EXPECT_EQ(find.signature(), "foo|true|true|true");
    find.setQuery("");
    EXPECT_EQ(find.signature(), "|true|true|true");
}

TEST(RegularExpression, ReplaceAllUsesTemplatesOrEscapedLiterals) {
    const auto word = RegularExpression::compile(R"((\w+)@)");
    ASSERT_TRUE(word);
    EXPECT_EQ(word->replaceAll("mail alice@ bob@", "$1 at"), "mail alice at bob at");
    EXPECT_EQ(word->replaceAll("alice@", RegularExpression::escapedTemplate(R"($1 \n)")), R"($1 \n)");
    EXPECT_EQ(word->replaceAll("nothing here", "$1"), "nothing here");
    EXPECT_FALSE(word->replaceAll("alice@", "$9").has_value());  // no such group

    // Empty matches are replaced too.
    const auto star = RegularExpression::compile("x*");
    ASSERT_TRUE(star);
    EXPECT_EQ(star->replaceAll("ab", "-"), "-a-b-");
    EXPECT_EQ(star->matches("axxb").size(), 4);  // empty matches are reported; the engine drops them
}

TEST(RegularExpression, GroupsThatDidNotTakePartAreSkipped) {
    const auto re = RegularExpression::compile("(a)|b");
    ASSERT_TRUE(re);
    QList<TextRange> groupOne;
    EXPECT_EQ(re->forEachMatch("bab", 1, [&](TextRange r) { groupOne << r; }),
              RegularExpression::Outcome::completed);
    EXPECT_EQ(groupOne, (QList<TextRange>{{1, 1}}));
    EXPECT_EQ(re->forEachMatch("bab", 2, [](TextRange) {}), RegularExpression::Outcome::failed);
}
