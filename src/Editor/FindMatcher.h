#pragma once
// What the editor's find engine asks of a compiled query over the whole text: the matches worth
// showing, and the replacement of one match expanded in its real context.
#include <QList>
#include <QString>
#include <optional>

#include "Editor/RegularExpression.h"
#include "Editor/TextRange.h"

namespace FindMatcher {

struct Result {
    QList<TextRange> matches;  // every non-empty match in text order; empty when stopped
    bool stopped = false;      // the pattern needed more work than its time limit allows
};

// Every non-empty match, however many; a search the time limit stops is reported as stopped,
// never as "no matches".
Result matches(const RegularExpression& expression, const QString& text);

// The replacement template expanded for the match at `match`, searched in the whole text so that
// look-behind, \b and anchors see what a whole-text replacement would. Absent when the expression no
// longer matches exactly there, the search times out, or the template is malformed.
std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate);

} // namespace FindMatcher
