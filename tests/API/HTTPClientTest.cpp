// Substitution, URL building, reason phrases and sending against a loopback server.
#include <gtest/gtest.h>

#include <QObject>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStandardPaths>
#include <zlib.h>

#include "API/BruFileFormat.h"
#include "API/HTTPClient.h"
#include "API/HTTPFileFormat.h"
#include "API/ReasonPhrases.h"
#include "LoopbackServer.h"
#include "RequestBuilders.h"
#include "Printers.h"
#include "TestSupport.h"

using builders::request;
using builders::row;
using loopback::LoopbackServer;
using loopback::ScriptedResponse;
using testing_support::waitUntil;

namespace {

HTTPSendResult sendAndWait(const HTTPRequest& r, const HTTPClient::Environment& env = {}) {
    std::optional<HTTPSendResult> result;
    HTTPClient::send(r, env, [&result](const HTTPSendResult& outcome) { result = outcome; });
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); })) << "no completion";
    return result.value_or(HTTPSendResult{});
}

QByteArray gzip(const QByteArray& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))) + 32, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

ScriptedResponse redirectTo(const QString& location, int status = 302) {
    return {status, "Moved", {{"Location", location.toUtf8()}}, {}};
}

#define SKIP_WITHOUT_TLS()                                                                             \
    if (!QSslSocket::supportsSsl()) GTEST_SKIP() << "no TLS backend";                                  \
    if (QStandardPaths::findExecutable("openssl").isEmpty()) GTEST_SKIP() << "openssl is not installed"

// A server configuration with a certificate for 127.0.0.1 made now, which nobody trusts yet.
std::optional<QSslConfiguration> selfSignedServerTLS() {
    testing_support::TempFolder folder;
    QProcess make;
    make.start(QStandardPaths::findExecutable("openssl"),
               {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                "subjectAltName=IP:127.0.0.1", "-keyout", folder.path() + "/key.pem", "-out", folder.path() + "/cert.pem"});
    if (!make.waitForFinished(120000) || make.exitCode() != 0) {
        ADD_FAILURE() << make.readAllStandardError().constData();
        return std::nullopt;
    }
    QFile certFile(folder.path() + "/cert.pem"), keyFile(folder.path() + "/key.pem");
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) return std::nullopt;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(certFile.readAll()));
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    return tls;
}

const QList<QByteArray> kCredentials{"Authorization", "Cookie", "Proxy-Authorization", "X-Api-Key"};

} // namespace

TEST(HTTPClientSubstitution, ExpandsKnownNamesOnceEverywhere) {
    const HTTPClient::Environment env{{"base", "v"}, {"id", "7"}, {"loop", "{{id}}"}};
    EXPECT_EQ(HTTPClient::expand("{{base}}/u/{{id}}{{id}}", env), "v/u/77");
    EXPECT_EQ(HTTPClient::expand("{{ base }} {{missing}} {{Base}}", env), "{{ base }} {{missing}} {{Base}}");
    EXPECT_EQ(HTTPClient::expand("ü{{loop}}", env), "ü{{id}}");  // values are never searched again
    EXPECT_EQ(HTTPClient::expand("{{id}}", {}), "{{id}}");

    HTTPRequest r = request(HTTPMethod::post, "{{base}}/x");
    r.headers = {row("{{base}}", "{{id}}", false)};
    r.params = {row("{{id}}", "{{base}}")};
    r.body = "{{id}}";
    const HTTPRequest s = HTTPClient::substitute(r, env);
    EXPECT_EQ(QStringList({s.url, s.headers[0].key, s.headers[0].value, s.params[0].key, s.params[0].value, s.body}),
              QStringList({"v/x", "v", "7", "7", "v", "7"}));
    EXPECT_EQ(s.headers[0].id, r.headers[0].id);
    EXPECT_FALSE(s.headers[0].enabled);
    EXPECT_EQ(s.id, r.id);
}

TEST(HTTPClientSend, EveryMethodGoesOutWithItsVerb) {
    LoopbackServer server;
    server.respondWith({200, "Fine", {{"X-Reply", "yes"}}, "hello"});
    for (HTTPMethod method : HTTPMethods::allCases()) {
        SCOPED_TRACE(HTTPMethods::rawValue(method).toStdString());
        server.clearReceived();
        const bool head = method == HTTPMethod::head;  // answered with a length but no body
        HTTPRequest r = request(method, server.url("/m"));
        r.body = "payload";
        r.bodyKind = head ? BodyKind::none : BodyKind::text;
        const HTTPSendResult result = sendAndWait(r);
        ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
        EXPECT_EQ(result.requestId, r.id);
        EXPECT_EQ(result.response->statusText, "OK");
        EXPECT_EQ(result.response->headers.value("X-Reply"), "yes");
        EXPECT_EQ(result.response->body, head ? QByteArray() : QByteArray("hello"));
        EXPECT_GT(result.response->duration, 0);
        ASSERT_EQ(server.receivedCount(), 1);
        EXPECT_EQ(server.received()[0].method, HTTPMethods::rawValue(method).toLatin1());
        EXPECT_EQ(server.received()[0].body, head ? QByteArray() : QByteArray("payload"));
    }
}

