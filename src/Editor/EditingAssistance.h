#pragma once
// The editor's typing help, decided on the text alone: auto-indent on Return, bracket and quote
// pairing, typing over a closer, wrapping a selection, deleting an empty pair, toggling line
// comments and finding a line. The text view asks before it applies a typed or pasted change and
// carries out what it is told.
#include <QString>
#include <optional>

#include "Editor/CodeLanguage.h"
#include "Editor/TextRange.h"

namespace EditingAssistance {

// An edit of the editor's own: replace range by text, then select selection.
struct OwnEdit {
    TextRange range;
    QString text;
    TextRange selection;
    friend bool operator==(const OwnEdit&, const OwnEdit&) = default;
};

struct Decision {
    enum class Kind { allow, moveCaret, edit };
    Kind kind = Kind::allow;
    qsizetype caret = 0;  // moveCaret: where the caret goes
    OwnEdit edit;         // edit: what to do instead of the change
};

// The change filter: replacement about to replace range in text. newline is the line ending a
// typed Return inserts; a replacement of exactly "\n" stands for that Return.
Decision filter(const QString& text, TextRange range, const QString& replacement, CodeLanguage language,
                const QString& newline = QStringLiteral("\n"));

// Comments or uncomments the lines the selection touches, keeping each line's own terminator.
// Absent for languages without a line-comment prefix.
std::optional<OwnEdit> toggleComment(const QString& text, TextRange selection, CodeLanguage language);

// Start of the 1-based line; past the last line, the last line; below 1, the first.
qsizetype lineStartOffset(const QString& text, qint64 line);

} // namespace EditingAssistance
