#include "Editor/RegularExpression.h"

#include <QElapsedTimer>

namespace {

// A read-only alias of the QString's UTF-16 buffer; the QString must outlive it and every matcher on it.
icu::UnicodeString alias(const QString& s) {
    return icu::UnicodeString(false, reinterpret_cast<const char16_t*>(s.utf16()), int32_t(s.size()));
}

QString toQString(const icu::UnicodeString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
}

// Characters with a meaning of their own outside a character class (no comments mode is ever used).
bool isMetacharacter(QChar c) {
    static const QString meta = QStringLiteral("\\^$.|?*+()[]{}");
    return meta.contains(c);
}

} // namespace

RegularExpression::RegularExpression(std::shared_ptr<const icu::RegexPattern> compiled, QString pattern,
                                     bool caseInsensitive)
    : compiled_(std::move(compiled)), pattern_(std::move(pattern)), caseInsensitive_(caseInsensitive) {}

std::optional<RegularExpression> RegularExpression::compile(const QString& pattern, bool caseInsensitive) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
        alias(pattern), caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0, parseError, status));
    if (U_FAILURE(status) || !compiled) return std::nullopt;
    return RegularExpression(std::shared_ptr<const icu::RegexPattern>(std::move(compiled)), pattern, caseInsensitive);
}

QString RegularExpression::escapedPattern(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        if (isMetacharacter(c)) out += u'\\';
        out += c;
    }
    return out;
}

QString RegularExpression::escapedTemplate(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        if (c == u'\\' || c == u'$') out += u'\\';
        out += c;
    }
    return out;
}

std::unique_ptr<icu::RegexMatcher> RegularExpression::matcherFor(const icu::UnicodeString& input) const {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return nullptr;
    if (timeLimit_ > 0) {
        matcher->setTimeLimit(timeLimit_, status);
        if (U_FAILURE(status)) return nullptr;
    }
    return matcher;
}

RegularExpression::Outcome RegularExpression::forEachMatch(const QString& text, int group,
                                                           const std::function<void(TextRange)>& visit) const {
    const icu::UnicodeString input = alias(text);
    const std::unique_ptr<icu::RegexMatcher> matcher = matcherFor(input);
    if (!matcher || group < 0 || group > matcher->groupCount()) return Outcome::failed;

    // The engine's own limit bounds one search step; the clock bounds a run of many cheap-but-slow steps.
    QElapsedTimer clock;
    clock.start();
    UErrorCode status = U_ZERO_ERROR;
    while (matcher->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher->start(group, status);
        const int32_t end = matcher->end(group, status);
        if (U_FAILURE(status)) break;
        if (start >= 0) visit(TextRange{start, end - start});
        if (timeLimit_ > 0 && clock.elapsed() > timeLimit_) return Outcome::timedOut;
    }
    if (status == U_REGEX_TIME_OUT) return Outcome::timedOut;
    return U_FAILURE(status) ? Outcome::failed : Outcome::completed;
}

QList<TextRange> RegularExpression::matches(const QString& text) const {
    QList<TextRange> out;
    if (forEachMatch(text, 0, [&](TextRange r) { out.append(r); }) != Outcome::completed) return {};
    return out;
}

std::optional<QString> RegularExpression::replaceAll(const QString& text, const QString& replacementTemplate) const {
    const icu::UnicodeString input = alias(text);
    const icu::UnicodeString replacement = alias(replacementTemplate);
    const std::unique_ptr<icu::RegexMatcher> matcher = matcherFor(input);
    if (!matcher) return std::nullopt;
    // Step by step rather than RegexMatcher::replaceAll, which drops a time-out and returns the text unchanged.
    QElapsedTimer clock;
    clock.start();
    icu::UnicodeString result;
    UErrorCode status = U_ZERO_ERROR;
    while (matcher->find(status) && U_SUCCESS(status)) {
        matcher->appendReplacement(result, replacement, status);
        if (U_FAILURE(status) || (timeLimit_ > 0 && clock.elapsed() > timeLimit_)) return std::nullopt;
    }
    if (U_FAILURE(status)) return std::nullopt;
    matcher->appendTail(result);
    return toQString(result);
}

std::optional<QString> RegularExpression::expandAt(const QString& text, TextRange match,
                                                   const QString& replacementTemplate) const {
    if (match.location < 0 || match.end() > text.size()) return std::nullopt;
    const icu::UnicodeString input = alias(text);
    const std::unique_ptr<icu::RegexMatcher> matcher = matcherFor(input);
    if (!matcher) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    if (!matcher->find(match.location, status) || U_FAILURE(status)) return std::nullopt;
    if (matcher->start(status) != match.location || matcher->end(status) != match.end()) return std::nullopt;

    // appendReplacement copies the text before the match too; the expansion is what follows it.
    icu::UnicodeString expanded;
    const icu::UnicodeString replacement = alias(replacementTemplate);
    matcher->appendReplacement(expanded, replacement, status);
    if (U_FAILURE(status)) return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(expanded.getBuffer()) + match.location,
                   expanded.length() - match.location);
}
