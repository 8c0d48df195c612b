#pragma once
// Helpers shared by the syntax-tree highlighter tests: edits described the way the text view does,
// and the role each unit ends up painted in.
#include <QList>
#include <QString>
#include <optional>
#include <vector>

#include "Editor/SyntaxHighlighter.h"

namespace highlight_test {

// Replaces removed units at start with inserted in text, and returns the edit as the text view
// records it (rows counted by LF, columns in UTF-16 units).
TextEdit replace(QString& text, qsizetype start, qsizetype removed, const QString& inserted);

// The role of every unit after painting the spans in list order, later over earlier.
std::vector<std::optional<TokenRole>> paint(const QList<SyntaxHighlighter::Span>& spans, qsizetype length);

// The texts of every span of one role, in list order.
QStringList texts(const QList<SyntaxHighlighter::Span>& spans, const QString& text, TokenRole role);

} // namespace highlight_test
