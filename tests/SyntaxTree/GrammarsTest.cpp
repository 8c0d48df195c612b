// Every grammar the program links, through the whole layer: UTF-16 texts with non-ASCII and astral
// characters, incremental reparses, chunked reads, query errors, predicates and directives.
#include <gtest/gtest.h>

#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/SyntaxTree.h"
#include "SyntaxTreeTestSupport.h"

using namespace SyntaxTree;
using namespace syntaxtree_test;

namespace {

// The layer's range, not the runtime's structure of the same name.
using SyntaxTree::TSRange;

struct GrammarCase {
    const char* name;
    const TSLanguage* (*entry)();
    std::string source;      // UTF-8; holds "naïve 𝒳" inside a string node
    std::string stringNode;  // the node type of that string
};

std::ostream& operator<<(std::ostream& out, const GrammarCase& c) { return out << c.name; }

const std::vector<GrammarCase>& grammarCases() {
    static const std::vector<GrammarCase> cases = {
        {"javascript", tree_sitter_javascript, "// café 😀\nconst s = \"naïve 𝒳 value\";\nfunction f(a) { return a + 1; }\n", "string"},
        {"typescript", tree_sitter_typescript, "// 中文 😀\nlet s: string = \"naïve 𝒳\";\ninterface P { x: number }\n", "string"},
        {"python", tree_sitter_python, "# café 😀\ns = \"naïve 𝒳\"\ndef f(a):\n    return a + 1\n", "string"},
        {"json", tree_sitter_json, "{\"k😀\": \"naïve 𝒳\", \"n\": [1, 2, 3]}\n", "string"},
        {"html", tree_sitter_html, "<!-- café 😀 -->\n<p class=\"naïve 𝒳\">text 中</p>\n", "quoted_attribute_value"},
        {"css", tree_sitter_css, "/* café 😀 */\n.a::after { content: \"naïve 𝒳\"; color: red; }\n", "string_value"},
        {"rust", tree_sitter_rust, "// café 😀\nfn main() { let s = \"naïve 𝒳\"; }\n", "string_literal"},
        {"go", tree_sitter_go, "// café 😀\npackage main\n\nvar s = \"naïve 𝒳\"\n", "interpreted_string_literal"},
        {"swift", tree_sitter_swift, "// café 😀\nlet s = \"naïve 𝒳\"\nfunc f(a: Int) -> Int { return a + 1 }\n", "line_string_literal"},
    };
    return cases;
}

class GrammarTest : public ::testing::TestWithParam<GrammarCase> {
protected:
    void SetUp() override {
        text = u16(GetParam().source);
        parser.setLanguage(GetParam().entry());
    }
    std::shared_ptr<Query> stringQuery(const std::string& extra = {}) {
        const std::string source = "((" + GetParam().stringNode + ") @s" + extra + ")";
        return Query::create(GetParam().entry(), std::string_view(source));
    }
    std::u16string text;
    Parser parser;
};

TEST_P(GrammarTest, UnicodeTextParsesWithRootCoveringItAndNodesAtTheirUtf16Places) {
    const auto tree = parser.parse(text);
    ASSERT_TRUE(tree);
    const auto root = tree->rootNode();
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->hasError()) << *root->sExpressionString();
    EXPECT_EQ(root->range().location, 0);
    EXPECT_EQ(root->range().end(), int64_t(text.size()));
    EXPECT_EQ(root->byteRange().upper, text.size() * 2);

    // The string after the astral characters comes back at its UTF-16 place.
    const auto cursor = stringQuery()->execute(*tree);
    bool found = false;
    while (std::optional<QueryMatch> match = cursor->next()) {
        const Utf16Range range = match->captures.at(0).node.range();
        found |= u8(text.substr(size_t(range.location), size_t(range.length))).find("naïve 𝒳") != std::string::npos;
    }
    EXPECT_TRUE(found);
}

