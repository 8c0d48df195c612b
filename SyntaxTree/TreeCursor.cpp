#include "SyntaxTree/TreeCursor.h"

namespace SyntaxTree {

TreeCursor::TreeCursor(const Node& node) : cursor_(ts_tree_cursor_new(node.internalNode())), tree_(node.internalTree()) {}

TreeCursor::~TreeCursor() { ts_tree_cursor_delete(&cursor_); }

bool TreeCursor::goToFirstChild() { return ts_tree_cursor_goto_first_child(&cursor_); }
bool TreeCursor::gotoNextSibling() { return ts_tree_cursor_goto_next_sibling(&cursor_); }
bool TreeCursor::gotoParent() { return ts_tree_cursor_goto_parent(&cursor_); }
bool TreeCursor::goToFirstChild(uint32_t forByte) {
    return ts_tree_cursor_goto_first_child_for_byte(&cursor_, forByte) != -1;
}

std::optional<Node> TreeCursor::currentNode() const {
    return Node::make(ts_tree_cursor_current_node(&cursor_), tree_);
}

std::optional<std::string> TreeCursor::currentFieldName() const {
    const char* name = ts_tree_cursor_current_field_name(&cursor_);
    if (!name) return std::nullopt;
    return std::string(name);
}

uint16_t TreeCursor::currentFieldId() const { return ts_tree_cursor_current_field_id(&cursor_); }

void TreeCursor::enumerateCurrentAndDescendents(const std::function<void(const Node&)>& block) {
    // Iterative pre-order, so deeply nested texts cannot exhaust the stack.
    if (std::optional<Node> node = currentNode()) block(*node);
    if (!goToFirstChild()) return;
    int depth = 1;
    while (true) {
        if (std::optional<Node> node = currentNode()) block(*node);
        if (goToFirstChild()) {
            ++depth;
            continue;
        }
        while (!gotoNextSibling()) {
            gotoParent();
            if (--depth == 0) return;
        }
    }
}

} // namespace SyntaxTree
