#include "API/URLQuery.h"

#include <QByteArrayView>
#include <QUrl>

#include "API/FormatText.h"

namespace URLQuery {

QString encoded(const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); }

QString queryEncoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("!$'()*,/:;?@")));
}

QString piece(const KeyValueItem& row) {
    if (const std::optional<QString> written = row.writtenQuery()) return *written;
    return queryEncoded(row.key) + u'=' + queryEncoded(row.value);
}

QString compose(const QString& url, const QList<KeyValueItem>& rows) {
    if (rows.isEmpty()) return url;
    const qsizetype hash = url.indexOf(u'#');
    QString out = hash < 0 ? url : url.left(hash);
    QString fragment = hash < 0 ? QString() : url.mid(hash);
    const qsizetype question = out.indexOf(u'?');
    bool first = question < 0 || question == out.size() - 1 || out.endsWith(u'&');
    if (question < 0) out += u'?';
    for (const KeyValueItem& row : rows) {
        QString text = piece(row);
        // A row written with a fragment after it: the fragment goes to the end, where it belongs.
        if (const qsizetype at = text.indexOf(u'#'); at >= 0) {
            if (fragment.isEmpty()) fragment = text.mid(at);
            text.truncate(at);
            if (text.isEmpty()) continue;  // the row was all fragment
        }
        if (!first) out += u'&';
        out += text;
        first = false;
    }
    return out + fragment;
}

QString wireText(const QString& text) {
    static constexpr QByteArrayView unsafe = "\"<>\\^`{|}";
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // A "%" that starts no escape is data.
        const bool escape = c == u'%' && i + 2 < text.size() && FormatText::hexDigitValue(text[i + 1]) >= 0 &&
                            FormatText::hexDigitValue(text[i + 2]) >= 0;
        if (c > 0x20 && c < 0x7f && !unsafe.contains(char(c)) && (c != u'%' || escape)) {
            out += QChar(c);
            continue;
        }
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        for (const char byte : QStringView(text).mid(i, length).toUtf8())
            out += QStringLiteral("%%1").arg(uint(uchar(byte)), 2, 16, QChar(u'0')).toUpper();
        i += length - 1;
    }
    return out;
}

} // namespace URLQuery
