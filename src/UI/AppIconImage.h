#pragma once
// The application icon: the bundle's "AppIcon.png", looked up once and kept for the program's life.
#include <QImage>
#include <QString>
#include <optional>

namespace AppIconImage {

// Absent when the resource is missing or cannot be decoded. Later calls never look again.
const std::optional<QImage>& nsImage();
// The uncached lookup behind nsImage(): a readable image file, or nothing.
std::optional<QImage> load(const std::optional<QString>& path);

} // namespace AppIconImage
