// The syntax-tree highlighter: roles of capture names, edit conversion, construction failures,
// predicates, span order, range restriction and keeping the tree in step with the text.
#include <gtest/gtest.h>

#include "Editor/TreeSitterHighlighter.h"
#include "HighlightTestSupport.h"
#include "SyntaxTree/Grammars.h"

namespace {

using Span = SyntaxHighlighter::Span;
using highlight_test::replace;
using highlight_test::texts;

std::unique_ptr<TreeSitterHighlighter> javascript(std::string_view query) {
    std::unique_ptr<TreeSitterHighlighter> h = TreeSitterHighlighter::fromQuerySource(tree_sitter_javascript(), query);
    EXPECT_NE(h, nullptr) << query;
    return h;
}

QList<Span> all(TreeSitterHighlighter& h, const QString& text) { return h.ranges(text, TextRange{0, text.size()}); }

// A small query with nested captures, used where the exact query does not matter.
constexpr std::string_view kBasicQuery = R"(
(string) @string
(escape_sequence) @string.escape
(number) @number
(comment) @comment
["function" "return" "const" "if"] @keyword
(function_declaration name: (identifier) @function)
(call_expression function: (identifier) @function.call)
)";

} // namespace

TEST(TreeSitterHighlighterRoles, CaptureNamesMapByWholeNameThenFirstComponent) {
    using R = TokenRole;
    const std::vector<std::pair<std::string_view, std::optional<R>>> cases = {
        {"string.special.key", R::attribute}, {"string.special", R::string}, {"string.escape", R::string},
        {"string", R::string}, {"character.special", R::string}, {"keyword.function", R::keyword},
        {"keyword", R::keyword}, {"function.method", R::function}, {"constructor", R::function},
        {"type.builtin", R::type}, {"tag.delimiter", R::keyword}, {"number", R::number}, {"boolean", R::number},
        {"constant.builtin", R::keyword}, {"comment.doc", R::comment}, {"attribute", R::attribute},
        {"label", R::attribute}, {"operator", R::punctuation}, {"charset", R::keyword}, {"import", R::keyword},
        {"media", R::keyword}, {"keyframes", R::keyword}, {"namespace", R::keyword}, {"supports", R::keyword},
        // Leading dots are skipped; nothing else is forgiven.
        {".keyword", R::keyword}, {"..type.x", R::type},
        {"punctuation.bracket", std::nullopt}, {"variable", std::nullopt}, {"property", std::nullopt},
        {"Keyword", std::nullopt}, {"keywords", std::nullopt}, {"string.special.key.x", R::string},
        {"", std::nullopt}, {"...", std::nullopt}};
    for (const auto& [name, role] : cases) EXPECT_EQ(TreeSitterHighlighter::role(name), role) << name;
}

TEST(TreeSitterHighlighterConstruction, BadQueriesAndMissingResourcesGiveNoHighlighter) {
    EXPECT_EQ(TreeSitterHighlighter::fromQuerySource(tree_sitter_javascript(), "((identifier) @x"), nullptr);
    EXPECT_EQ(TreeSitterHighlighter::fromQuerySource(tree_sitter_javascript(), "(no_such_node) @x"), nullptr);
    EXPECT_EQ(TreeSitterHighlighter::fromQuerySource(tree_sitter_javascript(),
                                                     "((identifier) @x (#match? @x \"[unclosed\"))"),
              nullptr);
    EXPECT_EQ(TreeSitterHighlighter::create(tree_sitter_javascript(), "no-such-language"), nullptr);
    EXPECT_NE(TreeSitterHighlighter::create(tree_sitter_javascript(), "javascript"), nullptr);
}

// Without the predicates every identifier would take the capture; they must decide per match.
TEST(TreeSitterHighlighterPredicates, TextPredicatesDecideWhichCapturesFire) {
    const QString text = "foo; Bar; baz; QUX; self; other;";
    const auto ids = [&](std::string_view query) {
        QStringList found = texts(all(*javascript(query), text), text, TokenRole::type);
        found.sort();
        return found;
    };
    EXPECT_EQ(ids(R"(((identifier) @type (#match? @type "^[A-Z][a-z]")))"), QStringList{"Bar"});
    EXPECT_EQ(ids(R"(((identifier) @type (#not-match? @type "^[A-Z]")))"),
              (QStringList{"baz", "foo", "other", "self"}));
    EXPECT_EQ(ids(R"(((identifier) @type (#eq? @type "baz")))"), QStringList{"baz"});
    EXPECT_EQ(ids(R"(((identifier) @type (#not-eq? @type "baz")))"),
              (QStringList{"Bar", "QUX", "foo", "other", "self"}));
    EXPECT_EQ(ids(R"(((identifier) @type (#any-of? @type "self" "QUX")))"), (QStringList{"QUX", "self"}));
    EXPECT_EQ(ids(R"(((identifier) @type (#not-any-of? @type "self" "QUX" "foo")))"),
              (QStringList{"Bar", "baz", "other"}));
    // A predicate on one capture holds the whole match back, other captures included.
    EXPECT_EQ(ids(R"((expression_statement (identifier) @id (#eq? @id "QUX")) @type)"), QStringList{"QUX;"});
}

