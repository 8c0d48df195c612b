#pragma once
// Text helpers for what child processes print and what we hand them.
#include <QByteArray>
#include <QString>
#include <optional>

namespace ProcessText {

// Strict UTF-8: output that is not valid UTF-8 counts as empty.
QString decodeUtf8(const QByteArray& bytes);

// Spaces (any space separator) and tabs; line breaks are not blanks.
bool isBlank(QChar c);
// Blanks and every line break (LF, VT, FF, CR, NEL, U+2028, U+2029).
bool isWhitespaceOrNewline(QChar c);

QString trimBlanks(const QString& text);
QString trimWhitespace(const QString& text);

// The first piece between "\n"s that is not empty once trimmed of blanks, trimmed; absent when none.
std::optional<QString> firstNonBlankLine(const QString& text);

// The first count user-perceived characters (grapheme clusters) of the text.
QString leadingCharacters(const QString& text, qsizetype count);
// Number of user-perceived characters, counting no further than limit + 1.
qsizetype characterCount(const QString& text, qsizetype limit);

} // namespace ProcessText
