// The .http / .rest format: reading, writing new files and rewriting files after an edit.
#include <gtest/gtest.h>

#include "API/HTTPClient.h"
#include "API/HTTPFileFormat.h"
#include "Printers.h"
#include "RequestBuilders.h"
#include "TestSupport.h"

namespace {

using builders::row;
using builders::rows;
using HTTPFileFormat::parse;
using HTTPFileFormat::serialize;

QStringList names(const QList<HTTPRequest>& requests) {
    QStringList out;
    for (const HTTPRequest& request : requests) out.append(request.name);
    return out;
}

// --- reading -------------------------------------------------------------------------------

TEST(HTTPFileFormatReadTest, SectionsWithoutARequestLineYieldNothing) {
    for (const char* text : {"", "\n\n# note\n// other\n   \n", "### Lonely\n\n\n", "###\nFETCH https://x\n", "###\nGET\n",
                             "###\nGET\thttps://x\n"})
        EXPECT_TRUE(parse(QString::fromUtf8(text)).isEmpty()) << text;
}

TEST(HTTPFileFormatReadTest, NamesComeFromTheHashLines) {
    EXPECT_EQ(names(parse(QStringLiteral("GET https://x"))), QStringList{"Request"});
    EXPECT_EQ(names(parse(QStringLiteral("# c\nget https://x\n###   Second \nPOST https://y"))), (QStringList{"Request", "Second"}));
    EXPECT_EQ(names(parse(QStringLiteral("###\nGET https://x\n#### Users\nGET https://y"))), (QStringList{"Request", "Users"}));
    EXPECT_EQ(parse(QStringLiteral("get https://x")).first().method, HTTPMethod::get);
}

TEST(HTTPFileFormatReadTest, QueryIsSplitIntoDecodedRows) {
    const HTTPRequest request = parse(QStringLiteral("GET {{base}}/a?b=1&c=%20d&&e")).first();
    EXPECT_EQ(request.url, QStringLiteral("{{base}}/a"));
    EXPECT_EQ(rows(request.params), (QStringList{"b=1", "c= d", "e="}));
    EXPECT_EQ(rows(parse(QStringLiteral("GET {{base}}?q=a%ZZ&r=%C3%A9&s=%FF&=v&a==b")).first().params),
              (QStringList{"q=a%ZZ", "r=é", "s=%FF", "v=", "a==b"}));
}

TEST(HTTPFileFormatReadTest, HeadersAndBodyKinds) {
    const HTTPRequest request = parse(QStringLiteral("POST https://x\nX-Time: 10:30:00\n:nokey\nnocolon\n\n{\"a\": 1}\n\n")).first();
    EXPECT_EQ(rows(request.headers), QStringList{"X-Time=10:30:00"});
    EXPECT_EQ(request.body, QStringLiteral("{\"a\": 1}"));
    EXPECT_EQ(request.bodyKind, BodyKind::json);

    auto kind = [](const QString& headers, const QString& body) {
        return parse("POST https://x\n" + headers + "\n\n" + body).first().bodyKind;
    };
    EXPECT_EQ(kind(QStringLiteral("Content-Type: application/x-www-form-urlencoded"), QStringLiteral("a=1&b=2")), BodyKind::form);
    EXPECT_EQ(kind(QStringLiteral("content-TYPE: MULTIPART/FORM-DATA"), QStringLiteral("x")), BodyKind::form);
    EXPECT_EQ(kind(QStringLiteral("Accept: */*"), QStringLiteral("hello")), BodyKind::text);
    EXPECT_EQ(kind(QStringLiteral("Accept: */*"), QStringLiteral("  [1]")), BodyKind::json);
    EXPECT_EQ(kind(QStringLiteral("Accept: */*"), QString()), BodyKind::none);
}

TEST(HTTPFileFormatReadTest, ProtocolVersionIsNotPartOfTheUrl) {
    const HTTPRequest request = parse(QStringLiteral("GET https://x/y?a=1 HTTP/1.1\n")).first();
    EXPECT_EQ(request.url, QStringLiteral("https://x/y"));
    EXPECT_EQ(rows(request.params), QStringList{"a=1"});
    EXPECT_EQ(parse(QStringLiteral("GET https://x/y HTTP/2")).first().url, QStringLiteral("https://x/y"));
}

TEST(HTTPFileFormatReadTest, CrlfFilesReadLikeLfFiles) {
    const HTTPRequest request =
        parse(QStringLiteral("### Users\r\nPOST https://x\r\nContent-Type: text/plain\r\n\r\nline 1\r\nline 2\r\n")).first();
    EXPECT_EQ(request.name, QStringLiteral("Users"));
    EXPECT_EQ(request.url, QStringLiteral("https://x"));
    EXPECT_EQ(rows(request.headers), QStringList{"Content-Type=text/plain"});
    EXPECT_EQ(request.body, QStringLiteral("line 1\nline 2"));
}

TEST(HTTPFileFormatReadTest, OtherToolsLinesBeforeTheRequestLineAreSkipped) {
    const QList<HTTPRequest> requests = parse(QStringLiteral(
        "@host = example.org\n###\n@token=abc\nGET {{host}}/a\n\n###\n< {%\nrequest.variables.set('x', 1)\n%}\n"
        "< ./pre.js\n# @name second\nPOST {{host}}/b\n\n###\nrun #Other\nPUT {{host}}/c\n"));
    EXPECT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[1].url, QStringLiteral("{{host}}/b"));
}

