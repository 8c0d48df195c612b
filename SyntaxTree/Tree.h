#pragma once
// Owns one runtime tree and never changes it. Nodes and cursors hold the Tree, so the runtime tree
// lives as long as anything taken from it.
#include <tree_sitter/api.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "SyntaxTree/InputEdit.h"
#include "SyntaxTree/Node.h"
#include "SyntaxTree/SendableOpaquePointer.h"
#include "SyntaxTree/TSRange.h"

namespace SyntaxTree {

class MutableTree;

class Tree : public std::enable_shared_from_this<Tree> {
    struct Token {};

public:
    // Takes ownership of a runtime tree; absent for null.
    static std::shared_ptr<Tree> adopt(TSTree* tree);
    Tree(Token, TSTree* tree);
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    SendableOpaquePointer internalTreePointer() const { return {tree_}; }
    TSTree* tsTree() const { return tree_; }

    std::optional<Node> rootNode() const;
    std::shared_ptr<Tree> copy() const;
    std::shared_ptr<MutableTree> mutableCopy() const;
    // A copy with the edit applied; this tree stays as it is.
    std::shared_ptr<Tree> edit(const InputEdit& edit) const;

    std::vector<TSRange> includedRanges() const;
    // This tree is the old one, the argument the new one.
    std::vector<TSRange> changedRanges(const Tree& newTree) const;
    std::vector<TSRange> changedRanges(const MutableTree& newTree) const;

    // The smallest node spanning the range, then the nodes of its children that reach into the range,
    // each with all its descendants, in pre-order. Exceptions from the block end the walk.
    void enumerateNodes(ByteRange range, const std::function<void(const Node&)>& block) const;

private:
    TSTree* tree_;
};

} // namespace SyntaxTree
