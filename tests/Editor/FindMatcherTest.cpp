// Matches for the find bar and one replacement expanded in the context of the whole text.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

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

// Each match with its expansion, as replaceAll() puts them; a dollar sign naming no group is itself.
TEST(FindMatcher, ReplacementsAreWhatReplaceAllPutsWhere) {
    const auto re = RegularExpression::compile("(\\d)(x?)");
    ASSERT_TRUE(re);
    const QString text = "a1 b2x c3";
    const auto found = re->replacements(text, "<$1$2|$|${x}|\\$1>");
    ASSERT_FALSE(found.has_value()) << "an unknown group name fails";
    const auto plain = re->replacements(text, "<$1$2|$ |\\$1>$");
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->size(), 3);
    EXPECT_EQ((*plain)[1].range, (TextRange{4, 2}));
    EXPECT_EQ((*plain)[1].text, "<2x|$ |$1>$");
    EXPECT_EQ(RegularExpression::spliced(text, *plain), *re->replaceAll(text, "<$1$2|$ |\\$1>$"));
    EXPECT_EQ(*re->replaceAll(text, "US$"), "aUS$ bUS$ cUS$");
}

// A template is refused up front exactly when the engine would refuse it: a group number or name the
// pattern does not have, or a name left open.
TEST(FindMatcher, TemplatesNamingMissingGroupsAreToldApart) {
    const auto re = RegularExpression::compile("(\\d)(?<tail>x)?");
    ASSERT_TRUE(re);
    const QString text = "a1 b2x";
    const QStringList good = {"", "$0$1$2", "${tail}!", "$12", "\\$9", "US$", "$ x", "$}"};
    const QStringList bad = {"$3", "$9", "<$1$9>", "${nope}", "${tail", "${}", "${1}"};
    for (const QString& t : good) {
        EXPECT_TRUE(re->isValidTemplate(t)) << t.toStdString();
        EXPECT_TRUE(re->replacements(text, t).has_value()) << t.toStdString();
    }
    for (const QString& t : bad) {
        EXPECT_FALSE(re->isValidTemplate(t)) << t.toStdString();
        EXPECT_FALSE(re->replacements(text, t).has_value()) << t.toStdString();
    }
    const auto none = RegularExpression::compile("a");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->isValidTemplate("$0"));
    EXPECT_FALSE(none->isValidTemplate("$1")) << "no groups at all";
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

namespace {
QString randomPieces(std::mt19937& random, const QStringList& pieces, int count) {
    QString out;
    for (int i = 0; i < count; ++i) out += pieces[random() % pieces.size()];
    return out;
}
} // namespace

// Searching only around edits, or in pieces, finds what a search of the whole text finds, for literal queries
// whose matches may be longer or shorter than the query, with and without case and word rules, and
// where an edit shifts which of overlapping candidates match.
TEST(FindMatcher, SearchingAroundEditsEqualsAWholeSearch) {
    std::mt19937 random(7);
    // Folds that change length (ß and ss, the ff ligature), surrogate pairs, words and line breaks.
    // The Kelvin sign and the long s fold to plain letters.
    const QStringList folds = {"a", "A", "s", "S", "ss", "\u00df", "\u1e9e", "\ufb00", "f", "F", " ", " ", " ", "\n", "\U0001F600", "x",
                               "k", "\u212a", "\u017f"};
    QStringList runs(12, QStringLiteral("a"));
    runs << "A" << "b" << " ";
    const QList<std::pair<QString, QStringList>> cases = {
        {"ss", folds}, {"\u00df", folds}, {"ff", folds}, {"\ufb00", folds}, {"\U0001F600a", folds}, {"s s", folds}, {"sk", folds}, {"K", folds},
        {"aa", runs}, {"aaa", runs}, {"a a", runs}, {"s", folds}, {"a", runs}};
    for (const auto& [text, pieces] : cases) {
        for (int flags = 0; flags < 4; ++flags) {
            FindState find;
            find.setQuery(text);
            find.setCaseSensitive(flags & 1);
            find.setWholeWord(flags & 2);
            const RegularExpression expression = *find.makeRegex();
            QString current = randomPieces(random, pieces, 800);
            QList<TextRange> matches = FindMatcher::matches(expression, current).matches;
            for (int round = 0; round < 150; ++round) {
                EditSpan span;
                for (int e = int(random() % 3); e >= 0; --e) {
                    // Often right at a match's edge, where its word boundaries and folds are decided.
                    qsizetype at = random() % (current.size() + 1);
                    if (!matches.isEmpty() && random() % 2) {
                        const TextRange near = matches[random() % matches.size()];
                        at = qBound<qsizetype>(0, (random() % 2 ? near.location : near.end()) + qsizetype(random() % 3) - 1,
                                               current.size());
                    }
                    const qsizetype length = qMin<qsizetype>(random() % 4, current.size() - at);
                    span.add({at, length}, current.size());
                    current.replace(at, length, randomPieces(random, pieces, int(random() % 3)));
                }
                const qsizetype reach = FindMatcher::literalReach(text.size());
                const FindMatcher::Result around = FindMatcher::matchesAfterEdit(expression, reach, matches, current, span);
                const QList<TextRange> whole = FindMatcher::matches(expression, current).matches;
                ASSERT_FALSE(around.stopped);
                ASSERT_EQ(around.matches, whole) << text.toStdString() << " flags " << flags << " round " << round;
                // Searched in pieces, cut anywhere, matches straddling the cuts included.
                const qsizetype piece = 8 + qsizetype(random() % 40);
                ASSERT_EQ(FindMatcher::literalMatches(expression, reach, current, piece).matches, whole)
                    << text.toStdString() << " flags " << flags << " round " << round << " piece " << piece;
                if (const auto counted = FindMatcher::literalCount(expression, current, piece))
                    ASSERT_EQ(counted->counted, whole.size()) << text.toStdString() << " flags " << flags << " round " << round;
                matches = around.matches;
            }
        }
    }
}

