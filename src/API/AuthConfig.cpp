#include "API/AuthConfig.h"

#include <QByteArray>
#include <QStringDecoder>

namespace {

const QString kAuthorization = QStringLiteral("Authorization");

bool isAuthorization(const QString& key) { return key.toLower() == QLatin1String("authorization"); }

// Standard alphabet, padded to a multiple of four, nothing ignored. Qt's own decoder accepts
// unpadded input, so the shape is checked first.
std::optional<QByteArray> decodeStrictBase64(const QString& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    qsizetype padding = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (c == '=') {
            ++padding;
        } else if (!alphabet || padding > 0) {
            return std::nullopt;
        }
    }
    if (padding > 2) return std::nullopt;
    auto result = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result) return std::nullopt;
    return *result;
}

std::optional<QString> decodeStrictUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

} // namespace

QString AuthConfig::basicValue(const QString& username, const QString& password) {
    const QString credentials = username + u':' + password;
    if (!credentials.contains(QLatin1String("{{"))) return "Basic " + QString::fromLatin1(credentials.toUtf8().toBase64());
    // A ready-made pair in one variable is sent as its value is.
    return "Basic " + (username.isEmpty() ? password : credentials);
}

QString AuthConfig::encodedForSending(const QString& value) {
    if (!value.startsWith(QLatin1String("Basic ")) || !value.contains(u':')) return value;
    return "Basic " + QString::fromLatin1(value.mid(6).toUtf8().toBase64());
}

const QStringList& AuthConfig::apiKeyHeaderNames() {
    static const QStringList names{QStringLiteral("x-api-key"), QStringLiteral("api-key"), QStringLiteral("apikey"),
                                   QStringLiteral("x-auth-token")};
    return names;
}

const QStringList& AuthConfig::apiKeyQueryNames() {
    static const QStringList names{QStringLiteral("api_key"), QStringLiteral("apikey"), QStringLiteral("api-key"),
                                   QStringLiteral("key"), QStringLiteral("access_token")};
    return names;
}

namespace {

// The value of the row a configuration writes; none when it writes nothing.
std::optional<QString> rowValue(const AuthConfig& config) {
    switch (config.type) {
    case AuthType::none: return std::nullopt;
    case AuthType::bearer:
        if (config.token.isEmpty()) return std::nullopt;
        return "Bearer " + config.token;
    case AuthType::basic:
        if (config.username.isEmpty() && config.password.isEmpty()) return std::nullopt;
        return AuthConfig::basicValue(config.username, config.password);
    case AuthType::apiKey:
        if (config.keyValue.isEmpty()) return std::nullopt;
        return config.keyValue;
    }
    return std::nullopt;
}

} // namespace

void AuthConfig::apply(HTTPRequest& request) const {
    request.headers.removeIf([](const KeyValueItem& row) {
        return isAuthorization(row.key) || apiKeyHeaderNames().contains(row.key.toLower());
    });
    request.params.removeIf([](const KeyValueItem& row) { return apiKeyQueryNames().contains(row.key.toLower()); });
    const std::optional<QString> value = rowValue(*this);
    if (!value) return;
    if (type != AuthType::apiKey) {
        request.headers.prepend(KeyValueItem{.key = kAuthorization, .value = *value});
        return;
    }
    const KeyValueItem row{.key = keyName.isEmpty() ? QStringLiteral("X-API-Key") : keyName, .value = *value};
    if (keyIn == APIKeyLocation::query) request.params.append(row);
    else request.headers.prepend(row);
}

AuthConfig AuthConfig::from(const HTTPRequest& request) {
    for (const KeyValueItem& row : request.headers) {
        if (!row.enabled || !isAuthorization(row.key)) continue;
        if (row.value.startsWith(QLatin1String("Bearer "))) return AuthConfig{.type = AuthType::bearer, .token = row.value.mid(7)};
        if (row.value.startsWith(QLatin1String("Basic "))) {
            const QString rest = row.value.mid(6);
            // Plain credentials, written so that their references are substituted before encoding.
            if (const qsizetype colon = rest.indexOf(u':'); colon >= 0)
                return AuthConfig{.type = AuthType::basic, .username = rest.left(colon), .password = rest.mid(colon + 1)};
            if (rest.contains(QLatin1String("{{"))) return AuthConfig{.type = AuthType::basic, .password = rest};
            if (auto bytes = decodeStrictBase64(rest)) {
                if (auto text = decodeStrictUtf8(*bytes)) {
                    const qsizetype colon = text->indexOf(':');
                    if (colon >= 0)
                        return AuthConfig{.type = AuthType::basic, .username = text->left(colon), .password = text->mid(colon + 1)};
                }
            }
        }
        break;  // only the first enabled Authorization header counts
    }
    for (const KeyValueItem& row : request.headers) {
        if (row.enabled && apiKeyHeaderNames().contains(row.key.toLower()))
            return AuthConfig{.type = AuthType::apiKey, .keyName = row.key, .keyValue = row.value, .keyIn = APIKeyLocation::header};
    }
    for (const KeyValueItem& row : request.params) {
        if (row.enabled && apiKeyQueryNames().contains(row.key.toLower()))
            return AuthConfig{.type = AuthType::apiKey, .keyName = row.key, .keyValue = row.value, .keyIn = APIKeyLocation::query};
    }
    return empty();
}
