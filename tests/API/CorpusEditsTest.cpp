// Every kind of edit the request editor makes, applied to every request of every request file of
// the corpus: the edited request reads back as edited and every other request as it was, unless
// the format says it cannot hold the edited request.
#include <gtest/gtest.h>

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
    };
    return all;
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
                    if (isHttp) {
                        // The text format keeps no body kind of its own and leaves disabled
                        // parameters out of the request line.
                        requests[i].bodyKind = reread[i].bodyKind;
                        requests[i].params.removeIf([](const KeyValueItem& row) { return !row.enabled; });
                    }
                    EXPECT_TRUE(reread[i].sameContent(requests[i])) << i << "\n" << written.toStdString();
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
    EXPECT_GT(refused, 0);
}
