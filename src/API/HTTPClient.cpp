#include "API/HTTPClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <variant>

#include "API/AuthConfig.h"
#include "API/FormBody.h"
#include "API/FormatText.h"
#include "API/HTTPBodyDecoder.h"
#include "API/HTTPResponseReader.h"
#include "API/ReasonPhrases.h"
#include "API/URLQuery.h"

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

// Header fields in order, repeated names included.
using HeaderFields = QList<std::pair<QString, QString>>;

bool hasField(const HeaderFields& fields, QLatin1String name) {
    for (const auto& field : fields)
        if (field.first.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

constexpr qint64 kSocketBufferBytes = 256 * 1024;

bool isHTTPS(const QUrl& url) { return url.scheme() == QLatin1String("https"); }
int portOf(const QUrl& url) { return url.port(isHTTPS(url) ? 443 : 80); }

// Path and query as they go on the request line, from a URL text (the first hop, as written) or a
// parsed URL (a redirect's target).
QByteArray targetOf(const QString& wireText) {
    const qsizetype authority = wireText.indexOf(QLatin1String("://"));
    qsizetype start = authority < 0 ? 0 : authority + 3;
    while (start < wireText.size() && !QStringView(u"/?#").contains(wireText[start])) ++start;
    const qsizetype hash = wireText.indexOf(u'#', start);
    QByteArray target = wireText.mid(start, hash < 0 ? -1 : hash - start).toLatin1();
    if (!target.startsWith('/')) target.prepend('/');
    return target;
}
QByteArray targetOf(const QUrl& url) { return targetOf(QString::fromLatin1(url.toEncoded(QUrl::RemoveFragment))); }

struct Outgoing {
    QUrl url;
    QByteArray target;
    HeaderFields fields;
    QByteArray verb;
    std::optional<QByteArray> body;
};

// Everything that can be refused is refused here, before any connection is made.
std::variant<Outgoing, HTTPError> prepare(const HTTPRequest& request) {
    // Without a scheme and a host ("example.com/x", "localhost:8080/x") there is nothing to connect to.
    const std::optional<QString> text = composeURL(request);
    if (!text) return HTTPError::invalidURL(request.url);
    const QUrl url(*text, QUrl::StrictMode);
    // Only HTTP answers are responses; other schemes (ftp:, …) are never loaded.
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return HTTPError::noResponse();

    Outgoing out;
    for (const KeyValueItem& row : activeRows(request.headers)) {
        if (!isSendableHeader(row)) return HTTPError::invalidHeader(row.key);
        if (!isFramingHeader(row.key)) out.fields.append({row.key, row.value});
    }
    // A HEAD request goes out without a body, so it gets no Content-Type either.
    if (request.hasBody() && request.method != HTTPMethod::head) {
        out.body = request.body.toUtf8();
        if (!hasField(out.fields, QLatin1String("Content-Type")))
            out.fields.append({QStringLiteral("Content-Type"), defaultContentType(request.bodyKind)});
    }
    if (!hasField(out.fields, QLatin1String("Accept"))) out.fields.append({QStringLiteral("Accept"), QStringLiteral("*/*")});
    // The body is inflated here, within the size limit, so only codings that can be undone here are asked for.
    if (!hasField(out.fields, QLatin1String("Accept-Encoding")))
        out.fields.append({QStringLiteral("Accept-Encoding"), QStringLiteral("gzip, deflate")});
    if (!hasField(out.fields, QLatin1String("User-Agent")))
        out.fields.append({QStringLiteral("User-Agent"), QStringLiteral("Brimel-Code/" BRIMEL_VERSION)});
    out.url = url;
    out.target = targetOf(*text);
    out.verb = HTTPMethods::rawValue(request.method).toLatin1();
    return out;
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && portOf(a) == portOf(b);
}

QString failureText(HTTPResponseReader::Failure failure) {
    using Failure = HTTPResponseReader::Failure;
    switch (failure) {
    case Failure::none: break;
    case Failure::noResponse: return QStringLiteral("The server closed the connection without sending a complete response.");
    case Failure::headTooLarge: return QStringLiteral("The response's header fields are too large (over 1 MB).");
    case Failure::badFraming: return QStringLiteral("The server sent a body whose length or chunks cannot be read.");
    case Failure::cutShort: return QStringLiteral("The server closed the connection before the whole response arrived.");
    }
    return {};
}

bool isRedirect(int status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

bool isHostField(const QString& name) { return name.compare(QLatin1String("Host"), Qt::CaseInsensitive) == 0; }

// The request line and header fields of one hop. On another origin, a Host the user wrote (it
// names the first server) gives way to the target's own.
QByteArray requestHead(const Outgoing& out, bool foreign) {
    QByteArray head = out.verb + ' ' + out.target + " HTTP/1.1\r\n";
    if (foreign || !hasField(out.fields, QLatin1String("Host"))) {
        QByteArray host = out.url.host(QUrl::FullyEncoded).toLatin1();
        if (host.contains(':')) host = '[' + host + ']';
        if (out.url.port() >= 0 && out.url.port() != (isHTTPS(out.url) ? 443 : 80)) host += ':' + QByteArray::number(out.url.port());
        head += "Host: " + host + "\r\n";
    }
    for (const auto& [name, value] : out.fields) {
        if (foreign && (isCredentialHeader(name) || isHostField(name))) continue;
        head += name.toUtf8() + ": " + value.toUtf8() + "\r\n";
    }
    const bool bodyExpected = out.verb == "POST" || out.verb == "PUT" || out.verb == "PATCH";
    if (out.body || bodyExpected) head += "Content-Length: " + QByteArray::number(out.body ? out.body->size() : 0) + "\r\n";
    return head + "\r\n";
}

// One send from the first request to the last redirect followed, over a fresh connection per
// hop. Deletes itself once complete; stops when the completion's context goes away. The context
// does not own it, so a completion that deletes its context never deletes the exchange under it.
class Exchange : public QObject {
public:
    Exchange(QUuid id, Outgoing out, Completion<HTTPSendResult> done)
        : id_(id), origin_(out.url), next_(std::move(out)), done_(std::move(done)), limit_(g_maxBodyBytes) {
        if (QObject* context = done_.context())
            connect(context, &QObject::destroyed, this, [this] { complete({id_, std::nullopt, HTTPError::cancelled()}); });
        clock_.start();
        total_.setSingleShot(true);
        connect(&total_, &QTimer::timeout, this, [this] { stop(HTTPError::timedOut(durationText(total_.interval()))); });
        total_.start(g_totalTimeoutMs);
        idle_.setSingleShot(true);
        connect(&idle_, &QTimer::timeout, this, [this] { stop(HTTPError::timedOut()); });
        start();
    }

    void cancel() { stop(HTTPError::cancelled()); }

private:
    void start() {
        if (socket_) {
            socket_->disconnect(this);
            socket_->abort();
            socket_->deleteLater();
        }
        decoder_.reset();
        reader_.emplace(next_.verb == "HEAD", HTTPResponseReader::Handlers{[this] { return readHead(); },
                                                                           [this](const QByteArray& piece) { return readBody(piece); }});
        const bool tls = isHTTPS(next_.url);
        QTcpSocket* socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
        socket_ = socket;
        // The socket holds at most this much unread, so a large body is never held twice over.
        socket->setReadBufferSize(kSocketBufferBytes);
        const auto send = [this, socket] {
            if (socket != socket_) return;
            socket->write(requestHead(next_, !sameOrigin(next_.url, origin_)));
            if (next_.body) socket->write(*next_.body);
            touch();
        };
        if (tls) connect(static_cast<QSslSocket*>(socket), &QSslSocket::encrypted, this, send);
        else connect(socket, &QTcpSocket::connected, this, send);
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { touch(); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { if (socket == socket_) received(); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { if (socket == socket_) ended(); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
            if (socket == socket_) failed(error);
        });
        if (tls) {
            auto* ssl = static_cast<QSslSocket*>(socket);
            connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
                QStringList texts;
                for (const QSslError& e : errors) texts << e.errorString();
                sslProblem_ = QStringLiteral("SSL handshake failed: ") + texts.join(QLatin1String("; "));
            });
            ssl->connectToHostEncrypted(next_.url.host(QUrl::FullyEncoded), quint16(portOf(next_.url)));
        } else {
            socket->connectToHost(next_.url.host(QUrl::FullyEncoded), quint16(portOf(next_.url)));
        }
        touch();
    }

    // Some progress: the silence allowed starts again.
    void touch() {
        if (g_timeoutMs > 0 && !completed_) idle_.start(g_timeoutMs);
    }

    void received() {
        touch();
        while (!completed_ && socket_->bytesAvailable() > 0) {
            const HTTPResponseReader::State state = reader_->feed(socket_->readAll());
            if (state == HTTPResponseReader::State::done || state == HTTPResponseReader::State::failed) return settle();
        }
    }

    void ended() {
        if (completed_) return;
        if (socket_->bytesAvailable() > 0) received();
        if (completed_) return;
        reader_->closed();
        settle();
    }

    void failed(QAbstractSocket::SocketError error) {
        if (completed_) return;
        // The server closing is the end of a body read up to the close, or a response cut short.
        if (error == QAbstractSocket::RemoteHostClosedError) return ended();
        const QString why = error == QAbstractSocket::SslHandshakeFailedError && !sslProblem_.isEmpty()
                                ? sslProblem_
                                : socket_->errorString();
        complete({id_, std::nullopt, HTTPError::transport(why)});
    }

    // The header block of the final response: a redirect goes on, an announced body past the
    // limit stops here, anything else is read.
    bool readHead() {
        const int status = reader_->status();
        if (isRedirect(status) && followRedirect(status)) return false;
        const qint64 announced = reader_->announcedLength();
        if (announced > limit_) {
            stop(HTTPError::bodyTooLarge(sizeText(limit_)));
            return false;
        }
        // A coding the program cannot undo leaves the body as received.
        const auto coding = HTTPBodyDecoder::codingFor(reader_->field("Content-Encoding"));
        decoder_ = std::make_unique<HTTPBodyDecoder>(coding.value_or(HTTPBodyDecoder::Coding::identity), limit_);
        decoder_->reserve(announced);
        return true;
    }

    bool readBody(const QByteArray& piece) {
        if (decoder_->feed(piece)) return true;
        stop(decoder_->tooLarge() ? HTTPError::bodyTooLarge(sizeText(limit_)) : HTTPError::badContent(decoder_->problem()));
        return false;
    }

    // The reader finished or failed: the response, or what went wrong.
    void settle() {
        using Failure = HTTPResponseReader::Failure;
        if (completed_) return;
        switch (reader_->state()) {
        case HTTPResponseReader::State::head:
        case HTTPResponseReader::State::body: return;
        case HTTPResponseReader::State::failed:
            // No failure of the reader's own: it was stopped by us, and that completed already.
            if (reader_->failure() != Failure::none)
                complete({id_, std::nullopt, HTTPError::transport(failureText(reader_->failure()))});
            return;
        case HTTPResponseReader::State::done: break;
        }
        if (!decoder_->finish()) return complete({id_, std::nullopt, HTTPError::badContent(decoder_->problem())});
        HTTPResponse response;
        response.status = reader_->status();
        response.statusText = ReasonPhrases::statusText(response.status);
        for (const auto& [name, value] : reader_->fields()) {
            QString& joined = response.headers[QString::fromUtf8(name)];
            joined += (joined.isEmpty() ? QString() : QStringLiteral(", ")) + QString::fromUtf8(value);
        }
        response.body = decoder_->takeBody();
        response.duration = double(clock_.nsecsElapsed()) / 1e9;
        response.size = response.body.size();
        complete({id_, std::move(response), std::nullopt});
    }

    // Stops the transfer with an error that is ours rather than the connection's.
    void stop(const HTTPError& error) { complete({id_, std::nullopt, error}); }

    // Starts the next hop when the answer is a redirect with somewhere to go; false otherwise, and
    // the redirect is the response.
    bool followRedirect(int status) {
        const QByteArray location = reader_->field("Location");
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
                return field.first.compare(QLatin1String("Content-Type"), Qt::CaseInsensitive) == 0;
            });
        }
        next_.url = target;
        next_.target = targetOf(target);
        socket_->disconnect(this);
        // The reader calling us is replaced once it returns.
        QTimer::singleShot(0, this, [this] { if (!completed_) start(); });
        return true;
    }

    void complete(HTTPSendResult result) {
        if (completed_) return;
        completed_ = true;
        total_.stop();
        idle_.stop();
        if (socket_) {
            socket_->disconnect(this);
            socket_->abort();
        }
        deleteLater();
        const Completion<HTTPSendResult> done = done_;  // the call may delete the context, and this with it
        done(result);
    }

    QUuid id_;
    QUrl origin_;
    Outgoing next_;
    Completion<HTTPSendResult> done_;
    qint64 limit_;
    QPointer<QTcpSocket> socket_;
    std::optional<HTTPResponseReader> reader_;
    std::unique_ptr<HTTPBodyDecoder> decoder_;
    QString sslProblem_;
    QElapsedTimer clock_;
    QTimer total_;
    QTimer idle_;
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
    // Credentials written with references are encoded only now that the references hold values.
    for (KeyValueItem& row : out.headers)
        if (row.key.compare(QLatin1String("Authorization"), Qt::CaseInsensitive) == 0) row.value = AuthConfig::encodedForSending(row.value);
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

std::optional<QString> composeURL(const HTTPRequest& request) {
    if (request.url.isEmpty()) return std::nullopt;
    const QString text = URLQuery::wireText(URLQuery::compose(request.url, activeRows(request.params)));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return std::nullopt;
    return text;
}

bool isSendableHeader(const KeyValueItem& row) { return isToken(row.key) && isFieldValue(row.value); }

bool isFramingHeader(const QString& name) {
    return name.compare(QLatin1String("Content-Length"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Transfer-Encoding"), Qt::CaseInsensitive) == 0;
}

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
