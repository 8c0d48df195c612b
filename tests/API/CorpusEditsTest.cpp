// Every kind of edit the request editor makes, applied to every request of every request file of
// the corpus: the edited request reads back as edited and every other request as it was, unless
// the format says it cannot hold the edited request.
#include <gtest/gtest.h>

#include "API/AuthConfig.h"
#include "API/HTTPFileFormat.h"
#include "API/RequestFormatRegistry.h"
#include "CorpusFiles.h"
#include "Printers.h"
#include "TestSupport.h"

namespace {

struct Edit {
    const char* name;
    std::function<void(HTTPRequest&)> apply;
};

const QList<Edit>& edits() {
    static const QList<Edit> all = {
        {"rename", [](HTTPRequest& r) { r.name = QStringLiteral("Renamed request"); }},
        {"url", [](HTTPRequest& r) { r.url = QStringLiteral("https://example.org/changed/{{id}}"); }},
        {"method", [](HTTPRequest& r) { r.method = r.method == HTTPMethod::post ? HTTPMethod::put : HTTPMethod::post; }},
        {"body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::json;
             r.body = QStringLiteral("{\n  \"changed\": true\n}");
         }},
        {"no body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::none;
             r.body.clear();
         }},
        {"text body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::text;
             r.body = QStringLiteral("plain words");
         }},
        {"header value", [](HTTPRequest& r) {
             if (!r.headers.isEmpty()) r.headers.first().value = QStringLiteral("changed");
         }},
        {"header off", [](HTTPRequest& r) {
             if (!r.headers.isEmpty()) r.headers.last().enabled = !r.headers.last().enabled;
         }},
        {"header removed", [](HTTPRequest& r) {
             if (!r.headers.isEmpty()) r.headers.removeFirst();
         }},
        {"param added", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("page"), .value = QStringLiteral("2")});
         }},
        {"param off", [](HTTPRequest& r) {
             if (!r.params.isEmpty()) r.params.first().enabled = !r.params.first().enabled;
         }},
        {"param removed", [](HTTPRequest& r) {
             if (!r.params.isEmpty()) r.params.removeLast();
         }},
        {"name with line break", [](HTTPRequest& r) { r.name = QStringLiteral("two\nGET http://x.invalid/"); }},
        {"body with separator", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::text;
             r.body = QStringLiteral("first\n### not a request\nGET http://x.invalid/\nlast");
         }},
        {"body with closing brace", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::text;
             r.body = QStringLiteral("a\n}\nget {\n  url: http://x.invalid/\n}\nb");
         }},
        {"header value with line break", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Two"), .value = QStringLiteral("a\nGET http://x.invalid/")});
         }},
        // The URL and its query rows.
        {"url with fragment and escapes", [](HTTPRequest& r) { r.url = QStringLiteral("https://x.invalid/a%20b/%E2%82%AC/{{id}}#part"); }},
        {"param with separators", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("a&b=c#d"), .value = QStringLiteral("x=y&z#w %41 +")});
         }},
        {"param without value", [](HTTPRequest& r) { r.params.append(KeyValueItem{.key = QStringLiteral("flag")}); }},
        {"param twice", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("tag"), .value = QStringLiteral("a")});
             r.params.append(KeyValueItem{.key = QStringLiteral("tag"), .value = QStringLiteral("{{b}}")});
         }},
        {"param off then another edit", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("draft"), .value = QStringLiteral("1"), .enabled = false});
             r.name += QStringLiteral(" again");
         }},
        {"param unicode", [](HTTPRequest& r) { r.params.append(KeyValueItem{.key = QStringLiteral("ключ"), .value = QStringLiteral("значение é 🚀")}); }},
        // Header rows.
        {"header key with colon", [](HTTPRequest& r) { r.headers.append(KeyValueItem{.key = QStringLiteral("X-A:B"), .value = QStringLiteral("1")}); }},
        {"header key with colon off", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("x:colon"), .value = QStringLiteral("v:w"), .enabled = false});
         }},
        {"header empty value", [](HTTPRequest& r) { r.headers.append(KeyValueItem{.key = QStringLiteral("X-Empty")}); }},
        {"header twice", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Dup"), .value = QStringLiteral("1")});
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Dup"), .value = QStringLiteral("2")});
         }},
        {"header odd key off", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X Odd (key)"), .value = QStringLiteral("1"), .enabled = false});
         }},
        {"header key like a comment", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("//X-Slash"), .value = QStringLiteral("1")});
             r.headers.append(KeyValueItem{.key = QStringLiteral("#X-Hash"), .value = QStringLiteral("2")});
         }},
        {"header value with colons and braces", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Time"), .value = QStringLiteral("10:30:00 {{t}} {a}")});
         }},
        // Bodies, names and authentication.
        {"form body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::form;
             r.body = QStringLiteral("a=1&b%26c=d%3De&note=two%0Alines");
         }},
        {"unicode name", [](HTTPRequest& r) { r.name = QStringLiteral("Ünïcødé 名前 🚀"); }},
        {"name starting with hashes", [](HTTPRequest& r) { r.name = QStringLiteral("#1 first"); }},
        {"bearer auth", [](HTTPRequest& r) {
             AuthConfig{.type = AuthType::bearer, .token = QStringLiteral("{{token}}")}.apply(r);
         }},
        {"api key in query", [](HTTPRequest& r) {
             AuthConfig{.type = AuthType::apiKey, .keyName = QStringLiteral("api_key"), .keyValue = QStringLiteral("k&1"),
                        .keyIn = APIKeyLocation::query}.apply(r);
         }},
    };
    return all;
}