// A regular expression that cannot reach past a line end is searched again only in the lines around
// the edits, and finds what a whole search finds; one that can is never judged to stay in a line.
TEST(FindMatcher, LineBoundExpressionsSearchedAroundEditsEqualAWholeSearch) {
    for (const char* pattern : {"[0-9", "a\\sb", "[^a]", "a\\nb", "(?s)a.b", "(?x)a b", "\\x0a", "[\\n]", "\\p{Zl}",
                                "[\\x00-\\x7f]", "a[\\t-\\r]", "[ -\u0100]", "\\Qa\\E", "\\D", "\\Gx", "a[[:space:]]", "\\R"})
        EXPECT_FALSE(FindMatcher::staysWithinALine(QString::fromUtf8(pattern))) << pattern;
    std::mt19937 random(3);
    const QStringList pieces = {"a", "b", "c", "x", "y", "t", "l", "foo", " ", "1", "2", "\n", "\r\n", "\r", "\u2028", "ab"};
    for (const char* pattern : {"t[a-z]+l", "\\bfoo\\w*", "a.*b", "(?<=x)y+", "x$", "^a", "(a|bc)+?c", "\\d{2,}",
                                "(?i)AB", "b\\b", "[a-c]{2}"}) {
        ASSERT_TRUE(FindMatcher::staysWithinALine(QString::fromUtf8(pattern))) << pattern;
        const RegularExpression expression = *RegularExpression::compile(QString::fromUtf8(pattern), false);
        QString current = randomPieces(random, pieces, 600);
        QList<TextRange> matches = FindMatcher::matches(expression, current).matches;
        for (int round = 0; round < 120; ++round) {
            EditSpan span;
            for (int e = int(random() % 3); e >= 0; --e) {
                const qsizetype at = random() % (current.size() + 1);
                const qsizetype length = qMin<qsizetype>(random() % 4, current.size() - at);
                span.add({at, length}, current.size());
                current.replace(at, length, randomPieces(random, pieces, int(random() % 3)));
            }
            const FindMatcher::Result around = FindMatcher::matchesAfterLineEdit(expression, matches, current, span);
            ASSERT_EQ(around.matches, FindMatcher::matches(expression, current).matches) << pattern << " round " << round;
            matches = around.matches;
        }
    }
}

