// Authentication read from and written into a request's headers and parameters.
#include <gtest/gtest.h>

#include "API/AuthConfig.h"
#include "API/HTTPClient.h"
#include "LoopbackServer.h"
#include "Printers.h"
#include "RequestBuilders.h"
#include "TestSupport.h"

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

TEST(AuthConfigTest, ApplyReplacesEveryCredentialAndKeepsOtherRowsInOrder) {
    HTTPRequest request;
    request.headers = {row("Content-Type", "application/json"), row("authorization", "Bearer {{token}}"),
                       row("X-Api-Key", "SUPERSECRET-KEY-999"), row("AUTHORIZATION", "off", false), row("X-Trace", "1")};
    const AuthConfig bearer = AuthConfig::from(request);
    ASSERT_EQ(bearer.type, AuthType::bearer);

    AuthConfig edited = bearer;
    edited.token = "{{other}}";
    edited.apply(request);
    EXPECT_EQ(rows(request.headers), (QStringList{"Authorization=Bearer {{other}}", "Content-Type=application/json", "X-Trace=1"}));
    EXPECT_TRUE(request.headers.first().enabled);

    // Each apply adds its row afresh: a new identifier, still first.
    const QUuid first = request.headers.first().id;
    edited.apply(request);
    EXPECT_EQ(request.headers.size(), 3);
    EXPECT_NE(request.headers.first().id, first);

    // No Auth and an empty token both leave the other rows alone.
    AuthConfig::empty().apply(request);
    EXPECT_EQ(rows(request.headers), (QStringList{"Content-Type=application/json", "X-Trace=1"}));
    edited.apply(request);
    AuthConfig empty = edited;
    empty.token.clear();
    empty.apply(request);
    EXPECT_EQ(rows(request.headers), (QStringList{"Content-Type=application/json", "X-Trace=1"}));
}

TEST(AuthConfigTest, ApplyMovesAnApiKeyBetweenHeadersAndQuery) {
    HTTPRequest request;
    request.headers = {row("Accept", "*/*"), row("X-Api-Key", "k"), row("X-Trace", "1")};
    request.params = {row("page", "1"), row("q", "x")};
    const AuthConfig key = AuthConfig::from(request);

    AuthConfig query = key;
    query.keyName = "key";
    query.keyIn = APIKeyLocation::query;
    query.apply(request);
    EXPECT_EQ(rows(request.headers), (QStringList{"Accept=*/*", "X-Trace=1"}));
    EXPECT_EQ(rows(request.params), (QStringList{"page=1", "q=x", "key=k"}));

    // A name outside the known ones is the user's own row: a later apply leaves it.
    AuthConfig renamed = key;
    renamed.keyName = "X-Key";
    renamed.apply(request);
    EXPECT_EQ(rows(request.headers), (QStringList{"X-Key=k", "Accept=*/*", "X-Trace=1"}));
    EXPECT_EQ(rows(request.params), (QStringList{"page=1", "q=x"}));

    // Switching to a bearer token puts the header first.
    AuthConfig bearer = renamed;
    bearer.type = AuthType::bearer;
    bearer.token = "t";
    bearer.apply(request);
    EXPECT_EQ(rows(request.headers), (QStringList{"Authorization=Bearer t", "X-Key=k", "Accept=*/*", "X-Trace=1"}));
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
    // With a reference the pair stays plain, to be encoded once the reference holds its value.
    EXPECT_EQ(basic("me", "{{creds}}"), QStringLiteral("Basic me:{{creds}}"));
    EXPECT_EQ(AuthConfig::encodedForSending("Basic me:s3"), "Basic " + QByteArray("me:s3").toBase64());
    EXPECT_EQ(AuthConfig::encodedForSending("Basic bWU6"), "Basic bWU6");
    EXPECT_EQ(AuthConfig::encodedForSending("Bearer a:b"), "Bearer a:b");
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
        {.type = AuthType::basic, .username = QStringLiteral("{{user}}"), .password = QStringLiteral("x:{{pw}}")},
        {.type = AuthType::apiKey, .keyName = QStringLiteral("api-key"), .keyValue = QStringLiteral("v")},
        {.type = AuthType::apiKey, .keyName = QStringLiteral("access_token"), .keyValue = QStringLiteral("v"), .keyIn = APIKeyLocation::query},
    };
    for (const AuthConfig& config : configs) {
        HTTPRequest request = withoutAuth();
        config.apply(request);
        EXPECT_EQ(AuthConfig::from(request), config) << AuthTypes::rawValue(config.type).toStdString();
    }
}

