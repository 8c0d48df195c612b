#pragma once
// A node of a syntax tree. It holds its Tree, so the node stays valid after the parser and the
// MutableTree are gone. Operations that meet the runtime's null node give an absent Node.
#include <tree_sitter/api.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "SyntaxTree/Ranges.h"
#include "SyntaxTree/TSRange.h"

namespace SyntaxTree {

class Tree;
class TreeCursor;

class Node {
public:
    Node(TSNode node, std::shared_ptr<const Tree> tree);
    // Absent for the runtime's null node.
    static std::optional<Node> make(TSNode node, const std::shared_ptr<const Tree>& tree);

    const TSNode& internalNode() const { return node_; }
    const std::shared_ptr<const Tree>& internalTree() const { return tree_; }

    uintptr_t id() const { return reinterpret_cast<uintptr_t>(node_.id); }
    std::optional<std::string> nodeType() const;
    uint16_t symbol() const;
    Utf16Range range() const;
    ByteRange byteRange() const;
    PointRange pointRange() const;
    TSRange tsRange() const;

    bool isNull() const;
    bool isExtra() const;
    bool isNamed() const;
    bool isMissing() const;
    bool hasChanges() const;
    bool hasError() const;

    uint32_t childCount() const;
    uint32_t namedChildCount() const;
    // Indexes must lie in 0 to 4,294,967,295 (precondition); past the last child: absent.
    std::optional<Node> child(int64_t index) const;
    std::optional<Node> namedChild(int64_t index) const;
    std::optional<Node> child(std::string_view byFieldName) const;
    std::optional<std::string> fieldNameForChild(int64_t index) const;

    std::optional<Node> parent() const;
    std::optional<Node> nextSibling() const;
    std::optional<Node> previousSibling() const;
    std::optional<Node> nextNamedSibling() const;
    std::optional<Node> previousNamedSibling() const;
    std::optional<Node> descendant(PointRange range) const;
    std::optional<Node> descendant(ByteRange range) const;
    std::optional<Node> firstChild() const;
    std::optional<Node> lastChild() const;
    void enumerateChildren(const std::function<void(const Node&)>& block) const;

    std::shared_ptr<TreeCursor> treeCursor() const;
    std::optional<std::string> sExpressionString() const;
    // "<identifier range: {4, 5} childCount: 0>"
    std::string debugDescription() const;

    friend bool operator==(const Node& a, const Node& b) { return ts_node_eq(a.node_, b.node_); }

private:
    std::optional<Node> same(TSNode node) const { return make(node, tree_); }

    TSNode node_;
    std::shared_ptr<const Tree> tree_;
};

} // namespace SyntaxTree
