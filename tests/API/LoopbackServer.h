#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests and benchmarks: answers every request with a
// scripted response, chosen by path, and records what it received. It can also behave the way
// hostile or broken servers do: never answer, stream without end, trickle a byte at a time, send
// raw bytes (no header fields, huge fields, a short body), hang up at once, send part of an answer
// and fall silent, or speak TLS with a certificate nobody trusts. Lives in the thread that creates
// it; no moc needed.
#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QMap>
#include <QMutexLocker>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <utility>

namespace loopback {

using Fields = QList<std::pair<QByteArray, QByteArray>>;

struct ReceivedRequest {
    QByteArray head;    // the request line and header fields, bytes as received
    QByteArray method;
    QByteArray target;  // path and query as sent
    Fields headers;     // in arrival order, names as sent
    QByteArray body;

    // The last value of a field, names compared without case; empty when absent.
    QByteArray header(const QByteArray& name) const {
        QByteArray value;
        for (const auto& [n, v] : headers)
            if (n.compare(name, Qt::CaseInsensitive) == 0) value = v;
        return value;
    }
    int count(const QByteArray& name) const {
        int n = 0;
        for (const auto& field : headers) n += field.first.compare(name, Qt::CaseInsensitive) == 0;
        return n;
    }
};

struct ScriptedResponse {
    int status = 200;
    QByteArray reason = "OK";
    Fields headers;
    QByteArray body;
    bool silent = false;  // read the request, never answer
    bool endless = false; // after the headers, stream body bytes until the client hangs up
    int trickleMs = 0;    // when set, the body goes out one byte per this many milliseconds
    QByteArray raw;       // when set, these bytes are the whole answer, then the connection closes
    QList<QByteArray> interim;  // whole 1xx answers ("HTTP/1.1 103 Early Hints\r\n...\r\n\r\n") sent first
    bool keepOpen = false;      // with raw: the connection stays open after them, until the client hangs up
    bool hangUp = false;        // read the request, close without a byte of answer
};

// A loopback port that refuses connections and stays this test's own: it is bound but never
// listens, so no other process running tests alongside can start a server on it meanwhile.
class RefusingPort {
public:
    RefusingPort() { socket_.bind(QHostAddress::LocalHost, 0); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(socket_.localPort()); }

private:
    QTcpSocket socket_;
};

class LoopbackServer {
public:
    LoopbackServer() : server_(std::make_unique<QTcpServer>()) { listen(); }
    // Speaks TLS with the given certificate and key.
    explicit LoopbackServer(const QSslConfiguration& tls) : tls_(true) {
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(tls);
        server_ = std::move(server);
        listen();
    }

    ~LoopbackServer() {
        // Open connections close with the server; their handlers must not reach members already gone.
        for (QTcpSocket* socket : server_->findChildren<QTcpSocket*>()) QObject::disconnect(socket, nullptr, nullptr, nullptr);
    }

    quint16 port() const { return server_->serverPort(); }
    QString url(const QString& path = QStringLiteral("/")) const {
        return QStringLiteral("%1://127.0.0.1:%2%3").arg(tls_ ? "https" : "http").arg(port()).arg(path);
    }

    // The answer to every request whose path has no answer of its own.
    void respondWith(ScriptedResponse response) {
        QMutexLocker lock(&mutex_);
        response_ = std::move(response);
    }
    // The answer to requests for this path (the target without its query).
    void respondTo(const QByteArray& path, ScriptedResponse response) {
        QMutexLocker lock(&mutex_);
        byPath_[path] = std::move(response);
    }
    QList<ReceivedRequest> received() const {
        QMutexLocker lock(&mutex_);
        return received_;
    }
    int receivedCount() const {
        QMutexLocker lock(&mutex_);
        return int(received_.size());
    }
    // Connections that ended, by either side.
    int closedCount() const {
        QMutexLocker lock(&mutex_);
        return closed_;
    }
    // Connections accepted, whether or not a request came over them.
    int acceptedCount() const {
        QMutexLocker lock(&mutex_);
        return accepted_;
    }
    void clearReceived() {
        QMutexLocker lock(&mutex_);
        received_.clear();
    }

private:
    void listen() {
        server_->listen(QHostAddress::LocalHost, 0);
        QObject::connect(server_.get(), &QTcpServer::pendingConnectionAvailable, server_.get(), [this] {
            while (QTcpSocket* socket = server_->nextPendingConnection()) serve(socket);
        });
    }

    void serve(QTcpSocket* socket) {
        auto buffer = std::make_shared<QByteArray>();
        auto continued = std::make_shared<bool>(false);
        {
            QMutexLocker lock(&mutex_);
            ++accepted_;
        }
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            {
                QMutexLocker lock(&mutex_);
                ++closed_;
            }
            socket->deleteLater();
        });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer, continued] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0) return;
            ReceivedRequest request;
            request.head = buffer->left(end + 4);
            const QList<QByteArray> lines = buffer->left(end).split('\n');
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            request.target = requestLine.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
                const qsizetype colon = line.indexOf(':');
                if (colon > 0) request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
            }
            if (!*continued && request.header("Expect").toLower() == "100-continue") {
                *continued = true;
                socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            const qsizetype length = request.header("Content-Length").toLongLong();
            if (buffer->size() < end + 4 + length) return;
            request.body = buffer->mid(end + 4, length);
            buffer->clear();
            answer(socket, request);
        });
    }

    void answer(QTcpSocket* socket, const ReceivedRequest& request) {
        ScriptedResponse response;
        {
            QMutexLocker lock(&mutex_);
            received_.append(request);
            response = byPath_.value(request.target.split('?').value(0), response_);
        }
        if (response.silent) return;
        if (response.hangUp) return socket->disconnectFromHost();
        for (const QByteArray& interim : response.interim) socket->write(interim);
        if (!response.raw.isEmpty()) {
            socket->write(response.raw);
            if (!response.keepOpen) socket->disconnectFromHost();
            return;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
        for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
        if (response.endless) {
            // No length: the body runs until the connection closes, which only the client does.
            socket->write(out + "Connection: close\r\n\r\n");
            const QByteArray chunk(64 * 1024, 'x');
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
                while (socket->bytesToWrite() < 4 * chunk.size()) socket->write(chunk);
            });
            socket->write(chunk);
            return;
        }
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n";
        if (response.trickleMs > 0) {
            socket->write(out);
            auto* timer = new QTimer(socket);
            auto sent = std::make_shared<qsizetype>(0);
            QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body = response.body] {
                if (*sent < body.size()) socket->write(body.mid((*sent)++, 1));
                if (*sent == body.size()) {
                    timer->stop();
                    socket->disconnectFromHost();
                }
            });
            timer->start(response.trickleMs);
            return;
        }
        if (request.method != "HEAD") out += response.body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    std::unique_ptr<QTcpServer> server_;
    bool tls_ = false;
    QMap<QByteArray, ScriptedResponse> byPath_;
    mutable QMutex mutex_;
    ScriptedResponse response_;
    QList<ReceivedRequest> received_;
    int closed_ = 0;
    int accepted_ = 0;
};

} // namespace loopback
