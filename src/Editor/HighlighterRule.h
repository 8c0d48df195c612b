#pragma once
// Which highlighter a text of a given size gets. A syntax tree takes about thirty bytes of memory per
// character of text, so a text past kTreeLimit is coloured by the regular-expression highlighter,
// whose memory does not grow with the text; below it a language's tree-sitter highlighter is used
// wherever one can be built. Standing in for a tree, the regular-expression highlighter reads
// strings and comments in turn, so that its colours agree with the tree's.
#include <QtGlobal>
#include <memory>

#include "Editor/CodeLanguage.h"
#include "Editor/SyntaxHighlighter.h"

class HighlighterRule {
public:
    // UTF-16 units (4 MB of text in a Latin script).
    static constexpr qsizetype kTreeLimit = qsizetype(4) * 1024 * 1024;

    // Whether a text of this size may keep a syntax tree.
    static bool allowsTree(qsizetype textSize) { return textSize <= kTreeLimit; }

    // The highlighter for a text of this language and size.
    static std::unique_ptr<SyntaxHighlighter> make(CodeLanguage language, qsizetype textSize);
};