TEST(HTTPClientSend, HeadersBodyAndQueryAsTheRequestSays) {
    LoopbackServer server;
    server.respondWith({});
    const auto sendOne = [&](const HTTPRequest& r, const HTTPClient::Environment& env = {}) {
        server.clearReceived();
        EXPECT_TRUE(sendAndWait(r, env).ok());
        EXPECT_EQ(server.receivedCount(), 1);
        return server.received().value(0);
    };

    // Repeated names all go out, in order; empty values go out empty; Accept defaults to */*.
    HTTPRequest r = request(HTTPMethod::get, server.url("/h"));
    r.headers = {row("Accept", "text/a"), row("X-Empty", ""), row("accept", "text/b"), row("X-Off", "1", false)};
    loopback::ReceivedRequest got = sendOne(r);
    EXPECT_EQ(got.count("Accept"), 2);
    EXPECT_TRUE(got.head.contains("\r\nAccept: text/a\r\n")) << got.head.constData();
    EXPECT_TRUE(got.head.contains("\r\naccept: text/b\r\n")) << got.head.constData();
    EXPECT_LT(got.head.indexOf("Accept: text/a"), got.head.indexOf("accept: text/b"));
    EXPECT_EQ(got.count("X-Empty"), 1);
    EXPECT_EQ(got.count("X-Off") + got.count("Content-Type"), 0);
    r.headers.clear();
    got = sendOne(r);
    EXPECT_EQ(got.header("Accept"), "*/*");
    // The program names itself unless the request names its own agent.
    EXPECT_TRUE(got.header("User-Agent").startsWith("Brimel-Code/")) << got.head.constData();
    r.headers = {row("user-agent", "mine")};
    got = sendOne(r);
    EXPECT_EQ(got.count("User-Agent"), 1);
    EXPECT_EQ(got.header("User-Agent"), "mine");
    r.headers.clear();

    // Default Content-Type by kind; an own row wins; no body, no Content-Type.
    r = request(HTTPMethod::post, server.url("/b"), BodyKind::form, "a=1");
    got = sendOne(r);
    EXPECT_EQ(got.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(got.body, "a=1");
    r.bodyKind = BodyKind::json;
    EXPECT_EQ(sendOne(r).header("Content-Type"), "application/json");
    r.headers = {row("content-TYPE", "text/csv")};
    got = sendOne(r);
    EXPECT_EQ(got.count("Content-Type"), 1);
    EXPECT_EQ(got.header("Content-Type"), "text/csv");
    // The body's own length goes out, whatever a row says.
    r.headers = {row("Content-Length", "999"), row("transfer-encoding", "chunked")};
    got = sendOne(r);
    EXPECT_EQ(got.count("Content-Length"), 1);
    EXPECT_EQ(got.header("Content-Length"), QByteArray::number(got.body.size()));
    EXPECT_EQ(got.count("Transfer-Encoding"), 0);
    r.headers.clear();
    r.bodyKind = BodyKind::none;
    got = sendOne(r);
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(got.count("Content-Type"), 0);
    // A POST, PUT or PATCH without a body says so, as servers that ask for a length expect.
    EXPECT_EQ(got.header("Content-Length"), "0");
    for (HTTPMethod method : {HTTPMethod::put, HTTPMethod::patch})
        EXPECT_EQ(sendOne(request(method, server.url("/b"))).header("Content-Length"), "0");
    EXPECT_EQ(sendOne(request(HTTPMethod::get, server.url("/b"))).count("Content-Length"), 0);

    // Query rows after the URL's own query, encoded whole; variables resolved everywhere;
    // a key that resolves to nothing is not sent.
    r = request(HTTPMethod::get, "{{base}}/q?a=1");
    r.params = {row("b", "{{two}}"), row("c", "x", false), row("s", "x y&z=+")};
    r.headers = {row("{{hdr}}", "{{two}}"), row("{{none}}", "dropped")};
    got = sendOne(r, {{"base", server.url("")}, {"two", "2"}, {"hdr", "X-Var"}, {"none", ""}});
    EXPECT_EQ(got.target, "/q?a=1&b=2&s=x%20y%26z%3D%2B");

    // The URL's own query goes out as written: "+" stays, bare keys stay bare, escapes are not
    // redone, the fragment stays home.
    r = request(HTTPMethod::get, server.url("/w?r=a+b&flag&e=&x=%2B&t=%7e&p=a/b?c:d@e#frag"));
    EXPECT_EQ(sendOne(r).target, "/w?r=a+b&flag&e=&x=%2B&t=%7e&p=a/b?c:d@e");
    // Characters that cannot travel raw are escaped; nothing else is.
    r = request(HTTPMethod::get, server.url("/sp ace/é?q=a b|é&k=\"<>\"`{}"));
    EXPECT_EQ(sendOne(r).target, "/sp%20ace/%C3%A9?q=a%20b%7C%C3%A9&k=%22%3C%3E%22%60%7B%7D");
    EXPECT_EQ(got.header("X-Var"), "2");
    EXPECT_EQ(got.count("dropped"), 0);
}

// Query rows read from a file go out as the file wrote them; only a row the user changed is encoded.
TEST(HTTPClientSend, QueryRowsFromAFileGoOutAsWritten) {
    LoopbackServer server;
    server.respondWith({});
    HTTPRequest r = HTTPFileFormat::parse("GET " + server.url("/q") + "?r=a+b&flag&x=%2B&e=&d=x+y#frag\n").value(0);
    ASSERT_EQ(r.params.size(), 5);
    HTTPSendResult result = sendAndWait(r);
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(server.received().value(0).target, "/q?r=a+b&flag&x=%2B&e=&d=x+y");

    server.clearReceived();
    r.params[0].value = "a b+c";
    r.params.append(row("n", "1&2"));
    result = sendAndWait(r);
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(server.received().value(0).target, "/q?r=a%20b%2Bc&flag&x=%2B&e=&d=x+y&n=1%262");
}

// 1xx answers are interim: the response is the final one that follows them.
TEST(HTTPClientSend, InterimAnswersAreNotTheResponse) {
    LoopbackServer server;
    server.respondWith({.headers = {{"Content-Type", "application/json"}}, .body = "{\"ok\":true}",
                        .interim = {"HTTP/1.1 103 Early Hints\r\nLink: </s.css>; rel=preload\r\n\r\n",
                                    "HTTP/1.1 102 Processing\r\n\r\n"}});
    for (HTTPMethod method : {HTTPMethod::get, HTTPMethod::post}) {
        HTTPRequest r = request(method, server.url("/early"), BodyKind::json, "{}");
        const HTTPSendResult result = sendAndWait(r);
        ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
        EXPECT_EQ(result.response->status, 200);
        EXPECT_EQ(result.response->statusText, "OK");
        EXPECT_EQ(result.response->body, "{\"ok\":true}");
        EXPECT_EQ(result.response->headers.value("Content-Type"), "application/json");
        EXPECT_FALSE(result.response->headers.contains("Link"));
    }
}

// Credentials written with variables are encoded once the variables hold their values.
TEST(HTTPClientSend, BasicCredentialsTakeTheirVariablesBeforeEncoding) {
    LoopbackServer server;
    server.respondWith({});
    const QString bru = "meta {\n  name: b\n}\n\nget {\n  url: " + server.url("/b") +
                        "\n  auth: basic\n}\n\nauth:basic {\n  username: admin\n  password: {{basic_auth_password}}\n}\n";
    const HTTPRequest r = BruFileFormat::parse(bru).value(0);
    const HTTPSendResult result = sendAndWait(r, {{"basic_auth_password", "s3cret"}});
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(server.received().value(0).header("Authorization"), "Basic " + QByteArray("admin:s3cret").toBase64());
    // The file keeps the reference as written.
    EXPECT_TRUE(BruFileFormat::serialize({r}).contains("password: {{basic_auth_password}}"));
}

TEST(HTTPClientSend, ErrorStatusesAreResponses) {
    LoopbackServer server;
    const QList<std::pair<int, QString>> cases{{418, "I'm A Teapot"}, {500, "Internal Server Error"}, {401, "Unauthorized"}};
    for (const auto& [status, phrase] : cases) {
        SCOPED_TRACE(status);
        server.respondWith({status, "Whatever", {{"X-Trace", "t1"}, {"WWW-Authenticate", "Basic realm=\"x\""}}, "{\"e\":1}"});
        const HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url("/e")));
        ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
        EXPECT_EQ(result.response->status, status);
        EXPECT_EQ(result.response->statusText, phrase);  // ours, not the server's
        EXPECT_EQ(result.response->headers.value("X-Trace"), "t1");
        EXPECT_EQ(result.response->body, "{\"e\":1}");
        EXPECT_EQ(result.response->size, 7);
    }
    EXPECT_EQ(ReasonPhrases::statusText(499), "Client Error");  // an unlisted code: its class
}