// Whether every byte of before that after changed lies within one occurrence of section, the text
// the edited request was read from: what the edit did not touch stays byte for byte.
bool changedOnlyWithin(const QString& before, const QString& after, const QString& section) {
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    if (prefix == before.size() && prefix == after.size()) return true;
    for (qsizetype at = before.indexOf(section); at >= 0; at = before.indexOf(section, at + 1))
        if (prefix >= at && before.size() - suffix <= at + section.size()) return true;
    return false;
}

} // namespace

TEST(CorpusEditsTest, EveryEditOfEveryRequestReadsBackAndLeavesTheOthers) {
    int checked = 0;
    int refused = 0;
    for (const QString& path : corpus_files::requestFiles()) {
        const QString text = QString::fromUtf8(testing_support::readBytes(path));
        const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
        const QList<HTTPRequest> original = format->parse(text, {});
        const bool isHttp = !path.endsWith(QLatin1String(".bru"));
        for (qsizetype index = 0; index < original.size(); ++index) {
            for (const Edit& edit : edits()) {
                SCOPED_TRACE(path.toStdString() + " #" + std::to_string(index) + " " + edit.name);
                QList<HTTPRequest> requests = original;
                edit.apply(requests[index]);
                // What the format says it cannot hold is never written.
                if (format->cannotHold && format->cannotHold(requests[index])) {
                    ++refused;
                    continue;
                }
                const QString written = format->serialize(requests);
                const QList<HTTPRequest> reread = format->parse(written, {});
                EXPECT_EQ(reread.size(), requests.size()) << written.toStdString();
                if (reread.size() != requests.size()) continue;
                for (qsizetype i = 0; i < requests.size(); ++i) {
                    // The text format keeps no body kind of its own: it is guessed again.
                    if (isHttp) requests[i].bodyKind = reread[i].bodyKind;
                    EXPECT_TRUE(reread[i].sameContent(requests[i])) << i << "\n" << written.toStdString();
                }
                EXPECT_TRUE(changedOnlyWithin(text, written, isHttp ? HTTPFileFormat::serializeRequest(original[index]) : text))
                    << "bytes outside the edited request changed\n" << written.toStdString();
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
    EXPECT_GT(refused, 0);
}
