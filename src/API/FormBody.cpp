#include "API/FormBody.h"

#include "API/FormatText.h"
#include "API/URLQuery.h"

#include <algorithm>
#include <optional>


namespace FormBody {

namespace {

// As curl --data-urlencode writes a field: percent-encoded, a space as "+" (every "%" the encoder
// writes starts an escape, so "%20" can only be a space). With keepReferences, {{name}} references
// stay as written.
QString encoded(const QString& text, bool keepReferences) {
    const auto run = [](QStringView piece) {
        return URLQuery::encoded(piece.toString()).replace(QLatin1String("%20"), QLatin1String("+"));
    };
    QString out;
    out.reserve(text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; keepReferences && i < text.size(); ++i) {
        const qsizetype ref = FormatText::variableReferenceLength(text, i);
        if (!ref) continue;
        out += run(QStringView(text).mid(start, i - start));
        out += QStringView(text).mid(i, ref);
        i += ref - 1;
        start = i + 1;
    }
    return out + run(QStringView(text).mid(start));
}

QString decoded(const QString& text) { return FormatText::percentDecoded(text, true); }


// One "&"-separated piece of a body as a field; nothing when it holds neither key nor value.
std::optional<KeyValueItem> fieldOf(QStringView piece) {
    while (!piece.isEmpty() && (piece.front() == u'\n' || piece.front() == u'\r')) piece = piece.mid(1);
    while (!piece.isEmpty() && (piece.back() == u'\n' || piece.back() == u'\r')) piece.chop(1);
    KeyValueItem field;
    if (piece.startsWith(u'~')) {
        field.enabled = false;
        piece = piece.mid(1);
    }
    const qsizetype eq = piece.indexOf(u'=');
    field.key = decoded((eq < 0 ? piece : piece.left(eq)).toString());
    field.value = eq < 0 ? QString() : decoded(piece.mid(eq + 1).toString());
    if (field.key.isEmpty() && field.value.isEmpty()) return std::nullopt;
    return field;
}

} // namespace

QList<KeyValueItem> fields(const QString& body) {
    QList<KeyValueItem> out;
    for (QStringView piece : QStringView(body).split(u'&'))
        if (auto field = fieldOf(piece)) out.append(*field);
    return out;
}

QString body(const QList<KeyValueItem>& fields, const QString& previous) {
    // Pieces of the previous text that read as a field, to be written again as they were.
    struct Written {
        QStringView text;
        KeyValueItem field;
        bool used = false;
    };
    QList<Written> written;
    for (QStringView piece : QStringView(previous).split(u'&'))
        if (auto field = fieldOf(piece)) written.append({piece, *field});
    QStringList pieces;
    for (const KeyValueItem& field : fields) {
        // A value typed before its key is kept (and never sent) until the key comes.
        if (field.key.isEmpty() && field.value.isEmpty()) continue;
        const auto same = std::find_if(written.begin(), written.end(), [&](const Written& w) { return !w.used && w.field.sameContent(field); });
        if (same != written.end()) {
            same->used = true;
            pieces.append(same->text.toString());
            continue;
        }
        QString key = encoded(field.key, true);
        if (key.startsWith(u'~')) key.replace(0, 1, QStringLiteral("%7E"));
        pieces.append((field.enabled ? QString() : QStringLiteral("~")) + key + u'=' + encoded(field.value, true));
    }
    return pieces.join(u'&');
}

bool isSentEncoded(const HTTPRequest& request) {
    if (request.bodyKind != BodyKind::form) return false;
    QString type;
    for (const KeyValueItem& row : request.headers)
        if (row.enabled && row.key.compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0) type = row.value;
    return type.isEmpty() || type.contains(QLatin1String("urlencoded"), Qt::CaseInsensitive);
}

QString sendable(const QString& body, const std::function<QString(const QString&)>& expand) {
    QStringList pieces;
    for (const KeyValueItem& field : fields(body)) {
        if (!field.enabled) continue;
        const QString key = expand(field.key);
        if (key.isEmpty()) continue;
        pieces.append(encoded(key, false) + u'=' + encoded(expand(field.value), false));
    }
    return pieces.join(u'&');
}

} // namespace FormBody
