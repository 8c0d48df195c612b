#include "API/CodeGenTarget.h"

namespace CodeGenTargets {

const QList<CodeGenTarget>& allCases() {
    static const QList<CodeGenTarget> cases = {CodeGenTarget::curl, CodeGenTarget::fetch, CodeGenTarget::swift};
    return cases;
}

QString rawValue(CodeGenTarget target) {
    switch (target) {
    case CodeGenTarget::curl: return QStringLiteral("cURL");
    case CodeGenTarget::fetch: return QStringLiteral("JavaScript fetch");
    case CodeGenTarget::swift: return QStringLiteral("Swift URLSession");
    }
    return {};
}

std::optional<CodeGenTarget> fromRawValue(const QString& raw) {
    for (CodeGenTarget target : allCases())
        if (rawValue(target) == raw) return target;
    return std::nullopt;
}

} // namespace CodeGenTargets
