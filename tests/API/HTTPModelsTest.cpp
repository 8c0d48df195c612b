// The request and response value types.
#include <gtest/gtest.h>

#include "API/HTTPFileFormat.h"
#include "API/HTTPResponse.h"
#include "API/RequestFormatRegistry.h"
#include "Printers.h"

#include <QJsonObject>

namespace {

TEST(HTTPModelsTest, EnumerationsKeepTheirOrderAndExactRawValues) {
    QStringList methods;
    for (HTTPMethod method : HTTPMethods::allCases()) methods.append(HTTPMethods::rawValue(method));
    EXPECT_EQ(methods.join(u' '), QStringLiteral("GET POST PUT PATCH DELETE HEAD OPTIONS"));
    EXPECT_EQ(HTTPMethods::fromRawValue(QStringLiteral("GET")), HTTPMethod::get);
    EXPECT_EQ(HTTPMethods::fromRawValue(QStringLiteral("get")), std::nullopt);
    EXPECT_EQ(HTTPMethods::fromRawValue(QStringLiteral("DELETE")), HTTPMethod::delete_);

    QStringList kinds;
    for (BodyKind kind : BodyKinds::allCases()) kinds.append(BodyKinds::rawValue(kind));
    EXPECT_EQ(kinds.join(u' '), QStringLiteral("none json text form"));
    EXPECT_EQ(BodyKinds::fromRawValue(QStringLiteral("Json")), std::nullopt);

}

TEST(HTTPModelsTest, KeyValueItemJsonNeedsAllFourKeys) {
    const KeyValueItem row{.key = QStringLiteral("Accept"), .value = QStringLiteral("*/*"), .enabled = false};
    const QJsonObject json = row.toJson();
    EXPECT_EQ(json.value(QStringLiteral("id")).toString(), row.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(KeyValueItem::fromJson(json), row);

    QJsonObject missing = json;
    missing.remove(QStringLiteral("enabled"));
    EXPECT_EQ(KeyValueItem::fromJson(missing), std::nullopt);
    QJsonObject wrongType = json;
    wrongType.insert(QStringLiteral("enabled"), QStringLiteral("true"));
    EXPECT_EQ(KeyValueItem::fromJson(wrongType), std::nullopt);
}

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

TEST(HTTPModelsTest, ResponsesEqualOnAllFieldsAndHashZeroDurationsAlike) {
    HTTPResponse a{200, QStringLiteral("OK"), {{QStringLiteral("A"), QStringLiteral("1")}}, "body", 0.0, 4};
    HTTPResponse b = a;
    b.duration = -0.0;
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    b.headers.insert(QStringLiteral("B"), QStringLiteral("2"));
    EXPECT_NE(a, b);
}

TEST(HTTPModelsTest, RegistryPicksTheFormatByLowerCasedExtension) {
    EXPECT_EQ(RequestFormatRegistry::formatFor(QStringLiteral("/w/api/Users.HTTP")), &HTTPFileFormat::format());
    EXPECT_EQ(RequestFormatRegistry::formatFor(QStringLiteral("a.rest")), &HTTPFileFormat::format());
    EXPECT_NE(RequestFormatRegistry::formatFor(QStringLiteral("a.Bru")), nullptr);
    EXPECT_EQ(RequestFormatRegistry::formatFor(QStringLiteral("a.http.txt")), nullptr);
    EXPECT_EQ(RequestFormatRegistry::formatFor(QStringLiteral("http")), nullptr);
    EXPECT_EQ(RequestFormatRegistry::allExtensions(), (QSet<QString>{"http", "rest", "bru"}));
    EXPECT_EQ(RequestFormatRegistry::formats().first(), &HTTPFileFormat::format());
}

} // namespace
