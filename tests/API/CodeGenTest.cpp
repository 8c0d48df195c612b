// Copy as code: the exact texts, the quoting, and the snippets run for real (curl, node)
// where those tools are installed.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include "API/CodeGen.h"
#include "API/HTTPClient.h"
#include "LoopbackServer.h"
#include "RequestBuilders.h"
#include "Printers.h"
#include "TestSupport.h"

using builders::request;
using builders::row;
using loopback::LoopbackServer;
using loopback::ReceivedRequest;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

QString curlOf(const HTTPRequest& r, const QMap<QString, QString>& env = {}) {
    return CodeGen::snippet(r, CodeGenTarget::curl, env);
}
QString fetchOf(const HTTPRequest& r) { return CodeGen::snippet(r, CodeGenTarget::fetch, {}); }
QString swiftOf(const HTTPRequest& r) { return CodeGen::snippet(r, CodeGenTarget::swift, {}); }

const QString kFetchTail = QStringLiteral("\n})\n  .then((res) => res.json())\n  .then(console.log)\n  .catch(console.error);");
const QString kSwiftTail = QStringLiteral("\n\nlet (data, response) = try await URLSession.shared.data(for: request)");

// Runs a program to completion with the event loop turning (the loopback server lives on it).
struct ProcessRun {
    int exitCode = -1;
    QByteArray out, err;
};
ProcessRun run(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.closeWriteChannel();
    waitUntil([&] { return process.state() == QProcess::NotRunning; });
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// For running curl: no proxy, and no configuration file of the user's.
QProcessEnvironment curlEnvironment(const TempFolder& home, const QString& pathFirst = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        environment.remove(QString::fromLatin1(name));
    environment.insert("HOME", home.path());
    environment.insert("CURL_HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path());
    if (!pathFirst.isEmpty()) environment.insert("PATH", pathFirst + u':' + environment.value("PATH"));
    return environment;
}

} // namespace

TEST(CodeGen, BareRequestInEachTarget) {
    const HTTPRequest r = request(HTTPMethod::get, "https://api.example.com/items");
    EXPECT_EQ(curlOf(r), "curl --globoff -X GET --url 'https://api.example.com/items'");
    EXPECT_EQ(fetchOf(r), "fetch(\"https://api.example.com/items\", {\n  method: \"GET\"" + kFetchTail);
    EXPECT_EQ(swiftOf(r), "var request = URLRequest(url: URL(string: \"https://api.example.com/items\")!)\n"
                          "request.httpMethod = \"GET\"" + kSwiftTail);
}

TEST(CodeGen, FullRequestInEachTarget) {
    HTTPRequest r = request(HTTPMethod::post, "{{base}}/users", BodyKind::json, "{\"name\":\"{{who}}\"}");
    r.headers = {row("Authorization", "Bearer {{tok}}"), row("X-Off", "1", false), row("{{blank}}", "gone")};
    r.params = {row("page", "2"), row("off", "x", false), row("", "nokey")};
    const QMap<QString, QString> env{{"base", "https://h"}, {"tok", "t'1"}, {"who", "Ann"}, {"blank", ""}};

    EXPECT_EQ(CodeGen::snippet(r, CodeGenTarget::curl, env),
              "curl --globoff -X POST --url 'https://h/users?page=2' \\\n"
              "  -H 'Authorization: Bearer t'\\''1' \\\n"
              "  -H 'Content-Type: application/json' \\\n"
              "  --data-raw '{\"name\":\"Ann\"}'");
    EXPECT_EQ(CodeGen::snippet(r, CodeGenTarget::fetch, env),
              "fetch(\"https://h/users?page=2\", {\n"
              "  method: \"POST\",\n"
              "  headers: {\n"
              "    \"Authorization\": \"Bearer t'1\"\n"
              "  },\n"
              "  body: `{\"name\":\"Ann\"}`" + kFetchTail);
    EXPECT_EQ(CodeGen::snippet(r, CodeGenTarget::swift, env),
              "var request = URLRequest(url: URL(string: \"https://h/users?page=2\")!)\n"
              "request.httpMethod = \"POST\"\n"
              "request.setValue(\"Bearer t'1\", forHTTPHeaderField: \"Authorization\")\n"
              "request.httpBody = \"{\\\"name\\\":\\\"Ann\\\"}\".data(using: .utf8)" + kSwiftTail);

    // Without the environment the references stay, and the URL no longer parses: typed, no parameters.
    // A name left a reference is no name a send takes, so it becomes a note.
    EXPECT_TRUE(curlOf(r).startsWith("# Header \"{{blank}}\" left out: its name or value holds a character a request cannot "
                                     "carry.\ncurl --globoff -X POST --url '{{base}}/users' \\\n  -H 'Authorization: Bearer {{tok}}'"));
}

// Two rows of one name both reach the server from every target, as they do from a send.
TEST(CodeGen, RepeatedHeaderNamesAreAllSent) {
    HTTPRequest r = request(HTTPMethod::get, "http://h/");
    r.headers = {row("Accept", "a"), row("X-One", "1"), row("accept", "b")};
    EXPECT_EQ(curlOf(r), "curl --globoff -X GET --url 'http://h/' \\\n  -H 'Accept: a' \\\n  -H 'X-One: 1' \\\n  -H 'accept: b'");
    EXPECT_EQ(fetchOf(r), "fetch(\"http://h/\", {\n  method: \"GET\",\n  headers: {\n    \"Accept\": \"a, b\",\n"
                          "    \"X-One\": \"1\"\n  }" + kFetchTail);
    EXPECT_EQ(swiftOf(r), "var request = URLRequest(url: URL(string: \"http://h/\")!)\nrequest.httpMethod = \"GET\"\n"
                          "request.setValue(\"a\", forHTTPHeaderField: \"Accept\")\n"
                          "request.setValue(\"1\", forHTTPHeaderField: \"X-One\")\n"
                          "request.addValue(\"b\", forHTTPHeaderField: \"accept\")" + kSwiftTail);
}

TEST(CodeGen, LengthRowsAreLeftOutAsASendLeavesThemOut) {
    HTTPRequest r = request(HTTPMethod::post, "http://h/", BodyKind::text, "abc");
    r.headers = {row("content-length", "9")};
    EXPECT_TRUE(curlOf(r).startsWith("# Header \"content-length\" left out: the length of the body that goes out is sent instead.\n"));
    EXPECT_FALSE(swiftOf(r).contains("forHTTPHeaderField: \"content-length\""));
}

TEST(CodeGen, BodyAndContentTypeRules) {
    HTTPRequest r = request(HTTPMethod::get, "http://h/", BodyKind::form, "a=1");
    EXPECT_EQ(curlOf(r), "curl --globoff -X GET --url 'http://h/' \\\n  -H 'Content-Type: application/x-www-form-urlencoded' \\\n"
                         "  --data-raw 'a=1'");
    r.headers = {row("CONTENT-type", "text/csv")};
    EXPECT_EQ(curlOf(r).count("Content-Type", Qt::CaseInsensitive), 1);
    r.headers = {row("Content-Type", "text/csv", false)};
    EXPECT_TRUE(curlOf(r).contains("-H 'Content-Type: application/x-www-form-urlencoded'"));

    // No body: an empty text under a body kind, or any text under none.
    EXPECT_EQ(curlOf(request(HTTPMethod::post, "http://h/", BodyKind::json)), "curl --globoff -X POST --url 'http://h/'");
    const HTTPRequest none = request(HTTPMethod::post, "http://h/", BodyKind::none, "ignored");
    EXPECT_EQ(curlOf(none), "curl --globoff -X POST --url 'http://h/'");
    EXPECT_FALSE(fetchOf(none).contains("body") || swiftOf(none).contains("httpBody"));
}

// What cURL makes of its command is checked by running it (CodeGenRun below).
TEST(CodeGen, LiteralsKeepTheTextLiteral) {
    // JavaScript: escapes inside JSON and ${} stay text, CR stays CR.
    EXPECT_TRUE(fetchOf(request(HTTPMethod::post, "http://h/", BodyKind::json, "a\\n ${x}\r\n"))
                    .contains("  body: `a\\\\n \\${x}\\r\n`"));

    // Swift: a one-line body gets the escapes, a multi-line one a raw literal that nothing inside can end.
    EXPECT_TRUE(swiftOf(request(HTTPMethod::post, "http://h/", BodyKind::text, "a\\(b) \"q\"\r"))
                    .contains("request.httpBody = \"a\\\\(b) \\\"q\\\"\\r\".data(using: .utf8)"));
    EXPECT_TRUE(swiftOf(request(HTTPMethod::post, "http://h/", BodyKind::text, "{\n \"a\\n\\(b)\"\n}"))
                    .contains("request.httpBody = #\"\"\"\n{\n \"a\\n\\(b)\"\n}\n\"\"\"#.data(using: .utf8)"));
    EXPECT_TRUE(swiftOf(request(HTTPMethod::post, "http://h/", BodyKind::text, "x\"\"\"#\n\\#(y)\r\n"))
                    .contains("request.httpBody = ##\"\"\"\nx\"\"\"#\n\\#(y)\\##r\n\n\"\"\"##.data(using: .utf8)"));
}

// Node evaluates the snippet with a stand-in fetch: what it would send must be the request's text.
TEST(CodeGenRun, FetchSnippetSendsTheExactBody) {
    const QString node = QStandardPaths::findExecutable("node");
    if (node.isEmpty()) GTEST_SKIP() << "node is not installed";
    const QString body = QStringLiteral("{\n  \"m\": \"a\\nb ${x} \\\\ \\u0041\",\r\n  \"t\": \"it's\"\n}");
    for (const QString& text : {body, body + "`"}) {
        HTTPRequest r = request(HTTPMethod::put, "http://h/x", BodyKind::json, text);
        r.headers = {row("X-Quote", "say \"hi\" \\ ${y}")};
        TempFolder dir;
        const QString script = dir.write("run.js",
            "globalThis.fetch = (url, options) => { console.log(JSON.stringify({url, options}));"
            " return new Promise(() => {}); };\n" + fetchOf(r).toUtf8() + "\n");
        const ProcessRun result = run(node, {script});
        ASSERT_EQ(result.exitCode, 0) << result.err.constData();
        const QJsonObject sent = QJsonDocument::fromJson(result.out).object();
        EXPECT_EQ(sent["url"].toString(), "http://h/x");
        EXPECT_EQ(sent["options"]["method"].toString(), "PUT");
        EXPECT_EQ(sent["options"]["body"].toString(), text);
        EXPECT_EQ(sent["options"]["headers"]["X-Quote"].toString(), "say \"hi\" \\ ${y}");
    }
}

// The cURL command, run by bash, must reach the server just as the program's own send does.
TEST(CodeGenRun, CurlSendsWhatTheProgramSends) {
    const QString curl = QStandardPaths::findExecutable("curl");
    if (curl.isEmpty()) GTEST_SKIP() << "curl is not installed";
    LoopbackServer server;
    server.respondWith({});
    const QMap<QString, QString> env{{"base", server.url("")}, {"token", "s3cr'et"}};

    QList<HTTPRequest> cases;
    HTTPRequest r = request(HTTPMethod::post, "{{base}}/users", BodyKind::json, "{\"name\": \"O'Hara\", \"n\": \"a\\nb ${x}\"}");
    r.headers = {row("Authorization", "Bearer {{token}}"), row("X-Empty", ""), row("X-Off", "1", false)};
    cases << r;
    r = request(HTTPMethod::put, "{{base}}/form?fixed=1", BodyKind::form, "a=1&b=%20");
    r.params = {row("q", "x y&z"), row("empty", "")};
    cases << r;
    cases << request(HTTPMethod::patch, "{{base}}/at", BodyKind::text, "@/etc/hostname");
    r = request(HTTPMethod::delete_, "{{base}}/d", BodyKind::text, "multi\nline \"quoted\" $HOME `cmd`\n");
    r.headers = {row("Content-Type", "text/x-custom")};
    cases << r;
    cases << request(HTTPMethod::get, "{{base}}/plain");
    cases << request(HTTPMethod::options, "{{base}}/opts");
    // HEAD must not wait for a body; braces and brackets must not expand into several requests.
    cases << request(HTTPMethod::head, "{{base}}/head", BodyKind::text, "dropped");
    cases << request(HTTPMethod::get, "{{base}}/glob/%7Ba,b%7D/x?r=[1-3]");
    // Repeated names, and a query with "+", bare keys and escapes, as written.
    r = request(HTTPMethod::get, "{{base}}/dup?r=a+b&flag&x=%2B#frag");
    r.headers = {row("Accept", "a"), row("accept", "b"), row("X-Dup", "1"), row("x-dup", "2")};
    r.params = {row("p", "1 2")};
    cases << r;
    TempFolder home;

    const QList<QByteArray> ownHeaders{"host", "user-agent", "accept-encoding", "accept-language", "connection", "expect"};
    const auto comparable = [&](const ReceivedRequest& got) {
        QList<std::pair<QByteArray, QByteArray>> fields;
        for (const auto& [name, value] : got.headers)
            if (!ownHeaders.contains(name.toLower())) fields.append({name.toLower(), value});
        std::sort(fields.begin(), fields.end());
        return fields;
    };

    for (const HTTPRequest& c : cases) {
        const QString command = CodeGen::snippet(c, CodeGenTarget::curl, env);
        SCOPED_TRACE(command.toStdString());
        server.clearReceived();
        std::optional<HTTPSendResult> sent;
        HTTPClient::send(c, env, [&](const HTTPSendResult& result) { sent = result; });
        ASSERT_TRUE(waitUntil([&] { return sent.has_value(); }));
        ASSERT_TRUE(sent->ok());
        const ProcessRun result =
            run("/bin/bash", {"-c", command + " --silent --show-error --output /dev/null"}, curlEnvironment(home));
        ASSERT_EQ(result.exitCode, 0) << result.err.constData();
        ASSERT_EQ(server.receivedCount(), 2);
        const ReceivedRequest program = server.received()[0];
        const ReceivedRequest shell = server.received()[1];
        EXPECT_EQ(shell.method, program.method);
        EXPECT_EQ(shell.target, program.target);
        EXPECT_EQ(shell.body, program.body);
        EXPECT_EQ(comparable(shell), comparable(program));
    }
}

// A stand-in curl that prints its arguments: the URL is always the value of --url, so a URL
// starting with "-" (typed or from a variable) can never be read as an option.
TEST(CodeGenRun, CurlArgumentsKeepTheUrlAValue) {
    TempFolder home;
    const QString bin = home.mkdir("bin");
    const QString fake = home.write("bin/curl", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done\n");
    QFile::setPermissions(fake, QFile::permissions(fake) | QFileDevice::ExeOwner);
    const auto arguments = [&](const HTTPRequest& r, const QMap<QString, QString>& env = {}) {
        const ProcessRun result = run("/bin/bash", {"-c", CodeGen::snippet(r, CodeGenTarget::curl, env)}, curlEnvironment(home, bin));
        EXPECT_EQ(result.exitCode, 0) << result.err.constData();
        return QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts);
    };

    EXPECT_EQ(arguments(request(HTTPMethod::get, "-Kdocs/api.curlrc")),
              (QStringList{"--globoff", "-X", "GET", "--url", "-Kdocs/api.curlrc"}));
    EXPECT_EQ(arguments(request(HTTPMethod::get, "{{u}}"), {{"u", "--config=/tmp/x"}}),
              (QStringList{"--globoff", "-X", "GET", "--url", "--config=/tmp/x"}));
    HTTPRequest head = request(HTTPMethod::head, "http://h/{a,b}[1-3]", BodyKind::json, "{}");
    head.headers = {row("X-A", "-v")};
    // Braces cannot travel raw: the URL is the one a send goes to.
    EXPECT_EQ(arguments(head), (QStringList{"--globoff", "--head", "--url", "http://h/%7Ba,b%7D[1-3]", "-H", "X-A: -v"}));
}

// A header a send refuses (a line break from a variable, a bad name) is left out of every target
// with a note, so the copied code cannot send a field of its own; the rest still goes out.
TEST(CodeGenRun, RefusedHeadersAreLeftOutWithANote) {
    HTTPRequest r = request(HTTPMethod::get, "http://h/x");
    r.headers = {row("X-Inject", "{{inj}}"), row("X-Bad\u2028Name", "v"), row("X-Fine", "1")};
    const QMap<QString, QString> env{{"inj", "a\r\nX-Smuggled: yes"}};
    for (CodeGenTarget target : {CodeGenTarget::curl, CodeGenTarget::fetch, CodeGenTarget::swift}) {
        const QString code = CodeGen::snippet(r, target, env);
        SCOPED_TRACE(code.toStdString());
        const QString comment = target == CodeGenTarget::curl ? "# " : "// ";
        const QStringList lines = code.split(u'\n');
        EXPECT_EQ(lines.value(0), comment + "Header \"X-Inject\" left out: its name or value holds a character a request cannot carry.");
        EXPECT_EQ(lines.value(1), comment + "Header \"X-Bad?Name\" left out: its name or value holds a character a request cannot carry.");
        EXPECT_FALSE(code.contains("Smuggled") || code.contains(u'\r') || code.contains(u'\u2028'));
        EXPECT_TRUE(code.contains("X-Fine"));
    }

    TempFolder home;
    const QString bin = home.mkdir("bin");
    const QString fake = home.write("bin/curl", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done\n");
    QFile::setPermissions(fake, QFile::permissions(fake) | QFileDevice::ExeOwner);
    const ProcessRun result = run("/bin/bash", {"-c", CodeGen::snippet(r, CodeGenTarget::curl, env)}, curlEnvironment(home, bin));
    EXPECT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_EQ(QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{"--globoff", "-X", "GET", "--url", "http://h/x", "-H", "X-Fine: 1"}));
}
