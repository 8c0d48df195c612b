#include "Git/ProcessText.h"

#include <QStringDecoder>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace ProcessText {

QString decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

bool isBlank(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

bool isWhitespaceOrNewline(QChar c) { return c.isSpace(); }

template <typename Pred>
static QString trimWith(const QString& text, Pred pred) {
    qsizetype start = 0, end = text.size();
    while (start < end && pred(text.at(start))) ++start;
    while (end > start && pred(text.at(end - 1))) --end;
    return text.mid(start, end - start);
}

QString trimBlanks(const QString& text) { return trimWith(text, isBlank); }

QString trimWhitespace(const QString& text) { return trimWith(text, isWhitespaceOrNewline); }

std::optional<QString> firstNonBlankLine(const QString& text) {
    for (const QString& piece : text.split(u'\n', Qt::SkipEmptyParts)) {
        QString trimmed = trimBlanks(piece);
        if (!trimmed.isEmpty()) return trimmed;
    }
    return std::nullopt;
}

QString leadingCharacters(const QString& text, qsizetype count) {
    if (count <= 0) return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype seen = 0;
    while (seen < count && finder.toNextBoundary() != -1) ++seen;
    return seen < count ? text : text.left(finder.position());
}

qsizetype characterCount(const QString& text, qsizetype limit) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype seen = 0;
    while (seen <= limit && finder.toNextBoundary() != -1) ++seen;
    return seen;
}

} // namespace ProcessText