TEST(HTTPFileFormatReadTest, CommentedOutHeadersAreDisabledRowsNeverSentHeaders) {
    const HTTPRequest request =
        parse(QStringLiteral("GET https://x\n# Accept: text/html\n// X-Old: 1\n# a note: with spaces\n# @directive\nX-On: 1\n")).first();
    EXPECT_EQ(rows(request.headers), (QStringList{"~Accept=text/html", "~X-Old=1", "X-On=1"}));
}

// --- writing new files ---------------------------------------------------------------------

HTTPRequest users() {
    HTTPRequest request;
    request.name = QStringLiteral("Users");
    request.url = QStringLiteral("{{base}}/u");
    request.params = {row("page", "1")};
    request.headers = {row("Accept", "application/json")};
    return request;
}

TEST(HTTPFileFormatWriteTest, WritesTheBlocksOfNewRequests) {
    EXPECT_EQ(serialize({users()}), QStringLiteral("### Users\nGET {{base}}/u?page=1\nAccept: application/json\n"));

    HTTPRequest query = users();
    query.url = QStringLiteral("{{base}}?a=1");
    query.params = {row("b", "two words"), row("off", "1", false), row({}, "x")};
    query.headers.clear();
    EXPECT_EQ(serialize({query}), QStringLiteral("### Users\nGET {{base}}?a=1&b=two%20words\n"));

    HTTPRequest json = users();
    json.params.clear();
    json.body = QStringLiteral("{}");
    json.bodyKind = BodyKind::json;
    HTTPRequest none = users();
    none.body = QStringLiteral("dropped");
    EXPECT_EQ(serialize({json, none}), QStringLiteral("### Users\nGET {{base}}/u\nAccept: application/json\n\n{}\n\n"
                                                      "### Users\nGET {{base}}/u?page=1\nAccept: application/json\n"));
    EXPECT_EQ(serialize({}), QString());
}

TEST(HTTPFileFormatWriteTest, WrittenRequestsReadBackTheSame) {
    HTTPRequest request = users();
    request.method = HTTPMethod::patch;
    request.params = {row("q", "a&b=c#d %"), row("é", "{{v}}")};
    request.headers.append(row("X-Off", "1", false));
    request.body = QStringLiteral("a=1&b=2");
    request.bodyKind = BodyKind::text;

    const QString text = serialize({request});
    // Variable references stay readable for other tools; separators are encoded so the row survives.
    EXPECT_TRUE(text.contains(QStringLiteral("?q=a%26b%3Dc%23d%20%25&%C3%A9={{v}}\n"))) << text.toStdString();
    EXPECT_TRUE(parse(text).first().sameContent(request)) << text.toStdString();
}

