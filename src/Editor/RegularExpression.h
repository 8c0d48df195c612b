#pragma once
// A compiled ICU regular expression over QString text, reporting UTF-16 ranges.
// Immutable once built apart from its time limit; copies share the compiled pattern.
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include <unicode/regex.h>

#include "Editor/TextRange.h"

struct RegexBudget;

class RegularExpression {
public:
    enum class Outcome { completed, timedOut, failed };

    // Absent when the pattern does not compile. No option but case-insensitivity: the dot stops
    // at line breaks and ^/$ match only at the ends of the whole text.
    static std::optional<RegularExpression> compile(const QString& pattern, bool caseInsensitive = false);

    // The text as a pattern that matches it literally.
    static QString escapedPattern(const QString& text);
    // The text as a replacement template that inserts it literally ($ and \ escaped).
    static QString escapedTemplate(const QString& text);

    const QString& pattern() const { return pattern_; }
    bool isCaseInsensitive() const { return caseInsensitive_; }

    // Bounds the work of one match attempt, in the engine's steps (10,000 backtracking saves each,
    // very roughly a millisecond). A whole search may also spend, besides the limit itself, one step
    // per kCharactersPerStep characters of text, so plain patterns always finish on any text while
    // one that backtracks without end is stopped. A search that is stopped reports timedOut.
    // 0 means no limit, which only the program's own patterns should use.
    static constexpr int kCharactersPerStep = 1000;
    int timeLimit() const { return timeLimit_; }
    void setTimeLimit(int steps) { timeLimit_ = qMax(0, steps); }

    // Calls visit with the range of capture `group` of every match, from the start of the text;
    // matches where the group took no part are skipped. On time-out or failure the visits made so far stand.
    Outcome forEachMatch(const QString& text, int group, const std::function<void(TextRange)>& visit) const;

    // forEachMatch limited to matches that start and end inside region, which must be whole lines for
    // the result to agree with a whole-text search there: look-around and \b still see the text
    // around the region, and ^/$ match only at the ends of the whole text.
    Outcome forEachMatchIn(const QString& text, TextRange region, int group,
                           const std::function<void(TextRange)>& visit) const;

    // Whole-match ranges in text order; empty when the search times out or fails.
    QList<TextRange> matches(const QString& text) const;

    // False when the template names a group the pattern does not have ($n with n past the last
    // group, ${name} with an unknown or unclosed name): replacing through it would fail.
    bool isValidTemplate(const QString& replacementTemplate) const;

    // Every match replaced through the template ($n is capture group n, a backslash escapes the next
    // character, a $ that names no group is itself). Absent when the search times out or the
    // template is malformed: never a partial result. outcome, when given, tells a stopped search
    // (timedOut) from a malformed template (failed).
    std::optional<QString> replaceAll(const QString& text, const QString& replacementTemplate,
                                      Outcome* outcome = nullptr) const;

    // What replaceAll() puts where: each match's range and its expansion, in text order.
    struct Replacement {
        TextRange range;
        QString text;
    };
    std::optional<QList<Replacement>> replacements(const QString& text, const QString& replacementTemplate,
                                                   Outcome* outcome = nullptr) const;
    // The text with each range (ascending, not overlapping) replaced by its text.
    static QString spliced(QStringView text, const QList<Replacement>& replacements);

    // The template expanded for the match found exactly at `match` in the whole text, so look-behind,
    // word boundaries and anchors see the same context as a whole-text search. Absent when no match
    // lies exactly there, the search times out, or the template is malformed.
    std::optional<QString> expandAt(const QString& text, TextRange match, const QString& replacementTemplate) const;

private:
    RegularExpression(std::shared_ptr<const icu::RegexPattern> compiled, QString pattern, bool caseInsensitive);
    // A matcher over input, held to the time limit through budget (which must outlive it).
    std::unique_ptr<icu::RegexMatcher> matcherFor(const icu::UnicodeString& input, RegexBudget& budget) const;

    std::shared_ptr<const icu::RegexPattern> compiled_;
    QString pattern_;
    bool caseInsensitive_ = false;
    int timeLimit_ = 0;
};
