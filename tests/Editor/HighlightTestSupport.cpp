#include "HighlightTestSupport.h"

namespace highlight_test {

namespace {
TextEdit::Point pointAt(const QString& text, qsizetype offset) {
    // lastIndexOf with -1 would search from the end.
    const qsizetype lineStart = offset == 0 ? 0 : text.lastIndexOf(u'\n', offset - 1) + 1;
    return {text.left(offset).count(u'\n'), offset - lineStart};
}
} // namespace

TextEdit replace(QString& text, qsizetype start, qsizetype removed, const QString& inserted) {
    TextEdit edit;
    edit.startChar = start;
    edit.oldEndChar = start + removed;
    edit.newEndChar = start + inserted.size();
    edit.startPoint = pointAt(text, start);
    edit.oldEndPoint = pointAt(text, start + removed);
    text.replace(start, removed, inserted);
    edit.newEndPoint = pointAt(text, edit.newEndChar);
    return edit;
}

std::vector<std::optional<TokenRole>> paint(const QList<SyntaxHighlighter::Span>& spans, qsizetype length) {
    std::vector<std::optional<TokenRole>> roles(static_cast<size_t>(length));
    for (const SyntaxHighlighter::Span& s : spans)
        for (qsizetype i = s.range.location; i < s.range.end() && i < length; ++i) roles[size_t(i)] = s.role;
    return roles;
}

QStringList texts(const QList<SyntaxHighlighter::Span>& spans, const QString& text, TokenRole role) {
    QStringList out;
    for (const SyntaxHighlighter::Span& s : spans)
        if (s.role == role) out << text.mid(s.range.location, s.range.length);
    return out;
}

} // namespace highlight_test