// --- rewriting a file after an edit --------------------------------------------------------

const QString kFile = QString::fromUtf8(testing_support::readBytes(BRIMEL_SOURCE_DIR "/tests/API/data/users.http"));

TEST(HTTPFileFormatRewriteTest, UntouchedFilesComeBackByteForByte) {
    const QList<HTTPRequest> requests = parse(kFile);
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(serialize(requests), kFile);
    QString crlf = kFile;
    crlf.replace(u'\n', QStringLiteral("\r\n"));
    EXPECT_EQ(serialize(parse(crlf)), crlf);
    const QString unended = kFile.chopped(1);
    EXPECT_EQ(serialize(parse(unended)), unended) << "no line end is added at the end";
}

TEST(HTTPFileFormatRewriteTest, AnEditRewritesOnlyTheLinesItChanged) {
    QList<HTTPRequest> requests = parse(kFile);
    requests[0].params[0].value = QStringLiteral("2");
    requests[0].headers[0].value = QStringLiteral("text/csv");
    requests[0].headers[1].enabled = true;
    QString expected = kFile;
    expected.replace(QStringLiteral("users?page=1 HTTP"), QStringLiteral("users?page=2 HTTP"))
        .replace(QStringLiteral("Accept: application/json\n# X-Debug: 1"), QStringLiteral("Accept: text/csv\nX-Debug: 1"));
    EXPECT_EQ(serialize(requests), expected);

    requests = parse(kFile);
    requests[1].name = QStringLiteral("Make user");
    requests[1].body = QStringLiteral("{}");
    expected = kFile;
    expected.replace(QStringLiteral("### Create user"), QStringLiteral("### Make user"))
        .replace(QStringLiteral("{\n  \"name\": \"Ann\"\n}\n\n> {% client.global.set('id', response.body.id) %}\n"), QStringLiteral("{}\n"));
    EXPECT_EQ(serialize(requests), expected);

    // A new body keeps the blank line above it as it was, or gets one; the file's last line break stays.
    requests = parse(QStringLiteral("### A\nPOST https://a\n \nold\n"));
    requests[0].body = QStringLiteral("new");
    EXPECT_EQ(serialize(requests), QStringLiteral("### A\nPOST https://a\n \nnew\n"));
    requests = parse(QStringLiteral("### A\nPOST https://a\n### B\nGET https://b\n"));
    for (HTTPRequest& request : requests) {
        request.body = QStringLiteral("new");
        request.bodyKind = BodyKind::text;
    }
    EXPECT_EQ(serialize(requests), QStringLiteral("### A\nPOST https://a\n\nnew\n### B\nGET https://b\n\nnew\n"));
}

TEST(HTTPFileFormatRewriteTest, AQueryKeepsItsTextUntilARowOfItChanges) {
    QList<HTTPRequest> requests = parse(QStringLiteral("### Q\nGET https://a/old?flag&d=x+y&e=%2B#frag\n"));
    requests[0].url = QStringLiteral("https://a/new");
    EXPECT_EQ(serialize(requests), QStringLiteral("### Q\nGET https://a/new?flag&d=x+y&e=%2B#frag\n"));
    requests[0].params[0].value = QStringLiteral("on");
    requests[0].params.append(row(QStringLiteral("n"), QStringLiteral("a b")));
    EXPECT_EQ(serialize(requests), QStringLiteral("### Q\nGET https://a/new?flag=on&d=x+y&e=%2B#frag&n=a%20b\n"));
}

