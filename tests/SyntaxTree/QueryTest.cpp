// Queries, cursors, matches and captures, and how predicates and directives are parsed.
#include <gtest/gtest.h>

#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/PredicateParser.h"
#include "SyntaxTree/SyntaxTree.h"
#include "SyntaxTreeTestSupport.h"

using namespace SyntaxTree;
using namespace syntaxtree_test;

namespace {

using SyntaxTree::TSRange;
using Step = QueryPredicateStep;

std::shared_ptr<Query> jsonQuery(const std::string& source) {
    return Query::create(tree_sitter_json(), std::string_view(source));
}

class JsonQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        parser.setLanguage(tree_sitter_json());
        text = u16("[\"foo\", \"bar\", 1, 22]");
        tree = parser.parse(text);
    }
    std::vector<QueryMatch> all(const std::shared_ptr<Query>& query) {
        std::vector<QueryMatch> matches;
        const auto cursor = query->execute(*tree->rootNode(), *tree);
        while (auto match = cursor->next()) matches.push_back(*match);
        return matches;
    }
    Parser parser;
    std::u16string text;
    std::shared_ptr<MutableTree> tree;
};

TEST_F(JsonQueryTest, MatchesCarryCapturesWithNameComponentsInRuntimeOrder) {
    const auto query = jsonQuery("(array (string) @keyword.control (string) @keyword)");
    EXPECT_EQ(query->patternCount(), 1u);
    EXPECT_EQ(query->captureCount(), 2u);
    EXPECT_EQ(query->captureName(0), "keyword.control");
    EXPECT_FALSE(query->captureName(9));
    EXPECT_FALSE(query->stringName(query->stringCount()));
    const std::vector<QueryMatch> matches = all(query);
    ASSERT_EQ(matches.size(), 1u);
    const QueryMatch& match = matches[0];
    ASSERT_EQ(match.captures.size(), 2u);
    EXPECT_EQ(match.captures[0].nameComponents, (std::vector<std::string>{"keyword", "control"}));
    EXPECT_EQ(match.captures[0].name(), "keyword.control");
    EXPECT_EQ(match.capturesNamed("keyword").size(), 1u);
    EXPECT_EQ(match.capturesNamed("keyword")[0].node.range(), (Utf16Range{8, 5}));
    EXPECT_EQ(match.range(), (Utf16Range{1, 12}));
    EXPECT_EQ(match.nodes().size(), 2u);
}

TEST_F(JsonQueryTest, MatchWithoutCapturesHasNoRange) {
    const std::vector<QueryMatch> matches = all(jsonQuery("(number)"));
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_TRUE(matches[0].captures.empty());
    EXPECT_FALSE(matches[0].range());
    EXPECT_TRUE(matches[0].nodes().empty());
}

TEST_F(JsonQueryTest, SetDirectivesGiveMetadataLaterKeysWin) {
    const auto query = jsonQuery(
        "((string) @type (#set! priority \"90\") (#set! @type kind \"x\") (#set! priority \"100\"))\n"
        "((array (number) @function.builtin (number) @function) (#set! @function.builtin a \"1\") (#set! @function b \"2\"))");
    const std::vector<QueryMatch> matches = all(query);
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_EQ(matches[0].metadata(), (Metadata{{"priority", "100"}}));
    EXPECT_EQ(matches[0].captures[0].metadata, (Metadata{{"kind", "x"}}));
    const QueryMatch& numbers = matches[2];
    EXPECT_TRUE(numbers.metadata().empty());
    // Each capture takes only the directives naming its whole dotted name.
    EXPECT_EQ(numbers.capturesNamed("function.builtin").at(0).metadata, (Metadata{{"a", "1"}}));
    EXPECT_EQ(numbers.capturesNamed("function").at(0).metadata, (Metadata{{"b", "2"}}));
}

TEST_F(JsonQueryTest, EqPredicateIsAttachedButFiltersOnlyWhenTested) {
    const auto query = jsonQuery("((string (string_content) @s) (#eq? @s \"foo\"))");
    const std::vector<QueryMatch> matches = all(query);
    ASSERT_EQ(matches.size(), 2u);  // "foo" and "bar"
    ASSERT_EQ(matches[1].predicates().size(), 1u);
    ASSERT_TRUE(matches[1].predicates()[0].as<Predicate::Eq>());
    const PredicateContext context(text);
    EXPECT_TRUE(matches[0].allowed(context));
    EXPECT_FALSE(matches[1].allowed(context));
    EXPECT_FALSE(matches[0].allowed(PredicateContext::none()));  // no text fails the predicate
}

