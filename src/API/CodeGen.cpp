#include "API/CodeGen.h"

#include "API/HTTPClient.h"

#include <algorithm>

namespace CodeGen {

namespace {

// The URL a send goes to; the text as typed when it does not parse.
QString fullURL(const HTTPRequest& request) { return HTTPClient::composeURL(request).value_or(request.url); }

// Single-quoted for a POSIX shell: nothing inside is special except the quote itself.
QString shellQuoted(QString text) {
    return u'\'' + text.replace(u'\'', QLatin1String("'\\''")) + u'\'';
}

// A double-quoted literal valid in JavaScript and Swift alike.
QString stringLiteral(QString text) {
    text.replace(u'\\', QLatin1String("\\\\"));
    text.replace(u'"', QLatin1String("\\\""));
    text.replace(u'\n', QLatin1String("\\n"));
    text.replace(u'\r', QLatin1String("\\r"));  // a raw CR ends the literal in both languages
    return u'"' + text + u'"';
}

// A template literal that keeps the text literal: no escape sequences, no ${} interpolation.
QString jsTemplate(QString text) {
    if (text.contains(u'`')) return stringLiteral(text);
    text.replace(u'\\', QLatin1String("\\\\"));
    text.replace(QLatin1String("${"), QLatin1String("\\${"));
    text.replace(u'\r', QLatin1String("\\r"));  // template literals would turn CR into LF
    return u'`' + text + u'`';
}

// A multi-line text as a raw triple-quoted literal, with enough "#" that nothing in the text
// can start an escape, an interpolation or the closing delimiter.
QString swiftMultiline(QString text) {
    if (!text.contains(u'\n')) return stringLiteral(text);
    QString hashes = QStringLiteral("#");
    while (text.contains(u'"' + hashes) || text.contains(u'\\' + hashes)) hashes += u'#';
    text.replace(u'\r', u'\\' + hashes + u'r');  // line ends in the literal would read as LF
    return hashes + QLatin1String("\"\"\"\n") + text + QLatin1String("\n\"\"\"") + hashes;
}

// The text with everything but printable ASCII shown as "?", fit for a one-line comment in every
// target (JavaScript also ends a line at U+2028 and U+2029).
QString printable(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() >= 0x7f) c = u'?';
    return text;
}

bool isBlank(const QString& text) {
    for (QChar c : text)
        if (c != u' ' && c != u'\t') return false;
    return true;
}

QString curl(const QString& method, const QString& url, const QList<KeyValueItem>& headers,
             const std::optional<QString>& body, BodyKind bodyKind) {
    // --url keeps a URL that starts with "-" from reading as an option; --globoff keeps "{a,b}" and
    // "[1-3]" from expanding into several requests; --head, unlike "-X HEAD", expects no body.
    const bool head = method == QLatin1String("HEAD");
    QStringList lines{QStringLiteral("curl --globoff ") + (head ? QStringLiteral("--head") : QStringLiteral("-X ") + method) +
                      QLatin1String(" --url ") + shellQuoted(url)};
    bool hasContentType = false;
    for (const KeyValueItem& header : headers) {
        // "Name:" with nothing after it tells curl to drop the field; "Name;" sends it empty.
        const QString field = isBlank(header.value) ? header.key + u';' : header.key + QLatin1String(": ") + header.value;
        lines << QStringLiteral("  -H ") + shellQuoted(field);
        hasContentType = hasContentType || header.key.toLower() == QLatin1String("content-type");
    }
    if (body) {
        if (!hasContentType)
            lines << QStringLiteral("  -H ") +
                         shellQuoted(QStringLiteral("Content-Type: ") + HTTPClient::defaultContentType(bodyKind));
        // --data-raw: a body starting with "@" is data, not a file to read.
        lines << QStringLiteral("  --data-raw ") + shellQuoted(*body);
    }
    return lines.join(QLatin1String(" \\\n"));
}

QString fetch(const QString& method, const QString& url, const QList<KeyValueItem>& headers,
              const std::optional<QString>& body) {
    QStringList options{QStringLiteral("  method: ") + stringLiteral(method)};
    if (!headers.isEmpty()) {
        // An object holds a name once: repeated names go as one field, their values joined.
        QList<KeyValueItem> joined;
        for (const KeyValueItem& header : headers) {
            auto same = std::find_if(joined.begin(), joined.end(),
                                     [&](const KeyValueItem& j) { return j.key.compare(header.key, Qt::CaseInsensitive) == 0; });
            if (same == joined.end()) joined << header;
            else same->value += QLatin1String(", ") + header.value;
        }
        QStringList fields;
        for (const KeyValueItem& header : joined)
            fields << QStringLiteral("    ") + stringLiteral(header.key) + QLatin1String(": ") + stringLiteral(header.value);
        options << QStringLiteral("  headers: {\n") + fields.join(QLatin1String(",\n")) + QLatin1String("\n  }");
    }
    if (body) options << QStringLiteral("  body: ") + jsTemplate(*body);
    return QStringLiteral("fetch(") + stringLiteral(url) + QLatin1String(", {\n") + options.join(QLatin1String(",\n")) +
           QLatin1String("\n})\n  .then((res) => res.json())\n  .then(console.log)\n  .catch(console.error);");
}

QString swift(const QString& method, const QString& url, const QList<KeyValueItem>& headers,
              const std::optional<QString>& body) {
    QStringList lines{QStringLiteral("var request = URLRequest(url: URL(string: ") + stringLiteral(url) + QLatin1String(")!)"),
                      QStringLiteral("request.httpMethod = ") + stringLiteral(method)};
    // setValue replaces a field of the same name; a repeated name is added to it instead.
    QStringList seen;
    for (const KeyValueItem& header : headers) {
        const bool repeated = seen.contains(header.key, Qt::CaseInsensitive);
        seen << header.key;
        lines << (repeated ? QStringLiteral("request.addValue(") : QStringLiteral("request.setValue(")) +
                     stringLiteral(header.value) + QLatin1String(", forHTTPHeaderField: ") + stringLiteral(header.key) + u')';
    }
    if (body) lines << QStringLiteral("request.httpBody = ") + swiftMultiline(*body) + QLatin1String(".data(using: .utf8)");
    lines << QString() << QStringLiteral("let (data, response) = try await URLSession.shared.data(for: request)");
    return lines.join(u'\n');
}

} // namespace

