#include "Editor/RegularExpression.h"

#include <algorithm>
#include <vector>

#include "Platform/MapAhead.h"
#include "Platform/ParallelChunks.h"

// What a search may still spend. The engine reports its running step count every 10,000 saves and
// announces each new start position; an attempt is measured from the count at its start.
struct RegexBudget {
    int32_t attemptLimit = 0;  // 0: unlimited
    int64_t totalLimit = 0;
    int32_t steps = 0;
    int32_t attemptStart = 0;

    // Called before each find(): its first attempt gets no start announcement of its own.
    void beginAttempt() { attemptStart = steps; }
};

namespace {

UBool U_CALLCONV onSteps(const void* context, int32_t steps) {
    auto& budget = *static_cast<RegexBudget*>(const_cast<void*>(context));
    budget.steps = steps;
    return steps - budget.attemptStart < budget.attemptLimit && steps < budget.totalLimit;
}

UBool U_CALLCONV onNextStart(const void* context, int64_t) {
    static_cast<RegexBudget*>(const_cast<void*>(context))->beginAttempt();
    return true;
}

bool stopped(UErrorCode status) {
    return status == U_REGEX_STOPPED_BY_CALLER || status == U_REGEX_TIME_OUT || status == U_REGEX_STACK_OVERFLOW;
}

// A read-only alias of the QString's UTF-16 buffer; the QString must outlive it and every matcher on it.
icu::UnicodeString alias(const QString& s) {
    // constData(), not utf16(): a string over raw data would be copied whole to be terminated.
    return icu::UnicodeString(false, reinterpret_cast<const char16_t*>(s.constData()), int32_t(s.size()));
}

// Characters with a meaning of their own outside a character class (no comments mode is ever used).
bool isMetacharacter(QChar c) {
    static const QString meta = QStringLiteral("\\^$.|?*+()[]{}");
    return meta.contains(c);
}

// The template with every dollar sign that names no group (not followed by a digit or "{")
// escaped, so that it is inserted as itself rather than failing the whole replacement.
QString withLiteralDollars(const QString& replacementTemplate) {
    QString out;
    out.reserve(replacementTemplate.size() + 4);
    for (qsizetype i = 0; i < replacementTemplate.size(); ++i) {
        const QChar c = replacementTemplate[i];
        const QChar next = i + 1 < replacementTemplate.size() ? replacementTemplate[i + 1] : QChar();
        if (c == u'\\' && !next.isNull()) {
            out += c;
            out += next;
            ++i;
            continue;
        }
        if (c == u'$' && !(next >= u'0' && next <= u'9') && next != u'{') out += u'\\';
        out += c;
    }
    return out;
}

} // namespace

bool RegularExpression::isValidTemplate(const QString& replacementTemplate) const {
    const QString& t = replacementTemplate;
    UErrorCode made = U_ZERO_ERROR;
    const std::unique_ptr<icu::RegexMatcher> matcher(compiled_->matcher(made));
    if (U_FAILURE(made) || !matcher) return false;
    const int32_t groups = matcher->groupCount();
    for (qsizetype i = 0; i + 1 < t.size(); ++i) {
        if (t[i] == u'\\') {
            ++i;
            continue;
        }
        if (t[i] != u'$') continue;
        const QChar next = t[i + 1];
        if (next.isDigit() && next.digitValue() > groups) return false;
        if (next != u'{') continue;
        const qsizetype close = t.indexOf(u'}', i + 2);
        if (close < 0) return false;
        const QString name = t.mid(i + 2, close - i - 2);
        if (name.isEmpty() || !((name[0] >= u'a' && name[0] <= u'z') || (name[0] >= u'A' && name[0] <= u'Z')))
            return false;
        UErrorCode status = U_ZERO_ERROR;
        compiled_->groupNumberFromName(alias(name), status);
        if (U_FAILURE(status)) return false;
        i = close;
    }
    return true;
}

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

std::unique_ptr<icu::RegexMatcher> RegularExpression::matcherFor(const icu::UnicodeString& input,
                                                                 RegexBudget& budget) const {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return nullptr;
    if (timeLimit_ > 0) {
        budget.attemptLimit = timeLimit_;
        budget.totalLimit = int64_t(timeLimit_) + input.length() / kCharactersPerStep;
        matcher->setMatchCallback(onSteps, &budget, status);
        matcher->setFindProgressCallback(onNextStart, &budget, status);
        if (U_FAILURE(status)) return nullptr;
    }
    return matcher;
}

RegularExpression::Outcome RegularExpression::forEachMatch(const QString& text, int group,
                                                           const std::function<void(TextRange)>& visit) const {
    return forEachMatchIn(text, TextRange{0, text.size()}, group, visit);
}

RegularExpression::Outcome RegularExpression::forEachMatchIn(const QString& text, TextRange region, int group,
                                                             const std::function<void(TextRange)>& visit) const {
    const icu::UnicodeString input = alias(text);
    RegexBudget budget;
    const std::unique_ptr<icu::RegexMatcher> matcher = matcherFor(input, budget);
    if (!matcher || group < 0 || group > matcher->groupCount()) return Outcome::failed;

    UErrorCode status = U_ZERO_ERROR;
    if (region.location != 0 || region.end() != text.size()) {
        if (region.location < 0 || region.end() > text.size() || region.length < 0) return Outcome::failed;
        matcher->region(region.location, region.end(), status);
        matcher->useTransparentBounds(true);
        matcher->useAnchoringBounds(false);
        if (U_FAILURE(status)) return Outcome::failed;
    }
    for (budget.beginAttempt(); matcher->find(status) && U_SUCCESS(status); budget.beginAttempt()) {
        const int32_t start = matcher->start(group, status);
        const int32_t end = matcher->end(group, status);
        if (U_FAILURE(status)) break;
        if (start >= 0) visit(TextRange{start, end - start});
    }
    if (stopped(status)) return Outcome::timedOut;
    return U_FAILURE(status) ? Outcome::failed : Outcome::completed;
}

