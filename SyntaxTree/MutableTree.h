#pragma once
// Holds a Tree and edits it in place: the tree the incremental parse starts from.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "SyntaxTree/InputEdit.h"
#include "SyntaxTree/Node.h"
#include "SyntaxTree/TSRange.h"

namespace SyntaxTree {

class Tree;

class MutableTree {
public:
    explicit MutableTree(std::shared_ptr<Tree> tree);

    const std::shared_ptr<Tree>& tree() const { return tree_; }

    std::optional<Node> rootNode() const;
    std::shared_ptr<Tree> copy() const;
    std::shared_ptr<MutableTree> mutableCopy() const;
    std::vector<TSRange> includedRanges() const;
    std::vector<TSRange> changedRanges(const Tree& newTree) const;
    std::vector<TSRange> changedRanges(const MutableTree& newTree) const;
    void enumerateNodes(ByteRange range, const std::function<void(const Node&)>& block) const;

    // Applies the edit to the held runtime tree. Nodes taken before are stale until a reparse.
    void edit(const InputEdit& edit);

private:
    std::shared_ptr<Tree> tree_;
};

} // namespace SyntaxTree
