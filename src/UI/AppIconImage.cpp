#include "UI/AppIconImage.h"

#include <QImageReader>

#include "Platform/ResourceBundle.h"

namespace AppIconImage {

std::optional<QImage> load(const std::optional<QString>& path) {
    if (!path) return std::nullopt;
    QImageReader reader(*path);
    const QImage img = reader.read();
    if (img.isNull()) return std::nullopt;
    return img;
}

const std::optional<QImage>& nsImage() {
    static const std::optional<QImage> image =
        load(ResourceBundle::resource(QStringLiteral("AppIcon"), QStringLiteral("png")));
    return image;
}

} // namespace AppIconImage