TEST(HTTPClientSend, TransportFailuresBecomeStatusZero) {
    const loopback::RefusingPort refusing;
    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, refusing.url()));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->kind(), HTTPError::Kind::transport);
    HTTPResponse expected;
    expected.statusText = result.error->errorDescription();
    EXPECT_FALSE(expected.statusText.isEmpty());
    EXPECT_EQ(result.responseOrFailure(), expected);

    LoopbackServer silent;
    silent.respondWith({.silent = true});
    const int saved = HTTPClient::timeoutMs();
    HTTPClient::setTimeoutMs(300);
    result = sendAndWait(request(HTTPMethod::get, silent.url("/slow")));
    HTTPClient::setTimeoutMs(saved);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->errorDescription(), "The request timed out.");
    EXPECT_EQ(silent.receivedCount(), 1);
}

TEST(HTTPClientSend, RefusesBadInputBeforeConnecting) {
    LoopbackServer server;
    server.respondWith({});
    const auto refused = [&](const HTTPRequest& r, HTTPError::Kind kind, const QString& description) {
        std::optional<HTTPSendResult> result;
        HTTPClient::send(r, {}, [&](const HTTPSendResult& outcome) { result = outcome; });
        EXPECT_FALSE(result) << "the completion must come later";
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
        EXPECT_EQ(result->requestId, r.id);
        ASSERT_FALSE(result->ok());
        EXPECT_EQ(result->error->kind(), kind);
        EXPECT_EQ(result->responseOrFailure().statusText, description);
    };
    refused(request(HTTPMethod::get, "{{base}}/x"), HTTPError::Kind::invalidURL, "Invalid URL: {{base}}/x");
    refused(request(HTTPMethod::get, "example.com/x"), HTTPError::Kind::invalidURL, "Invalid URL: example.com/x");
    refused(request(HTTPMethod::get, "localhost:8080/x"), HTTPError::Kind::invalidURL, "Invalid URL: localhost:8080/x");
    refused(request(HTTPMethod::get, "file:///etc/passwd"), HTTPError::Kind::invalidURL, "Invalid URL: file:///etc/passwd");
    refused(request(HTTPMethod::get, "ftp://127.0.0.1/x"), HTTPError::Kind::noResponse, "No HTTP response received.");
    const QString why = QStringLiteral(": a name may hold only letters, digits and !#$%&'*+-.^_`|~, "
                                       "a value only visible characters, spaces and tabs.");
    HTTPRequest bad = request(HTTPMethod::get, server.url("/"));
    // Values: line breaks, NUL, VT, FF, DEL and C1 controls.
    for (const QString& value : {QStringLiteral("a\r\nX-Injected: 1"), QStringLiteral("a\nb"), QString::fromUtf16(u"a\0b", 3),
                                 QStringLiteral("a\vb"), QStringLiteral("a\fb"), QStringLiteral("a\x7f"), QStringLiteral("a\u0085")}) {
        SCOPED_TRACE(value.toStdString());
        bad.headers = {row("X-Ok", "1"), row("X-Bad", value)};
        refused(bad, HTTPError::Kind::invalidHeader, "Invalid header \"X-Bad\"" + why);
    }
    // Names outside the token set.
    for (const QString& name : {QStringLiteral("X-Split\n"), QStringLiteral("X-A: b"), QStringLiteral("X A"), QStringLiteral("X:A"),
                                QStringLiteral("X(A)"), QStringLiteral("X\"A"), QStringLiteral("Ünicode"), QStringLiteral("X\tA")}) {
        SCOPED_TRACE(name.toStdString());
        bad.headers = {row(name, "v")};
        refused(bad, HTTPError::Kind::invalidHeader, "Invalid header \"" + name + u'"' + why);
    }
    // The whole token set in a name, and tabs, blanks and non-ASCII text in a value, go out; it is the
    // only request the server ever sees.
    HTTPRequest good = request(HTTPMethod::get, server.url("/"));
    good.headers = {row("X-!#$%&'*+-.^_`|~09az", "a\tb c é ✓")};
    const HTTPSendResult sent = sendAndWait(good);
    ASSERT_TRUE(sent.ok()) << sent.responseOrFailure().statusText.toStdString();
    ASSERT_EQ(server.receivedCount(), 1);
    EXPECT_EQ(server.received()[0].header("X-!#$%&'*+-.^_`|~09az"), QStringLiteral("a\tb c é ✓").toUtf8());
}

