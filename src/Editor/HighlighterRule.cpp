#include "Editor/HighlighterRule.h"

#include "Editor/HighlighterFactory.h"

std::unique_ptr<SyntaxHighlighter> HighlighterRule::make(CodeLanguage language, qsizetype textSize) {
    if (allowsTree(textSize))
        if (std::unique_ptr<SyntaxHighlighter> tree = HighlighterFactory::treeSitter(language)) return tree;
    // Standing in for a syntax tree, the regular expressions read strings and comments in turn, as
    // the tree does (a quote in a comment opens nothing), so the colours do not change at the limit.
    // A language without a grammar keeps its passes apart.
    return HighlighterFactory::regex(language, CodeLanguages::hasGrammar(language)
                                                   ? RegexHighlighter::Delimiting::inTurn
                                                   : RegexHighlighter::Delimiting::apart);
}
