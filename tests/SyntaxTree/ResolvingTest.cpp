// Resolving matches against texts, predicate contexts and their caches, and named ranges.
#include <gtest/gtest.h>

#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/SyntaxTree.h"
#include "SyntaxTreeTestSupport.h"

using namespace SyntaxTree;
using namespace syntaxtree_test;

namespace {

using SyntaxTree::TSRange;

class ResolvingTest : public ::testing::Test {
protected:
    void SetUp() override {
        parser.setLanguage(tree_sitter_json());
        text = u"[\"aa\", \"bb\", \"aa\"]";
        tree = parser.parse(text);
        query = Query::create(tree_sitter_json(), std::string_view("((string_content) @s (#eq? @s \"aa\"))"));
    }
    static std::vector<int64_t> starts(auto& source) {
        std::vector<int64_t> result;
        while (auto match = source.next()) result.push_back(match->range()->location);
        return result;
    }
    Parser parser;
    std::u16string text;
    std::shared_ptr<MutableTree> tree;
    std::shared_ptr<Query> query;
};

TEST_F(ResolvingTest, CursorWithoutTextPassesOnlyMatchesWithoutApplicableTextPredicates) {
    ResolvingQueryCursor plain(query->execute(*tree));
    EXPECT_TRUE(starts(plain).empty());
    const auto free = Query::create(tree_sitter_json(), std::string_view("((string_content) @s (#set! k \"v\") (#is-not? local))"));
    ResolvingQueryCursor passing(free->execute(*tree));
    EXPECT_EQ(starts(passing).size(), 3u);
}

TEST_F(ResolvingTest, PrefetchedMatchesAreFilteredAgainUnderANewText) {
    ResolvingQueryCursor cursor(query->execute(*tree), PredicateContext(text));
    cursor.prefetchMatches();
    EXPECT_EQ(cursor.matches().size(), 3u);
    EXPECT_EQ(starts(cursor), (std::vector<int64_t>{2, 14}));

    // The same tree against an edited text where only the middle string reads "aa".
    cursor.prepare(predicateTextProvider(u"[\"bb\", \"aa\", \"bb\"]"));
    EXPECT_EQ(cursor.index(), 0u);
    EXPECT_EQ(starts(cursor), (std::vector<int64_t>{8}));

    // A second prefetch neither reads the exhausted cursor nor rewinds.
    cursor.prefetchMatches();
    EXPECT_EQ(cursor.index(), 3u);
    EXPECT_FALSE(cursor.next());
}

TEST_F(ResolvingTest, PrefetchOfNothingLeavesTheCursorDriven) {
    const auto none = Query::create(tree_sitter_json(), std::string_view("(null) @n"));
    ResolvingQueryCursor cursor(none->execute(*tree), PredicateContext(text));
    cursor.prefetchMatches();
    EXPECT_TRUE(cursor.matches().empty());
    EXPECT_FALSE(cursor.next());
}

TEST_F(ResolvingTest, SequencesOverListsIterateIndependentlyAndOverCursorsShareIt) {
    std::vector<QueryMatch> matches;
    const auto cursor = query->execute(*tree);
    while (auto match = cursor->next()) matches.push_back(*match);
    auto sequence = resolve(matches, PredicateContext(text));
    auto copy = sequence;
    EXPECT_EQ(starts(sequence), (std::vector<int64_t>{2, 14}));
    EXPECT_EQ(starts(copy), (std::vector<int64_t>{2, 14}));

    auto shared = resolve(query->execute(*tree), PredicateContext(text));
    auto sharedCopy = shared;
    EXPECT_EQ(shared.next()->range()->location, 2);
    EXPECT_EQ(sharedCopy.next()->range()->location, 14);
    EXPECT_FALSE(shared.next());

    auto nested = resolve(resolve(matches, PredicateContext::none()), PredicateContext(text));
    EXPECT_TRUE(starts(nested).empty());
}

TEST(PredicateContexts, CachingAsksEachRangeOnceAndRetriesAbsentTexts) {
    int calls = 0;
    bool give = false;
    const PredicateContext base([&](Utf16Range, PointRange) -> std::optional<std::u16string> {
        ++calls;
        if (!give) return std::nullopt;
        return u"t";
    });
    const PredicateContext cached = base.cachingContext();
    EXPECT_FALSE(cached.text({1, 2}, {}));
    EXPECT_FALSE(cached.text({1, 2}, {}));
    EXPECT_EQ(calls, 2);
    give = true;
    EXPECT_EQ(cached.text({1, 2}, {Point(0, 2), Point(0, 6)}), u"t");
    const PredicateContext copy = cached;
    EXPECT_EQ(copy.text({1, 2}, {Point(5, 5), Point(5, 9)}), u"t");
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(base.cachingContext().text({1, 2}, {}), u"t");  // a fresh cache
    EXPECT_EQ(calls, 4);
    EXPECT_FALSE(cached.isMember("g", {}, {}));
}

TEST(PredicateContexts, StringProvidersSliceTheirOwnCopy) {
    std::u16string source = u"hello";
    const TextProvider provider = predicateTextProvider(source);
    source[0] = u'j';
    EXPECT_EQ(provider({1, 3}, {}), u"ell");
    EXPECT_EQ(provider({0, 1}, {}), u"h");
    EXPECT_EQ(provider({5, 0}, {}), u"");
    EXPECT_FALSE(provider({4, 3}, {}));
    EXPECT_FALSE(provider({-1, 2}, {}));
    EXPECT_FALSE(provider({INT64_MAX, 1}, {}));
    EXPECT_EQ(borrowedTextProvider(source)({0, 2}, {}), u"je");
    EXPECT_FALSE(PredicateContext::none().text({0, 0}, {}));
}

TEST(NamedRanges, NamesSplitAndOrder) {
    const TSRange range({Point(0, 0), Point(0, 14)}, {0, 14});
    const NamedRange keyword("keyword", range);
    EXPECT_EQ(NamedRange("a..b.", range).nameComponents, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(NamedRange("", range).nameComponents.empty());
    const NamedRange method("function.method", range);
    EXPECT_EQ(method.name(), "function.method");
    EXPECT_LT(keyword, method);
    EXPECT_FALSE(method < keyword);
    const NamedRange fromUnits("x", Utf16Range{3, 4}, {Point(0, 6), Point(0, 14)});
    EXPECT_EQ(fromUnits.tsRange.bytes, (ByteRange{6, 14}));
    EXPECT_EQ(fromUnits.range(), (Utf16Range{3, 4}));
}

TEST_F(ResolvingTest, HighlightsSortByDepthThenStartAndLocalsKeepMatchOrder) {
    const auto highlightQuery = Query::create(tree_sitter_json(), std::string_view("(string_content) @late (array) @outer.x"));
    std::vector<QueryMatch> matches;
    const auto cursor = highlightQuery->execute(*tree);
    while (auto match = cursor->next()) matches.push_back(*match);
    // The depth decides first: push the array's capture below the others.
    for (QueryMatch& match : matches)
        for (QueryCapture& capture : match.captures) capture.depth = capture.name() == "outer.x" ? 1 : 0;
    std::vector<std::string> names;
    for (const NamedRange& range : highlights(matches)) names.push_back(range.name() + "@" + std::to_string(range.range().location));
    EXPECT_EQ(names, (std::vector<std::string>{"late@2", "late@8", "late@14", "outer.x@0"}));
    EXPECT_EQ(locals(matches).front().name(), "outer.x");

    MatchList list(matches);
    EXPECT_EQ(highlights(list).size(), 4u);
}

TEST(Injections, LanguageComesFromTheCapturedTextThenTheMetadata) {
    Parser parser;
    parser.setLanguage(tree_sitter_json());
    const std::u16string text = u"{\"javascript\": \"x = 1\"}";
    const auto tree = parser.parse(text);
    const auto query = Query::create(
        tree_sitter_json(),
        std::string_view("(pair key: (string (string_content) @injection.language) value: (string (string_content) @injection.content)"
                         " (#set! injection.language \"css\"))\n"
                         "(pair key: (string) @injection.language (#set! injection.language \"css\"))"));
    std::vector<QueryMatch> matches;
    const auto cursor = query->execute(*tree);
    while (auto match = cursor->next()) matches.push_back(*match);
    ASSERT_EQ(matches.size(), 2u);
    std::sort(matches.begin(), matches.end(), [](const QueryMatch& a, const QueryMatch& b) { return a.patternIndex < b.patternIndex; });

    const auto fromText = matches[0].injection(predicateTextProvider(text));
    ASSERT_TRUE(fromText);
    EXPECT_EQ(fromText->nameComponents, (std::vector<std::string>{"javascript"}));
    EXPECT_EQ(fromText->range(), (Utf16Range{16, 5}));
    EXPECT_EQ(matches[0].injection(PredicateContext::none().textProvider())->name(), "css");
    EXPECT_FALSE(matches[1].injection(predicateTextProvider(text)));  // no content capture

    EXPECT_EQ(injections(matches, predicateTextProvider(text)).size(), 1u);
    ResolvingQueryCursor resolving(query->execute(*tree), PredicateContext(text));
    const std::vector<NamedRange> found = resolving.injections();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name(), "javascript");
    // Under another text of the same shape, a dotted language name stays one component.
    const std::vector<NamedRange> dotted = resolve(matches, PredicateContext(u"{\"ab.cdefghi\": \"x = 1\"}")).injections();
    ASSERT_EQ(dotted.size(), 1u);
    EXPECT_EQ(dotted[0].nameComponents, (std::vector<std::string>{"ab.cdefghi"}));
}

} // namespace
