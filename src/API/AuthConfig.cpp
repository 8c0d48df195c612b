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

// The rows a configuration writes into: headers, or parameters for an API key in the query.
QList<KeyValueItem>* rowsOf(const AuthConfig& config, HTTPRequest& request) {
    if (config.type == AuthType::none) return nullptr;
    if (config.type == AuthType::apiKey && config.keyIn == APIKeyLocation::query) return &request.params;
    return &request.headers;
}

QString rowName(const AuthConfig& config) {
    if (config.type != AuthType::apiKey) return kAuthorization;
    return config.keyName.isEmpty() ? QStringLiteral("X-API-Key") : config.keyName;
}

// The first enabled row of that name, any case: the one that is sent and read back.
qsizetype findRow(const QList<KeyValueItem>& rows, const QString& name) {
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows[i].enabled && rows[i].key.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// The value of the row a configuration writes; none when it writes nothing.
std::optional<QString> rowValue(const AuthConfig& config) {
    switch (config.type) {
    case AuthType::none: return std::nullopt;
    case AuthType::bearer:
        if (config.token.isEmpty()) return std::nullopt;
        return "Bearer " + config.token;
    case AuthType::basic:
        // Ready-made credentials in a variable are substituted at send time, so they stay as typed.
        if (config.username.isEmpty() && config.password.contains(QLatin1String("{{"))) return "Basic " + config.password;
        if (config.username.isEmpty() && config.password.isEmpty()) return std::nullopt;
        return "Basic " + QString::fromLatin1((config.username + ':' + config.password).toUtf8().toBase64());
    case AuthType::apiKey:
        if (config.keyValue.isEmpty()) return std::nullopt;
        return config.keyValue;
    }
    return std::nullopt;
}

} // namespace

void AuthConfig::apply(HTTPRequest& request, const AuthConfig& previous) const {
    QList<KeyValueItem>* rows = rowsOf(*this, request);
    const std::optional<QString> value = rowValue(*this);
    QList<KeyValueItem>* oldRows = rowsOf(previous, request);
    qsizetype at = oldRows ? findRow(*oldRows, rowName(previous)) : -1;
    // The previous row goes when this configuration writes nothing or writes elsewhere.
    if (at >= 0 && (oldRows != rows || !value)) {
        oldRows->removeAt(at);
        at = -1;
    }
    if (!rows || !value) return;
    const QString name = rowName(*this);
    if (at < 0) at = findRow(*rows, name);
    if (at < 0) {
        const KeyValueItem row{.key = name, .value = *value};
        if (rows == &request.params) rows->append(row);
        else rows->prepend(row);
        return;
    }
    KeyValueItem& row = (*rows)[at];
    // An Authorization header keeps the spelling of its name; an API key takes the name as typed.
    if (type == AuthType::apiKey || row.key.compare(name, Qt::CaseInsensitive) != 0) row.key = name;
    row.value = *value;
}

AuthConfig AuthConfig::from(const HTTPRequest& request) {
    for (const KeyValueItem& row : request.headers) {
        if (!row.enabled || !isAuthorization(row.key)) continue;
        if (row.value.startsWith(QLatin1String("Bearer "))) return AuthConfig{.type = AuthType::bearer, .token = row.value.mid(7)};
        if (row.value.startsWith(QLatin1String("Basic "))) {
            const QString rest = row.value.mid(6);
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
