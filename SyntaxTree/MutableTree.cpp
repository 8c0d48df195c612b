#include "SyntaxTree/MutableTree.h"

#include "SyntaxTree/Tree.h"

namespace SyntaxTree {

MutableTree::MutableTree(std::shared_ptr<Tree> tree) : tree_(std::move(tree)) {}

std::optional<Node> MutableTree::rootNode() const { return tree_->rootNode(); }
std::shared_ptr<Tree> MutableTree::copy() const { return tree_->copy(); }
std::shared_ptr<MutableTree> MutableTree::mutableCopy() const { return tree_->mutableCopy(); }
std::vector<TSRange> MutableTree::includedRanges() const { return tree_->includedRanges(); }
std::vector<TSRange> MutableTree::changedRanges(const Tree& newTree) const { return tree_->changedRanges(newTree); }
std::vector<TSRange> MutableTree::changedRanges(const MutableTree& newTree) const {
    return tree_->changedRanges(newTree);
}

void MutableTree::enumerateNodes(ByteRange range, const std::function<void(const Node&)>& block) const {
    tree_->enumerateNodes(range, block);
}

void MutableTree::edit(const InputEdit& edit) {
    const TSInputEdit raw = edit.tsInputEdit();
    ts_tree_edit(tree_->tsTree(), &raw);
}

} // namespace SyntaxTree
