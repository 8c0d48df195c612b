// Form bodies: the fields a file holds are sent URL-encoded, and the file keeps them as written.
#include <gtest/gtest.h>

#include "API/BruFileFormat.h"
#include "API/FormBody.h"
#include "API/HTTPClient.h"
#include "API/HTTPFileFormat.h"
#include "LoopbackServer.h"
#include "RequestBuilders.h"
#include "TestSupport.h"

using loopback::LoopbackServer;
using testing_support::waitUntil;

namespace {

QByteArray sentBody(const HTTPRequest& request, const HTTPClient::Environment& env = {}) {
    LoopbackServer server;
    server.respondWith({200, "OK", {}, "ok"});
    HTTPRequest r = request;
    r.url.replace("URL", server.url("/f"));
    std::optional<HTTPSendResult> result;
    HTTPClient::send(r, env, [&result](const HTTPSendResult& outcome) { result = outcome; });
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); })) << "no completion";
    EXPECT_EQ(server.receivedCount(), 1);
    if (server.receivedCount() != 1) return {};
    EXPECT_EQ(server.received().last().header("Content-Type"), "application/x-www-form-urlencoded");
    return server.received().last().body;
}

const QString kFormFile = QStringLiteral(
    "meta {\n  name: Form\n  type: http\n  seq: 1\n}\n\npost {\n  url: URL\n  body: formUrlEncoded\n  auth: none\n}\n\n"
    "body:form-urlencoded {\n  q: a&b=c d\n  ~off: 1\n  \"na me\": x+y\n  v: {{v}}\n}\n");

} // namespace

TEST(FormBodies, FieldsOfABruFileAreSentEncodedAndDisabledOnesNot) {
    const QList<HTTPRequest> parsed = BruFileFormat::parse(kFormFile, {});
    ASSERT_EQ(parsed.size(), 1);
    EXPECT_EQ(parsed[0].bodyKind, BodyKind::form);
    // As curl --data-urlencode sends them; a variable's value is encoded too.
    EXPECT_EQ(sentBody(parsed[0], {{"v", "1&2"}}), "q=a%26b%3Dc+d&na+me=x%2By&v=1%262");
    EXPECT_EQ(BruFileFormat::serialize(parsed), kFormFile);
}

TEST(FormBodies, AnEditedFieldLeavesTheOtherRowsAsWritten) {
    QList<HTTPRequest> parsed = BruFileFormat::parse(kFormFile, {});
    ASSERT_EQ(parsed.size(), 1);
    // The request as the form editor hands it back after the last field got a new value.
    QList<HTTPRequest> reread = BruFileFormat::parse(QString(kFormFile).replace("v: {{v}}", "v: 2"), {});
    parsed[0].body = reread[0].body;
    const QString written = BruFileFormat::serialize(parsed);
    EXPECT_EQ(written, QString(kFormFile).replace("v: {{v}}", "v: 2"));
    const QList<HTTPRequest> back = BruFileFormat::parse(written, {});
    EXPECT_EQ(back[0].body, parsed[0].body);
}

TEST(FormBodies, AHttpFormBodyIsSentWithItsFieldsEncoded) {
    const QList<HTTPRequest> parsed =
        HTTPFileFormat::parse("POST URL\nContent-Type: application/x-www-form-urlencoded\n\nname=John Doe&x=1%2B1&e=\n", {});
    ASSERT_EQ(parsed.size(), 1);
    ASSERT_EQ(parsed[0].bodyKind, BodyKind::form);
    EXPECT_EQ(sentBody(parsed[0]), "name=John+Doe&x=1%2B1&e=");
}

TEST(FormBodies, OtherThanUrlEncodedContentTypesGoOutAsWrittenAndAnyTextEncodes) {
    HTTPRequest multipart;
    multipart.method = HTTPMethod::post;
    multipart.url = "URL";
    multipart.bodyKind = BodyKind::form;
    multipart.body = "--b\r\nx y&z\r\n--b--";
    multipart.headers = {KeyValueItem{.key = "content-type", .value = "multipart/form-data; boundary=b"}};
    EXPECT_FALSE(FormBody::isSentEncoded(multipart));
    multipart.headers.first().enabled = false;  // a switched-off row sets nothing
    EXPECT_TRUE(FormBody::isSentEncoded(multipart));
    multipart.headers.first().value = "Application/X-WWW-Form-URLEncoded; charset=utf-8";
    multipart.headers.first().enabled = true;
    EXPECT_TRUE(FormBody::isSentEncoded(multipart));

    // Letters beyond one UTF-16 unit, and a name that itself begins with "~".
    const QString body = FormBody::body({KeyValueItem{.key = "~é", .value = "😀 1"}});
    EXPECT_EQ(body, "%7E%C3%A9=%F0%9F%98%80+1");
    EXPECT_EQ(FormBody::fields(body).first().key, "~é");
    EXPECT_TRUE(FormBody::fields(body).first().enabled);
    EXPECT_EQ(FormBody::fields("a=%ZZ&b=%FF").last().value, "%FF") << "undecodable text is taken as written";
    EXPECT_EQ(FormBody::fields("a=%ZZ").first().value, "%ZZ");
    // A changed field is written anew; the untouched ones as they were.
    EXPECT_EQ(FormBody::body({KeyValueItem{.key = "a", .value = "2"}, KeyValueItem{.key = "b", .value = "x y"}}, "a=1&b=x y"),
              "a=2&b=x y");
    // Fields set on lines of their own in a file.
    EXPECT_EQ(FormBody::body(FormBody::fields("a=19\r\n&\nb=2\n")), "a=19&b=2");
}

TEST(FormBodies, AValueTypedBeforeItsKeyStaysInTheBodyAndIsNotSent) {
    KeyValueItem orphan;
    orphan.value = QStringLiteral(" x&y ");
    KeyValueItem blank;
    const QString body = FormBody::body({builders::row("a", "1"), orphan, blank});
    const QList<KeyValueItem> back = FormBody::fields(body);
    ASSERT_EQ(back.size(), 2) << body.toStdString();  // a row with neither key nor value holds nothing
    EXPECT_TRUE(back[1].sameContent(orphan));
    EXPECT_EQ(FormBody::sendable(body, [](const QString& t) { return t; }), "a=1");
}
