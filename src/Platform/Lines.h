#pragma once
// Line enumeration over every line terminator the editor honours:
// LF, CR, CR LF, NEL (U+0085), LINE SEPARATOR (U+2028) and PARAGRAPH SEPARATOR (U+2029).
#include <QList>
#include <QStringView>

namespace Lines {

struct Range {
    qsizetype start = 0;       // first character of the line
    qsizetype contentEnd = 0;  // one past the last character before the terminator
    qsizetype end = 0;         // one past the terminator (== contentEnd on the last line without one)
};

inline bool isBreak(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x85 || c == 0x2028 || c == 0x2029; }

// Length of the terminator starting at i (0 when none): 2 for CR LF.
qsizetype terminatorLength(QStringView text, qsizetype i);

// Whether the text holds any line terminator: far quicker than counting them, as a long text
// without one (a minified line) is read at memory speed.
bool hasBreak(QStringView text);

// How many line terminators the text holds, CR LF counting as one (and an LF at its start as one,
// whatever came before it).
qsizetype breakCount(QStringView text);

// Every line of the text. An empty text has one empty line; a text ending in a terminator
// has an empty last line after it.
QList<Range> all(QStringView text);

// The line holding offset (offset may equal text.size()).
Range containing(QStringView text, qsizetype offset);

// Start of the line holding offset, scanning backwards.
qsizetype lineStart(QStringView text, qsizetype offset);

} // namespace Lines
