#include "SyntaxTree/Tree.h"

#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/TreeCursor.h"

namespace SyntaxTree {

namespace {

std::vector<TSRange> takeRanges(::TSRange* ranges, uint32_t count) {
    std::vector<TSRange> result;
    if (!ranges) return result;
    result.reserve(count);
    for (uint32_t i = 0; i < count; ++i) result.emplace_back(ranges[i]);
    free(ranges);
    return result;
}

} // namespace

std::shared_ptr<Tree> Tree::adopt(TSTree* tree) {
    if (!tree) return nullptr;
    return std::make_shared<Tree>(Token{}, tree);
}

Tree::Tree(Token, TSTree* tree) : tree_(tree) {}

Tree::~Tree() { ts_tree_delete(tree_); }

std::optional<Node> Tree::rootNode() const { return Node::make(ts_tree_root_node(tree_), shared_from_this()); }

std::shared_ptr<Tree> Tree::copy() const { return adopt(ts_tree_copy(tree_)); }

std::shared_ptr<MutableTree> Tree::mutableCopy() const {
    std::shared_ptr<Tree> tree = copy();
    if (!tree) return nullptr;
    return std::make_shared<MutableTree>(std::move(tree));
}

std::shared_ptr<Tree> Tree::edit(const InputEdit& edit) const {
    std::shared_ptr<Tree> tree = copy();
    if (!tree) return nullptr;
    const TSInputEdit raw = edit.tsInputEdit();
    ts_tree_edit(tree->tree_, &raw);
    return tree;
}

std::vector<TSRange> Tree::includedRanges() const {
    uint32_t count = 0;
    ::TSRange* ranges = ts_tree_included_ranges(tree_, &count);
    return takeRanges(ranges, count);
}

std::vector<TSRange> Tree::changedRanges(const Tree& newTree) const {
    uint32_t count = 0;
    ::TSRange* ranges = ts_tree_get_changed_ranges(tree_, newTree.tree_, &count);
    return takeRanges(ranges, count);
}

std::vector<TSRange> Tree::changedRanges(const MutableTree& newTree) const {
    return changedRanges(*newTree.tree());
}

void Tree::enumerateNodes(ByteRange range, const std::function<void(const Node&)>& block) const {
    const std::optional<Node> root = rootNode();
    if (!root) return;
    const std::optional<Node> spanning = root->descendant(range);
    if (!spanning) return;
    block(*spanning);
    const std::shared_ptr<TreeCursor> cursor = spanning->treeCursor();
    if (!cursor->goToFirstChild(range.lower)) return;
    while (true) {
        cursor->enumerateCurrentAndDescendents(block);
        if (!cursor->gotoNextSibling()) return;
        const std::optional<Node> sibling = cursor->currentNode();
        if (!sibling || sibling->byteRange().lower > range.upper) return;
    }
}

} // namespace SyntaxTree
