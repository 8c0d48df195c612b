#include "API/FormatText.h"

#include <QStringDecoder>

namespace FormatText {

bool isWhitespace(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

bool isWhitespaceOrNewline(QChar c) {
    const char16_t u = c.unicode();
    return isWhitespace(c) || u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C || u == 0x85 || u == 0x2028 || u == 0x2029;
}

namespace {
template <typename Pred>
QStringView trimWith(QStringView text, Pred pred, bool front = true) {
    qsizetype begin = 0, end = text.size();
    if (front)
        while (begin < end && pred(text[begin])) ++begin;
    while (end > begin && pred(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}
} // namespace

QStringView trimmed(QStringView text) { return trimWith(text, isWhitespace); }
QStringView trimmedWithNewlines(QStringView text) { return trimWith(text, isWhitespaceOrNewline); }
QStringView trimmedEnd(QStringView text) { return trimWith(text, isWhitespace, false); }

QList<Line> splitLines(QStringView text) {
    QList<Line> lines;
    qsizetype start = 0;
    while (true) {
        const qsizetype lf = text.indexOf(u'\n', start);
        if (lf < 0) {
            lines.append({start, text.size(), text.size()});
            return lines;
        }
        const qsizetype contentEnd = (lf > start && text[lf - 1] == u'\r') ? lf - 1 : lf;
        lines.append({start, contentEnd, lf + 1});
        start = lf + 1;
    }
}

QString dominantLineEnding(QStringView text) {
    qsizetype crlf = 0, lf = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n') continue;
        if (i > 0 && text[i - 1] == u'\r') {
            ++crlf;
        } else {
            ++lf;
        }
    }
    return crlf > lf ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

QString withLineEnding(const QString& text, const QString& eol) {
    if (eol == QLatin1String("\n")) return text;
    QString result = text;
    return result.replace(u'\n', eol);
}

int hexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

QString percentDecoded(const QString& text, bool plusIsSpace) {
    if (!text.contains(u'%') && !(plusIsSpace && text.contains(u'+'))) return text;
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (plusIsSpace && c == u'+') {
            bytes += ' ';
        } else if (c != u'%') {
            const qsizetype len = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
            bytes += QStringView(text).mid(i, len).toUtf8();
            i += len - 1;
        } else {
            const int high = i + 2 < text.size() ? hexDigitValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hexDigitValue(text[i + 2]) : -1;
            if (high < 0 || low < 0) return text;
            bytes += char(high * 16 + low);
            i += 2;
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return decoder.hasError() ? text : decoded;
}

qsizetype variableReferenceLength(QStringView text, qsizetype i) {
    if (!text.mid(i).startsWith(u"{{")) return 0;
    qsizetype j = i + 2;
    while (j < text.size()) {
        const char16_t c = text[j].unicode();
        const bool nameChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                              c == '.' || c == '-';
        if (!nameChar) break;
        ++j;
    }
    if (j == i + 2 || !text.mid(j).startsWith(u"}}")) return 0;
    return j + 2 - i;
}

} // namespace FormatText
