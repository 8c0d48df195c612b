#include "UI/Icons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <cmath>

#include "Platform/ResourceBundle.h"

namespace Icons {

namespace {

constexpr qsizetype kMaxSvgBytes = 256 * 1024;

// Names are dotted lower-case words; anything else (a path, "..") never reaches the file system.
bool isValidName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)*$"));
    return name.size() <= 80 && pattern.match(name).hasMatch();
}

QByteArray svgData(const QString& name) {
    if (!isValidName(name)) return {};
    const auto path = ResourceBundle::resource(QStringLiteral("icons/") + name, QStringLiteral("svg"));
    if (!path) return {};
    QFile file(*path);
    if (file.size() > kMaxSvgBytes || !file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// A rounded square outline: clearly a placeholder, in the same line weight as the real icons.
void paintPlaceholder(QPainter& p, int size) {
    const qreal s = size / 24.0;
    QPen pen(Qt::black, 1.75 * s);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5.5 * s, 5.5 * s, 13 * s, 13 * s), 3.5 * s, 3.5 * s);
}

// Coverage of the icon's ink: dark marks are ink, light marks cut holes into filled shapes.
QImage renderMask(const QString& name, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QSvgRenderer renderer(svgData(name));
        if (renderer.isValid()) renderer.render(&p, QRectF(0, 0, size, size));
        else paintPlaceholder(p, size);
    }
    for (int y = 0; y < size; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size; ++x) {
            const QRgb px = line[x];
            const int a = qAlpha(px);
            if (a == 0) continue;
            // Premultiplied: the channel values are lightness times coverage.
            const int light = (qRed(px) * 11 + qGreen(px) * 16 + qBlue(px) * 5) / 32;
            const int ink = qBound(0, a - light, 255);
            line[x] = qRgba(0, 0, 0, ink);
        }
    }
    return img;
}

const QImage& mask(const QString& name, int size) {
    static QHash<QString, QImage> cache;
    const QString key = name + QLatin1Char('@') + QString::number(size);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.insert(key, renderMask(name, size));
    return *it;
}

} // namespace

bool has(const QString& symbolName) {
    return isValidName(symbolName) &&
           ResourceBundle::resource(QStringLiteral("icons/") + symbolName, QStringLiteral("svg")).has_value();
}

QImage image(const QString& symbolName, int pixelSize, const QBrush& brush, qreal devicePixelRatio) {
    const int device = std::max(1, int(std::lround(pixelSize * devicePixelRatio)));
    QImage out = mask(symbolName, device).copy();
    {
        QPainter p(&out);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.scale(devicePixelRatio, devicePixelRatio);
        p.fillRect(QRectF(0, 0, pixelSize, pixelSize), brush);
    }
    out.setDevicePixelRatio(devicePixelRatio);
    return out;
}

QPixmap pixmap(const QString& symbolName, int size, const QColor& colour, qreal devicePixelRatio) {
    return QPixmap::fromImage(image(symbolName, size, colour, devicePixelRatio));
}

QIcon icon(const QString& symbolName, const QColor& tint) {
    QIcon result;
    for (int size : {12, 16, 20, 24, 32, 48}) result.addPixmap(pixmap(symbolName, size, tint));
    return result;
}

int sizeForPointSize(qreal pointSize) { return std::max(1, int(std::lround(pointSize * 1.2))); }

} // namespace Icons
