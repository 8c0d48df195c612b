#pragma once
#include <QList>
#include <QString>
#include <optional>

// The sidebar panels, in activity-bar order.
enum class SidebarPanel { explorer, sourceControl, api };

namespace SidebarPanels {
inline const QList<SidebarPanel>& allCases() {
    static const QList<SidebarPanel> cases{SidebarPanel::explorer, SidebarPanel::sourceControl, SidebarPanel::api};
    return cases;
}
inline QString rawValue(SidebarPanel panel) {
    switch (panel) {
    case SidebarPanel::explorer: return QStringLiteral("explorer");
    case SidebarPanel::sourceControl: return QStringLiteral("sourceControl");
    case SidebarPanel::api: return QStringLiteral("api");
    }
    return {};
}
inline std::optional<SidebarPanel> fromRawValue(const QString& raw) {
    for (SidebarPanel p : allCases())
        if (rawValue(p) == raw) return p;
    return std::nullopt;
}
} // namespace SidebarPanels
