#pragma once
// How a request's body text is meant; also picks the default Content-Type when sending.
#include <QList>
#include <QString>
#include <optional>

enum class BodyKind { none, json, text, form };

namespace BodyKinds {

const QList<BodyKind>& allCases();
QString rawValue(BodyKind kind);
std::optional<BodyKind> fromRawValue(const QString& raw);  // exact, case-sensitive

} // namespace BodyKinds
