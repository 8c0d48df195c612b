// Predicates tested on the runtime's raw matches must decide exactly as QueryMatch::allowed does
// with the same text and no group membership, whatever the predicate and however often a regex
// matcher is reused.
#include <gtest/gtest.h>

#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/MatchPredicates.h"
#include "SyntaxTree/SyntaxTree.h"
#include "SyntaxTreeTestSupport.h"

using namespace SyntaxTree;
using namespace syntaxtree_test;

TEST(MatchPredicates, DecideEveryMatchAsTheFullMatchObjectsDo) {
    const std::string source =
        "((number) @n (#any-of? @n \"1\" \"7\"))\n"
        "((number) @m (#not-match? @m \"^2\"))\n"
        "((number) @m2 (#match? @m2 \"2$\") (#not-any-of? @m2 \"22\"))\n"
        "((string (string_content) @s) (#not-eq? @s \"bar\" \"baz\"))\n"
        "((string (string_content) @e) (#eq? @e \"caf\u00e9\"))\n"
        "(pair key: (string) @k value: (_) @v (#match? @v \"^[0-9t]\"))\n"
        "((number) @x (#is-not? local) (#set! a \"b\") (#whatever? @x))\n"
        "((array) @a (#match? @a \"^\\\\[\\\"f\"))\n";
    const auto query = Query::create(tree_sitter_json(), std::string_view(source));
    const std::u16string text =
        u16("[\"foo\", \"bar\", 1, 22, 7, 12, \"cafe\u0301\", {\"k\": \"v\", \"t\": true, \"n\": 3}, [\"f\"]]");
    Parser parser;
    parser.setLanguage(tree_sitter_json());
    const auto tree = parser.parse(text);

    // The whole text, and one cut short so that later captures reach past it.
    for (const std::u16string_view seen : {std::u16string_view(text), std::u16string_view(text).substr(0, 40)}) {
        const auto full = query->execute(*tree->rootNode(), *tree);
        const auto raw = query->execute(*tree->rootNode(), *tree);
        MatchPredicates predicates(query);
        const PredicateContext context(borrowedTextProvider(seen));
        int allowed = 0, held = 0;
        TSQueryMatch match;
        while (raw->nextRawMatch(match)) {
            const std::optional<QueryMatch> expected = full->next();
            ASSERT_TRUE(expected);
            ASSERT_EQ(expected->patternIndex, match.pattern_index);
            const bool decided = predicates.allowed(match, seen);
            EXPECT_EQ(decided, expected->allowed(context)) << "pattern " << match.pattern_index << " at "
                                                           << expected->range()->location;
            ++(decided ? allowed : held);
        }
        EXPECT_FALSE(full->next());
        EXPECT_GT(allowed, 5);
        EXPECT_GT(held, 5);
    }
}
