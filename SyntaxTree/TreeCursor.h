#pragma once
// A runtime tree cursor that walks a tree from a node; it holds the node's Tree.
#include <tree_sitter/api.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "SyntaxTree/Node.h"

namespace SyntaxTree {

class TreeCursor {
public:
    explicit TreeCursor(const Node& node);
    ~TreeCursor();
    TreeCursor(const TreeCursor&) = delete;
    TreeCursor& operator=(const TreeCursor&) = delete;

    bool goToFirstChild();
    bool gotoNextSibling();
    bool gotoParent();
    // To the first child that extends beyond the byte offset.
    bool goToFirstChild(uint32_t forByte);

    std::optional<Node> currentNode() const;
    std::optional<std::string> currentFieldName() const;
    uint16_t currentFieldId() const;

    // Pre-order from the current node; the cursor ends where it started unless the block throws.
    void enumerateCurrentAndDescendents(const std::function<void(const Node&)>& block);

private:
    TSTreeCursor cursor_;
    std::shared_ptr<const Tree> tree_;
};

} // namespace SyntaxTree
