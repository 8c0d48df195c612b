#pragma once
// Character classes, trimming and line handling shared by the request-file formats.
#include <QList>
#include <QString>
#include <QStringView>

namespace FormatText {

// Unicode space separators and the horizontal tab (no line breaks).
bool isWhitespace(QChar c);
// Whitespace plus LF, CR, FF, VT, NEL, U+2028 and U+2029.
bool isWhitespaceOrNewline(QChar c);

QStringView trimmed(QStringView text);
QStringView trimmedWithNewlines(QStringView text);
QStringView trimmedEnd(QStringView text);

// One line of a text split at line feeds. The content leaves out the line feed and a carriage
// return right before it, so CRLF files read like LF files while their bytes stay addressable.
struct Line {
    qsizetype start = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;  // past the terminator; == contentEnd on a last line without one
};
QList<Line> splitLines(QStringView text);  // an empty text is one empty line
inline QStringView content(QStringView text, const Line& line) {
    return text.mid(line.start, line.contentEnd - line.start);
}

// "\r\n" when most line ends of the text are CRLF, else "\n".
QString dominantLineEnding(QStringView text);
// Text built with "\n" line ends, in the given line-end style.
QString withLineEnding(const QString& text, const QString& eol);

// The value of an ASCII hexadecimal digit, or -1.
int hexDigitValue(QChar c);
// "%XX" sequences (and, with plusIsSpace, "+") to bytes read as UTF-8; the text as written when a
// "%" has no two hexadecimal digits after it or the bytes are not UTF-8.
QString percentDecoded(const QString& text, bool plusIsSpace);

// A `{{name}}` reference starting at i (name: ASCII letters, digits, "_", "." or "-"); its length, or 0.
qsizetype variableReferenceLength(QStringView text, qsizetype i);

} // namespace FormatText
