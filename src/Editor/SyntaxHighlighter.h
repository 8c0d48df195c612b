#pragma once
// What every highlighter does: colour spans for a range of a text. The caller paints the range in
// the base colour, then every span in list order, so later spans win where they overlap.
#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "Editor/TextEdit.h"
#include "Editor/TextRange.h"
#include "Editor/TokenRole.h"

class SyntaxHighlighter {
public:
    struct Span {
        TextRange range;
        TokenRole role;
        friend bool operator==(const Span&, const Span&) = default;
    };

    virtual ~SyntaxHighlighter() = default;

    // text is the whole text; edit, when present, is the edit that produced it since the last call;
    // range is the part to colour. Not const: a highlighter may keep state between calls.
    virtual QList<Span> ranges(const QString& text, const std::optional<TextEdit>& edit, TextRange range) = 0;

    // Records an edit made since the last call, for a caller that sees edits one at a time: the next
    // ranges() call takes every noted edit, in order, before its own. A highlighter that keeps
    // nothing between calls ignores it.
    virtual void noteEdit(const TextEdit&) {}

    // For callers that colour a text with no edit history (a response body).
    QList<Span> ranges(const QString& text, TextRange range) { return ranges(text, std::nullopt, range); }

    // For a text given whole only up to the range's end (one kept with a gap at the last edit): a
    // highlighter asks for it up to `end` before reading that far. Unset, the text is whole.
    void setReader(std::function<void(qsizetype end)> reader) { reader_ = std::move(reader); }

protected:
    void readUpTo(qsizetype end) const {
        if (reader_) reader_(end);
    }

private:
    std::function<void(qsizetype)> reader_;
};