TEST_F(JsonQueryTest, TextPredicatesHoldPerCapture) {
    const auto query = jsonQuery(
        "((number) @n (#any-of? @n \"1\" \"7\"))\n"
        "((number) @m (#not-match? @m \"^2\"))\n"
        "((string (string_content) @s) (#not-eq? @s \"bar\" \"baz\") (#not-any-of? @s \"qux\"))");
    std::vector<std::string> allowed;
    for (const QueryMatch& match : all(query))
        if (match.allowed(PredicateContext(text))) allowed.push_back(std::to_string(match.patternIndex) + ":" +
                                                                     u8(text.substr(size_t(match.range()->location),
                                                                                    size_t(match.range()->length))));
    EXPECT_EQ(allowed, (std::vector<std::string>{"2:foo", "0:1", "1:1"}));
}

TEST_F(JsonQueryTest, CanonicallyEquivalentTextsAreEqual) {
    Parser p;
    p.setLanguage(tree_sitter_json());
    const std::u16string composed = u"[\"caf\u00e9\"]";
    const std::u16string decomposed = u"[\"cafe\u0301\"]";
    const auto query = jsonQuery("((string_content) @s (#eq? @s \"caf\u00e9\"))");
    for (const std::u16string& source : {composed, decomposed}) {
        const auto tree = p.parse(source);
        const auto match = query->execute(*tree)->next();
        ASSERT_TRUE(match);
        EXPECT_TRUE(match->allowed(PredicateContext(source)));
    }
}

TEST_F(JsonQueryTest, IsNotAsksGroupMembershipAndSetAndGenericAlwaysHold) {
    const auto query = jsonQuery("((number) @n (#is-not? local) (#set! a \"b\") (#whatever? @n))");
    const std::vector<QueryMatch> matches = all(query);
    ASSERT_EQ(matches.size(), 2u);
    std::vector<std::string> asked;
    const PredicateContext member([](Utf16Range, PointRange) { return std::optional<std::u16string>(); },
                                  [&](const std::string& group, Utf16Range range, PointRange) {
                                      asked.push_back(group + "@" + std::to_string(range.location));
                                      return range.location == 15;
                                  });
    EXPECT_FALSE(matches[0].allowed(member));
    EXPECT_TRUE(matches[1].allowed(member));
    EXPECT_EQ(asked, (std::vector<std::string>{"local@15", "local@18"}));
    EXPECT_TRUE(matches[0].allowed(PredicateContext::none()));
}

TEST_F(JsonQueryTest, RangesRestrictTheCursor) {
    const auto query = jsonQuery("(number) @n (string) @s");
    const auto cursor = query->execute(*tree->rootNode(), *tree);
    cursor->setRange(Utf16Range{15, 3});  // "1, "
    std::vector<int64_t> starts;
    while (auto match = cursor->next()) starts.push_back(match->range()->location);
    EXPECT_EQ(starts, (std::vector<int64_t>{15}));

    const auto byPoints = query->execute(*tree->rootNode(), tree->tree(), 0);
    byPoints->setPointRange({Point(0, 0), Point(0, 10)});
    size_t count = 0;
    while (byPoints->next()) ++count;
    EXPECT_EQ(count, 1u);  // byte column 10 is unit 5: only "foo" reaches into it
}

TEST_F(JsonQueryTest, NextCaptureFollowsTheTextAndNeverExecutedCursorsAreEmpty) {
    const auto query = jsonQuery("(array (number) @a (number) @b)");
    const auto cursor = query->execute(*tree);
    std::vector<std::string> names;
    while (auto capture = cursor->nextCapture()) names.push_back(capture->name());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));

    const auto idle = QueryCursor::create(tree->tree(), 0);
    EXPECT_FALSE(idle->activeQuery());
    EXPECT_FALSE(idle->next());
    EXPECT_FALSE(idle->nextCapture());
}

TEST_F(JsonQueryTest, CapturesOrderByDepthStartComponentsAndPattern) {
    const Node a = *tree->rootNode()->descendant(ByteRange{2, 4});
    const Node b = *tree->rootNode()->descendant(ByteRange{30, 32});
    const QueryCapture shallowLate{b, 0, {"x"}, 0, {}, 0};
    const QueryCapture deepEarly{a, 0, {"x"}, 0, {}, 1};
    const QueryCapture plain{a, 0, {"a"}, 5, {}, 0};
    const QueryCapture dotted{a, 0, {"a", "b"}, 0, {}, 0};
    const QueryCapture laterPattern{a, 0, {"a"}, 6, {}, 0};
    EXPECT_LT(shallowLate, deepEarly);
    EXPECT_LT(plain, shallowLate);
    EXPECT_LT(plain, dotted);
    EXPECT_LT(plain, laterPattern);
    EXPECT_FALSE(plain < plain);
}

TEST(QueryBuilding, HasPredicatesCountsDirectivesToo) {
    EXPECT_FALSE(jsonQuery("(number) @n (string) @s")->hasPredicates());
    EXPECT_TRUE(jsonQuery("(number) @n ((string) @s (#set! a \"b\"))")->hasPredicates());
    const auto query = jsonQuery("(number) @n ((string) @s (#set! a \"b\"))");
    EXPECT_TRUE(query->predicates(0).empty());
    EXPECT_EQ(query->predicates(1).size(), 1u);
}

