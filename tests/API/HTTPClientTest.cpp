// Substitution, URL building, reason phrases and sending against a loopback server.
#include <gtest/gtest.h>

#include <QObject>

#include "API/HTTPClient.h"
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

    // Last of repeated names wins; empty values go out empty; Accept defaults to */*.
    HTTPRequest r = request(HTTPMethod::get, server.url("/h"));
    r.headers = {row("Accept", "text/a"), row("X-Empty", ""), row("accept", "text/b"), row("X-Off", "1", false)};
    loopback::ReceivedRequest got = sendOne(r);
    EXPECT_EQ(got.count("Accept"), 1);
    EXPECT_EQ(got.header("Accept"), "text/b");
    EXPECT_EQ(got.count("X-Empty"), 1);
    EXPECT_EQ(got.count("X-Off") + got.count("Content-Type"), 0);
    r.headers.clear();
    EXPECT_EQ(sendOne(r).header("Accept"), "*/*");

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
    r.headers.clear();
    r.bodyKind = BodyKind::none;
    got = sendOne(r);
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(got.count("Content-Type"), 0);

    // Query rows after the URL's own query, encoded whole; variables resolved everywhere;
    // a key that resolves to nothing is not sent.
    r = request(HTTPMethod::get, "{{base}}/q?a=1");
    r.params = {row("b", "{{two}}"), row("c", "x", false), row("s", "x y&z=+")};
    r.headers = {row("{{hdr}}", "{{two}}"), row("{{none}}", "dropped")};
    got = sendOne(r, {{"base", server.url("")}, {"two", "2"}, {"hdr", "X-Var"}, {"none", ""}});
    EXPECT_EQ(got.target, "/q?a=1&b=2&s=x%20y%26z%3D%2B");
    EXPECT_EQ(got.header("X-Var"), "2");
    EXPECT_EQ(got.count("dropped"), 0);
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
    quint16 closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    HTTPSendResult result = sendAndWait(request(HTTPMethod::get, QStringLiteral("http://127.0.0.1:%1/").arg(closedPort)));
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

TEST(HTTPClientSend, MoreHeaderFieldsThanAreReadFailByName) {
    LoopbackServer server;
    // The server adds Content-Length and Connection: 100 fields in all.
    loopback::Fields fields{{"Content-Type", "application/json"}};
    for (int i = 1; i < 98; ++i) fields.append({"X-Field-" + QByteArray::number(i), QByteArray::number(i)});
    server.respondWith({.headers = fields, .body = "{}"});
    const HTTPSendResult most = sendAndWait(request(HTTPMethod::get, server.url("/most")));
    ASSERT_TRUE(most.ok()) << most.responseOrFailure().statusText.toStdString();
    EXPECT_EQ(most.response->headers.size(), HTTPClient::kMaxHeaderFields);
    EXPECT_EQ(most.response->headers.value("Content-Type"), "application/json");

    fields.append({QByteArray("X-One-Too-Many"), QByteArray("1")});
    server.respondWith({.headers = fields, .body = "{}"});
    const HTTPSendResult tooMany = sendAndWait(request(HTTPMethod::get, server.url("/many")));
    ASSERT_FALSE(tooMany.ok());
    EXPECT_EQ(tooMany.error->kind(), HTTPError::Kind::tooManyHeaders);
    EXPECT_EQ(tooMany.responseOrFailure().statusText,
              "Too many response header fields (over 100).");
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
