#pragma once
// What the editor's find engine asks of a compiled query over the whole text: the matches worth
// showing, and the replacement of one match expanded in its real context.
#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "Editor/EditSpan.h"
#include "Editor/RegularExpression.h"
#include "Editor/TextRange.h"

namespace FindMatcher {

struct Result {
    QList<TextRange> matches;  // every non-empty match in text order; empty when stopped
    bool stopped = false;      // the pattern needed more work than its time limit allows
    qsizetype counted = -1;    // how many there are, where they were counted and not kept
};

// Units of text the calling thread has searched here so far: what a find costs, counted.
qsizetype unitsSearchedHere();
// Matches matchesIn() has kept on the calling thread so far.
qsizetype matchesKeptHere();
// Places of matches the searches of whole texts have kept so far, on every thread: what a count
// costs in memory, counted.
qsizetype placesKeptAnywhere();

// Every non-empty match, however many; a search the time limit stops is reported as stopped,
// never as "no matches".
Result matches(const RegularExpression& expression, const QString& text);

// How far one match attempt of a literal query of `queryLength` units may read from where it
// starts, either way: case-insensitive matching folds a character to up to three, each of up to
// two units, and a word boundary looks one character further.
qsizetype literalReach(qsizetype queryLength);

// The matches of a literal query after `edit`, from its matches before it (`before`, in the text as
// it was): only the text around the edit is searched again, `reach` as literalReach gives it. Equal
// to matches() of the new text. A text whole only up to the edit's start (one kept with a gap) is
// asked for up to where the search reads next with `readUpTo`, as SyntaxHighlighter::setReader says.
using ReadUpTo = std::function<void(qsizetype end)>;
Result matchesAfterEdit(const RegularExpression& expression, qsizetype reach, const QList<TextRange>& before,
                        const QString& text, const EditSpan& edit, const ReadUpTo& readUpTo = {});

// True when no match of the regular expression `pattern` can hold a line terminator, nor any of
// its look-arounds read past one (judged from the pattern alone, erring towards false).
bool staysWithinALine(QStringView pattern);

// The matches of such an expression after `edit`, from its matches before it: only the lines
// around the edit are searched again. Equal to matches() of the new text.
Result matchesAfterLineEdit(const RegularExpression& expression, const QList<TextRange>& before, const QString& text,
                            const EditSpan& edit, const ReadUpTo& readUpTo = {});

// matches() of a literal query (`reach` as literalReach gives it), a text of two pieces or more
// searched a piece at a time on several threads.
Result literalMatches(const RegularExpression& expression, qsizetype reach, const QString& text,
                      qsizetype piece = qsizetype(1) << 21);

// How many matches literalMatches() finds for a plain query of ASCII characters and no line break,
// counted without keeping where they are (`counted`): each unit is compared once where the text is
// ASCII (or case counts), and the lines holding other characters are searched by the expression.
// Pieces of about `piece` units, cut at line starts, are counted on several threads. Absent for any
// other query.
std::optional<Result> literalCount(const RegularExpression& expression, const QString& text,
                                   qsizetype piece = qsizetype(1) << 23);

// The matches a search of the whole text finds in `region`, found by searching the region alone:
// exact where the region starts and ends at line starts (or the text's ends) and no match holds a
// line terminator. A stopped search gives what it found before. At most `most` are kept, the first
// ones, when it is not negative.
QList<TextRange> matchesIn(const RegularExpression& expression, const QString& text, TextRange region,
                           qsizetype most = -1);

// The replacement template expanded for the match at `match`, searched in the whole text so that
// look-behind, \b and anchors see what a whole-text replacement would. Absent when the expression no
// longer matches exactly there, the search times out, or the template is malformed.
std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate);

} // namespace FindMatcher