// Counting a plain query gives what the whole search finds, over text of every kind (surrogate pairs,
// CJK, combining marks, characters that fold to ASCII letters, every line ending), cut into pieces
// anywhere and long enough to hold several blocks; a query it cannot count exactly is left to the
// search.
TEST(FindMatcher, CountingAPlainQueryEqualsAWholeSearch) {
    std::mt19937 random(11);
    QStringList pieces = {"e", "E", "ee", "a", "ab", "aba", "s", "S", "k", "K", "st", "x", " ", "  ", ".", "\n",
                                "\r\n", "\r", "\u2028", "\u0085", "\t", "\U0001F600", "\u4e2d\u6587", "e\u0301", "\u00e9",
                                "\u212a", "\u017f", "\u00df", "\ufb06", "\u0130", "\ufb00", "f", "\u0301"};
    pieces << QString(QChar(0xd800)) << QString(QChar(0xdc00));  // halves of a pair, alone or joined by chance
    const QStringList queries = {"e", "E", "k", "s", "aa", "aba", "ss", "st", "ab", "Se", "ee e", "x.", ".", "ff", "abab"};
    for (int round = 0; round < 60; ++round) {
        // Mostly short texts with matches everywhere; now and then long ones, past a block.
        const int count = round % 10 == 9 ? 30'000 : 200 + int(random() % 600);
        const QString text = randomPieces(random, pieces, count);
        for (const QString& query : queries) {
            for (const bool caseSensitive : {false, true}) {
                FindState find;
                find.setQuery(query);
                find.setCaseSensitive(caseSensitive);
                const RegularExpression expression = *find.makeRegex();
                // Small pieces, or one piece of several blocks.
                const qsizetype piece = random() % 2 ? 1 + qsizetype(random() % 64) : qsizetype(1) << 22;
                const std::optional<FindMatcher::Result> counted = FindMatcher::literalCount(expression, text, piece);
                ASSERT_TRUE(counted);
                ASSERT_FALSE(counted->stopped);
                EXPECT_TRUE(counted->matches.isEmpty());
                ASSERT_EQ(counted->counted, FindMatcher::matches(expression, text).matches.size())
                    << query.toStdString() << " case " << caseSensitive << " round " << round << " piece " << piece;
            }
        }
    }
    // Whole words, expressions, characters past ASCII and line ends are searched, not counted.
    for (const auto& [query, wholeWord, regex] : {std::tuple{"e", true, false}, {"e.", false, true}, {"\u00e9", false, false},
                                                  {"a\nb", false, false}}) {
        FindState find;
        find.setQuery(QString::fromUtf8(query));
        find.setWholeWord(wholeWord);
        find.setUseRegex(regex);
        EXPECT_FALSE(FindMatcher::literalCount(*find.makeRegex(), QStringLiteral("e. \u00e9 a\nb"))) << query;
    }
}

// Counting a plain query reads each unit of an ASCII text once, whatever the case rule; a text of
// one piece is read on this thread.
TEST(FindMatcher, CountingAPlainQueryReadsEachUnitOnce) {
    const QString text = QStringLiteral("abc e AbC\n").repeated(20'000);
    for (const auto& [query, folded] : {std::pair{"e", 20'000}, {"abc", 40'000}}) {
        for (const bool caseSensitive : {false, true}) {
            FindState find;
            find.setQuery(QString::fromUtf8(query));
            find.setCaseSensitive(caseSensitive);
            const qsizetype before = FindMatcher::unitsSearchedHere();
            const std::optional<FindMatcher::Result> counted = FindMatcher::literalCount(*find.makeRegex(), text);
            ASSERT_TRUE(counted);
            EXPECT_EQ(counted->counted, caseSensitive ? 20'000 : folded) << query;
            EXPECT_EQ(FindMatcher::unitsSearchedHere() - before, text.size()) << query << " case " << caseSensitive;
        }
    }
}

// With case folded, a character past ASCII sends only its own block of lines back to the expression:
// the rest of a long text is not read again.
TEST(FindMatcher, ACharacterPastAsciiCostsItsBlockNotTheText) {
    for (const int lines : {20'000, 80'000}) {
        const QString text = QStringLiteral("\u00e9 abc\n") + QStringLiteral("abc e AbC\n").repeated(lines);
        for (const auto& [query, expected] : {std::pair{"e", lines}, {"abc", 2 * lines + 1}}) {
            FindState find;
            find.setQuery(QString::fromUtf8(query));
            const qsizetype before = FindMatcher::unitsSearchedHere();
            const std::optional<FindMatcher::Result> counted = FindMatcher::literalCount(*find.makeRegex(), text);
            ASSERT_TRUE(counted);
            EXPECT_EQ(counted->counted, expected) << query;
            EXPECT_LT(FindMatcher::unitsSearchedHere() - before - text.size(), 4 * 4096) << query << " lines " << lines;
        }
    }
}
