#pragma once
// Text tests shared by the navigation overlays: trimming a typed query, splitting it into
// user-perceived characters, and case-insensitive containment that treats canonically equivalent
// text as equal. Pure functions, safe on any thread.
#include <QString>
#include <QStringList>

namespace SearchText {

// Without spaces (any space separator) and tabs at either end; line breaks stay.
QString trimBlanks(const QString& text);

// trimBlanks(line), cut to at most limit code units without splitting a character.
QString preview(const QString& line, qsizetype limit);

// The extended grapheme clusters of the text, in order.
QStringList graphemes(const QString& text);

// Full Unicode case folding, then canonical composition: two texts that differ only by case or
// by the encoding of accents give the same folded text.
QString folded(const QString& text);

// Whether text holds query, ignoring case; an empty query is held by every text.
bool containsIgnoringCase(const QString& text, const QString& query);

} // namespace SearchText