TEST_P(GrammarTest, IncrementalReparseAfterOneCharacterEditsEqualsFullParse) {
    auto tree = parser.parse(text);
    ASSERT_TRUE(tree);
    const size_t at = text.find(u"naïve") + 5;  // after astral characters earlier in the text
    for (const auto& [removed, inserted] : std::vector<std::pair<size_t, std::u16string>>{{0, u"x"}, {1, u""}, {1, u"é"}}) {
        std::u16string newText;
        const InputEdit edit = editFor(text, at, removed, inserted, &newText);
        tree->edit(edit);
        EXPECT_TRUE(tree->rootNode()->hasChanges());
        const auto incremental = parser.parse(*tree, newText);
        Parser fresh;
        fresh.setLanguage(GetParam().entry());
        const auto reference = fresh.parse(newText);
        ASSERT_TRUE(incremental);
        ASSERT_TRUE(reference);
        EXPECT_EQ(*incremental->rootNode()->sExpressionString(), *reference->rootNode()->sExpressionString());
        EXPECT_EQ(dump(*incremental), dump(*reference));
        tree = incremental;
        text = newText;
    }
}

TEST_P(GrammarTest, ChunkedReadsDeliverWholeUtf16SlicesAndGiveTheSameTree) {
    for (uint32_t chunkSize : {2u, 4u, 6u, 2048u}) {
        const ReadBlock block = Parser::readFunction(text, int64_t(text.size()), chunkSize);
        int reads = 0;
        const ReadBlock checking = [&](int64_t offset, Point point) {
            std::optional<std::string> chunk = block(offset, point);
            ++reads;
            if (chunk && !chunk->empty()) {
                const std::u16string units(reinterpret_cast<const char16_t*>(chunk->data()), chunk->size() / 2);
                EXPECT_EQ(units, text.substr(size_t(offset / 2), units.size()));
                EXPECT_LE(units.size(), std::max<size_t>(chunkSize / 2, 2));
                if (size_t(offset / 2) + units.size() < text.size())
                    EXPECT_FALSE(Unicode::isHighSurrogate(units.back())) << "surrogate pair split at " << offset;
            }
            return chunk;
        };
        const auto chunked = parser.parse(nullptr, TSInputEncodingUTF16LE, checking);
        const auto whole = parser.parse(text);
        ASSERT_TRUE(chunked);
        EXPECT_GT(reads, 1);
        EXPECT_EQ(dump(*chunked), dump(*whole)) << "chunk size " << chunkSize;
    }
}

TEST_P(GrammarTest, QueryErrorsReportKindAndOffset) {
    const std::string unbalanced = "(" + GetParam().stringNode + ") @s )";
    try {
        Query::create(GetParam().entry(), std::string_view(unbalanced));
        FAIL() << "compiled";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind, QueryError::syntax);
        EXPECT_EQ(error.offset, unbalanced.size() - 1);
    }
    const std::string unknownType = "(" + GetParam().stringNode + ") @s (no_such_node_here) @n";
    try {
        Query::create(GetParam().entry(), std::string_view(unknownType));
        FAIL() << "compiled";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind, QueryError::nodeType);
        EXPECT_EQ(error.offset, unknownType.find("no_such"));
    }
}

TEST_P(GrammarTest, PredicatesAreTestedOnlyOnRequestAndDirectivesBecomeMetadata) {
    const auto tree = parser.parse(text);
    const auto query = stringQuery(" (#match? @s \"ï.*𝒳\") (#set! kind \"text\") (#set! @s role \"literal\")");
    ASSERT_TRUE(query->hasPredicates());
    // Every string node matches; only the one the regular expression accepts is allowed.
    const auto cursor = query->execute(*tree);
    std::vector<QueryMatch> allowed;
    int matches = 0;
    while (std::optional<QueryMatch> match = cursor->next()) {
        ++matches;
        EXPECT_EQ(match->metadata(), (Metadata{{"kind", "text"}}));
        EXPECT_EQ(match->captures.at(0).metadata, (Metadata{{"role", "literal"}}));
        EXPECT_FALSE(match->allowed(PredicateContext(std::u16string(text.size(), u' '))));
        if (match->allowed(PredicateContext(text))) allowed.push_back(*match);
    }
    EXPECT_GE(matches, 1);
    EXPECT_EQ(allowed.size(), 1u);

    // An #eq? that does not hold still yields its match; only resolving drops it.
    const auto eqQuery = stringQuery(" (#eq? @s \"foo\")");
    EXPECT_TRUE(eqQuery->execute(*tree)->next());
    EXPECT_EQ(eqQuery->predicates(0).size(), 1u);
    EXPECT_FALSE(resolve(eqQuery->execute(*tree), PredicateContext(text)).next());
}

INSTANTIATE_TEST_SUITE_P(AllGrammars, GrammarTest, ::testing::ValuesIn(grammarCases()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
