#pragma once
// The fallback highlighter: a fixed sequence of regular-expression passes over the whole text,
// with per-language keyword and type lists and comment styles. Keeps nothing between calls.
#include <QStringList>
#include <optional>

#include "Editor/RegularExpression.h"
#include "Editor/SyntaxHighlighter.h"

class RegexHighlighter : public SyntaxHighlighter {
public:
    RegexHighlighter(QStringList keywords, QStringList types, std::optional<QString> lineComment,
                     bool supportsBlockComment, bool supportsHashComment);

    using SyntaxHighlighter::ranges;
    // The edit is ignored: every call scans the whole text and keeps the spans touching range.
    QList<Span> ranges(const QString& text, const std::optional<TextEdit>& edit, TextRange range) override;

    const QStringList& keywords() const { return keywords_; }
    const QStringList& types() const { return types_; }
    const std::optional<QString>& lineComment() const { return lineComment_; }
    bool supportsBlockComment() const { return supportsBlockComment_; }
    bool supportsHashComment() const { return supportsHashComment_; }
    // Absent when the list is empty or its pattern did not compile.
    const std::optional<RegularExpression>& keywordRegex() const { return keywordRegex_; }
    const std::optional<RegularExpression>& typeRegex() const { return typeRegex_; }

private:
    QStringList keywords_;
    QStringList types_;
    std::optional<QString> lineComment_;
    bool supportsBlockComment_ = false;
    bool supportsHashComment_ = false;
    std::optional<RegularExpression> keywordRegex_;
    std::optional<RegularExpression> typeRegex_;
    std::optional<RegularExpression> lineCommentRegex_;  // the introducer, then the rest of the line
};