TEST(HTTPClientSend, ABodyPastTheLimitStopsTheTransfer) {
    LoopbackServer server;
    const qint64 saved = HTTPClient::maxBodyBytes();
    HTTPClient::setMaxBodyBytes(1024 * 1024);
    server.respondWith({.headers = {{"Content-Type", "text/plain"}}, .endless = true});
    const HTTPSendResult endless = sendAndWait(request(HTTPMethod::get, server.url("/stream")));
    server.respondWith({.body = QByteArray(1024 * 1024, 'y')});
    const HTTPSendResult whole = sendAndWait(request(HTTPMethod::get, server.url("/whole")));
    const HTTPSendResult head = sendAndWait(request(HTTPMethod::head, server.url("/whole")));
    server.respondWith({.body = QByteArray(1024 * 1024 + 1, 'y')});
    const HTTPSendResult over = sendAndWait(request(HTTPMethod::get, server.url("/over")));
    HTTPClient::setMaxBodyBytes(saved);

    ASSERT_FALSE(endless.ok());
    EXPECT_EQ(endless.error->kind(), HTTPError::Kind::bodyTooLarge);
    EXPECT_EQ(endless.responseOrFailure().statusText, "Response body too large: over 1 MB.");
    EXPECT_TRUE(waitUntil([&] { return server.closedCount() >= 1; })) << "the stream was not cut";
    ASSERT_FALSE(over.ok());
    EXPECT_EQ(over.error->kind(), HTTPError::Kind::bodyTooLarge);
    // Exactly the limit is kept whole; a HEAD answer announcing a larger body carries none.
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.response->size, 1024 * 1024);
    ASSERT_TRUE(head.ok()) << head.responseOrFailure().statusText.toStdString();
    EXPECT_TRUE(head.response->body.isEmpty());
}

// Many header fields, or a very long one, show whole; a header block past 1 MB is refused by name
// rather than read without end.
TEST(HTTPClientSend, LargeHeaderBlocksShowWholeAndAnEndlessOneIsRefused) {
    LoopbackServer server;
    loopback::Fields fields{{"Content-Type", "application/json"}};
    for (int i = 1; i < 150; ++i) fields.append({"X-Field-" + QByteArray::number(i), QByteArray::number(i)});
    server.respondTo("/many", {.headers = fields, .body = "{}"});
    server.respondTo("/huge", {.headers = {{"X-Huge", QByteArray(100 * 1024, 'h')}}, .body = "{}"});
    server.respondTo("/endless", {.headers = {{"X-Huge", QByteArray(2 * 1024 * 1024, 'h')}}, .body = "{}"});

    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url("/many")));
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(result.response->headers.size(), 152);  // with the server's Content-Length and Connection
    EXPECT_EQ(result.response->headers.value("X-Field-149"), "149");
    result = sendAndWait(request(HTTPMethod::get, server.url("/huge")));
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(result.response->headers.value("X-Huge").size(), 100 * 1024);
    EXPECT_EQ(result.response->body, "{}");
    result = sendAndWait(request(HTTPMethod::get, server.url("/endless")));
    EXPECT_EQ(result.responseOrFailure().statusText, "The response's header fields are too large (over 1 MB).");
}