TEST(HTTPFileFormatRewriteTest, RemovingAddingAndCopyingRequestsKeepsTheRest) {
    QList<HTTPRequest> requests = parse(kFile);
    requests.removeFirst();
    QString expected = kFile;
    expected.remove(expected.indexOf(QStringLiteral("### List users")), expected.indexOf(QStringLiteral("### Purge")) - expected.indexOf(QStringLiteral("### List users")));
    EXPECT_EQ(serialize(requests), expected);

    requests = parse(kFile);
    HTTPRequest copy = requests[0];
    copy.id = QUuid::createUuid();
    copy.name += QStringLiteral(" copy");
    requests.insert(1, copy);
    requests.append(users());
    const QString written = serialize(requests);
    EXPECT_TRUE(written.startsWith(kFile.left(kFile.indexOf(QStringLiteral("### Purge")))));
    EXPECT_TRUE(written.contains(QStringLiteral("\n\n### List users copy\nGET {{host}}/users?page=1\nAccept: application/json\n# X-Debug: 1\n\n### Purge")))
        << written.toStdString();
    EXPECT_TRUE(written.endsWith(QStringLiteral("response.body.id) %}\n\n### Users\nGET {{base}}/u?page=1\nAccept: application/json\n")));
    EXPECT_EQ(names(parse(written)), (QStringList{"List users", "List users copy", "Create user", "Users"}));
}

TEST(HTTPFileFormatRewriteTest, EditedCrlfFilesKeepCrlfAndTheProtocolVersion) {
    QString crlf = kFile;
    crlf.replace(u'\n', QStringLiteral("\r\n"));
    QList<HTTPRequest> requests = parse(crlf);
    requests[0].url = QStringLiteral("{{host}}/people");
    requests[0].headers.append(row("X-New", "1"));
    const QString written = serialize(requests);
    EXPECT_TRUE(written.contains(QStringLiteral("GET {{host}}/people?page=1 HTTP/1.1\r\nAccept: application/json\r\n# X-Debug: 1\r\nX-New: 1\r\n\r\n")))
        << written.toStdString();
    EXPECT_FALSE(written.contains(QRegularExpression(QStringLiteral("[^\\r]\\n"))));
}

TEST(HTTPFileFormatRewriteTest, AByteOrderMarkIsNoPartOfTheFirstLineAndStays) {
    const QString bom = QChar(0xFEFF) + QStringLiteral("### A\nGET https://a\n\n### B\nGET https://b\n");
    QList<HTTPRequest> requests = parse(bom);
    EXPECT_EQ(names(requests), (QStringList{"A", "B"}));
    EXPECT_EQ(serialize(requests), bom);
    requests[0].url = QStringLiteral("https://a2");
    EXPECT_EQ(serialize(requests), QString(bom).replace(QStringLiteral("https://a\n"), QStringLiteral("https://a2\n")));
    requests.removeFirst();
    EXPECT_EQ(serialize(requests), QChar(0xFEFF) + QStringLiteral("### B\nGET https://b\n"));
}

TEST(HTTPFileFormatRewriteTest, ARemovedLastSectionLeavesTheFileEndingAsBefore) {
    for (const QString eol : {QStringLiteral("\n"), QStringLiteral("\r\n")}) {
        const QString one = QStringLiteral("### A\nGET https://a  \n").replace(QStringLiteral("\n"), eol);
        QList<HTTPRequest> requests = parse(one);
        HTTPRequest copy = requests[0];
        copy.id = QUuid::createUuid();
        copy.name += QStringLiteral(" copy");
        requests.append(copy);
        requests = parse(serialize(requests), requests);  // as read again after the write
        requests.removeLast();
        EXPECT_EQ(serialize(requests), one);
    }
}

TEST(HTTPFileFormatRewriteTest, RawTextAppliedToACrlfFileKeepsCrlf) {
    QString crlf = kFile;
    crlf.replace(u'\n', QStringLiteral("\r\n"));
    QList<HTTPRequest> requests = parse(crlf);
    // The raw editor hands its text back with line feeds.
    QString raw = HTTPFileFormat::serializeRequest(requests[1]).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    raw.replace(QStringLiteral("{{host}}/users"), QStringLiteral("{{host}}/people"));
    HTTPRequest applied = parse(raw).first();
    applied.id = requests[1].id;
    requests[1] = applied;
    EXPECT_EQ(serialize(requests), QString(crlf).replace(QStringLiteral("POST {{host}}/users"), QStringLiteral("POST {{host}}/people")));
}

