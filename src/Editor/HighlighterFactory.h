#pragma once
// Chooses a language's highlighter: the tree-sitter one where it can be built, otherwise the
// regular-expression one, which exists for every language.
#include <memory>

#include "Editor/CodeLanguage.h"
#include "Editor/RegexHighlighter.h"
#include "Editor/SyntaxHighlighter.h"

namespace HighlighterFactory {

// The syntax-tree highlighter of a language, or null when it has no grammar or it cannot be built.
std::unique_ptr<SyntaxHighlighter> treeSitter(CodeLanguage language);

// The regular-expression highlighter with the language's keyword and type lists and comment styles.
std::unique_ptr<RegexHighlighter> regex(CodeLanguage language,
                                        RegexHighlighter::Delimiting delimiting = RegexHighlighter::Delimiting::apart);

// treeSitter(language), falling back to regex(language): what every editor and viewer uses.
std::unique_ptr<SyntaxHighlighter> make(CodeLanguage language);

} // namespace HighlighterFactory
