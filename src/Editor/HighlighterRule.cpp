#include "Editor/HighlighterRule.h"

#include "Editor/HighlighterFactory.h"

std::unique_ptr<SyntaxHighlighter> HighlighterRule::make(CodeLanguage language, qsizetype textSize) {
    if (allowsTree(textSize))
        if (std::unique_ptr<SyntaxHighlighter> tree = HighlighterFactory::treeSitter(language)) return tree;
    // Standing in for a syntax tree, or for a language without one, the regular expressions read
    // strings and comments in turn, as the language does: a quote in a comment opens nothing.
    return HighlighterFactory::regex(language, RegexHighlighter::Delimiting::inTurn);
}
