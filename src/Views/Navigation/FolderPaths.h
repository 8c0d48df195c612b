#pragma once
#include <QString>

namespace FolderPaths {

// The path as shown inside the open folder: without the folder's own path and its slash in front.
// Only that leading part goes; the same letters deeper in the path stay.
inline QString insideFolder(const QString& path, const QString& folder) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path.startsWith(prefix) ? path.sliced(prefix.size()) : path;
}

} // namespace FolderPaths
