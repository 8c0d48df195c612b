#include "SyntaxTree/Node.h"

#include <cstdlib>

#include "SyntaxTree/Precondition.h"
#include "SyntaxTree/TreeCursor.h"

namespace SyntaxTree {

Node::Node(TSNode node, std::shared_ptr<const Tree> tree) : node_(node), tree_(std::move(tree)) {}

std::optional<Node> Node::make(TSNode node, const std::shared_ptr<const Tree>& tree) {
    if (ts_node_is_null(node)) return std::nullopt;
    return Node(node, tree);
}

std::optional<std::string> Node::nodeType() const {
    const char* type = ts_node_type(node_);
    if (!type) return std::nullopt;
    return std::string(type);
}

uint16_t Node::symbol() const { return ts_node_symbol(node_); }
Utf16Range Node::range() const { return utf16Range(byteRange()); }
ByteRange Node::byteRange() const { return ByteRange{ts_node_start_byte(node_), ts_node_end_byte(node_)}; }
PointRange Node::pointRange() const {
    return PointRange{Point(ts_node_start_point(node_)), Point(ts_node_end_point(node_))};
}
TSRange Node::tsRange() const { return TSRange(pointRange(), byteRange()); }

bool Node::isNull() const { return ts_node_is_null(node_); }
bool Node::isExtra() const { return ts_node_is_extra(node_); }
bool Node::isNamed() const { return ts_node_is_named(node_); }
bool Node::isMissing() const { return ts_node_is_missing(node_); }
bool Node::hasChanges() const { return ts_node_has_changes(node_); }
bool Node::hasError() const { return ts_node_has_error(node_); }

uint32_t Node::childCount() const { return ts_node_child_count(node_); }
uint32_t Node::namedChildCount() const { return ts_node_named_child_count(node_); }

std::optional<Node> Node::child(int64_t index) const {
    return same(ts_node_child(node_, checkedUInt32(index, "child index out of range")));
}

std::optional<Node> Node::namedChild(int64_t index) const {
    return same(ts_node_named_child(node_, checkedUInt32(index, "child index out of range")));
}

std::optional<Node> Node::child(std::string_view byFieldName) const {
    return same(ts_node_child_by_field_name(node_, byFieldName.data(),
                                            checkedUInt32(int64_t(byFieldName.size()), "field name too long")));
}

std::optional<std::string> Node::fieldNameForChild(int64_t index) const {
    const char* name = ts_node_field_name_for_child(node_, checkedUInt32(index, "child index out of range"));
    if (!name) return std::nullopt;
    return std::string(name);
}

std::optional<Node> Node::parent() const { return same(ts_node_parent(node_)); }
std::optional<Node> Node::nextSibling() const { return same(ts_node_next_sibling(node_)); }
std::optional<Node> Node::previousSibling() const { return same(ts_node_prev_sibling(node_)); }
std::optional<Node> Node::nextNamedSibling() const { return same(ts_node_next_named_sibling(node_)); }
std::optional<Node> Node::previousNamedSibling() const { return same(ts_node_prev_named_sibling(node_)); }

std::optional<Node> Node::descendant(PointRange range) const {
    return same(ts_node_descendant_for_point_range(node_, range.lower.tsPoint(), range.upper.tsPoint()));
}

std::optional<Node> Node::descendant(ByteRange range) const {
    return same(ts_node_descendant_for_byte_range(node_, range.lower, range.upper));
}

std::optional<Node> Node::firstChild() const {
    if (childCount() == 0) return std::nullopt;
    return child(0);
}

std::optional<Node> Node::lastChild() const {
    const uint32_t count = childCount();
    if (count == 0) return std::nullopt;
    return child(count - 1);
}

void Node::enumerateChildren(const std::function<void(const Node&)>& block) const {
    const uint32_t count = childCount();
    for (uint32_t i = 0; i < count; ++i)
        if (std::optional<Node> node = child(i)) block(*node);
}

std::shared_ptr<TreeCursor> Node::treeCursor() const { return std::make_shared<TreeCursor>(*this); }

std::optional<std::string> Node::sExpressionString() const {
    char* text = ts_node_string(node_);
    if (!text) return std::nullopt;
    std::string result(text);
    free(text);
    return result;
}

std::string Node::debugDescription() const {
    const Utf16Range r = range();
    std::string text = "<";
    text += nodeType().value_or("unnamed") + " range: {" + std::to_string(r.location) + ", " +
            std::to_string(r.length) + "} childCount: " + std::to_string(childCount()) + ">";
    return text;
}

} // namespace SyntaxTree
