// The .bru format: reading as the format's own tool does, writing new files, rewriting after an edit.
#include <gtest/gtest.h>

#include "API/BruFileFormat.h"
#include "Printers.h"
#include "RequestBuilders.h"
#include "TestSupport.h"

namespace {

using BruFileFormat::parse;
using BruFileFormat::serialize;
using builders::rows;

HTTPRequest only(const QString& text) {
    const QList<HTTPRequest> requests = parse(text);
    EXPECT_EQ(requests.size(), 1);
    return requests.value(0);
}

// --- reading -------------------------------------------------------------------------------

TEST(BruFileFormatReadTest, MethodBlockUrlAndIndentedJsonBody) {
    const HTTPRequest request = only(QStringLiteral(
        "post {\n  url: {{base}}/users\n}\n\nbody:json {\n  {\n    \"name\": \"a}b\",\n    \"tags\": []\n  }\n}\n"));
    EXPECT_EQ(request.name, QStringLiteral("Request"));
    EXPECT_EQ(request.method, HTTPMethod::post);
    EXPECT_EQ(request.url, QStringLiteral("{{base}}/users"));
    EXPECT_EQ(request.bodyKind, BodyKind::json);
    // The brace inside the string does not end the block; the block's own indentation is dropped.
    EXPECT_EQ(request.body, QStringLiteral("{\n  \"name\": \"a}b\",\n  \"tags\": []\n}"));
}

TEST(BruFileFormatReadTest, OnlyLowerCaseMethodBlocksOutsideCommentsCount) {
    EXPECT_TRUE(parse(QStringLiteral("GET {\n  url: https://x\n}\n")).isEmpty());
    EXPECT_TRUE(parse(QStringLiteral("// get {\n//  url: https://x\n// }\n")).isEmpty());
    EXPECT_TRUE(parse(QStringLiteral("http {\n  method: FETCH\n  url: https://x\n}\n")).isEmpty());
    EXPECT_EQ(only(QStringLiteral("get {\n  url: http://h:8080/a?x=1:2\n}")).url, QStringLiteral("http://h:8080/a?x=1:2"));
    EXPECT_EQ(only(QStringLiteral("get{url: https://x}")).url, QStringLiteral("https://x"));
}

TEST(BruFileFormatReadTest, KeyValueLinesAsTheToolWritesThem) {
    const HTTPRequest request = only(QStringLiteral(
        "meta {\n  name: Send: SMS\n  seq: 4\n}\n\nget {\n  url: https://x\n}\n\nheaders {\n  // note\n  Accept: application/json\n"
        "  X-Empty:\n  ~X-Off: 1\n  \"key with: colon\": \"quoted\"\n  \"esc \\\"q\\\"\": v\n  X-Multi: '''\n    line 1\n      line 2\n  '''\n}\n"));
    EXPECT_EQ(request.name, QStringLiteral("Send: SMS"));
    EXPECT_EQ(rows(request.headers), (QStringList{"Accept=application/json", "X-Empty=", "~X-Off=1", "key with: colon=\"quoted\"",
                                                  "esc \"q\"=v", "X-Multi=line 1\n  line 2"}));
}

TEST(BruFileFormatReadTest, QueryBlockAndTheQueryTheUrlRepeats) {
    const HTTPRequest request = only(QStringLiteral(
        "get {\n  url: {{host}}/ping?page=1&sort=desc\n}\n\nparams:query {\n  page: 1\n  ~limit: 10\n  sort: desc\n}\n\nparams:path {\n  id: 1\n}\n"));
    EXPECT_EQ(request.url, QStringLiteral("{{host}}/ping"));  // sent once, from the rows
    EXPECT_EQ(rows(request.params), (QStringList{"page=1", "~limit=10", "sort=desc"}));
    // A query of the URL's own stays in the URL.
    EXPECT_EQ(only(QStringLiteral("get {\n  url: https://x?own=1\n}\nquery {\n  a: 1\n}\n")).url, QStringLiteral("https://x?own=1"));
}

TEST(BruFileFormatReadTest, AuthBlocksBecomeAnAuthorizationHeaderFirst) {
    auto headers = [](const QString& blocks) { return rows(only("get {\n  url: x\n}\n" + blocks).headers); };
    EXPECT_EQ(headers(QStringLiteral("auth:bearer {\n  token:\n}\n")), QStringList{});
    EXPECT_EQ(headers(QStringLiteral("auth:basic {\n  username: me\n}\n")), QStringList{"Authorization=Basic bWU6"});
    EXPECT_EQ(headers(QStringLiteral("headers {\n  A: 1\n}\nauth:bearer {\n  token: t\n}\n")), (QStringList{"Authorization=Bearer t", "A=1"}));
    EXPECT_EQ(headers(QStringLiteral("auth:digest {\n  username: me\n}\n")), QStringList{});
}

TEST(BruFileFormatReadTest, TheMethodBlocksModesChooseTheAuthAndBody) {
    // The tool keeps the blocks of modes not in use; only the named mode applies.
    const HTTPRequest request = only(QStringLiteral(
        "post {\n  url: x\n  body: text\n  auth: none\n}\n\nauth:basic {\n  username: old\n  password: pw\n}\n\n"
        "body:json {\n  {}\n}\n\nbody:text {\n  hello\n}\n"));
    EXPECT_TRUE(request.headers.isEmpty());
    EXPECT_EQ(request.body, QStringLiteral("hello"));
    EXPECT_EQ(request.bodyKind, BodyKind::text);

    const HTTPRequest bearer = only(QStringLiteral("get {\n  url: x\n  auth: bearer\n}\nauth:basic {\n  username: u\n}\nauth:bearer {\n  token: t\n}\n"));
    EXPECT_EQ(rows(bearer.headers), QStringList{"Authorization=Bearer t"});
    EXPECT_EQ(only(QStringLiteral("post {\n  url: x\n  body: none\n}\nbody:json {\n  {}\n}\n")).bodyKind, BodyKind::none);
}

TEST(BruFileFormatReadTest, BodyKindsByBlockName) {
    auto read = [](const QString& block) { return only("post {\n  url: x\n}\n" + block); };
    EXPECT_EQ(read(QStringLiteral("body {\n  [1]\n}\n")).bodyKind, BodyKind::json);
    EXPECT_EQ(read(QStringLiteral("body:xml {\n  <a/>\n}\n")).bodyKind, BodyKind::text);
    EXPECT_EQ(read(QStringLiteral("body:none {\n  x\n}\n")).bodyKind, BodyKind::text);
    EXPECT_EQ(read(QStringLiteral("body:graphql {\n  { a }\n}\n")).bodyKind, BodyKind::json);
    const HTTPRequest form = read(QStringLiteral("body:form-urlencoded {\n  a: 1\n  ~b: 2\n  c: {{v}}\n}\n"));
    EXPECT_EQ(form.bodyKind, BodyKind::form);
    EXPECT_EQ(form.body, QStringLiteral("a=1&~b=2&c={{v}}"));
}

// --- writing new files ---------------------------------------------------------------------

HTTPRequest sample() {
    HTTPRequest request;
    request.name = QStringLiteral("Create: user");
    request.method = HTTPMethod::post;
    request.url = QStringLiteral("{{base}}/users");
    request.params = {KeyValueItem{.key = QStringLiteral("dry"), .value = QStringLiteral("1")},
                      KeyValueItem{.key = QStringLiteral("off"), .value = QStringLiteral("1"), .enabled = false}};
    request.headers = {KeyValueItem{.key = QStringLiteral("Content-Type"), .value = QStringLiteral("application/json")},
                       KeyValueItem{.key = QStringLiteral("x y"), .value = QStringLiteral("two\nlines")}};
    request.body = QStringLiteral("{\n  \"a\": 1\n}");
    request.bodyKind = BodyKind::json;
    return request;
}

TEST(BruFileFormatWriteTest, WritesWhatTheToolReads) {
    EXPECT_EQ(serialize({sample(), HTTPRequest{}}), QStringLiteral(
        "meta {\n  name: Create: user\n  type: http\n  seq: 1\n}\n\n"
        "post {\n  url: {{base}}/users?dry=1\n  body: json\n  auth: none\n}\n\n"
        "params:query {\n  dry: 1\n  ~off: 1\n}\n\n"
        "headers {\n  Content-Type: application/json\n  \"x y\": '''\n    two\n    lines\n  '''\n}\n\n"
        "body:json {\n  {\n    \"a\": 1\n  }\n}\n"));
    EXPECT_EQ(serialize({}), QString());
}

TEST(BruFileFormatWriteTest, WrittenRequestsReadBackTheSame) {
    HTTPRequest form;
    form.name = QStringLiteral("Form");
    form.url = QStringLiteral("https://x?own=1");
    form.params = {KeyValueItem{.key = QStringLiteral("p"), .value = QStringLiteral("{{v}}")}};
    form.body = QStringLiteral("a=1");
    form.bodyKind = BodyKind::form;
    const QString text = serialize({form});
    EXPECT_TRUE(text.contains(QStringLiteral("  body: formUrlEncoded\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("body:form-urlencoded {\n  a: 1\n}\n")));

    for (const HTTPRequest& request : {sample(), form})
        EXPECT_TRUE(only(serialize({request})).sameContent(request)) << serialize({request}).toStdString();
}

// --- rewriting a file after an edit --------------------------------------------------------

const QString kFile = QString::fromUtf8(testing_support::readBytes(BRIMEL_SOURCE_DIR "/tests/API/data/login.bru"));

TEST(BruFileFormatRewriteTest, EditsTouchOnlyTheirLines) {
    QList<HTTPRequest> requests = parse(kFile);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(serialize(requests), kFile);
    ASSERT_EQ(rows(requests[0].headers).first(), QStringLiteral("Authorization=Bearer {{token}}"));

    requests[0].name = QStringLiteral("Sign in");
    requests[0].headers.append(KeyValueItem{.key = QStringLiteral("X-New"), .value = QStringLiteral("1")});
    requests[0].params[0].value = QStringLiteral("3");
    QString expected = kFile;
    expected.replace(QStringLiteral("name: Login"), QStringLiteral("name: Sign in"))
        .replace(QStringLiteral("login?v=2"), QStringLiteral("login?v=3"))
        .replace(QStringLiteral("  v: 2\n"), QStringLiteral("  v: 3\n"))
        .replace(QStringLiteral("~X-Debug: 1\n"), QStringLiteral("~X-Debug: 1\n  X-New: 1\n"));
    EXPECT_EQ(serialize(requests), expected);
}

TEST(BruFileFormatRewriteTest, AnEditedFormBodyKeepsItsDisabledFieldsInPlace) {
    const QString text = QChar(0xFEFF) + QStringLiteral("post {\n  url: https://x\n  body: formUrlEncoded\n}\n\n"
                                                         "body:form-urlencoded {\n  a: 1\n  ~off: 1\n  c:   3\n}\n");
    QList<HTTPRequest> requests = parse(text);
    ASSERT_EQ(requests[0].body, QStringLiteral("a=1&~off=1&c=3"));
    requests[0].body = QStringLiteral("a=2&~off=1&c=3&d=4");
    EXPECT_EQ(serialize(requests), QString(text).replace(QStringLiteral("  a: 1\n  ~off: 1\n  c:   3\n"),
                                                         QStringLiteral("  a: 2\n  ~off: 1\n  c:   3\n  d: 4\n")));
    requests = parse(text);
    requests[0].body = QStringLiteral("~off=1&c=3");
    EXPECT_EQ(serialize(requests), QString(text).replace(QStringLiteral("  a: 1\n"), QString()));
    // A field switched off in the editor stays in the file, marked.
    requests = parse(text);
    requests[0].body = QStringLiteral("~a=1&~off=1&c=3");
    EXPECT_EQ(serialize(requests), QString(text).replace(QStringLiteral("  a: 1\n"), QStringLiteral("  ~a: 1\n")));
}

TEST(BruFileFormatRewriteTest, ChangedAuthenticationNoLongerComesFromTheAuthBlock) {
    QList<HTTPRequest> requests = parse(kFile);
    requests[0].headers.removeFirst();
    QString written = serialize(requests);
    EXPECT_TRUE(written.contains(QStringLiteral("  auth: none\n")));
    EXPECT_TRUE(written.contains(QStringLiteral("auth:bearer {\n  token: {{token}}\n}")));  // kept, as the tool keeps it
    EXPECT_EQ(rows(only(written).headers), (QStringList{"Accept=application/json", "~X-Debug=1"}));

    requests = parse(kFile);
    requests[0].headers[0].value = QStringLiteral("Bearer other");
    written = serialize(requests);
    EXPECT_TRUE(written.contains(QStringLiteral("headers {\n  Authorization: Bearer other\n  Accept")));
    EXPECT_EQ(rows(only(written).headers).first(), QStringLiteral("Authorization=Bearer other"));
}

TEST(BruFileFormatRewriteTest, ChangingTheBodyKindSwitchesTheMode) {
    QList<HTTPRequest> requests = parse(kFile);
    requests[0].body = QStringLiteral("plain words");
    requests[0].bodyKind = BodyKind::text;
    QString written = serialize(requests);
    EXPECT_TRUE(written.contains(QStringLiteral("  body: text\n")));
    EXPECT_TRUE(written.contains(QStringLiteral("body:json {\n  {\n")));  // the other mode's block stays
    EXPECT_TRUE(written.contains(QStringLiteral("body:text {\n  plain words\n}")));
    EXPECT_EQ(only(written).body, QStringLiteral("plain words"));

    requests = parse(kFile);
    requests[0].bodyKind = BodyKind::none;
    written = serialize(requests);
    EXPECT_TRUE(written.contains(QStringLiteral("  body: none\n")));
    EXPECT_EQ(only(written).bodyKind, BodyKind::none);
}

TEST(BruFileFormatRewriteTest, MissingBlocksAreAddedAndCrlfIsKept) {
    QString text = QStringLiteral("get {\r\n  url: https://x\r\n}\r\n\r\ntests {\r\n  ok();\r\n}\r\n");
    QList<HTTPRequest> requests = parse(text);
    requests[0].name = QStringLiteral("N");
    requests[0].headers.append(KeyValueItem{.key = QStringLiteral("A"), .value = QStringLiteral("1")});
    requests[0].params.append(KeyValueItem{.key = QStringLiteral("q"), .value = QStringLiteral("1")});
    EXPECT_EQ(serialize(requests), QStringLiteral(
        "meta {\r\n  name: N\r\n  type: http\r\n  seq: 1\r\n}\r\n\r\n"
        "get {\r\n  url: https://x?q=1\r\n}\r\n\r\nparams:query {\r\n  q: 1\r\n}\r\n\r\nheaders {\r\n  A: 1\r\n}\r\n\r\n"
        "tests {\r\n  ok();\r\n}\r\n"));
}

TEST(BruFileFormatRewriteTest, KeysAddedToABlockOnOneLineAreWritten) {
    QList<HTTPRequest> requests = parse(QStringLiteral("meta { seq: 1 }\nget { url: https://x }\n"));
    ASSERT_EQ(requests.size(), 1);
    requests[0].name = QStringLiteral("Named");
    requests[0].bodyKind = BodyKind::none;
    requests[0].headers.append(KeyValueItem{.key = QStringLiteral("Authorization"), .value = QStringLiteral("x")});
    requests[0].headers.removeLast();
    const HTTPRequest back = only(serialize(requests));
    EXPECT_EQ(back.name, QStringLiteral("Named"));
    EXPECT_EQ(back.url, QStringLiteral("https://x"));
}

} // namespace
