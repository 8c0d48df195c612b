#include "API/HTTPClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>
#include <variant>

#include "API/FormatText.h"
#include "API/ReasonPhrases.h"

HTTPResponse HTTPSendResult::responseOrFailure() const {
    if (response) return *response;
    HTTPResponse failure;
    failure.statusText = error ? error->errorDescription() : HTTPError::noResponse().errorDescription();
    return failure;
}

namespace HTTPClient {

namespace {

int g_timeoutMs = 60 * 1000;
qint64 g_maxBodyBytes = 50LL * 1024 * 1024;

QString sizeText(qint64 bytes) {
    constexpr qint64 mb = 1024 * 1024;
    return bytes % mb == 0 ? QStringLiteral("%1 MB").arg(bytes / mb) : QStringLiteral("%1 bytes").arg(bytes);
}

// Why a transfer must stop before it ends: a body past the limit (known from its announced
// length, except for HEAD, or from what has arrived), or a header block the HTTP layer dropped
// whole because it held more fields than it reads. None while the transfer may go on.
std::optional<HTTPError> unreadable(QNetworkReply* reply, qint64 limit) {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && reply->rawHeaderPairs().isEmpty())
        return HTTPError::tooManyHeaders(kMaxHeaderFields);
    const QVariant announced = reply->operation() == QNetworkAccessManager::HeadOperation
                                   ? QVariant()
                                   : reply->header(QNetworkRequest::ContentLengthHeader);
    if (reply->bytesAvailable() > limit || (announced.isValid() && announced.toLongLong() > limit))
        return HTTPError::bodyTooLarge(sizeText(limit));
    return std::nullopt;
}

QList<KeyValueItem> expandRows(QList<KeyValueItem> rows, const Environment& environment) {
    for (KeyValueItem& row : rows) {
        row.key = expand(row.key, environment);
        row.value = expand(row.value, environment);
    }
    return rows;
}

// A field name is a token: letters, digits and a few marks. Anything else (":", blanks, line
// breaks) would change where the name ends or smuggle in further fields.
bool isToken(const QString& name) {
    for (QChar c : name) {
        const char16_t u = c.unicode();
        const bool alnum = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
        if (!alnum && (u >= 0x80 || !QByteArrayView("!#$%&'*+-.^_`|~").contains(char(u)))) return false;
    }
    return !name.isEmpty();
}

// A field value holds visible characters, blanks and tabs; a control character (line breaks,
// NUL, VT, FF, …) could end the field early or be read differently by each server.
bool isFieldValue(const QString& value) {
    for (QChar c : value)
        if (c.category() == QChar::Other_Control && c != u'\t') return false;
    return true;
}

// Header fields in order; a later field replaces an earlier one of the same name, any case.
using HeaderFields = QList<std::pair<QString, QString>>;

void setField(HeaderFields& fields, const QString& name, const QString& value) {
    for (auto& field : fields) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0) {
            field = {name, value};
            return;
        }
    }
    fields.append({name, value});
}

bool hasField(const HeaderFields& fields, QLatin1String name) {
    for (const auto& field : fields)
        if (field.first.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

struct Outgoing {
    QNetworkRequest request;
    QByteArray verb;
    std::optional<QByteArray> body;
};

// Everything that can be refused is refused here, before any connection is made.
std::variant<Outgoing, HTTPError> prepare(const HTTPRequest& request) {
    const std::optional<QUrl> url = composeURL(request);
    // Without a scheme and a host ("example.com/x", "localhost:8080/x") there is nothing to connect to.
    if (!url || url->isRelative() || url->host().isEmpty()) return HTTPError::invalidURL(request.url);
    // Only HTTP answers are responses; other schemes (ftp:, …) are never loaded.
    const QString scheme = url->scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return HTTPError::noResponse();

    HeaderFields fields;
    for (const KeyValueItem& row : activeRows(request.headers)) {
        if (!isToken(row.key) || !isFieldValue(row.value)) return HTTPError::invalidHeader(row.key);
        setField(fields, row.key, row.value);
    }

    Outgoing out;
    // A HEAD request goes out without a body, so it gets no Content-Type either.
    if (request.hasBody() && request.method != HTTPMethod::head) {
        out.body = request.body.toUtf8();
        if (!hasField(fields, QLatin1String("Content-Type")))
            fields.append({QStringLiteral("Content-Type"), defaultContentType(request.bodyKind)});
    }
    if (!hasField(fields, QLatin1String("Accept"))) fields.append({QStringLiteral("Accept"), QStringLiteral("*/*")});

    out.request.setUrl(*url);
    out.request.setTransferTimeout(g_timeoutMs);
    for (const auto& [name, value] : fields) out.request.setRawHeader(name.toUtf8(), value.toUtf8());
    out.verb = HTTPMethods::rawValue(request.method).toLatin1();
    return out;
}

// Errors that only say the server answered with a 4xx or 5xx status.
bool isStatusError(QNetworkReply::NetworkError error) {
    using E = QNetworkReply;
    return (error >= E::ContentAccessDenied && error <= E::UnknownContentError) ||
           error == E::ProtocolInvalidOperationError || error == E::ProxyAuthenticationRequiredError ||
           (error >= E::InternalServerError && error <= E::UnknownServerError);
}

std::variant<HTTPResponse, HTTPError> readReply(QNetworkReply* reply, double seconds) {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (status.isValid() && (error == QNetworkReply::NoError || isStatusError(error))) {
        HTTPResponse response;
        response.status = status.toInt();
        response.statusText = ReasonPhrases::statusText(response.status);
        for (const auto& [name, value] : reply->rawHeaderPairs())
            response.headers.insert(QString::fromUtf8(name), QString::fromUtf8(value));
        response.body = reply->readAll();
        response.duration = seconds;
        response.size = response.body.size();
        return response;
    }
    if (error == QNetworkReply::NoError) return HTTPError::noResponse();
    // The transfer time-out is the only cancellation that reaches here.
    if (error == QNetworkReply::OperationCanceledError) return HTTPError::transport(QStringLiteral("The request timed out."));
    return HTTPError::transport(reply->errorString());
}

QObject* ownerOf(QObject* context) { return context ? context : QCoreApplication::instance(); }

} // namespace

QString expand(const QString& text, const Environment& environment) {
    if (environment.isEmpty() || text.isEmpty()) return text;
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = FormatText::variableReferenceLength(text, i);
        if (length == 0) {
            ++i;
            continue;
        }
        // A name the environment does not hold is left as written.
        if (const auto value = environment.constFind(text.mid(i + 2, length - 4)); value != environment.cend()) {
            out += QStringView(text).mid(copied, i - copied);
            out += value.value();
            copied = i + length;
        }
        i += length;
    }
    if (copied == 0) return text;
    out += QStringView(text).mid(copied);
    return out;
}