TEST(HTTPClientSend, GoneReceiverGetsNoCall) {
    LoopbackServer server;
    server.respondWith({});
    auto* receiver = new QObject;
    QObject living;
    bool called = false;
    int completed = 0;
    for (const QString& url : {server.url("/"), QStringLiteral("nope")})
        HTTPClient::send(request(HTTPMethod::get, url), {}, {receiver, [&](const HTTPSendResult&) { called = true; }});
    delete receiver;
    // The same two sends for a receiver that lives: once both are answered, the others had their chance.
    for (const QString& url : {server.url("/"), QStringLiteral("nope")})
        HTTPClient::send(request(HTTPMethod::get, url), {}, {&living, [&](const HTTPSendResult&) { ++completed; }});
    ASSERT_TRUE(waitUntil([&] { return completed == 2; }));
    EXPECT_FALSE(called);
}

// Credentials go only to the request's own scheme, host and port; everything else follows the
// redirect, and a 302 turns a POST into a GET while a 307 repeats it.
TEST(HTTPClientRedirect, CredentialsStayWithTheirOrigin) {
    LoopbackServer home, other;
    home.respondWith({});
    other.respondWith({});
    home.respondTo("/away", redirectTo(other.url("/land")));
    home.respondTo("/alias", redirectTo(QStringLiteral("http://localhost:%1/land").arg(home.port())));
    home.respondTo("/same", redirectTo("/land", 307));
    home.respondTo("/back", redirectTo(other.url("/back")));
    other.respondTo("/back", redirectTo(home.url("/land"), 308));
    HTTPRequest r = request(HTTPMethod::post, "", BodyKind::json, "{\"a\":1}");
    r.headers = {row("Authorization", "Basic {{creds}}"), row("Cookie", "sid=1"), row("proxy-authorization", "Basic eA=="),
                 row("X-API-KEY", "k"), row("X-Other", "kept")};
    const auto sendTo = [&](const QString& url) {
        home.clearReceived();
        other.clearReceived();
        r.url = url;
        const HTTPSendResult result = sendAndWait(r, {{"creds", "dTpw"}});
        EXPECT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    };
    const auto credentialsIn = [](const loopback::ReceivedRequest& got) {
        int n = 0;
        for (const QByteArray& name : kCredentials) n += got.count(name);
        return n;
    };

    for (const QString& path : {QStringLiteral("/away"), QStringLiteral("/alias")}) {
        SCOPED_TRACE(path.toStdString());
        sendTo(home.url(path));
        const QList<loopback::ReceivedRequest> landed = path == "/away" ? other.received() : home.received().mid(1);
        ASSERT_EQ(landed.size(), 1);
        EXPECT_EQ(credentialsIn(home.received()[0]), 4);
        EXPECT_EQ(credentialsIn(landed[0]), 0);
        EXPECT_EQ(landed[0].header("X-Other"), "kept");
        EXPECT_EQ(landed[0].method, "GET");
        EXPECT_EQ(landed[0].body, "");
        EXPECT_EQ(landed[0].count("Content-Type"), 0);
    }

    sendTo(home.url("/same"));
    ASSERT_EQ(home.receivedCount(), 2);
    const loopback::ReceivedRequest again = home.received()[1];
    EXPECT_EQ(credentialsIn(again), 4);
    EXPECT_EQ(again.header("Authorization"), "Basic dTpw");
    EXPECT_EQ(again.method, "POST");
    EXPECT_EQ(again.body, "{\"a\":1}");

    // Back home after a detour: the origin is the request's own again.
    sendTo(home.url("/back"));
    ASSERT_EQ(home.receivedCount(), 2);
    ASSERT_EQ(other.receivedCount(), 1);
    EXPECT_EQ(credentialsIn(other.received()[0]), 0);
    EXPECT_EQ(credentialsIn(home.received()[1]), 4);
}

// A Host field the user wrote names the request's own server: a redirect to another one is
// addressed to that one, as a request typed for it would be.
TEST(HTTPClientRedirect, AWrittenHostStaysWithItsOrigin) {
    LoopbackServer home, other;
    other.respondWith({});
    home.respondTo("/away", redirectTo(other.url("/land")));
    home.respondTo("/same", redirectTo("/land", 307));
    home.respondTo("/land", {});
    HTTPRequest r = request(HTTPMethod::get, home.url("/away"));
    r.headers = {row("Host", "site.test")};
    EXPECT_TRUE(sendAndWait(r).ok());
    ASSERT_EQ(other.receivedCount(), 1);
    EXPECT_EQ(home.received()[0].header("Host"), "site.test");
    EXPECT_EQ(other.received()[0].header("Host"), QStringLiteral("127.0.0.1:%1").arg(other.port()).toUtf8());
    EXPECT_EQ(other.received()[0].count("Host"), 1);

    r.url = home.url("/same");
    EXPECT_TRUE(sendAndWait(r).ok());
    ASSERT_EQ(home.receivedCount(), 3);
    EXPECT_EQ(home.received()[2].header("Host"), "site.test");
}

