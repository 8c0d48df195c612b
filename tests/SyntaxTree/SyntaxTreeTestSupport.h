#pragma once
// Helpers shared by the binding-layer tests: UTF-16 texts, edits computed from texts, tree dumps.
#include <memory>
#include <string>
#include <vector>

#include "SyntaxTree/InputEdit.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Node.h"
#include "SyntaxTree/Unicode.h"

namespace syntaxtree_test {

inline std::u16string u16(const std::string& utf8) { return SyntaxTree::Unicode::toUtf16(utf8); }
inline std::string u8(const std::u16string& utf16) { return SyntaxTree::Unicode::toUtf8(utf16); }

// The point of a UTF-16 offset: row, and byte column (two bytes per unit).
inline SyntaxTree::Point pointAt(const std::u16string& text, size_t offset) {
    uint32_t row = 0;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset; ++i)
        if (text[i] == u'\n') {
            ++row;
            lineStart = i + 1;
        }
    return SyntaxTree::Point(row, uint32_t((offset - lineStart) * 2));
}

// The edit that replaces oldText[start, start + removed) with inserted.
inline SyntaxTree::InputEdit editFor(const std::u16string& oldText, size_t start, size_t removed,
                                     const std::u16string& inserted, std::u16string* newText) {
    *newText = oldText.substr(0, start) + inserted + oldText.substr(start + removed);
    return SyntaxTree::InputEdit(uint32_t(start * 2), uint32_t((start + removed) * 2),
                                 uint32_t((start + inserted.size()) * 2), pointAt(oldText, start),
                                 pointAt(oldText, start + removed), pointAt(*newText, start + inserted.size()));
}

// Every node in pre-order with its type, byte range and point range: equal dumps mean equal trees.
inline std::vector<std::string> dump(const SyntaxTree::MutableTree& tree) {
    std::vector<std::string> lines;
    const auto root = tree.rootNode();
    if (!root) return lines;
    tree.enumerateNodes(root->byteRange(), [&](const SyntaxTree::Node& node) {
        const auto r = node.tsRange();
        lines.push_back(node.nodeType().value_or("?") + " " + r.debugDescription());
    });
    return lines;
}

} // namespace syntaxtree_test
