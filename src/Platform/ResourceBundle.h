#pragma once
// The resource bundle directory shipped beside the executable (highlight queries, icons).
#include <QString>
#include <optional>

namespace ResourceBundle {
inline constexpr const char* kMissingMessage = "unable to find bundle named ZiduduZovu_ZiduduZovu";

// Beside the executable first, then the installed data directory.
std::optional<QString> locate();
// The bundle's path; a missing bundle is fatal with kMissingMessage.
QString path();
// Absolute path of a file inside the bundle, or nothing when absent.
std::optional<QString> resource(const QString& name, const QString& extension);
// Tests point the lookup at the build's bundle (empty restores the default lookup).
void setOverridePath(const QString& path);
}