TEST(HTTPClientRedirect, LoopsAndFailingHopsSayWhatHappened) {
    LoopbackServer server;
    server.respondTo("/loop", redirectTo("/loop"));
    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url("/loop")));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.responseOrFailure().statusText,
              "Too many redirects (more than 20); the server may be redirecting in a loop.");
    EXPECT_EQ(server.receivedCount(), HTTPClient::kMaxRedirects + 1);

    // The next hop refuses the connection: that is the error, not the redirect's missing headers.
    const loopback::RefusingPort refusing;
    server.respondTo("/refused", redirectTo(refusing.url()));
    result = sendAndWait(request(HTTPMethod::get, server.url("/refused")));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->kind(), HTTPError::Kind::transport);
    EXPECT_TRUE(result.error->errorDescription().contains("refused", Qt::CaseInsensitive))
        << result.error->errorDescription().toStdString();

    // A redirect without a place to go is the response.
    server.respondTo("/nowhere", {302, "Found", {}, "here"});
    result = sendAndWait(request(HTTPMethod::get, server.url("/nowhere")));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.response->status, 302);
    EXPECT_EQ(result.response->body, "here");
}

// A server with a certificate nobody trusts: the handshake failure is the error, directly and
// after a redirect.
TEST(HTTPClientRedirect, UntrustedCertificateIsTheError) {
    SKIP_WITHOUT_TLS();
    const std::optional<QSslConfiguration> tls = selfSignedServerTLS();
    ASSERT_TRUE(tls);
    LoopbackServer secure(*tls);
    secure.respondWith({});
    LoopbackServer plain;
    plain.respondWith(redirectTo(secure.url("/")));
    for (const QString& url : {secure.url("/"), plain.url("/")}) {
        SCOPED_TRACE(url.toStdString());
        const HTTPSendResult result = sendAndWait(request(HTTPMethod::get, url));
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error->kind(), HTTPError::Kind::transport);
        EXPECT_TRUE(result.error->errorDescription().startsWith("SSL handshake failed: ")) << result.error->errorDescription().toStdString();
        EXPECT_TRUE(result.error->errorDescription().contains("self-signed", Qt::CaseInsensitive))
            << result.error->errorDescription().toStdString();
    }
    EXPECT_EQ(secure.receivedCount(), 0);
}

