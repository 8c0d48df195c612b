#include "API/APIKeyLocation.h"

namespace APIKeyLocations {

const QList<APIKeyLocation>& allCases() {
    static const QList<APIKeyLocation> all{APIKeyLocation::header, APIKeyLocation::query};
    return all;
}

QString rawValue(APIKeyLocation location) {
    return location == APIKeyLocation::header ? QStringLiteral("header") : QStringLiteral("query");
}

std::optional<APIKeyLocation> fromRawValue(const QString& raw) {
    for (APIKeyLocation location : allCases())
        if (rawValue(location) == raw) return location;
    return std::nullopt;
}

} // namespace APIKeyLocations
