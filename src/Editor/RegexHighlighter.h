#pragma once
// The fallback highlighter: a fixed sequence of regular-expression passes, with per-language keyword
// and type lists and comment styles. The result for a range is what passes over the whole text would
// give there, at a cost that follows the range: passes whose matches stay within a line start at the
// range's first line; strings and block comments, which may run over many lines, resume from points
// remembered between calls where their scan is known to stand. No scan starts more than a bounded
// stretch before the range: where the scan would have to come from further (a quote typed far
// above, nothing coloured between), it starts afresh at a line start there. Nor does a string or
// comment reach more than that stretch past the range.
#include <QStringList>
#include <array>
#include <optional>

#include "Editor/RegularExpression.h"
#include "Editor/ResumePoints.h"
#include "Editor/SyntaxHighlighter.h"

class RegexHighlighter : public SyntaxHighlighter {
public:
    // How strings and comments are found. apart: each by a pass of its own, so a quote inside a
    // comment still opens a string, and a comment introducer inside a string still starts a
    // comment. inTurn: in one scan from the start of the text, where whichever opens first runs to
    // its end and nothing inside it opens anything, as the language itself reads them.
    enum class Delimiting { apart, inTurn };

    RegexHighlighter(QStringList keywords, QStringList types, std::optional<QString> lineComment,
                     bool supportsBlockComment, bool supportsHashComment,
                     Delimiting delimiting = Delimiting::apart);

    using SyntaxHighlighter::ranges;
    // The spans touching range. Edits (this one and every noted one) tell which remembered points
    // still hold; a text that changed without them is scanned afresh.
    QList<Span> ranges(const QString& text, const std::optional<TextEdit>& edit, TextRange range) override;
    void noteEdit(const TextEdit& edit) override;

    const QStringList& keywords() const { return keywords_; }
    const QStringList& types() const { return types_; }
    const std::optional<QString>& lineComment() const { return lineComment_; }
    bool supportsBlockComment() const { return supportsBlockComment_; }
    bool supportsHashComment() const { return supportsHashComment_; }
    Delimiting delimiting() const { return delimiting_; }
    // Absent when the list is empty or its pattern did not compile.
    const std::optional<RegularExpression>& keywordRegex() const { return keywordRegex_; }
    const std::optional<RegularExpression>& typeRegex() const { return typeRegex_; }

    // UTF-16 units the last ranges() call read: what the passes searched and what their scans for
    // line starts, comment introducers, strings and block comments went over.
    qsizetype lastScanLength() const { return scanned_; }
    // Of those, the units the word passes (calls, types, keywords, attributes, numbers) searched.
    qsizetype lastWordScanLength() const { return wordsScanned_; }
    // Resume points the last ranges() call and the edits noted before it went through one at a time
    // (looked at, moved or rewritten).
    qsizetype lastPointsMoved() const { return pointsMoved_; }

private:
    // The first comment introducer of the line starting at lineStart, as far as scanned: where it is
    // (-1 while none is known), and where the scan stopped.
    struct IntroducerSeen {
        qsizetype lineStart = -1;
        qsizetype scannedTo = -1;
        qsizetype found = -1;
    };
    // The first introducer of the line starting at lineStart that begins before `before`, or -1;
    // scans on from where seen stopped.
    qsizetype firstIntroducer(IntroducerSeen& seen, QStringView introducer, const QString& text,
                                     qsizetype lineStart, qsizetype before);
    // The start of the line (after an LF) holding offset, found without reading a long line again;
    // on a line that starts further back than the scans look, where they start.
    struct LineSeen {
        qsizetype lineStart = -1;  // after an LF, or where a search for one gave up
        qsizetype checkedTo = -1;  // no LF from lineStart up to here
    };
    qsizetype lineStartOf(const QString& text, qsizetype offset);
    // The first `needle` in [from, to) of the text, asking for it a step at a time; -1 when none.
    qsizetype findOnward(const QString& text, QStringView needle, qsizetype from, qsizetype to) const;
    // Where the text holds no quote from `from` to its end, so a string opened there runs out of
    // text: known from a scan that went there, and kept through edits. Edited text in it
    // ([uncheckedFrom, uncheckedTo)) is looked at before it is trusted again.
    struct QuoteFreeTail {
        qsizetype from = -1;  // -1: nothing known
        qsizetype uncheckedFrom = 0;
        qsizetype uncheckedTo = 0;
    };
    void shiftQuoteFreeTail(const TextEdit& edit);
    void checkQuoteFreeTail(const QString& text);
    // Every match of the word passes (calls, types, keywords, attributes, numbers, in that order) in
    // the stretch the last look searched, kept through the edits made inside it since: a look at the
    // same stretch after a few keys searches again only around what they changed.
    struct WordMatches {
        qsizetype from = 0;     // the passes but the call pass searched [from, to)
        qsizetype to = 0;
        qsizetype callsTo = 0;  // the call pass searched [from, callsTo)
        std::array<QList<Span>, 5> passes;
        qsizetype changedFrom = -1;  // what the edits since changed: [changedFrom, changedTo); -1: nothing
        qsizetype changedTo = -1;
    };
    void shiftWordMatches(const TextEdit& edit);
    // The word passes' matches in [from, to) ([from, callsTo) for calls), searched again only where
    // edits changed them when the last look searched the same stretch.
    const WordMatches& wordMatches(const QString& text, qsizetype from, qsizetype to, qsizetype callsTo);
    enum class Delimited { string, blockComment };
    void delimitedPass(Delimited kind, const QString& text, TextRange range, QList<Span>& spans);
    void forgetAll();
    void shiftFor(const TextEdit& edit);

    QStringList keywords_;
    QStringList types_;
    std::optional<QString> lineComment_;
    bool supportsBlockComment_ = false;
    bool supportsHashComment_ = false;
    Delimiting delimiting_ = Delimiting::apart;
    std::optional<RegularExpression> keywordRegex_;
    std::optional<RegularExpression> typeRegex_;
    std::optional<RegularExpression> lineCommentRegex_;  // the introducer, then the rest of the line

    // What the resume points were found in: a text that differs without a noted edit drops them all.
    const QChar* seenData_ = nullptr;
    qsizetype seenSize_ = -1;
    bool editNoted_ = false;
    ResumePoints stringPoints_;
    ResumePoints blockCommentPoints_;
    IntroducerSeen lineCommentSeen_;
    IntroducerSeen hashCommentSeen_;
    LineSeen lineSeen_;
    QuoteFreeTail quoteFreeTail_;
    std::optional<WordMatches> wordMatches_;
    qsizetype scanned_ = 0;
    qsizetype wordsScanned_ = 0;
    qsizetype pointsMovedBefore_ = 0;  // by both lists, up to the last ranges() call
    qsizetype pointsMoved_ = 0;
};