// Over TLS the framing holds as in the clear: a whole body is a response, one cut short is not,
// and a certificate trusted here carries a send through.
TEST(HTTPClientSend, TrustedTLSReadsBodiesAndSeesThemCutShort) {
    SKIP_WITHOUT_TLS();
    const std::optional<QSslConfiguration> tls = selfSignedServerTLS();
    ASSERT_TRUE(tls);
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = saved;
    trusting.setCaCertificates({tls->localCertificate()});
    QSslConfiguration::setDefaultConfiguration(trusting);
    LoopbackServer secure(*tls);
    secure.respondTo("/whole", {.body = QByteArray(300 * 1024, 'w')});
    secure.respondTo("/chunks", {.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"});
    secure.respondTo("/cut", {.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"});
    secure.respondTo("/short", {.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"});
    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, secure.url("/whole")));
    EXPECT_TRUE(result.ok() && result.response->body == QByteArray(300 * 1024, 'w')) << result.responseOrFailure().statusText.toStdString();
    result = sendAndWait(request(HTTPMethod::get, secure.url("/chunks")));
    EXPECT_TRUE(result.ok() && result.response->body == "hello") << result.responseOrFailure().statusText.toStdString();
    for (const char* path : {"/cut", "/short"}) {
        SCOPED_TRACE(path);
        result = sendAndWait(request(HTTPMethod::get, secure.url(path)));
        EXPECT_EQ(result.responseOrFailure().statusText, "The server closed the connection before the whole response arrived.");
    }
    QSslConfiguration::setDefaultConfiguration(saved);
}

// Bodies are inflated here, and the size limit applies to what they inflate to.
TEST(HTTPClientSend, CompressedBodiesInflateWithinTheLimit) {
    LoopbackServer server;
    QByteArray json = "[";
    for (int i = 0; json.size() < 12 * 1024 * 1024; ++i) json += "{\"id\":" + QByteArray::number(i) + ",\"name\":\"item\",\"ok\":true},";
    json.back() = ']';
    server.respondTo("/json", {.headers = {{"Content-Type", "application/json"}, {"Content-Encoding", "gzip"}}, .body = gzip(json)});
    // Many gzip members of 64 MB of zeros each, about 64 KB apiece: a gigabyte from one megabyte.
    const QByteArray member = gzip(QByteArray(64 * 1024 * 1024, '\0'));
    server.respondTo("/bomb", {.headers = {{"Content-Encoding", "gzip"}}, .body = member.repeated(16)});
    server.respondTo("/broken", {.headers = {{"Content-Encoding", "gzip"}}, .body = gzip("hello").chopped(6)});
    // deflate as meant (zlib-wrapped) and as some servers send it (bare); gzip with zero padding after it.
    server.respondTo("/deflate", {.headers = {{"Content-Encoding", "deflate"}}, .body = qCompress("plain words").mid(4)});
    server.respondTo("/bare", {.headers = {{"Content-Encoding", "deflate"}}, .body = qCompress("plain words").mid(6).chopped(4)});
    server.respondTo("/padded", {.headers = {{"Content-Encoding", "gzip"}}, .body = gzip("plain words") + QByteArray(8, '\0')});

    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url("/json")));
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(result.response->size, json.size());
    EXPECT_TRUE(result.response->body == json);
    EXPECT_EQ(server.received()[0].header("Accept-Encoding"), "gzip, deflate");

    result = sendAndWait(request(HTTPMethod::get, server.url("/bomb")));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.responseOrFailure().statusText, "Response body too large: over 50 MB.");

    result = sendAndWait(request(HTTPMethod::get, server.url("/broken")));
    ASSERT_FALSE(result.ok()) << "a cut-off body shown as a success";
    EXPECT_EQ(result.responseOrFailure().statusText, "The response body could not be decompressed: the compressed data ends early.");

    for (const char* path : {"/deflate", "/bare", "/padded"}) {
        SCOPED_TRACE(path);
        result = sendAndWait(request(HTTPMethod::get, server.url(path)));
        ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
        EXPECT_EQ(result.response->body, "plain words");
    }
}

// Answers that are valid but bare, and answers that break off: the first are responses, the
// others errors, never a success with part of a body.
TEST(HTTPClientSend, BareAndBrokenAnswersShowWhatHappened) {
    LoopbackServer server;
    server.respondTo("/bare", {.raw = "HTTP/1.0 200 OK\r\n\r\nhello"});
    server.respondTo("/204", {.raw = "HTTP/1.1 204 No Content\r\n\r\n"});
    server.respondTo("/wide", {.headers = {{"X-Wide", QByteArray(64 * 1024, 'w')}}, .body = "ok"});
    server.respondTo("/short", {.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"});
    server.respondTo("/cut", {.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"});

    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url("/bare")));
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(result.response->status, 200);
    EXPECT_TRUE(result.response->headers.isEmpty());
    EXPECT_EQ(result.response->body, "hello");

    result = sendAndWait(request(HTTPMethod::get, server.url("/204")));
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(result.response->status, 204);

    result = sendAndWait(request(HTTPMethod::get, server.url("/wide")));
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(result.response->headers.value("X-Wide").size(), 64 * 1024);

    for (const char* path : {"/short", "/cut"}) {
        SCOPED_TRACE(path);
        result = sendAndWait(request(HTTPMethod::get, server.url(path)));
        EXPECT_EQ(result.responseOrFailure().statusText, "The server closed the connection before the whole response arrived.");
    }
    server.respondTo("/junk", {.raw = "garbage\r\n\r\n"});
    result = sendAndWait(request(HTTPMethod::get, server.url("/junk")));
    EXPECT_EQ(result.responseOrFailure().statusText, "The server closed the connection without sending a complete response.");
}

// The size limit holds however the body is framed, and a length announced past it stops the send
// before any of the body comes; out of the box the limits are 50 MB, 60 s of silence, 5 minutes.
TEST(HTTPClientSend, TheSizeLimitHoldsForEveryFraming) {
    EXPECT_EQ(HTTPClient::maxBodyBytes(), 50 * 1024 * 1024);
    EXPECT_EQ(HTTPClient::timeoutMs(), 60 * 1000);
    EXPECT_EQ(HTTPClient::totalTimeoutMs(), 5 * 60 * 1000);
    LoopbackServer server;
    QByteArray chunks = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 17; ++i) chunks += "10000\r\n" + QByteArray(0x10000, 'c') + "\r\n";
    server.respondTo("/chunks", {.raw = chunks + "0\r\n\r\n"});
    server.respondTo("/announced", {.raw = "HTTP/1.1 200 OK\r\nContent-Length: 1048577\r\n\r\n", .keepOpen = true});
    const qint64 saved = HTTPClient::maxBodyBytes();
    HTTPClient::setMaxBodyBytes(1024 * 1024);
    for (const char* path : {"/chunks", "/announced"}) {
        SCOPED_TRACE(path);
        const HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url(path)));
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error->kind(), HTTPError::Kind::bodyTooLarge);
    }
    HTTPClient::setMaxBodyBytes(saved);
    EXPECT_TRUE(waitUntil([&] { return server.closedCount() == 2; })) << "a connection stayed open";
}

