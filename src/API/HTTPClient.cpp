#include "API/HTTPClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <variant>

#include "API/AuthConfig.h"
#include "API/FormBody.h"
#include "API/FormatText.h"
#include "API/HTTPBodyDecoder.h"
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
int g_totalTimeoutMs = 5 * 60 * 1000;
qint64 g_maxBodyBytes = 50LL * 1024 * 1024;

QString sizeText(qint64 bytes) {
    constexpr qint64 mb = 1024 * 1024;
    return bytes % mb == 0 ? QStringLiteral("%1 MB").arg(bytes / mb) : QStringLiteral("%1 bytes").arg(bytes);
}

QString durationText(int milliseconds) {
    constexpr int minute = 60 * 1000;
    if (milliseconds % minute == 0)
        return QStringLiteral("%1 minute%2").arg(milliseconds / minute).arg(milliseconds == minute ? "" : "s");
    if (milliseconds % 1000 == 0) return QStringLiteral("%1 seconds").arg(milliseconds / 1000);
    return QStringLiteral("%1 ms").arg(milliseconds);
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
    QUrl url;
    HeaderFields fields;
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

    Outgoing out;
    for (const KeyValueItem& row : activeRows(request.headers)) {
        if (!isSendableHeader(row)) return HTTPError::invalidHeader(row.key);
        setField(out.fields, row.key, row.value);
    }
    // A HEAD request goes out without a body, so it gets no Content-Type either.
    if (request.hasBody() && request.method != HTTPMethod::head) {
        out.body = request.body.toUtf8();
        if (!hasField(out.fields, QLatin1String("Content-Type")))
            out.fields.append({QStringLiteral("Content-Type"), defaultContentType(request.bodyKind)});
    }
    if (!hasField(out.fields, QLatin1String("Accept"))) out.fields.append({QStringLiteral("Accept"), QStringLiteral("*/*")});
    // Asking for a coding ourselves keeps the HTTP layer from inflating the body out of our sight:
    // the body is inflated here, within the size limit.
    if (!hasField(out.fields, QLatin1String("Accept-Encoding")))
        out.fields.append({QStringLiteral("Accept-Encoding"), QStringLiteral("gzip, deflate")});
    out.url = *url;
    out.verb = HTTPMethods::rawValue(request.method).toLatin1();
    return out;
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    const auto port = [](const QUrl& url) { return url.port(url.scheme() == QLatin1String("https") ? 443 : 80); };
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

// Errors that only say the server answered with a 4xx or 5xx status.
bool isStatusError(QNetworkReply::NetworkError error, int status) {
    using E = QNetworkReply;
    const bool mapped = (error >= E::ContentAccessDenied && error <= E::UnknownContentError) ||
                        error == E::ProtocolInvalidOperationError || error == E::ProxyAuthenticationRequiredError ||
                        (error >= E::InternalServerError && error <= E::UnknownServerError);
    return mapped && status >= 400;
}

bool isRedirect(int status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

// One send from the first request to the last redirect followed. Owned by the completion's
// context, so the exchange stops when the receiver goes away.
class Exchange : public QObject {
public:
    Exchange(QUuid id, Outgoing out, Completion<HTTPSendResult> done)
        : QObject(done.context()), id_(id), origin_(out.url), next_(std::move(out)),
          done_(std::move(done)), limit_(g_maxBodyBytes), manager_(new QNetworkAccessManager(this)) {
        clock_.start();
        total_.setSingleShot(true);
        connect(&total_, &QTimer::timeout, this, [this] { stop(HTTPError::timedOut(durationText(total_.interval()))); });
        total_.start(g_totalTimeoutMs);
        start();
    }

    void cancel() { stop(HTTPError::cancelled()); }

private:
    void start() {
        QNetworkRequest request(next_.url);
        request.setTransferTimeout(g_timeoutMs);
        // Redirects are followed here, so that credentials never travel to another origin.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        const bool foreign = !sameOrigin(next_.url, origin_);
        for (const auto& [name, value] : next_.fields) {
            if (foreign && isCredentialHeader(name)) continue;
            request.setRawHeader(name.toUtf8(), value.toUtf8());
        }
        decoder_.reset();
        if (next_.verb == "HEAD") reply_ = manager_->head(request);  // a custom HEAD would wait for a body
        else if (next_.body) reply_ = manager_->sendCustomRequest(request, next_.verb, *next_.body);
        else reply_ = manager_->sendCustomRequest(request, next_.verb);
        QNetworkReply* reply = reply_;
        connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { if (reply == reply_) readHeaders(); });
        connect(reply, &QNetworkReply::readyRead, this, [this, reply] { if (reply == reply_) readBody(); });
        connect(reply, &QNetworkReply::finished, this, [this, reply] { if (reply == reply_) finished(); });
    }

    // Stops the transfer with an error that is ours rather than the HTTP layer's.
    void stop(const HTTPError& error) {
        if (completed_ || stopped_) return;
        stopped_ = error;
        if (reply_ && !reply_->isFinished()) reply_->abort();  // finished() completes
        else complete({id_, std::nullopt, error});
    }

    void readHeaders() {
        if (decoder_ || stopped_) return;
        const QVariant announced = reply_->operation() == QNetworkAccessManager::HeadOperation
                                       ? QVariant()
                                       : reply_->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid() && announced.toLongLong() > limit_) return stop(HTTPError::bodyTooLarge(sizeText(limit_)));
        // A coding the program cannot undo leaves the body as received.
        const auto coding = HTTPBodyDecoder::codingFor(reply_->rawHeader("Content-Encoding"));
        decoder_ = std::make_unique<HTTPBodyDecoder>(coding.value_or(HTTPBodyDecoder::Coding::identity), limit_);
    }

    void readBody() {
        if (stopped_) return;
        readHeaders();
        if (stopped_) return;
        if (decoder_->feed(reply_->readAll())) return;
        stop(decoder_->tooLarge() ? HTTPError::bodyTooLarge(sizeText(limit_)) : HTTPError::badContent(decoder_->problem()));
    }

    void finished() {
        if (stopped_) return complete({id_, std::nullopt, *stopped_});
        const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError error = reply_->error();
        if (!status.isValid() || (error != QNetworkReply::NoError && !isStatusError(error, status.toInt()))) {
            if (error == QNetworkReply::NoError) return complete({id_, std::nullopt, HTTPError::noResponse()});
            // Our own stops are handled above; the transfer time-out is the only cancellation left.
            if (error == QNetworkReply::OperationCanceledError) return complete({id_, std::nullopt, HTTPError::timedOut()});
            // The HTTP layer says only "Connection closed", for a body cut short and for an answer that
            // never was a response alike.
            if (error == QNetworkReply::RemoteHostClosedError) {
                const QString why = status.isValid()
                                        ? QStringLiteral("The server closed the connection before the whole response arrived.")
                                        : QStringLiteral("The server closed the connection without sending a complete response.");
                return complete({id_, std::nullopt, HTTPError::transport(why)});
            }
            return complete({id_, std::nullopt, HTTPError::transport(reply_->errorString())});
        }
        if (followRedirect(status.toInt())) return;
        readBody();
        if (stopped_) return;  // stop() completed already
        if (!decoder_->finish()) return complete({id_, std::nullopt, HTTPError::badContent(decoder_->problem())});

        HTTPResponse response;
        response.status = status.toInt();
        response.statusText = ReasonPhrases::statusText(response.status);
        for (const auto& [name, value] : reply_->rawHeaderPairs())
            response.headers.insert(QString::fromUtf8(name), QString::fromUtf8(value));
        response.body = decoder_->takeBody();
        response.duration = double(clock_.nsecsElapsed()) / 1e9;
        response.size = response.body.size();
        complete({id_, std::move(response), std::nullopt});
    }

    // Starts the next hop when the answer is a redirect with somewhere to go; false otherwise, and
    // the redirect is the response.
    bool followRedirect(int status) {
        if (!isRedirect(status)) return false;
        const QByteArray location = reply_->rawHeader("Location");
        if (location.isEmpty()) return false;
        const QUrl target = next_.url.resolved(QUrl(QString::fromUtf8(location)));
        if (!target.isValid() || (target.scheme() != QLatin1String("http") && target.scheme() != QLatin1String("https")))
            return false;
        if (++redirects_ > kMaxRedirects) {
            complete({id_, std::nullopt, HTTPError::tooManyRedirects(kMaxRedirects)});
            return true;
        }
        // 303 asks for a GET; after 301 and 302 a POST becomes a GET too, as browsers do. 307 and
        // 308 repeat the request as it was.
        const bool toGet = (status == 303 && next_.verb != "HEAD") || ((status == 301 || status == 302) && next_.verb == "POST");
        if (toGet) {
            next_.verb = "GET";
            next_.body.reset();
            next_.fields.removeIf([](const auto& field) {
                return field.first.compare(QLatin1String("Content-Type"), Qt::CaseInsensitive) == 0 ||
                       field.first.compare(QLatin1String("Content-Length"), Qt::CaseInsensitive) == 0;
            });
        }
        next_.url = target;
        reply_->deleteLater();
        start();
        return true;
    }

    void complete(HTTPSendResult result) {
        if (completed_) return;
        completed_ = true;
        total_.stop();
        if (reply_) reply_->deleteLater();
        deleteLater();
        const Completion<HTTPSendResult> done = done_;  // the call may delete the context, and this with it
        done(result);
    }

    QUuid id_;
    QUrl origin_;
    Outgoing next_;
    Completion<HTTPSendResult> done_;
    qint64 limit_;
    QNetworkAccessManager* manager_;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<HTTPBodyDecoder> decoder_;
    std::optional<HTTPError> stopped_;
    QElapsedTimer clock_;
    QTimer total_;
    int redirects_ = 0;
    bool completed_ = false;
};

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
    out.body = FormBody::isSentEncoded(out)
                   ? FormBody::sendable(request.body, [&](const QString& text) { return expand(text, environment); })
                   : expand(request.body, environment);
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

