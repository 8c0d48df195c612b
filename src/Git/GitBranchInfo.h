#pragma once
// One local branch with the short name of its upstream, if it has one.
#include <QHash>
#include <QString>
#include <optional>

struct GitBranchInfo {
    QString name;
    std::optional<QString> upstream;  // "remote/branch"

    const QString& id() const { return name; }

    friend bool operator==(const GitBranchInfo&, const GitBranchInfo&) = default;
};

inline size_t qHash(const GitBranchInfo& info, size_t seed = 0) {
    return qHashMulti(seed, info.name, info.upstream.value_or(QString()), info.upstream.has_value());
}
