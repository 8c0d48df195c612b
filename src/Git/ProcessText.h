#pragma once
// Text helpers for what child processes print and what we hand them.
#include <QByteArray>
#include <QString>
#include <optional>

namespace ProcessText {

// UTF-8 for reading: each invalid sequence becomes U+FFFD and everything else is kept.
QString decodeLossy(const QByteArray& bytes);

// File names are bytes. decodeExact keeps valid UTF-8 as text and turns every other byte B into
// the lone surrogate U+DC00+B; encodeExact gives back the same bytes, so a name that is not
// UTF-8 survives a trip through QString and can be handed back to a child process exactly.
QString decodeExact(const QByteArray& bytes);
QByteArray encodeExact(const QString& text);
// How many runs of valid UTF-8 decodeExact has converted so far, in every thread.
qint64 decodedRuns();
// A name fit for one line of a view: escaped bytes show as U+FFFD, line breaks, tabs and other
// control characters as visible escapes ("\n", "\t", "\x1B").
QString visibleName(const QString& text);

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
