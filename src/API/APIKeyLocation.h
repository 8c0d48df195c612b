#pragma once
// Where an API key travels: a header or a query parameter.
#include <QList>
#include <QString>
#include <optional>

enum class APIKeyLocation { header, query };

namespace APIKeyLocations {
const QList<APIKeyLocation>& allCases();
QString rawValue(APIKeyLocation location);  // also the id
std::optional<APIKeyLocation> fromRawValue(const QString& raw);
}
