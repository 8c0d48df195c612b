#pragma once
// The authentication schemes the request editor offers.
#include <QList>
#include <QString>
#include <optional>

enum class AuthType { none, bearer, basic, apiKey };

namespace AuthTypes {
const QList<AuthType>& allCases();
QString rawValue(AuthType type);  // also the id
std::optional<AuthType> fromRawValue(const QString& raw);
}