bool isSendableHeader(const KeyValueItem& row) { return isToken(row.key) && isFieldValue(row.value); }

bool isCredentialHeader(const QString& name) {
    const QString lower = name.toLower();
    return lower == QLatin1String("authorization") || lower == QLatin1String("proxy-authorization") ||
           lower == QLatin1String("cookie") || AuthConfig::apiKeyHeaderNames().contains(lower);
}

Cancel send(const HTTPRequest& request, const Environment& environment, Completion<HTTPSendResult> done) {
    const QUuid id = request.id;
    std::variant<Outgoing, HTTPError> prepared = prepare(substitute(request, environment));
    if (const HTTPError* error = std::get_if<HTTPError>(&prepared)) {
        HTTPSendResult result{id, std::nullopt, *error};
        QTimer::singleShot(0, ownerOf(done.context()), [done, result] { done(result); });
        return [] {};
    }
    QPointer<Exchange> exchange = new Exchange(id, std::get<Outgoing>(std::move(prepared)), std::move(done));
    return [exchange] {
        if (exchange) exchange->cancel();
    };
}

int timeoutMs() { return g_timeoutMs; }
void setTimeoutMs(int milliseconds) { g_timeoutMs = qMax(0, milliseconds); }
int totalTimeoutMs() { return g_totalTimeoutMs; }
void setTotalTimeoutMs(int milliseconds) { g_totalTimeoutMs = qMax(1, milliseconds); }
qint64 maxBodyBytes() { return g_maxBodyBytes; }
void setMaxBodyBytes(qint64 bytes) { g_maxBodyBytes = qMax<qint64>(0, bytes); }

} // namespace HTTPClient