TEST(HTTPFileFormatRewriteTest, ReparsingKeepsIdsOfRequestsInPlaceOrMoved) {
    const QList<HTTPRequest> before = parse(kFile);
    QString changed = kFile;
    changed.replace(QStringLiteral("### Create user"), QStringLiteral("### Add user")).replace(QStringLiteral("page=1"), QStringLiteral("page=3"));
    const QList<HTTPRequest> after = parse(changed, before);
    EXPECT_EQ(after[0].id, before[0].id);  // same place, same name
    EXPECT_EQ(after[0].headers, before[0].headers);  // rows read the same keep their ids
    EXPECT_NE(after[1].id, before[1].id);  // renamed

    // A request inserted above moves the others down: one whose name is unique on both sides keeps its id.
    const QList<HTTPRequest> old = parse(QStringLiteral("### A\nGET https://a\n\n### B\nGET https://b\n"));
    const QList<HTTPRequest> moved = parse(QStringLiteral("### N\nGET https://n\n\n### A\nGET https://a\n\n### B\nGET https://b\n"), old);
    ASSERT_EQ(moved.size(), 3);
    EXPECT_NE(moved[0].id, old[0].id);
    EXPECT_EQ(moved[1].id, old[0].id);
    EXPECT_EQ(moved[2].id, old[1].id);
}

TEST(HTTPFileFormatRewriteTest, OneRequestAloneIsItsOwnSection) {
    QList<HTTPRequest> requests = parse(kFile);
    EXPECT_EQ(HTTPFileFormat::serializeRequest(requests[0]),
              QStringLiteral("### List users\n# @name list\n# @no-redirect\nGET {{host}}/users?page=1 HTTP/1.1\nAccept: application/json\n# X-Debug: 1\n\n\n"));
    // Text read from that view and saved into the file keeps its own comments.
    HTTPRequest fromView = parse(QStringLiteral("### List users\n# @name list\nGET {{host}}/all\n")).first();
    fromView.id = requests[0].id;
    requests[0] = fromView;
    EXPECT_TRUE(serialize(requests).startsWith(QStringLiteral("@host = https://example.org\n\n### List users\n# @name list\nGET {{host}}/all\n\n### Purge"))) << serialize(requests).toStdString();

    // So does the last one: the file's own layout still writes the others.
    requests = parse(kFile);
    HTTPRequest last = parse(QStringLiteral("### Create user\nPOST {{host}}/people\n")).first();
    last.id = requests[1].id;
    requests[1] = last;
    EXPECT_TRUE(serialize(requests).startsWith(kFile.left(kFile.indexOf(QStringLiteral("### Purge")))))
        << serialize(requests).toStdString();
}

} // namespace

TEST(HTTPFileFormatRewriteTest, AHeaderAddedAfterARequestLineEndingInALoneCarriageReturnReadsBack) {
    for (const QString& text : {QStringLiteral("\tget \t\r"), QStringLiteral("GET https://a\r"), QStringLiteral("### A\r\nGET https://a\r")}) {
        QList<HTTPRequest> requests = parse(text);
        ASSERT_EQ(requests.size(), 1) << text.toStdString();
        requests[0].headers.append(row("X-Fuzz", "1"));
        const QString written = serialize(requests);
        const QList<HTTPRequest> reread = parse(written);
        ASSERT_EQ(reread.size(), 1) << written.toStdString();
        ASSERT_FALSE(reread[0].headers.isEmpty()) << written.toStdString();
        EXPECT_EQ(reread[0].headers.last().key, "X-Fuzz");
        EXPECT_EQ(reread[0].url, requests[0].url);
    }
}

// --- what the format cannot hold -----------------------------------------------------------