// Servers that break the rules: no answer, lengths that disagree, bodies where none may be. Each
// failure says what went wrong, and the send after it goes out on a connection of its own.
TEST(HTTPClientSend, HostileAnswersFailClearlyAndTheNextSendStartsAfresh) {
    LoopbackServer server;
    server.respondTo("/fine", {.body = "fine"});
    const QString cutShort = "The server closed the connection before the whole response arrived.";
    const QString unreadable = "The server sent a body whose length or chunks cannot be read.";
    const QList<std::pair<ScriptedResponse, QString>> failing{
        {{.hangUp = true}, "The server closed the connection without sending a complete response."},
        {{.raw = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!"}, unreadable},
        {{.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0x5\r\nhello\r\n0\r\n\r\n"}, unreadable},
        {{.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n-1\r\n"}, unreadable},
        {{.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7fffffffffffffff\r\nhello"}, unreadable},
        {{.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel"}, cutShort},
        {{.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n"}, cutShort},
        {{.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"}, cutShort},
        {{.raw = "HTTP/1.1 200 OK\r\nX-A: 1\r\n"}, "The server closed the connection without sending a complete response."},
    };
    int connections = 0;
    for (const auto& [answer, text] : failing) {
        SCOPED_TRACE((answer.raw.isEmpty() ? "hang up" : answer.raw.toStdString()));
        server.respondTo("/bad", answer);
        HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url("/bad")));
        ASSERT_FALSE(result.ok()) << result.response->status;
        EXPECT_EQ(result.error->kind(), HTTPError::Kind::transport);
        EXPECT_EQ(result.responseOrFailure().statusText, text);
        result = sendAndWait(request(HTTPMethod::get, server.url("/fine")));
        ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
        EXPECT_EQ(result.response->body, "fine");
        EXPECT_EQ(server.acceptedCount(), connections += 2);
    }

    // Too much is cut to the stated length; a body after HEAD, 204 or 304 is no body.
    server.respondTo("/long", {.raw = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello and more"});
    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, server.url("/long")));
    ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(result.response->body, "hello");
    for (const auto& [method, raw] : QList<std::pair<HTTPMethod, QByteArray>>{
             {HTTPMethod::head, "HTTP/1.1 200 OK\r\nContent-Length: 999999999999\r\n\r\nbody"},
             {HTTPMethod::get, "HTTP/1.1 204 No Content\r\nContent-Length: 4\r\n\r\nbody"},
             {HTTPMethod::get, "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n"}}) {
        SCOPED_TRACE(raw.toStdString());
        server.respondTo("/empty", {.raw = raw, .keepOpen = true});  // nothing to wait for
        result = sendAndWait(request(method, server.url("/empty")));
        ASSERT_TRUE(result.ok()) << result.responseOrFailure().statusText.toStdString();
        EXPECT_TRUE(result.response->body.isEmpty());
        EXPECT_EQ(result.response->size, 0);
    }
    EXPECT_TRUE(waitUntil([&] { return server.closedCount() == server.acceptedCount(); })) << "a connection stayed open";
}

// Cancel works wherever the send stands: connecting, in the TLS handshake, waiting for the header
// block, inside it, inside the body. The completion comes once, and the connection closes.
TEST(HTTPClientSend, CancelStopsEveryPhase) {
    LoopbackServer server;
    server.respondTo("/silent", {.silent = true});
    server.respondTo("/head", {.raw = "HTTP/1.1 200 OK\r\nX-A: 1\r\n", .keepOpen = true});
    server.respondTo("/body", {.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhello", .keepOpen = true});
    server.respondTo("/chunk", {.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\nhel", .keepOpen = true});
    const QString tlsToPlain = server.url("/silent").replace("http:", "https:");
    for (const QString& url : {server.url("/silent"), tlsToPlain, server.url("/head"), server.url("/body"), server.url("/chunk"), QString()}) {
        SCOPED_TRACE(url.toStdString());
        const int accepted = server.acceptedCount();
        const int received = server.receivedCount();
        int calls = 0;
        std::optional<HTTPSendResult> result;
        const HTTPClient::Cancel cancel = HTTPClient::send(request(HTTPMethod::get, url.isEmpty() ? server.url("/body") : url), {},
                                                           [&](const HTTPSendResult& r) { ++calls, result = r; });
        // An empty URL here stands for a cancel before the connection is made.
        if (!url.isEmpty()) {
            ASSERT_TRUE(waitUntil([&] { return server.acceptedCount() == accepted + 1; }));
            if (url != tlsToPlain) ASSERT_TRUE(waitUntil([&] { return server.receivedCount() == received + 1; }));
        }
        cancel();
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
        EXPECT_EQ(result->responseOrFailure().statusText, "The request was cancelled.");
        cancel();
        EXPECT_TRUE(waitUntil([&] { return server.closedCount() == server.acceptedCount(); })) << "the connection stayed open";
        EXPECT_EQ(calls, 1);
    }
}

// A server that trickles its answer: the user can stop the send, and the total limit ends it.
TEST(HTTPClientSend, ASlowSendCanBeCancelledAndIsTimeBound) {
    LoopbackServer server;
    server.respondWith({.body = QByteArray(10000, 't'), .trickleMs = 20});
    std::optional<HTTPSendResult> result;
    const HTTPClient::Cancel cancel =
        HTTPClient::send(request(HTTPMethod::get, server.url("/slow")), {}, [&](const HTTPSendResult& r) { result = r; });
    ASSERT_TRUE(waitUntil([&] { return server.receivedCount() == 1; }));
    cancel();
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    ASSERT_FALSE(result->ok());
    EXPECT_EQ(result->responseOrFailure().statusText, "The request was cancelled.");
    EXPECT_TRUE(waitUntil([&] { return server.closedCount() == 1; })) << "the connection stayed open";
    cancel();  // after completion: nothing

    const int saved = HTTPClient::totalTimeoutMs();
    HTTPClient::setTotalTimeoutMs(400);
    const HTTPSendResult bounded = sendAndWait(request(HTTPMethod::get, server.url("/slow")));
    HTTPClient::setTotalTimeoutMs(saved);
    ASSERT_FALSE(bounded.ok());
    EXPECT_EQ(bounded.responseOrFailure().statusText, "The request timed out: it took longer than 400 ms.");
}
