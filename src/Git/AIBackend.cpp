#include "Git/AIBackend.h"

namespace AIBackends {

const QList<AIBackend>& allCases() {
    static const QList<AIBackend> cases{AIBackend::claude, AIBackend::codex};
    return cases;
}

QString rawValue(AIBackend backend) {
    switch (backend) {
    case AIBackend::claude: return QStringLiteral("claude");
    case AIBackend::codex: return QStringLiteral("codex");
    }
    return {};
}

std::optional<AIBackend> fromRawValue(const QString& raw) {
    for (AIBackend backend : allCases())
        if (rawValue(backend) == raw) return backend;
    return std::nullopt;
}

} // namespace AIBackends
