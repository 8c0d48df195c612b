#pragma once
#include <QString>

namespace Trash {
// Moves a file or folder to the user's trash. Returns false (with a reason) when it did not land there.
bool moveToTrash(const QString& path, QString* error = nullptr);
}