QList<TextRange> RegularExpression::matches(const QString& text) const {
    QList<TextRange> out;
    if (forEachMatch(text, 0, [&](TextRange r) { out.append(r); }) != Outcome::completed) return {};
    return out;
}

std::optional<QList<RegularExpression::Replacement>> RegularExpression::replacements(
    const QString& text, const QString& replacementTemplate, Outcome* outcome) const {
    Outcome ignored;
    Outcome& why = outcome ? *outcome : ignored;
    why = Outcome::failed;
    const icu::UnicodeString input = alias(text);
    const QString fullTemplate = withLiteralDollars(replacementTemplate);
    const icu::UnicodeString replacement = alias(fullTemplate);
    RegexBudget budget;
    const std::unique_ptr<icu::RegexMatcher> matcher = matcherFor(input, budget);
    if (!matcher) return std::nullopt;
    // Step by step rather than RegexMatcher::replaceAll, which drops a stopped search and returns the
    // text unchanged as if nothing matched. appendReplacement copies the text since the last match
    // too; each expansion is what it appends after that.
    QList<Replacement> out;
    icu::UnicodeString expanded;
    int32_t copiedTo = 0;  // the end of the last match: where the copy of the text before a match starts
    UErrorCode status = U_ZERO_ERROR;
    for (budget.beginAttempt(); matcher->find(status) && U_SUCCESS(status); budget.beginAttempt()) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        expanded.remove();
        matcher->appendReplacement(expanded, replacement, status);
        if (U_FAILURE(status)) return std::nullopt;
        const int32_t skipped = start - copiedTo;
        out.append({TextRange{start, end - start},
                    QString(reinterpret_cast<const QChar*>(expanded.getBuffer()) + skipped, expanded.length() - skipped)});
        copiedTo = end;
    }
    if (stopped(status)) why = Outcome::timedOut;
    if (U_FAILURE(status)) return std::nullopt;
    why = Outcome::completed;
    return out;
}

std::optional<QString> RegularExpression::replaceAll(const QString& text, const QString& replacementTemplate,
                                                    Outcome* outcome) const {
    const std::optional<QList<Replacement>> found = replacements(text, replacementTemplate, outcome);
    if (!found) return std::nullopt;
    return spliced(text, *found);
}

QString RegularExpression::spliced(QStringView text, const QList<Replacement>& replacements) {
    // The stretches the result is made of, in order: the text between replacements (cut into pieces
    // of at most kPiece units) and each replacement's text.
    constexpr qsizetype kPiece = 1024 * 1024;
    struct Stretch {
        const QChar* from;
        qsizetype length;
        qsizetype at;  // in the result
    };
    std::vector<Stretch> stretches;
    qsizetype size = 0;
    const auto add = [&](QStringView piece) {
        for (qsizetype done = 0; done < piece.size(); done += kPiece) {
            const qsizetype length = qMin(kPiece, piece.size() - done);
            stretches.push_back({piece.data() + done, length, size});
            size += length;
        }
    };
    qsizetype from = 0;
    for (const Replacement& r : replacements) {
        add(text.sliced(from, r.range.location - from));
        add(r.text);
        from = r.range.end();
    }
    add(text.sliced(from));
    // Copied a few megabytes per job on several threads: writing tens of megabytes into new memory
    // is mostly the cost of its pages' first touch, which the cores take side by side.
    std::vector<size_t> jobStarts{0};
    for (size_t i = 0, units = 0; i < stretches.size(); ++i) {
        units += size_t(stretches[i].length);
        if (units >= size_t(4 * kPiece)) {
            jobStarts.push_back(i + 1);
            units = 0;
        }
    }
    if (jobStarts.back() != stretches.size()) jobStarts.push_back(stretches.size());
    QString out(size, Qt::Uninitialized);
    QChar* to = out.data();
    const int jobs = int(jobStarts.size()) - 1;
    ParallelChunks::run(jobs, jobs > 1 ? ParallelChunks::threadCount() : 1, [&](int, int job) {
        const Stretch& first = stretches[jobStarts[size_t(job)]];
        const Stretch& last = stretches[jobStarts[size_t(job) + 1] - 1];
        MapAhead::forWriting(to + first.at, size_t(last.at + last.length - first.at) * sizeof(QChar));
        for (size_t i = jobStarts[size_t(job)]; i < jobStarts[size_t(job) + 1]; ++i)
            std::copy_n(stretches[i].from, stretches[i].length, to + stretches[i].at);
    });
    return out;
}

std::optional<QString> RegularExpression::expandAt(const QString& text, TextRange match,
                                                   const QString& replacementTemplate) const {
    if (match.location < 0 || match.end() > text.size()) return std::nullopt;
    const icu::UnicodeString input = alias(text);
    RegexBudget budget;
    const std::unique_ptr<icu::RegexMatcher> matcher = matcherFor(input, budget);
    if (!matcher) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    if (!matcher->find(match.location, status) || U_FAILURE(status)) return std::nullopt;
    if (matcher->start(status) != match.location || matcher->end(status) != match.end()) return std::nullopt;

    // appendReplacement copies the text before the match too; the expansion is what follows it.
    icu::UnicodeString expanded;
    const QString fullTemplate = withLiteralDollars(replacementTemplate);
    const icu::UnicodeString replacement = alias(fullTemplate);
    matcher->appendReplacement(expanded, replacement, status);
    if (U_FAILURE(status)) return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(expanded.getBuffer()) + match.location,
                   expanded.length() - match.location);
}
