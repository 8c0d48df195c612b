#include "Editor/RegexHighlighter.h"

#include <QtGlobal>

namespace {

// The shared patterns are ours and known to compile; failing to is a broken build, not a user error.
RegularExpression mustCompile(const QString& pattern) {
    std::optional<RegularExpression> compiled = RegularExpression::compile(pattern);
    if (!compiled) qFatal("built-in highlight pattern does not compile: %s", qPrintable(pattern));
    return *compiled;
}

const RegularExpression& funcRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(\b([A-Za-z_][A-Za-z0-9_]*)\s*(?=\())"));
    return re;
}
const RegularExpression& attrRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(@[A-Za-z_][A-Za-z0-9_]*)"));
    return re;
}
const RegularExpression& numberRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(\b\d+(?:\.\d+)?(?:[eE][+-]?\d+)?\b)"));
    return re;
}
const RegularExpression& stringRegex() {
    // Each quote kind: an opening quote, then runs of other characters or backslash escapes, then the
    // same quote. Written unrolled because ICU's backtrack stack overflows on a long run of the plain
    // alternation form; both forms match exactly the same text.
    static const RegularExpression re = mustCompile(QStringLiteral(
        R"("[^"\\]*(?:\\.[^"\\]*)*"|'[^'\\]*(?:\\.[^'\\]*)*'|`[^`\\]*(?:\\.[^`\\]*)*`)"));
    return re;
}
const RegularExpression& hashCommentRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(#[^\n]*)"));
    return re;
}
const RegularExpression& blockCommentRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(/\*[\s\S]*?\*/)"));
    return re;
}

std::optional<RegularExpression> wordListRegex(const QStringList& words) {
    if (words.isEmpty()) return std::nullopt;
    return RegularExpression::compile(QStringLiteral("\\b(") + words.join(u'|') + QStringLiteral(")\\b"));
}

} // namespace

RegexHighlighter::RegexHighlighter(QStringList keywords, QStringList types, std::optional<QString> lineComment,
                                   bool supportsBlockComment, bool supportsHashComment)
    : keywords_(std::move(keywords)),
      types_(std::move(types)),
      lineComment_(std::move(lineComment)),
      supportsBlockComment_(supportsBlockComment),
      supportsHashComment_(supportsHashComment),
      keywordRegex_(wordListRegex(keywords_)),
      typeRegex_(wordListRegex(types_)),
      lineCommentRegex_(lineComment_ ? RegularExpression::compile(RegularExpression::escapedPattern(*lineComment_) +
                                                                  QStringLiteral("[^\\n]*"))
                                     : std::nullopt) {}

QList<SyntaxHighlighter::Span> RegexHighlighter::ranges(const QString& text, const std::optional<TextEdit>&,
                                                        TextRange range) {
    QList<Span> spans;
    const auto pass = [&](const RegularExpression& re, int group, TokenRole role) {
        re.forEachMatch(text, group, [&](TextRange r) {
            if (r.intersects(range) || range.containsLocation(r.location)) spans.append(Span{r, role});
        });
    };

    // Order is precedence, lowest first: the caller paints later spans over earlier ones.
    pass(funcRegex(), 1, TokenRole::function);
    if (typeRegex_) pass(*typeRegex_, 0, TokenRole::type);
    if (keywordRegex_) pass(*keywordRegex_, 0, TokenRole::keyword);
    pass(attrRegex(), 0, TokenRole::attribute);
    pass(numberRegex(), 0, TokenRole::number);
    pass(stringRegex(), 0, TokenRole::string);
    if (lineCommentRegex_) pass(*lineCommentRegex_, 0, TokenRole::comment);
    if (supportsHashComment_) pass(hashCommentRegex(), 0, TokenRole::comment);
    if (supportsBlockComment_) pass(blockCommentRegex(), 0, TokenRole::comment);
    return spans;
}
