#pragma once
// The highlighter of text that is not code: plain text, and markup read without a syntax tree. It
// colours nothing, so that an apostrophe in prose opens no string.
#include "Editor/SyntaxHighlighter.h"

class UncolouredHighlighter : public SyntaxHighlighter {
public:
    using SyntaxHighlighter::ranges;
    QList<Span> ranges(const QString& text, const std::optional<TextEdit>& edit, TextRange range) override;
};