// A row the file has no way to write is refused with a reason, never written as something that
// reads back otherwise; the other request is untouched either way.
TEST(HTTPFileFormatKeepTest, AQueryParameterSwitchedOffIsRefusedNeverDropped) {
    const QString text = QStringLiteral("### Users\nGET https://x/u?page=2&size=10\nAccept: */*\n\n### Other\nGET https://y\n");
    QList<HTTPRequest> requests = parse(text);
    requests[0].params[1].enabled = false;
    requests[0].headers[0].value = QStringLiteral("application/json");  // and something else edited
    const std::optional<QString> why = HTTPFileFormat::cannotHold(requests[0]);
    ASSERT_TRUE(why.has_value()) << serialize(requests).toStdString();
    EXPECT_TRUE(why->contains(QStringLiteral("“size”"))) << why->toStdString();

    // Switched on again it is written in place; an empty row switched off holds nothing to lose.
    requests[0].params[1].enabled = true;
    requests[0].params.append(row({}, {}, false));
    ASSERT_FALSE(HTTPFileFormat::cannotHold(requests[0]).has_value());
    const QString written = serialize(requests);
    EXPECT_EQ(written, QString(text).replace(QStringLiteral("*/*"), QStringLiteral("application/json")));
}

TEST(HTTPFileFormatKeepTest, HeaderKeysThatWouldReadBackAsOtherRowsAreRefused) {
    const QString text = QStringLiteral("### A\nGET https://x\nAccept: */*\n");
    struct Case {
        const char* key;
        bool enabled;
    };
    for (const Case& c : {Case{"X-A:B", true}, Case{"x:colon", false}, Case{"X Odd (key)", false}, Case{"//X-Slash", true},
                          Case{"#X-Hash", true}, Case{" X-Lead", true}, Case{"Ünï", false}}) {
        SCOPED_TRACE(c.key);
        HTTPRequest request = parse(text).first();
        request.name = QStringLiteral("B");
        request.headers.append(row(QString::fromUtf8(c.key), QStringLiteral("v:w"), c.enabled));
        const std::optional<QString> why = HTTPFileFormat::cannotHold(request);
        ASSERT_TRUE(why.has_value()) << rows(parse(serialize({request})).first().headers).join(u',').toStdString();
        EXPECT_TRUE(why->contains(QString::fromUtf8(c.key).trimmed())) << why->toStdString();
        EXPECT_EQ(why->contains(QStringLiteral("“:”")), QString::fromUtf8(c.key).contains(u':')) << "a colon is named as the reason";
    }
    // A row written by hand without a space after its colon keeps its whole value, switched on or off.
    EXPECT_EQ(rows(parse(QStringLiteral("GET https://x\nX-On:12\n#X-Tight:1\n//X-Slash:ab\n")).first().headers),
              (QStringList{"X-On=12", "~X-Tight=1", "~X-Slash=ab"}));
    // Colons in a value, odd keys switched on and token keys switched off read back as written.
    HTTPRequest request = parse(text).first();
    request.headers.append({row("X-Time", "10:30:00"), row("X Odd (key)", "1"), row("Ünï", "é"), row("X-Off", "a: b", false),
                            row("X-Empty", {})});
    ASSERT_FALSE(HTTPFileFormat::cannotHold(request).has_value());
    EXPECT_EQ(rows(parse(serialize({request})).first().headers), rows(request.headers));
}

