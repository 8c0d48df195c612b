#include "Editor/HighlighterRule.h"

#include "Editor/HighlighterFactory.h"

std::unique_ptr<SyntaxHighlighter> HighlighterRule::make(CodeLanguage language, qsizetype textSize) {
    if (!allowsTree(textSize)) return HighlighterFactory::regex(language);
    return HighlighterFactory::make(language);
}