QString snippet(const HTTPRequest& request, CodeGenTarget target, const QMap<QString, QString>& environment) {
    const HTTPRequest resolved = HTTPClient::substitute(request, environment);
    const QString url = fullURL(resolved);
    // A header a send would refuse is left out, with a note saying so: a line break in it would
    // make the copied code send a field of its own.
    QList<KeyValueItem> headers;
    QStringList notes;
    for (const KeyValueItem& header : HTTPClient::activeRows(resolved.headers)) {
        if (HTTPClient::isFramingHeader(header.key))
            notes << QStringLiteral("Header \"%1\" left out: the length of the body that goes out is sent instead.").arg(header.key);
        else if (HTTPClient::isSendableHeader(header)) headers << header;
        else notes << QStringLiteral("Header \"%1\" left out: its name or value holds a character a request cannot carry.")
                          .arg(printable(header.key));
    }
    // A HEAD request goes out without a body, as the program itself sends it.
    const bool sendsBody = resolved.hasBody() && resolved.method != HTTPMethod::head;
    const std::optional<QString> body = sendsBody ? std::optional(resolved.body) : std::nullopt;
    const QString method = HTTPMethods::rawValue(resolved.method);
    QString code;
    switch (target) {
    case CodeGenTarget::curl: code = curl(method, url, headers, body, resolved.bodyKind); break;
    case CodeGenTarget::fetch: code = fetch(method, url, headers, body); break;
    case CodeGenTarget::swift: code = swift(method, url, headers, body); break;
    }
    const QString comment = target == CodeGenTarget::curl ? QStringLiteral("# ") : QStringLiteral("// ");
    QString prefix;
    for (const QString& note : notes) prefix += comment + note + u'\n';
    return prefix + code;
}

} // namespace CodeGen
