// The request and response value types.
#include <gtest/gtest.h>

#include "API/HTTPFileFormat.h"
#include "API/HTTPResponse.h"
#include "Printers.h"

namespace {

TEST(HTTPModelsTest, RequestEqualityCoversIdsButNotTheirSourceText) {
    const QString text = QStringLiteral("GET https://x/y\nAccept: */*\n");
    const HTTPRequest a = HTTPFileFormat::parse(text).first();
    const HTTPRequest b = HTTPFileFormat::parse(text).first();
    EXPECT_NE(a, b);
    EXPECT_NE(a.headers, b.headers);
    EXPECT_TRUE(a.sameContent(b));

    HTTPRequest copy = a;
    copy.source.reset();
    EXPECT_EQ(copy, a);
    EXPECT_EQ(qHash(copy), qHash(a));
    copy.headers[0].enabled = false;
    EXPECT_NE(copy, a);
    EXPECT_FALSE(copy.sameContent(a));
}

TEST(HTTPModelsTest, ResponseBodyLanguageFollowsTheContentType) {
    auto language = [](const QMap<QString, QString>& headers) {
        HTTPResponse response;
        response.headers = headers;
        return response.bodyLanguage();
    };
    auto of = [&](const QString& type) { return language({{QStringLiteral("Content-Type"), type}}); };
    EXPECT_EQ(of(QStringLiteral("application/problem+json; charset=utf-8")), CodeLanguage::json);
    EXPECT_EQ(of(QStringLiteral("application/xhtml+xml")), CodeLanguage::html);
    EXPECT_EQ(of(QStringLiteral("application/xml")), CodeLanguage::html);
    EXPECT_EQ(of(QStringLiteral("text/x-yaml")), CodeLanguage::yaml);
    EXPECT_EQ(of(QStringLiteral("text/css")), CodeLanguage::css);
    EXPECT_EQ(of(QStringLiteral("text/plain")), CodeLanguage::plain);
    EXPECT_EQ(of(QStringLiteral("text/json+html")), CodeLanguage::json);
    EXPECT_EQ(language({}), CodeLanguage::plain);
    // Header names are case-insensitive; the usual spelling wins when several are present.
    EXPECT_EQ(language({{QStringLiteral("CONTENT-TYPE"), QStringLiteral("application/json")}}), CodeLanguage::json);
    EXPECT_EQ(language({{QStringLiteral("content-type"), QStringLiteral("text/css")}, {QStringLiteral("Content-Type"), QStringLiteral("text/html")}}),
              CodeLanguage::html);
}

} // namespace
