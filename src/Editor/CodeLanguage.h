#pragma once
// The closed set of languages the editor knows, with what the rest of the program asks of each.
#include <QColor>
#include <QList>
#include <QString>
#include <optional>

enum class CodeLanguage { swift, javascript, typescript, python, json, markdown, html, css, shell, yaml, rust, go, plain };

namespace CodeLanguages {

const QList<CodeLanguage>& allCases();
QString rawValue(CodeLanguage language);
std::optional<CodeLanguage> fromRawValue(const QString& raw);  // exact, case-sensitive
QString displayName(CodeLanguage language);
QString icon(CodeLanguage language);  // symbol name, resolved by the icon set
QColor tint(CodeLanguage language);
// The line-comment prefix, or empty when the language has none.
QString lineCommentPrefix(CodeLanguage language);
// Whether a tree-sitter grammar is bundled for the language.
bool hasGrammar(CodeLanguage language);
// From a file name or path, by its lower-cased extension; plain when unknown.
CodeLanguage detect(const QString& fileName);

} // namespace CodeLanguages
