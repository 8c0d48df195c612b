#include "API/AuthType.h"

namespace AuthTypes {

const QList<AuthType>& allCases() {
    static const QList<AuthType> all{AuthType::none, AuthType::bearer, AuthType::basic, AuthType::apiKey};
    return all;
}

QString rawValue(AuthType type) {
    switch (type) {
    case AuthType::none: return QStringLiteral("none");
    case AuthType::bearer: return QStringLiteral("bearer");
    case AuthType::basic: return QStringLiteral("basic");
    case AuthType::apiKey: return QStringLiteral("apiKey");
    }
    return {};
}

std::optional<AuthType> fromRawValue(const QString& raw) {
    for (AuthType type : allCases())
        if (rawValue(type) == raw) return type;
    return std::nullopt;
}

} // namespace AuthTypes