// Whatever credentials a request carried, in any case, enabled or not, in headers or the query,
// switching to another kind sends that kind's credential alone.
TEST(AuthConfigTest, SwitchingKindsSendsOnlyTheChosenCredential) {
    loopback::LoopbackServer server;
    server.respondWith({});
    const QList<std::pair<const char*, AuthConfig>> kinds{
        {"none", AuthConfig::empty()},
        {"bearer", {.type = AuthType::bearer, .token = QStringLiteral("T")}},
        {"basic", {.type = AuthType::basic, .username = QStringLiteral("u"), .password = QStringLiteral("p")}},
        {"header key", {.type = AuthType::apiKey, .keyValue = QStringLiteral("V")}},
        {"query key", {.type = AuthType::apiKey, .keyName = QStringLiteral("api_key"), .keyValue = QStringLiteral("V"), .keyIn = APIKeyLocation::query}},
    };
    const QByteArrayList credentialNames{"authorization", "x-api-key", "api-key", "apikey", "x-auth-token"};
    for (const auto& [fromName, from] : kinds) {
        for (const auto& [toName, to] : kinds) {
            SCOPED_TRACE(std::string(fromName) + " -> " + toName);
            HTTPRequest request = builders::request(HTTPMethod::get, server.url("/auth"));
            request.headers = {row("Accept", "*/*"), row("Authorization", "Bearer A"), row("authorization", "Basic dTpw"),
                               row("AUTHORIZATION", "Bearer off", false), row("x-api-key", "KEY123"), row("Api-Key", "K2"),
                               row("X-AUTH-TOKEN", "off", false), row("X-Trace", "keep")};
            request.params = {row("page", "1"), row("API_KEY", "Q1"), row("access_token", "off", false), row("Key", "Q3")};
            from.apply(request);
            request.headers.append(row("authorization", "Bearer late"));
            request.params.append(row("apikey", "late"));
            to.apply(request);

            server.clearReceived();
            std::optional<HTTPSendResult> result;
            HTTPClient::send(request, {}, [&](const HTTPSendResult& r) { result = r; });
            ASSERT_TRUE(testing_support::waitUntil([&] { return result.has_value(); }));
            ASSERT_TRUE(result->ok()) << result->responseOrFailure().statusText.toStdString();
            ASSERT_EQ(server.receivedCount(), 1);
            const loopback::ReceivedRequest got = server.received()[0];
            QStringList credentials;
            for (const auto& [name, value] : got.headers)
                if (credentialNames.contains(name.toLower())) credentials << QString::fromLatin1(name + ": " + value);
            const QMap<QString, QStringList> expected{
                {"none", {}}, {"bearer", {"Authorization: Bearer T"}}, {"basic", {"Authorization: Basic dTpw"}},
                {"header key", {"X-API-Key: V"}}, {"query key", {}}};
            EXPECT_EQ(credentials, expected.value(toName));
            EXPECT_EQ(got.header("X-Trace"), "keep");
            EXPECT_EQ(QString::fromLatin1(got.target), toName == std::string("query key") ? "/auth?page=1&api_key=V" : "/auth?page=1");
            // Nothing of the old credentials is left in the request, disabled rows included.
            EXPECT_EQ(request.headers.size() + request.params.size(), 3u + (toName == std::string("none") ? 0 : 1));
        }
    }
}

} // namespace
