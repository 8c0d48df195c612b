// Every request-file format against odd text in every field the request editor edits: what it
// writes reads back as the same request, or the format refuses it with a reason. White space
// around a name, key, value or body is no part of what a file holds.
#include <gtest/gtest.h>

#include "API/BruFileFormat.h"
#include "API/FormBody.h"
#include "API/HTTPFileFormat.h"
#include "Printers.h"
#include "RequestBuilders.h"

namespace {

using builders::row;

const QStringList& oddTexts() {
    static const QStringList texts = {"a:b",  "a: b", "{{v}}", "{x}", "}",      "{",   "a&b=c#d", "~t",  "//c", "#h",
                                      "é 名", "'''",  "\"q\"", "a\\b", "%41",   "+",   "x=y",     "@v",  "<",   "a\tb",
                                      "🚀",   "a b",  "#",     "###", "k: v:w", "[1]", "\\\"",    "'a'", ";",   "$x",
                                      " lead", "trail ", "\tboth\t", "", "  "};
    return texts;
}

// What a file holds of a request: a body without the white space around it, rows with neither key
// nor value left out. A body kind that the headers name otherwise follows them: an enabled
// Content-Type row decides what is sent, whatever the kind.
HTTPRequest held(HTTPRequest request) {
    request.body = request.body.trimmed();
    if (!request.hasBody()) request.body.clear(), request.bodyKind = BodyKind::none;
    for (QList<KeyValueItem>* rows : {&request.headers, &request.params})
        rows->removeIf([](const KeyValueItem& r) { return r.key.isEmpty() && r.value.isEmpty(); });
    return request;
}

bool namesItsType(const QList<KeyValueItem>& headers) {
    return std::any_of(headers.begin(), headers.end(), [](const KeyValueItem& r) {
        return r.enabled && r.key.compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0;
    });
}

struct Field {
    const char* name;
    std::function<void(HTTPRequest&, const QString&)> set;
};

const QList<Field>& fields() {
    static const QList<Field> all = {
        {"name", [](HTTPRequest& r, const QString& t) { r.name = QStringLiteral("N ") + t; }},
        {"url", [](HTTPRequest& r, const QString& t) { r.url = QStringLiteral("https://x.invalid/") + t; }},
        {"header key", [](HTTPRequest& r, const QString& t) { r.headers.append(row(t, QStringLiteral("1"))); }},
        {"header key off", [](HTTPRequest& r, const QString& t) { r.headers.append(row(t, QStringLiteral("1"), false)); }},
        {"header value", [](HTTPRequest& r, const QString& t) { r.headers.first().value = t; }},
        {"param key", [](HTTPRequest& r, const QString& t) { r.params.append(row(t, QStringLiteral("1"))); }},
        {"param value", [](HTTPRequest& r, const QString& t) { r.params.first().value = t; }},
        {"param off", [](HTTPRequest& r, const QString& t) { r.params.append(row(QStringLiteral("k"), t, false)); }},
        {"text body", [](HTTPRequest& r, const QString& t) {
             r.bodyKind = BodyKind::text;
             r.body = t + u'\n' + t;
         }},
        {"form field", [](HTTPRequest& r, const QString& t) {
             r.bodyKind = BodyKind::form;
             r.body = FormBody::body({row(t, t), row(QStringLiteral("off"), t, false)});
         }},
        {"value without key", [](HTTPRequest& r, const QString& t) {
             r.headers.append(row({}, t));
             r.params.append(row({}, t));
         }},
        {"form field without key", [](HTTPRequest& r, const QString& t) {
             r.bodyKind = BodyKind::form;
             r.body = FormBody::body({row(QStringLiteral("k"), QStringLiteral("1")), row({}, t)});
         }},
        {"json body", [](HTTPRequest& r, const QString& t) {
             r.bodyKind = BodyKind::json;
             r.body = t;
         }},
    };
    return all;
}

} // namespace

TEST(RequestFileFormatTest, OddTextInEveryFieldReadsBackOrIsRefused) {
    const QString http = QStringLiteral("### One\nGET https://x/a?p=1\nAccept: */*\n\n### Two\nPOST https://y\n\nhello\n");
    const QString bru = QStringLiteral("meta {\n  name: One\n  seq: 1\n}\n\nget {\n  url: https://x/a\n  body: none\n}\n\n"
                                       "params:query {\n  p: 1\n}\n\nheaders {\n  Accept: */*\n}\n");
    int written = 0;
    int refused = 0;
    for (const RequestFileFormat* format : {&HTTPFileFormat::format(), &BruFileFormat::format()}) {
        const bool isHttp = format == &HTTPFileFormat::format();
        const QList<HTTPRequest> original = format->parse(isHttp ? http : bru, {});
        for (const Field& field : fields()) {
            for (const QString& text : oddTexts()) {
                SCOPED_TRACE(std::string(isHttp ? "http " : "bru ") + field.name + " [" + text.toStdString() + "]");
                QList<HTTPRequest> requests = original;
                field.set(requests[0], text);
                if (format->cannotHold && format->cannotHold(requests[0])) {
                    ++refused;
                    continue;
                }
                ++written;
                const QString out = format->serialize(requests);
                const QList<HTTPRequest> back = format->parse(out, {});
                ASSERT_EQ(back.size(), original.size()) << out.toStdString();
                HTTPRequest expected = held(requests[0]);
                HTTPRequest got = held(back[0]);
                // The text format names a kind it would not guess in a Content-Type row of its own.
                if (isHttp && got.headers.size() == expected.headers.size() + 1 && !namesItsType(expected.headers))
                    got.headers.removeLast();
                if (isHttp && namesItsType(back[0].headers) && got.hasBody()) got.bodyKind = expected.bodyKind;
                EXPECT_TRUE(got.sameContent(expected))
                    << out.toStdString() << "\nread back: " << builders::rows(back[0].headers).join(u' ').toStdString() << " / "
                    << builders::rows(back[0].params).join(u' ').toStdString() << " / " << back[0].body.toStdString();
                if (isHttp) EXPECT_TRUE(back[1].sameContent(original[1]));
            }
        }
    }
    EXPECT_GT(written, 500);
    EXPECT_GT(refused, 0);
}