TEST(QueryBuilding, BadRegularExpressionsAndSourcesWithoutStorageFail) {
    EXPECT_THROW(jsonQuery("((string) @s (#match? @s \"[a-\"))"), RegularExpressionError);
    try {
        Query::create(tree_sitter_json(), std::string_view());
        FAIL();
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind, QueryError::none);
        EXPECT_EQ(error.offset, 0u);
    }
    EXPECT_EQ(Query::create(tree_sitter_json(), std::string_view("", 0))->patternCount(), 0u);
}

TEST(PredicateParsing, FormsThatDoNotFitBecomeGeneric) {
    const PredicateParser parser;
    auto build = [&](const std::string& name, std::vector<Step> args) { return parser.buildPredicate(name, args); };
    const Step cap = Step::makeCapture("c"), cap2 = Step::makeCapture("d");
    const Step one = Step::makeString("x"), two = Step::makeString("y");

    const Predicate eq = build("eq?", {cap, cap2});
    ASSERT_TRUE(eq.as<Predicate::Eq>());
    EXPECT_EQ(eq.captureNames(), (std::vector<std::string>{"c", "d"}));
    EXPECT_TRUE(eq.evalulate(u"anything"));

    for (const auto& [name, args] : std::vector<std::pair<std::string, std::vector<Step>>>{
             {"is-not?", {one, two}}, {"is-not?", {}}, {"any-of?", {one, two}}, {"match?", {cap}},
             {"set!", {one}}, {"set!", {cap, cap2, one, two}}, {"frobnicate?", {cap, one}}}) {
        const Predicate predicate = build(name, args);
        ASSERT_TRUE(predicate.as<Predicate::Generic>()) << name;
        EXPECT_EQ(predicate.as<Predicate::Generic>()->name, name);
        EXPECT_FALSE(predicate.evalulate(u"x"));
    }
    const Predicate set = build("set!", {cap, one, two});
    EXPECT_EQ(*set.as<Predicate::Set>(), (Predicate::Set{"c", "x", "y"}));
    const Predicate anyOf = build("any-of?", {cap, one, cap2, two});
    EXPECT_EQ(anyOf.as<Predicate::AnyOf>()->captureName, "c");
    EXPECT_TRUE(anyOf.evalulate(u"y"));
    EXPECT_FALSE(anyOf.evalulate(u"c"));
    EXPECT_TRUE(build("is-not?", {cap, one}).as<Predicate::IsNot>());
    EXPECT_FALSE(build("is-not?", {cap, one}).evalulate(u"x"));
    EXPECT_THROW(build("match?", {cap, Step::makeString("(")}), RegularExpressionError);
}

TEST(PredicateParsing, MalformedStepListsRaiseTheirErrors) {
    const PredicateParser parser;
    auto error = [&](std::vector<Step> steps) -> int {
        try {
            parser.parse(steps);
        } catch (const PredicateParserError& e) {
            return e.kind;
        }
        return -1;
    };
    const Step name = Step::makeString("eq?");
    EXPECT_EQ(error({Step::makeCapture("c"), Step::makeDone()}), PredicateParserError::stepNameExpected);
    EXPECT_EQ(error({name, Step::makeCapture("c")}), PredicateParserError::doneExpected);
    EXPECT_EQ(error({}), -1);
    EXPECT_THROW(parser.buildPredicate("eq?", std::vector<Step>{Step::makeDone()}), PredicateParserError);

    const auto [first, used] = parser.parseNextPredicate(std::vector<Step>{name, Step::makeCapture("c"), Step::makeDone(),
                                                                            Step::makeString("x"), Step::makeDone()});
    EXPECT_EQ(used, 3u);
    EXPECT_TRUE(first.as<Predicate::Eq>());
    EXPECT_EQ(parser.parse(std::vector<Step>{name, Step::makeDone(), Step::makeString("set!"), Step::makeString("k"),
                                             Step::makeString("v"), Step::makeDone()})
                  .size(),
              2u);
}

TEST(PredicateParsing, StepsComeFromTheRuntimeQuery) {
    const auto query = jsonQuery("((string) @type (#match? @type \"^[A-Z]\"))");
    const std::vector<Step> steps = PredicateParser().predicateSteps(0, query->tsQuery());
    EXPECT_EQ(steps, (std::vector<Step>{Step::makeString("match?"), Step::makeCapture("type"),
                                        Step::makeString("^[A-Z]"), Step::makeDone()}));
    const Predicate& match = query->predicates(0).at(0);
    ASSERT_TRUE(match.as<Predicate::Match>());
    EXPECT_EQ(match.as<Predicate::Match>()->regex.pattern(), "^[A-Z]");
    EXPECT_TRUE(match.evalulate(u"Type"));
    EXPECT_FALSE(match.evalulate(u"type"));
}

} // namespace
