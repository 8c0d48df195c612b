#include "API/BodyKind.h"

namespace BodyKinds {

const QList<BodyKind>& allCases() {
    static const QList<BodyKind> all{BodyKind::none, BodyKind::json, BodyKind::text, BodyKind::form};
    return all;
}

QString rawValue(BodyKind kind) {
    switch (kind) {
    case BodyKind::none: return QStringLiteral("none");
    case BodyKind::json: return QStringLiteral("json");
    case BodyKind::text: return QStringLiteral("text");
    case BodyKind::form: return QStringLiteral("form");
    }
    return {};
}

std::optional<BodyKind> fromRawValue(const QString& raw) {
    for (BodyKind kind : allCases())
        if (rawValue(kind) == raw) return kind;
    return std::nullopt;
}

} // namespace BodyKinds
