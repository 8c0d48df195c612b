// Trees, nodes and tree cursors over small JSON and Go texts.
#include <gtest/gtest.h>

#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/SyntaxTree.h"
#include "SyntaxTreeTestSupport.h"

using namespace SyntaxTree;
using namespace syntaxtree_test;

namespace {

using SyntaxTree::TSRange;

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override { parser.setLanguage(tree_sitter_json()); }
    std::shared_ptr<MutableTree> parse(const std::string& source) {
        text = u16(source);
        return parser.parse(text);
    }
    Parser parser;
    std::u16string text;
};

TEST_F(TreeTest, NodesOutliveTheirParserAndTree) {
    std::optional<Node> leaf;
    {
        Parser local;
        local.setLanguage(tree_sitter_json());
        const auto tree = local.parse(u"[true, \"é😀\"]");
        leaf = tree->rootNode()->descendant(ByteRange{16, 22});
    }
    ASSERT_TRUE(leaf);
    EXPECT_EQ(leaf->nodeType(), "string_content");
    EXPECT_EQ(leaf->range(), (Utf16Range{8, 3}));
    EXPECT_EQ(leaf->parent()->nodeType(), "string");
}

TEST_F(TreeTest, NavigationGivesAbsentNodesAtTheEdges) {
    const auto tree = parse("[1, 2]");
    const Node array = *tree->rootNode()->child(0);
    EXPECT_EQ(array.nodeType(), "array");
    EXPECT_EQ(array.childCount(), 5u);
    EXPECT_EQ(array.namedChildCount(), 2u);
    EXPECT_EQ(array.firstChild()->nodeType(), "[");
    EXPECT_EQ(array.lastChild()->nodeType(), "]");
    EXPECT_EQ(array.namedChild(1)->range(), (Utf16Range{4, 1}));
    EXPECT_FALSE(array.child(5));
    EXPECT_FALSE(array.namedChild(7));
    const Node one = *array.namedChild(0);
    EXPECT_FALSE(one.lastChild());
    EXPECT_FALSE(one.firstChild());
    EXPECT_EQ(one.nextNamedSibling()->range().location, 4);
    EXPECT_EQ(one.nextSibling()->nodeType(), ",");
    EXPECT_FALSE(array.firstChild()->previousSibling());
    EXPECT_EQ(array.descendant(PointRange{Point(0, 8), Point(0, 10)})->nodeType(), "number");

    std::vector<std::string> children;
    array.enumerateChildren([&](const Node& n) { children.push_back(*n.nodeType()); });
    EXPECT_EQ(children, (std::vector<std::string>{"[", "number", ",", "number", "]"}));
}

TEST_F(TreeTest, FieldsAreFoundByName) {
    Parser go;
    go.setLanguage(tree_sitter_go());
    const auto tree = go.parse(u"package main\nfunc run() {}\n");
    const Node function = *tree->rootNode()->namedChild(1);
    EXPECT_EQ(function.nodeType(), "function_declaration");
    EXPECT_EQ(function.child(std::string_view("name"))->range(), (Utf16Range{18, 3}));
    EXPECT_FALSE(function.child(std::string_view("nothing")));
    EXPECT_EQ(function.fieldNameForChild(1), "name");
    const auto cursor = function.treeCursor();
    ASSERT_TRUE(cursor->goToFirstChild());
    ASSERT_TRUE(cursor->gotoNextSibling());
    EXPECT_EQ(cursor->currentFieldName(), "name");
    EXPECT_EQ(cursor->currentFieldId(), Language(tree_sitter_go()).fieldId("name"));
}

TEST_F(TreeTest, EditingACopyLeavesTheOriginalAndEditingInPlaceDoesNot) {
    const auto tree = parse("[1, 2]");
    const InputEdit edit(2, 2, 4, Point(0, 2), Point(0, 2), Point(0, 4));
    const auto edited = tree->tree()->edit(edit);
    EXPECT_FALSE(tree->rootNode()->hasChanges());
    EXPECT_TRUE(edited->rootNode()->hasChanges());
    EXPECT_TRUE(tree->changedRanges(*tree).empty());

    const auto copy = tree->mutableCopy();
    copy->edit(edit);
    EXPECT_TRUE(copy->rootNode()->hasChanges());
    EXPECT_FALSE(tree->rootNode()->hasChanges());

    // After the edit "[10, 2]" the reparse reports the changed number.
    const auto reparsed = parser.parse(*copy, u"[10, 2]");
    const std::vector<TSRange> changed = copy->changedRanges(*reparsed);
    ASSERT_FALSE(changed.empty());
    EXPECT_LE(changed.front().bytes.lower, 2u);
    EXPECT_EQ(tree->includedRanges().size(), 1u);
}

TEST_F(TreeTest, EnumerationVisitsTheSpanningNodeThenEveryNodeInPreOrderOnce) {
    const auto tree = parse("{\"a\": [1, {\"b\": null}], \"c\": 2}");
    std::vector<uintptr_t> visited;
    tree->enumerateNodes(tree->rootNode()->byteRange(), [&](const Node& n) { visited.push_back(n.id()); });

    std::vector<uintptr_t> expected;
    std::function<void(const Node&)> walk = [&](const Node& n) {
        expected.push_back(n.id());
        n.enumerateChildren(walk);
    };
    // The walk starts at the smallest node spanning the range: here the object under the document.
    walk(*tree->rootNode()->descendant(tree->rootNode()->byteRange()));
    EXPECT_EQ(visited, expected);

    // Units 7 ..< 10 ("1, "): the array, then its children from the first one reaching past the start;
    // the object starting exactly at the end is still walked, the "]" after it is not.
    std::vector<std::string> part;
    tree->enumerateNodes(ByteRange{14, 20}, [&](const Node& n) { part.push_back(*n.nodeType()); });
    ASSERT_GE(part.size(), 4u);
    EXPECT_EQ(part[0], "array");
    EXPECT_EQ(part[1], "number");
    EXPECT_EQ(part[2], ",");
    EXPECT_EQ(part[3], "object");
    EXPECT_EQ(std::count(part.begin(), part.end(), "]"), 0);
    EXPECT_EQ(std::count(part.begin(), part.end(), "null"), 1);
}

TEST_F(TreeTest, AThrowingBlockStopsTheWalkAndPassesTheErrorOn) {
    const auto tree = parse("[1, 2, 3]");
    int calls = 0;
    const auto cursor = tree->rootNode()->treeCursor();
    EXPECT_THROW(cursor->enumerateCurrentAndDescendents([&](const Node&) {
        if (++calls == 2) throw 42;
    }),
                 int);
    EXPECT_EQ(calls, 2);

    calls = 0;
    EXPECT_THROW(tree->enumerateNodes(ByteRange{0, 18}, [&](const Node&) {
        if (++calls == 3) throw 7;
    }),
                 int);
    EXPECT_EQ(calls, 3);
}

TEST_F(TreeTest, CursorWalkEndsWhereItStartedEvenOnDeepTexts) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += '[';
    for (int i = 0; i < 20000; ++i) deep += ']';
    const auto tree = parse(deep);
    const auto cursor = tree->rootNode()->treeCursor();
    size_t count = 0;
    cursor->enumerateCurrentAndDescendents([&](const Node&) { ++count; });
    EXPECT_GT(count, 60000u);
    EXPECT_EQ(cursor->currentNode(), tree->rootNode());
}

} // namespace