TEST(TreeSitterHighlighterSpans, LongestFirstStableAndOnlyWithinRange) {
    auto h = javascript(kBasicQuery);
    EXPECT_TRUE(all(*h, QString()).isEmpty());

    // The escape inside the string comes after the string, so it is painted over it.
    const QString s = R"(x = "ab\ncd";)";
    const QList<Span> spans = all(*h, s);
    ASSERT_EQ(spans.size(), 2);
    EXPECT_EQ(spans[0], (Span{{4, 8}, TokenRole::string}));
    EXPECT_EQ(spans[1], (Span{{7, 2}, TokenRole::string}));

    // Equal lengths go by position.
    const QString nums = "f(1, 2, 3);";
    EXPECT_EQ(texts(all(*h, nums), nums, TokenRole::number), (QStringList{"1", "2", "3"}));

    // Only matches touching the requested range are returned; ranges past the end are clamped.
    const QString lines = "// one\nfoo(12);\n// three\n";
    const qsizetype second = lines.indexOf("foo");
    QList<Span> middle = h->ranges(lines, TextRange{second, 8});
    EXPECT_EQ(texts(middle, lines, TokenRole::comment), QStringList{});
    EXPECT_EQ(texts(middle, lines, TokenRole::function), QStringList{"foo"});
    EXPECT_EQ(texts(middle, lines, TokenRole::number), QStringList{"12"});
    EXPECT_EQ(h->ranges(lines, TextRange{second, 1000}).size(), 3);
    EXPECT_TRUE(h->ranges(lines, TextRange{second, 0}).isEmpty());
}

// The tree must follow the text through every edit: compare with a highlighter that parses afresh.
class TreeSitterHighlighterTree : public ::testing::Test {
protected:
    QString text = "function add(a, b) {\n  return a + b; // sum\n}\nconst x = add(1, 2);\n";
    std::unique_ptr<TreeSitterHighlighter> h = javascript(kBasicQuery);

    QList<Span> fresh(const QString& t) { return all(*javascript(kBasicQuery), t); }
};

TEST_F(TreeSitterHighlighterTree, FirstCallParsesFromScratchEvenWithAnEdit) {
    QString before = text;
    const TextEdit e = replace(text, 0, 0, "  ");
    EXPECT_EQ(h->ranges(text, e, TextRange{0, text.size()}), fresh(text));
    EXPECT_FALSE(h->lastParseWasIncremental());
}

TEST_F(TreeSitterHighlighterTree, EditsReparseIncrementallyAndMatchAFullParse) {
    all(*h, text);
    const qsizetype endOfFirstLine = text.indexOf(u'\n');
    TextEdit e = replace(text, endOfFirstLine, 0, " ");
    EXPECT_EQ(h->ranges(text, e, TextRange{0, text.size()}), fresh(text));
    EXPECT_TRUE(h->lastParseWasIncremental());

    // An edit that turns code into a string changes colours well past the edit.
    e = replace(text, text.indexOf("return"), 0, "\"");
    EXPECT_EQ(h->ranges(text, e, TextRange{0, text.size()}), fresh(text));
    EXPECT_TRUE(h->lastParseWasIncremental());

    // Multi-line replacement, with rows and columns moving.
    e = replace(text, 5, text.indexOf("const") - 5, "ion\n\nf(7)\n");
    EXPECT_EQ(h->ranges(text, e, TextRange{0, text.size()}), fresh(text));
}

TEST_F(TreeSitterHighlighterTree, SeveralNotedEditsAllReachTheTree) {
    all(*h, text);
    h->noteEdit(replace(text, text.indexOf("1"), 1, "100"));
    h->noteEdit(replace(text, 0, 0, "// head\n"));
    const TextEdit last = replace(text, text.indexOf("sum"), 3, "total of both");
    EXPECT_EQ(h->ranges(text, last, TextRange{0, text.size()}), fresh(text));
    EXPECT_TRUE(h->lastParseWasIncremental());

    // Noted edits alone, handed over by a call without an edit.
    h->noteEdit(replace(text, text.size(), 0, "f(5);\n"));
    EXPECT_EQ(all(*h, text), fresh(text));
    EXPECT_TRUE(h->lastParseWasIncremental());
}

TEST_F(TreeSitterHighlighterTree, EditsThatDoNotLeadToTheTextFallBackToAFullParse) {
    all(*h, text);
    // An edit went unreported: the length no longer adds up.
    QString changed = text;
    replace(changed, 0, 0, "/* lost */ ");
    const TextEdit e = replace(changed, changed.size(), 0, "f(9);");
    EXPECT_EQ(h->ranges(changed, e, TextRange{0, changed.size()}), fresh(changed));
    EXPECT_FALSE(h->lastParseWasIncremental());

    // An edit reaching past the text, or running backwards, is not applied.
    TextEdit wild;
    wild.startChar = changed.size() + 10;
    wild.oldEndChar = changed.size() + 12;
    wild.newEndChar = changed.size() + 10;
    QString shorter = changed.left(changed.size() - 2);
    EXPECT_EQ(h->ranges(shorter, wild, TextRange{0, shorter.size()}), fresh(shorter));
    EXPECT_FALSE(h->lastParseWasIncremental());
    TextEdit backwards;
    backwards.startChar = 5;
    backwards.oldEndChar = 3;
    backwards.newEndChar = 5;
    shorter.append("xy");
    EXPECT_EQ(h->ranges(shorter, backwards, TextRange{0, shorter.size()}), fresh(shorter));
    EXPECT_FALSE(h->lastParseWasIncremental());
}

TEST_F(TreeSitterHighlighterTree, ACallWithoutAnEditReusesTheTreeOnlyForTheSameText) {
    const QList<Span> first = all(*h, text);
    EXPECT_FALSE(h->lastParseWasIncremental());
    EXPECT_EQ(h->ranges(QString(text), TextRange{0, text.size()}), first);  // an equal copy
    EXPECT_TRUE(h->lastParseWasIncremental());

    // Same length, different text, no edit reported: parsed afresh, not coloured from the old tree.
    QString other = text;
    other.replace(other.indexOf("1, 2"), 4, "\"x\" ");
    ASSERT_EQ(other.size(), text.size());
    EXPECT_EQ(all(*h, other), fresh(other));
    EXPECT_FALSE(h->lastParseWasIncremental());
}
