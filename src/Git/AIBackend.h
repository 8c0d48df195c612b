#pragma once
// The AI command-line tools we can run; the raw value is also the executable's name.
#include <QList>
#include <QString>
#include <optional>

enum class AIBackend { claude, codex };

namespace AIBackends {

// In order of preference when detecting.
const QList<AIBackend>& allCases();
QString rawValue(AIBackend backend);
std::optional<AIBackend> fromRawValue(const QString& raw);  // exact, case-sensitive

} // namespace AIBackends