HTTPRequest substitute(const HTTPRequest& request, const Environment& environment) {
    HTTPRequest out = request;
    out.url = expand(request.url, environment);
    out.headers = expandRows(request.headers, environment);
    out.params = expandRows(request.params, environment);
    out.body = expand(request.body, environment);
    return out;
}

QList<KeyValueItem> activeRows(const QList<KeyValueItem>& rows) {
    QList<KeyValueItem> out;
    for (const KeyValueItem& row : rows)
        if (row.enabled && !row.key.isEmpty()) out.append(row);
    return out;
}

QString defaultContentType(BodyKind kind) {
    switch (kind) {
    case BodyKind::json: return QStringLiteral("application/json");
    case BodyKind::form: return QStringLiteral("application/x-www-form-urlencoded");
    case BodyKind::text:
    case BodyKind::none: break;
    }
    return QStringLiteral("text/plain");
}

std::optional<QUrl> composeURL(const HTTPRequest& request) {
    if (request.url.isEmpty()) return std::nullopt;
    QUrl url(request.url, QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    const QList<KeyValueItem> params = activeRows(request.params);
    if (params.isEmpty()) return url;
    // Each name and value is encoded whole, so "&", "=", "+" and "#" in them stay data.
    QByteArray query = url.hasQuery() ? url.query(QUrl::FullyEncoded).toLatin1() : QByteArray();
    for (const KeyValueItem& row : params) {
        if (!query.isEmpty()) query += '&';
        query += QUrl::toPercentEncoding(row.key) + '=' + QUrl::toPercentEncoding(row.value);
    }
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    return url;
}

void send(const HTTPRequest& request, const Environment& environment, Completion<HTTPSendResult> done) {
    const QUuid id = request.id;
    std::variant<Outgoing, HTTPError> prepared = prepare(substitute(request, environment));
    if (const HTTPError* error = std::get_if<HTTPError>(&prepared)) {
        HTTPSendResult result{id, std::nullopt, *error};
        QTimer::singleShot(0, ownerOf(done.context()), [done, result] { done(result); });
        return;
    }
    const Outgoing& out = std::get<Outgoing>(prepared);

    // A session of its own: no disk cache, cookies and credentials die with it. Owned by the
    // context, so the exchange stops when the receiver goes away.
    auto* manager = new QNetworkAccessManager(done.context());
    QElapsedTimer clock;
    clock.start();
    QNetworkReply* reply = nullptr;
    if (out.verb == "HEAD") reply = manager->head(out.request);  // a custom HEAD would wait for a body
    else if (out.body) reply = manager->sendCustomRequest(out.request, out.verb, *out.body);
    else reply = manager->sendCustomRequest(out.request, out.verb);

    // Checked as the headers and each piece of the body arrive, so memory stays bounded.
    const qint64 limit = g_maxBodyBytes;
    auto stopped = std::make_shared<std::optional<HTTPError>>();
    const auto check = [reply, limit, stopped] {
        if (*stopped || reply->isFinished()) return;
        *stopped = unreadable(reply, limit);
        if (*stopped) reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, manager, check);
    QObject::connect(reply, &QNetworkReply::readyRead, manager, check);
    QObject::connect(reply, &QNetworkReply::finished, manager, [manager, reply, clock, id, done, limit, stopped] {
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        if (!*stopped) *stopped = unreadable(reply, limit);
        std::variant<HTTPResponse, HTTPError> outcome =
            *stopped ? std::variant<HTTPResponse, HTTPError>(**stopped) : readReply(reply, seconds);
        manager->deleteLater();
        HTTPSendResult result{id, std::nullopt, std::nullopt};
        if (auto* response = std::get_if<HTTPResponse>(&outcome)) result.response = std::move(*response);
        else result.error = std::get<HTTPError>(outcome);
        done(result);
    });
}

int timeoutMs() { return g_timeoutMs; }
void setTimeoutMs(int milliseconds) { g_timeoutMs = qMax(0, milliseconds); }
qint64 maxBodyBytes() { return g_maxBodyBytes; }
void setMaxBodyBytes(qint64 bytes) { g_maxBodyBytes = qMax<qint64>(0, bytes); }

} // namespace HTTPClient
