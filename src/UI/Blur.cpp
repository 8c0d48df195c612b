#include "UI/Blur.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace Blur {

namespace {

// Widths of three box filters whose succession approximates a Gaussian of sigma.
std::vector<int> boxSizes(double sigma) {
    constexpr int n = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int wl = int(std::floor(ideal));
    if (wl % 2 == 0) --wl;
    const int wu = wl + 2;
    const double mIdeal = (12 * sigma * sigma - n * wl * wl - 4 * n * wl - 3 * n) / (-4.0 * wl - 4);
    const int m = int(std::lround(mIdeal));
    std::vector<int> sizes;
    for (int i = 0; i < n; ++i) sizes.push_back(i < m ? wl : wu);
    return sizes;
}

// One box pass of half-width r along lines of `count` pixels; stride walks the line, step the lines.
void boxPass(const quint32* src, quint32* dst, int lines, int count, qsizetype lineStep, qsizetype stride, int r) {
    if (r <= 0) {
        for (int l = 0; l < lines; ++l)
            for (int i = 0; i < count; ++i) dst[l * lineStep + i * stride] = src[l * lineStep + i * stride];
        return;
    }
    const int width = 2 * r + 1;
    for (int l = 0; l < lines; ++l) {
        const quint32* s = src + l * lineStep;
        quint32* d = dst + l * lineStep;
        // Pixels beyond the edges count as transparent.
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= count) return;
            const quint32 p = s[i * stride];
            for (int c = 0; c < 4; ++c) sum[c] += sign * int((p >> (8 * c)) & 0xff);
        };
        for (int i = -r; i <= r; ++i) add(i, 1);
        for (int i = 0; i < count; ++i) {
            quint32 out = 0;
            for (int c = 0; c < 4; ++c) out |= quint32((sum[c] + width / 2) / width) << (8 * c);
            d[i * stride] = out;
            add(i - r, -1);
            add(i + r + 1, 1);
        }
    }
}

} // namespace

// Three standard deviations: what lies beyond is below 1% of the edge's strength.
int margin(double radius) { return int(std::ceil(1.5 * std::max(0.0, radius))); }

QImage gaussian(const QImage& image, double radius) {
    QImage a = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double sigma = radius / 2;
    if (sigma <= 0 || a.isNull()) return a;
    QImage b(a.size(), QImage::Format_ARGB32_Premultiplied);
    b.setDevicePixelRatio(a.devicePixelRatio());
    const int w = a.width(), h = a.height();
    const qsizetype row = a.bytesPerLine() / 4;
    for (int box : boxSizes(sigma)) {
        const int r = (box - 1) / 2;
        auto* pa = reinterpret_cast<quint32*>(a.bits());
        auto* pb = reinterpret_cast<quint32*>(b.bits());
        boxPass(pa, pb, h, w, row, 1, r);    // horizontal: a -> b
        boxPass(pb, pa, w, h, 1, row, r);    // vertical: b -> a
    }
    return a;
}

QImage shadow(const QPainterPath& shape, const QColor& colour, double radius) {
    const int m = margin(radius);
    const QRectF box = shape.boundingRect();
    const QSize size(int(std::ceil(box.width())) + 2 * m, int(std::ceil(box.height())) + 2 * m);
    if (size.isEmpty()) return {};
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(m - box.left(), m - box.top());
        p.fillPath(shape, colour);
    }
    return gaussian(img, radius);
}

} // namespace Blur
