// Authentication read from and written into a request's headers and parameters.
#include <gtest/gtest.h>

#include "API/AuthConfig.h"
#include "Printers.h"
#include "RequestBuilders.h"

namespace {

using builders::row;
using builders::rows;

HTTPRequest withAuth() {
    HTTPRequest request;
    request.headers = {row("Accept", "*/*"), row("authorization", "Bearer old"), row("AUTHORIZATION", "x", false),
                       row("X-Api-Key", "k1"), row("X-Custom-Key", "keep")};
    request.params = {row("page", "1"), row("api_key", "k2"), row("Access_Token", "t"), row("token", "keep")};
    return request;
}

HTTPRequest withoutAuth() {
    HTTPRequest request;
    request.headers = {row("Accept", "*/*"), row("X-Custom-Key", "keep")};
    request.params = {row("page", "1"), row("token", "keep")};
    return request;
}

TEST(AuthConfigTest, ApplyEditsOnlyTheRowItOwnsAndKeepsEveryOtherInPlace) {
    HTTPRequest request;
    request.headers = {row("Content-Type", "application/json"), row("authorization", "Bearer {{token}}"),
                       row("X-Api-Key", "SUPERSECRET-KEY-999"), row("AUTHORIZATION", "off", false)};
    const QList<KeyValueItem> before = request.headers;
    const AuthConfig bearer = AuthConfig::from(request);
    ASSERT_EQ(bearer.type, AuthType::bearer);

    // Writing back what was read changes nothing, identifiers included.
    bearer.apply(request, bearer);
    EXPECT_EQ(request.headers, before);

    AuthConfig edited = bearer;
    edited.token = "{{other}}";
    edited.apply(request, bearer);
    EXPECT_EQ(rows(request.headers), (QStringList{"Content-Type=application/json", "authorization=Bearer {{other}}",
                                                  "X-Api-Key=SUPERSECRET-KEY-999", "~AUTHORIZATION=off"}));
    EXPECT_EQ(request.headers[1].id, before[1].id);

    // No Auth removes only the header the bearer token wrote; typing a token again adds it first.
    AuthConfig none = edited;
    none.type = AuthType::none;
    none.apply(request, edited);
    EXPECT_EQ(rows(request.headers),
              (QStringList{"Content-Type=application/json", "X-Api-Key=SUPERSECRET-KEY-999", "~AUTHORIZATION=off"}));
    edited.apply(request, none);
    EXPECT_EQ(rows(request.headers).first(), "Authorization=Bearer {{other}}");
    EXPECT_TRUE(request.headers.first().enabled);
    EXPECT_EQ(request.headers.size(), 4);

    // An empty token removes the header and nothing else.
    AuthConfig empty = edited;
    empty.token.clear();
    empty.apply(request, edited);
    EXPECT_EQ(request.headers.size(), 3);
    EXPECT_EQ(rows(request.headers)[1], "X-Api-Key=SUPERSECRET-KEY-999");
}

TEST(AuthConfigTest, ApplyMovesAnApiKeyOnlyWhenItsPlaceChanges) {
    HTTPRequest request;
    request.headers = {row("Accept", "*/*"), row("X-Api-Key", "k"), row("X-Trace", "1")};
    request.params = {row("page", "1"), row("q", "x")};
    const AuthConfig key = AuthConfig::from(request);

    AuthConfig renamed = key;
    renamed.keyName = "X-Key";
    renamed.apply(request, key);
    EXPECT_EQ(rows(request.headers), (QStringList{"Accept=*/*", "X-Key=k", "X-Trace=1"}));

    AuthConfig query = renamed;
    query.keyIn = APIKeyLocation::query;
    query.apply(request, renamed);
    EXPECT_EQ(rows(request.headers), (QStringList{"Accept=*/*", "X-Trace=1"}));
    EXPECT_EQ(rows(request.params), (QStringList{"page=1", "q=x", "X-Key=k"}));

    // Switching to a bearer token takes the key out of the query and puts the header first.
    AuthConfig bearer = query;
    bearer.type = AuthType::bearer;
    bearer.token = "t";
    bearer.apply(request, query);
    EXPECT_EQ(rows(request.headers), (QStringList{"Authorization=Bearer t", "Accept=*/*", "X-Trace=1"}));
    EXPECT_EQ(rows(request.params), (QStringList{"page=1", "q=x"}));
}

TEST(AuthConfigTest, ApplyBasicEncodesUnlessTheCredentialsAreAVariable) {
    auto basic = [](const char* user, const char* password) {
        HTTPRequest request = withAuth();
        AuthConfig{.type = AuthType::basic, .username = QString::fromUtf8(user), .password = QString::fromUtf8(password)}.apply(request);
        for (const KeyValueItem& r : request.headers)
            if (r.enabled && r.key.compare("authorization", Qt::CaseInsensitive) == 0) return r.value;
        return QString();
    };
    EXPECT_EQ(basic("", "{{creds}}"), QStringLiteral("Basic {{creds}}"));
    EXPECT_EQ(basic("me", "{{creds}}"), "Basic " + QByteArray("me:{{creds}}").toBase64());
    EXPECT_EQ(basic("me", ""), QStringLiteral("Basic bWU6"));
    EXPECT_EQ(basic("", ""), QString());
    EXPECT_EQ(basic("jürgen", "pässword"), "Basic " + QStringLiteral("jürgen:pässword").toUtf8().toBase64());
}

TEST(AuthConfigTest, ApplyApiKeyWithoutANameGoesFirstAsTheUsualHeader) {
    HTTPRequest request = withoutAuth();
    AuthConfig{.type = AuthType::apiKey, .keyValue = QStringLiteral("v")}.apply(request);
    EXPECT_EQ(rows(request.headers).first(), QStringLiteral("X-API-Key=v"));

    // A name outside the known sets is neither removed later nor recognised.
    request = HTTPRequest{};
    AuthConfig{.type = AuthType::apiKey, .keyName = QStringLiteral("X-Mine"), .keyValue = QStringLiteral("v")}.apply(request);
    EXPECT_EQ(AuthConfig::from(request), AuthConfig::empty());
    AuthConfig::empty().apply(request);
    EXPECT_EQ(request.headers.size(), 1);
}

TEST(AuthConfigTest, FromReadsTheFirstEnabledAuthorizationOrFallsThroughToApiKeys) {
    HTTPRequest enabled;
    enabled.headers = {row("Authorization", "Bearer off", false), row("AUTHORIZATION", "Bearer  spaced ")};
    EXPECT_EQ(AuthConfig::from(enabled), (AuthConfig{.type = AuthType::bearer, .token = QStringLiteral(" spaced ")}));

    const AuthConfig keyConfig{.type = AuthType::apiKey, .keyName = QStringLiteral("X-API-KEY"), .keyValue = QStringLiteral("k")};
    // Wrong scheme case, bad Base64, unpadded Base64, no colon, not UTF-8, another scheme.
    for (const char* value : {"bearer t", "BASIC dTpw", "Basic !!!!", "Basic dTpwPQ", "Basic bm9jb2xvbg==", "Basic /w==", "Token x"}) {
        HTTPRequest request;
        request.headers = {row("Authorization", value), row("X-API-KEY", "k")};
        EXPECT_EQ(AuthConfig::from(request), keyConfig) << value;
    }
    HTTPRequest request;
    request.headers = {row("Authorization", "Basic dTpw", false), row("x-api-key", "h", false)};
    request.params = {row("ApiKey", "q")};
    EXPECT_EQ(AuthConfig::from(request),
              (AuthConfig{.type = AuthType::apiKey, .keyName = QStringLiteral("ApiKey"), .keyValue = QStringLiteral("q"), .keyIn = APIKeyLocation::query}));
    request.headers.append(row("apikey", "h"));
    EXPECT_EQ(AuthConfig::from(request).keyIn, APIKeyLocation::header);  // a header wins over a parameter
}

TEST(AuthConfigTest, ApplyThenFromGivesTheConfigurationBack) {
    const QList<AuthConfig> configs{
        {.type = AuthType::bearer, .token = QStringLiteral("abc")},
        {.type = AuthType::basic, .username = QStringLiteral("user"), .password = QStringLiteral("p:w")},
        {.type = AuthType::basic, .password = QStringLiteral("{{pair}}")},
        {.type = AuthType::apiKey, .keyName = QStringLiteral("api-key"), .keyValue = QStringLiteral("v")},
        {.type = AuthType::apiKey, .keyName = QStringLiteral("access_token"), .keyValue = QStringLiteral("v"), .keyIn = APIKeyLocation::query},
    };
    for (const AuthConfig& config : configs) {
        HTTPRequest request = withoutAuth();
        config.apply(request);
        EXPECT_EQ(AuthConfig::from(request), config) << AuthTypes::rawValue(config.type).toStdString();
    }
}

} // namespace
