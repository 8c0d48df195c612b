#pragma once
// The languages a request can be copied as; the raw value is also the menu label's tail.
#include <QList>
#include <QString>
#include <optional>

enum class CodeGenTarget { curl, fetch, swift };

namespace CodeGenTargets {

const QList<CodeGenTarget>& allCases();
QString rawValue(CodeGenTarget target);  // "cURL", "JavaScript fetch", "Swift URLSession"; also the id
std::optional<CodeGenTarget> fromRawValue(const QString& raw);

} // namespace CodeGenTargets