// Editing one request of a long file rewrites its own line and nothing else, however many
// requests stand around it: the bytes that differ do not grow with the file.
TEST(HTTPFileFormatKeepTest, AnEditInALongFileRewritesOnlyItsOwnBytes) {
    auto file = [](int count) {
        QString text = QStringLiteral("@base = https://example.org\n\n");
        for (int i = 1; i <= count; ++i)
            text += QStringLiteral("### Request %1\n# note %1\nPOST {{base}}/items/%1?page=%1&flag\nAccept: */*\n# X-Off: %1\n"
                                   "Content-Type: application/json\n\n{\n  \"n\": %1\n}\n\n")
                        .arg(i);
        return text;
    };
    qsizetype rewritten = -1;
    for (const int count : {50, 500}) {
        SCOPED_TRACE(count);
        const QString text = file(count);
        QList<HTTPRequest> requests = parse(text);
        ASSERT_EQ(requests.size(), count);
        requests[36].headers[0].value = QStringLiteral("text/csv");
        const QString written = serialize(requests);
        qsizetype prefix = 0, suffix = 0;
        while (prefix < text.size() && prefix < written.size() && text[prefix] == written[prefix]) ++prefix;
        while (suffix < text.size() - prefix && suffix < written.size() - prefix &&
               text[text.size() - 1 - suffix] == written[written.size() - 1 - suffix])
            ++suffix;
        EXPECT_EQ(text.left(prefix).count(QStringLiteral("###")), 37) << "everything before the edited row is kept";
        EXPECT_EQ(text.right(suffix).count(QStringLiteral("###")), count - 37);
        const qsizetype changed = written.size() - prefix - suffix;
        EXPECT_LE(changed, QStringLiteral("text/csv").size());
        if (rewritten >= 0) EXPECT_EQ(changed, rewritten) << "the rewrite grew with the file";
        rewritten = changed;

        // Read again with the previous list, every other request keeps its id and its content.
        const QList<HTTPRequest> reread = parse(written, requests);
        ASSERT_EQ(reread.size(), count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(reread[i].id, requests[i].id) << i;
            EXPECT_TRUE(reread[i].sameContent(requests[i])) << i;
        }
    }
}

// The last request edited as text on its own takes its section's place and ends the file as that
// text ends, not with the blank lines that followed the old section.
TEST(HTTPFileFormatKeepTest, TheLastRequestEditedAsTextEndsTheFileAsItsTextEnds) {
    QList<HTTPRequest> requests = parse(QStringLiteral("### A\nGET https://a\n\n### B\nGET https://b\n\n\n\n"));
    HTTPRequest raw = parse(QStringLiteral("### B\nGET https://b2\n")).first();
    raw.id = requests[1].id;
    requests[1] = raw;
    EXPECT_EQ(serialize(requests), QStringLiteral("### A\nGET https://a\n\n### B\nGET https://b2\n"));
}

// --- what an edit sends after saving ---------------------------------------------------------

TEST(HTTPFileFormatSaveTest, ABodyKindTheHeadersDoNotNameIsWrittenAsTheTypeItIsSentWith) {
    QList<HTTPRequest> requests = parse(QStringLiteral("### A\nPOST https://x/a\nAccept: */*\n"));
    requests[0].bodyKind = BodyKind::form;
    requests[0].body = QStringLiteral("a=1&b=2");
    const QString written = serialize(requests);
    EXPECT_EQ(written, QStringLiteral("### A\nPOST https://x/a\nAccept: */*\nContent-Type: application/x-www-form-urlencoded\n\na=1&b=2\n"));
    EXPECT_EQ(parse(written).value(0).bodyKind, BodyKind::form);

    // A JSON scalar would read back as text: it is named too.
    const HTTPRequest json = builders::request(HTTPMethod::post, QStringLiteral("https://x"), BodyKind::json, QStringLiteral("42"));
    EXPECT_EQ(parse(serialize({json})).value(0).bodyKind, BodyKind::json);
    // A switched-off Content-Type row would still decide the kind read back.
    HTTPRequest off = json;
    off.headers.append(row(QStringLiteral("Content-Type"), QStringLiteral("text/plain"), false));
    EXPECT_TRUE(HTTPFileFormat::cannotHold(off).has_value());
}

TEST(HTTPFileFormatSaveTest, AQueryRowIsSentAlikeBeforeAndAfterSaving) {
    HTTPRequest request = builders::request(HTTPMethod::get, QStringLiteral("https://x/a"));
    request.params = {row(QStringLiteral("sum"), QStringLiteral("1+1")), row(QStringLiteral("q?"), QStringLiteral("a,b:c@d/e"))};
    const QList<HTTPRequest> back = parse(serialize({request}));
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(rows(back[0].params), rows(request.params));
    EXPECT_EQ(HTTPClient::composeURL(back[0]), HTTPClient::composeURL(request));
    EXPECT_EQ(HTTPClient::composeURL(request), QStringLiteral("https://x/a?sum=1%2B1&q?=a,b:c@d/e"));
}
