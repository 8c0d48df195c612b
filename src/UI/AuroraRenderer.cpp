#include "UI/AuroraRenderer.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "UI/AuroraBlob.h"
#include "UI/Blur.h"

double AuroraRenderer::vignetteAlpha(double distance) {
    if (distance <= kVignetteInner) return 0;
    if (distance >= kVignetteOuter) return kVignetteAlpha;
    return (distance - kVignetteInner) / (kVignetteOuter - kVignetteInner) * kVignetteAlpha;
}

const QImage& AuroraRenderer::sprite(int index) {
    if (sprites_.isEmpty()) {
        for (const AuroraBlob& blob : AuroraBlob::all()) {
            const double diameter = blob.radius / kBlobLayerScale;
            const double blur = AuroraBlob::kBlurRadius / kBlobLayerScale;
            const int side = int(std::ceil(diameter)) + 2 * Blur::margin(blur);
            QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            {
                QPainter p(&img);
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(Qt::NoPen);
                p.setBrush(blob.color);
                p.drawEllipse(QPointF(side / 2.0, side / 2.0), diameter / 2, diameter / 2);
            }
            sprites_.append(Blur::gaussian(img, blur));
        }
    }
    return sprites_[index];
}

namespace {

// One tap of a bilinear sample at pos (in pixels, centres at i + 0.5) along count pixels: the two
// neighbours and the weight of the second (0..256). Outside, the edge pixel repeats.
struct Tap {
    int first, second, weight;
};
Tap tapAt(double pos, int count) {
    const double s = pos - 0.5;
    int i = int(std::floor(s));
    double f = s - i;
    if (i < 0) i = 0, f = 0;
    if (i >= count - 1) i = count - 1, f = 0;
    return {i, std::min(i + 1, count - 1), int(std::lround(f * 256))};
}

// Screen blend of a premultiplied channel s over an opaque one d (both 0..255).
inline int screen(int d, int s) { return d + s - (d * s + 127) / 255; }

// Mixes two pixels channel by channel, w/256 of b: red and blue in one multiply, green (and
// alpha) in another.
inline quint32 mix(quint32 a, quint32 b, quint32 w) {
    const quint32 rb = (((a & 0x00ff00ffu) * (256 - w) + (b & 0x00ff00ffu) * w) >> 8) & 0x00ff00ffu;
    const quint32 ag = ((((a >> 8) & 0x00ff00ffu) * (256 - w) + ((b >> 8) & 0x00ff00ffu) * w)) & 0xff00ff00u;
    return rb | ag;
}

// Draws sprite (premultiplied, with a clear border of at least one pixel) centred at centre,
// scaled by scale, at opacity (0..256), onto the opaque layer in screen mode, sampled bilinearly.
void screenSprite(QImage& layer, const QImage& sprite, QPointF centre, double scale, int opacity) {
    const int sw = sprite.width(), sh = sprite.height();
    auto source = [scale](double pos, double mid) { return (pos + 0.5 - mid) / scale - 0.5; };
    // Layer pixels whose samples fall inside the sprite (both neighbours in range).
    const int x0 = std::max(0, int(std::ceil(centre.x() - sw * scale / 2 + 0.5 * scale - 0.5))),
              x1 = std::min(layer.width() - 1, int(std::floor(centre.x() + sw * scale / 2 - 1.5 * scale - 0.5)));
    const int y0 = std::max(0, int(std::ceil(centre.y() - sh * scale / 2 + 0.5 * scale - 0.5))),
              y1 = std::min(layer.height() - 1, int(std::floor(centre.y() + sh * scale / 2 - 1.5 * scale - 0.5)));
    if (x1 < x0 || y1 < y0) return;
    std::vector<std::pair<int, quint32>> columns;
    columns.reserve(size_t(x1 - x0 + 1));
    for (int x = x0; x <= x1; ++x) {
        const double u = std::clamp(source(x, centre.x()) + sw / 2.0, 0.0, sw - 1.001);
        const int ux = int(u);
        columns.emplace_back(ux, quint32(std::lround((u - ux) * 256)));
    }
    for (int y = y0; y <= y1; ++y) {
        const double v = std::clamp(source(y, centre.y()) + sh / 2.0, 0.0, sh - 1.001);
        const int vy = int(v);
        const quint32 wy = quint32(std::lround((v - vy) * 256));
        const auto* top = reinterpret_cast<const quint32*>(sprite.constScanLine(vy));
        const auto* bottom = reinterpret_cast<const quint32*>(sprite.constScanLine(vy + 1));
        auto* out = reinterpret_cast<QRgb*>(layer.scanLine(y));
        int x = x0;
#ifdef __SSE2__
        // Four pixels at a time, each channel in 16 bits: the same sums as the loop below, with
        // (v + 127) / 255 as (u + 1 + ((u + 1) >> 8)) >> 8 for u = v + 127, exact for all v that occur.
        const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1), half = _mm_set1_epi16(128);
        const __m128i rounding = _mm_set1_epi16(127), opaque = _mm_set1_epi32(int(0xff000000u));
        const __m128i wyb = _mm_set1_epi16(short(wy)), wya = _mm_set1_epi16(short(256 - wy));
        const __m128i fade = _mm_set1_epi16(short(opacity));
        const auto bilinear = [&](const std::pair<int, quint32>& c0, const std::pair<int, quint32>& c1) {
            // Two pixels' samples, channels in 16 bits.
            const __m128i tl = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(top[c1.first]), int(top[c0.first])), zero);
            const __m128i tr = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(top[c1.first + 1]), int(top[c0.first + 1])), zero);
            const __m128i bl = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(bottom[c1.first]), int(bottom[c0.first])), zero);
            const __m128i br = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(bottom[c1.first + 1]), int(bottom[c0.first + 1])), zero);
            const short w0 = short(c0.second), w1 = short(c1.second);
            const __m128i wxb = _mm_set_epi16(w1, w1, w1, w1, w0, w0, w0, w0);
            const __m128i wxa = _mm_sub_epi16(_mm_set1_epi16(256), wxb);
            const __m128i t = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(tl, wxa), _mm_mullo_epi16(tr, wxb)), 8);
            const __m128i b = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(bl, wxa), _mm_mullo_epi16(br, wxb)), 8);
            const __m128i s = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, wya), _mm_mullo_epi16(b, wyb)), 8);
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s, fade), half), 8);
        };
        const auto screened = [&](__m128i d, __m128i f) {
            const __m128i u = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(d, f), rounding), one);
            const __m128i q = _mm_srli_epi16(_mm_add_epi16(u, _mm_srli_epi16(u, 8)), 8);
            return _mm_sub_epi16(_mm_add_epi16(d, f), q);
        };
        for (; x + 4 <= x1 + 1; x += 4) {
            const auto* c = &columns[size_t(x - x0)];
            const __m128i lo = bilinear(c[0], c[1]), hi = bilinear(c[2], c[3]);
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + x));
            const __m128i rlo = screened(_mm_unpacklo_epi8(d, zero), lo), rhi = screened(_mm_unpackhi_epi8(d, zero), hi);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_packus_epi16(rlo, rhi), opaque));
        }
#endif
        for (; x <= x1; ++x) {
            const auto [ux, wx] = columns[size_t(x - x0)];
            const quint32 s = mix(mix(top[ux], top[ux + 1], wx), mix(bottom[ux], bottom[ux + 1], wx), wy);
            if ((s & 0x00ffffffu) == 0) continue;
            const QRgb d = out[x];
            auto faded = [&](int shift) { return (int((s >> shift) & 0xff) * opacity + 128) >> 8; };
            out[x] = qRgb(screen(qRed(d), faded(16)), screen(qGreen(d), faded(8)), screen(qBlue(d), faded(0)));
        }
    }
}

// 32-bit pixels to write: an image's buffer.
struct Pixels {
    uchar* bits;
    qsizetype bytesPerLine;
    QSize size;
};

// out = mix(a, b, w), opaque, for n pixels: every pixel of the frame goes through here.
void mixRowsPlain(const quint32* __restrict a, const quint32* __restrict b, quint32* __restrict out, int n, quint32 w) {
    int i = 0;
#ifdef __SSE2__
    // Four pixels at a time, each channel in 16 bits: the same sums as mix().
    const __m128i zero = _mm_setzero_si128(), opaque = _mm_set1_epi32(int(0xff000000u));
    const __m128i wb = _mm_set1_epi16(short(w)), wa = _mm_set1_epi16(short(256 - w));
    for (; i + 4 <= n; i += 4) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), wa),
                                                        _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wb)), 8);
        const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), wa),
                                                        _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), wb)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
    }
#endif
    for (; i < n; ++i) out[i] = mix(a[i], b[i], w) | 0xff000000u;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same, eight pixels at a time, on processors that have AVX2.
__attribute__((target("avx2"))) void mixRowsWide(const quint32* __restrict a, const quint32* __restrict b,
                                                 quint32* __restrict out, int n, quint32 w) {
    const __m256i zero = _mm256_setzero_si256(), opaque = _mm256_set1_epi32(int(0xff000000u));
    const __m256i wb = _mm256_set1_epi16(short(w)), wa = _mm256_set1_epi16(short(256 - w));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        // Unpacking and packing both work within 128-bit lanes, so the pixels keep their order.
        const __m256i lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(va, zero), wa),
                                                              _mm256_mullo_epi16(_mm256_unpacklo_epi8(vb, zero), wb)), 8);
        const __m256i hi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(va, zero), wa),
                                                              _mm256_mullo_epi16(_mm256_unpackhi_epi8(vb, zero), wb)), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(_mm256_packus_epi16(lo, hi), opaque));
    }
    mixRowsPlain(a + i, b + i, out + i, n - i, w);
}
#endif

using MixRows = void (*)(const quint32*, const quint32*, quint32*, int, quint32);
const MixRows mixRows = [] {
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx2")) return MixRows(&mixRowsWide);
#endif
    return MixRows(&mixRowsPlain);
}();

// Bilinear scale-up of the opaque layer into the pixel rectangle r of target, where the backdrop
// (width device pixels wide) starts at origin, sampling at pixel centres as smooth image scaling
// does. Rows are first widened along x (once per layer row and frame, kept in wide), then mixed
// along y.
void upscale(const QImage& layer, const Pixels& target, const QRect& r, QPoint origin, int width, double scale,
             AuroraRenderer::Widening& wide) {
    if (r.isEmpty()) return;
    if (wide.width != width || wide.scale != scale || wide.layerWidth != layer.width()) {
        wide.width = width;
        wide.scale = scale;
        wide.layerWidth = layer.width();
        wide.first.clear();
        wide.second.clear();
        wide.weights.clear();
        for (int x = 0; x < width; ++x) {
            const Tap t = tapAt((x + 0.5) / scale, layer.width());
            wide.first.push_back(t.first);
            wide.second.push_back(t.second);
            wide.weights.insert(wide.weights.end(), 4, quint16(t.weight));
        }
        wide.rows.clear();
    }
    if (wide.rows.size() != size_t(layer.height())) {
        wide.rows.assign(size_t(layer.height()), std::vector<quint32>(size_t(width)));
        wide.fresh.assign(size_t(layer.height()), {0, 0});
    }
    const int layerWidth = layer.width();
    // Widens the columns [begin, end) of a layer row into line.
    const auto widen = [&](const quint32* src, quint32* line, int begin, int end) {
        if (end <= begin) return;
        int x = begin;
        wide.widened += end - begin;
#ifdef __SSE2__
        // Four pixels at a time, as mix() does them: the layer row's channels spread to 16 bits
        // once, each column's weight kept beside its taps.
        std::vector<quint64>& spread = wide.spread;
        spread.resize(size_t(layerWidth));
        // Only the layer columns these device columns sample.
        const int last = end > begin ? wide.second[size_t(end - 1)] : -1;
        for (int c = wide.first[size_t(begin)]; c <= last; ++c) {
            const quint64 p = src[c];
            spread[size_t(c)] = (p & 0xff) | (p & 0xff00) << 8 | (p & 0xff0000) << 16 | (p & 0xff000000u) << 24;
        }
        const __m128i full = _mm_set1_epi16(256);
        const auto two = [&](int at) {
            const size_t a0 = size_t(at), a1 = size_t(at + 1);
            const __m128i va = _mm_set_epi64x(qint64(spread[size_t(wide.first[a1])]), qint64(spread[size_t(wide.first[a0])]));
            const __m128i vb = _mm_set_epi64x(qint64(spread[size_t(wide.second[a1])]), qint64(spread[size_t(wide.second[a0])]));
            const __m128i wb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(wide.weights.data() + 4 * at));
            const __m128i wa = _mm_sub_epi16(full, wb);
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(va, wa), _mm_mullo_epi16(vb, wb)), 8);
        };
        for (; x + 4 <= end; x += 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x), _mm_packus_epi16(two(x), two(x + 2)));
#endif
        for (; x < end; ++x)
            line[x] = mix(src[wide.first[size_t(x)]], src[wide.second[size_t(x)]], wide.weights[4 * size_t(x)]);
    };
    const int begin = r.left() - origin.x(), end = r.right() + 1 - origin.x();
    auto widened = [&](int row) -> const quint32* {
        quint32* line = wide.rows[size_t(row)].data();
        auto& [from, to] = wide.fresh[size_t(row)];
        const auto* src = reinterpret_cast<const quint32*>(layer.constScanLine(row));
        if (from >= to) {
            widen(src, line, begin, end);
            from = begin;
            to = end;
        } else {
            // The fresh columns stay one run: what lies between is widened too.
            if (begin < from) widen(src, line, begin, from);
            if (end > to) widen(src, line, to, end);
            from = std::min(from, begin);
            to = std::max(to, end);
        }
        return line;
    };
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const Tap t = tapAt((y - origin.y() + 0.5) / scale, layer.height());
        const quint32* __restrict a = widened(t.first) + (r.left() - origin.x());
        const quint32* __restrict b = widened(t.second) + (r.left() - origin.x());
        quint32* __restrict out = reinterpret_cast<quint32*>(target.bits + y * target.bytesPerLine) + r.left();
        mixRows(a, b, out, r.width(), quint32(t.weight));
    }
}

} // namespace

void AuroraRenderer::composeSmoothLayer(const QSizeF& size, double now) {
    const QSize pixels(int(std::ceil(size.width() / kBlobLayerScale)) + 1,
                       int(std::ceil(size.height() / kBlobLayerScale)) + 1);
    const QPointF centre(size.width() / 2 / kBlobLayerScale, size.height() / 2 / kBlobLayerScale);
    if (layer_.size() != pixels || vignetteCentre_ != centre) {
        layer_ = QImage(pixels, QImage::Format_RGB32);
        vignette_.assign(size_t(pixels.width()) * size_t(pixels.height()), 256);
        vignetteCentre_ = centre;
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x) {
                const double distance = std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y()) * kBlobLayerScale;
                vignette_[size_t(y * pixels.width() + x)] = int(std::lround((1 - vignetteAlpha(distance)) * 256));
            }
    }
    layer_.fill(Qt::black);
    const auto& blobs = AuroraBlob::all();
    for (int i = 0; i < blobs.size(); ++i) {
        const AuroraBlob::Pose pose = blobs[i].at(now);
        screenSprite(layer_, sprite(i), centre + pose.offset / kBlobLayerScale, pose.scale,
                     int(std::lround(pose.opacity * 256)));
    }
    // The vignette darkens the layer; the grain is soft-lit after it (build): it is far too faint
    // for the order to show.
    for (int y = 0; y < pixels.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(layer_.scanLine(y));
        const int* keep = &vignette_[size_t(y * pixels.width())];
        for (int x = 0; x < pixels.width(); ++x)
            row[x] = qRgb((qRed(row[x]) * keep[x] + 128) >> 8, (qGreen(row[x]) * keep[x] + 128) >> 8,
                          (qBlue(row[x]) * keep[x] + 128) >> 8);
    }
}

void AuroraRenderer::buildInto(QImage& image, bool painting, QPoint origin, qreal dpr, const QRegion& region) {
    // An image a painter is drawing on is written through the buffer that painter draws into
    // (detaching it would leave the painter on the old one); our own frame is never shared.
    const Pixels target{painting ? const_cast<uchar*>(image.constBits()) : image.bits(), image.bytesPerLine(), image.size()};
    if (!layerFresh_) composeLayer();
    const int width = int(std::ceil(frameSize_.width() * dpr));
    const QRect backdrop(origin, QSize(width, int(std::ceil(frameSize_.height() * dpr))));
    QRegion device;
    for (const QRect& r : region) {
        const QRect d(QPoint(int(std::floor(r.left() * dpr)), int(std::floor(r.top() * dpr))),
                      QPoint(int(std::ceil((r.right() + 1) * dpr)) - 1, int(std::ceil((r.bottom() + 1) * dpr)) - 1));
        const QRect inside = d.translated(origin).intersected(backdrop).intersected(image.rect());
        upscale(layer_, target, inside, origin, width, kBlobLayerScale * dpr, wide_);
        device += inside;
        pixelsBuilt_ += qint64(inside.width()) * inside.height();
    }
    // Over the ground the grain lies on the blended backdrop, at the backdrop's strength.
    grain_.apply(target.bits, target.bytesPerLine, target.size, device, flat_ ? intensity_ : 1.0, origin);
}

namespace {

// The image a painter draws straight into, and where (0, 0) of its user space lies in it, when
// pixels can be written there directly: a raster image of a plain 32-bit format, no rotation or
// sub-pixel offset.
QImage* directTarget(QPainter& painter, qreal dpr, QPoint* origin) {
    // A view's painter names the view as its device; the engine knows the image it really draws on.
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || engine->type() != QPaintEngine::Raster) return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied) return nullptr;
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() != dpr || t.m22() != dpr || t.dx() != std::floor(t.dx()) ||
        t.dy() != std::floor(t.dy()) || painter.opacity() != 1 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    *origin = QPoint(int(t.dx()), int(t.dy()));
    return image;
}

} // namespace

void AuroraRenderer::flatten() {
    const int keep = int(std::lround(intensity_ * 256));
    if (keep >= 256) return;  // at full strength the ground does not show
    const quint32 ground = ground_ & 0x00ffffffu;
    const int width = layer_.width(), height = layer_.height();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<quint32*>(layer_.scanLine(y));
        for (int x = 0; x < width; ++x) row[x] = mix(ground, row[x], quint32(keep)) | 0xff000000u;
    }
}

QRect AuroraRenderer::changedSince(const QImage& before) const {
    const int width = layer_.width(), height = layer_.height();
    int first = width, last = -1, top = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const auto* now = reinterpret_cast<const quint32*>(layer_.constScanLine(y));
        const auto* was = reinterpret_cast<const quint32*>(before.constScanLine(y));
        int x = 0;
        while (x < width && now[x] == was[x]) ++x;
        if (x == width) continue;
        first = std::min(first, x);
        int r = width - 1;
        while (now[r] == was[r]) --r;
        last = std::max(last, r);
        if (top < 0) top = y;
        bottom = y;
    }
    if (top < 0) return {};
    // A device pixel mixes the two layer pixels either side of it along each axis: a layer pixel
    // reaches from a layer pixel before it to one after it, plus a point for rounding. One
    // rectangle, so that what is drawn over the backdrop is clipped to a rectangle too.
    return QRect(QPoint((first - 1) * kBlobLayerScale - 1, (top - 1) * kBlobLayerScale - 1),
                 QPoint((last + 2) * kBlobLayerScale + 1, (bottom + 2) * kBlobLayerScale + 1))
        .intersected(QRect(QPoint(0, 0), frameSize_));
}

QRegion AuroraRenderer::advance(const QSize& size, qreal dpr, double now, double intensity, const QColor& ground) {
    intensity = std::clamp(intensity, 0.0, 1.0);
    const QRect whole(QPoint(0, 0), size);
    bool all = false;
    if (frameSize_ != size || frameDpr_ != dpr) {
        frameSize_ = size;
        frameDpr_ = dpr;
        grain_ = NoiseOverlay::Mask(QSizeF(size), dpr);
        frame_ = QImage();
        fresh_ = QRegion();
        layerFresh_ = false;
        all = true;
    }
    // Over a known opaque ground (or at full strength) the pixels are the finished colours, written
    // straight where the painter draws; otherwise the frame holds the backdrop alone, is kept for
    // repaints of the same moment and is drawn at the intensity.
    const bool flat = intensity >= 1 || (ground.isValid() && ground.alpha() == 255);
    const QRgb groundRgb = ground.isValid() ? ground.rgb() : qRgb(0, 0, 0);
    if (flat != flat_ || intensity != intensity_ || groundRgb != ground_) {
        flat_ = flat;
        intensity_ = intensity;
        ground_ = groundRgb;
        fresh_ = QRegion();
        layerFresh_ = false;
        all = true;
    }
    if (now == frameNow_) return all ? QRegion(whole) : QRegion();
    frameNow_ = now;
    fresh_ = QRegion();
    if (all || !layerFresh_) {
        layerFresh_ = false;  // built when first painted
        return whole;
    }
    const QImage before = layer_;
    composeLayer();
    return changedSince(before);
}

void AuroraRenderer::composeLayer() {
    composeSmoothLayer(QSizeF(frameSize_), frameNow_);
    if (flat_) flatten();
    std::fill(wide_.fresh.begin(), wide_.fresh.end(), std::pair(0, 0));
    layerFresh_ = true;
}

void AuroraRenderer::paint(QPainter& painter, const QRegion& region, const QSize& size, double now, double intensity,
                           const QColor& ground) {
    if (intensity <= 0 || size.isEmpty()) return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    advance(size, dpr, now, intensity, ground);
    const bool flat = flat_;
    intensity = intensity_;
    const QRegion wanted = region.intersected(QRect(QPoint(0, 0), size));
    QPoint origin;
    if (QImage* target = flat ? directTarget(painter, dpr, &origin) : nullptr) {
        // The painter's clip is the paint event's region, which is all that is written.
        buildInto(*target, true, origin, dpr, wanted.intersected(painter.hasClipping() ? painter.clipRegion() : wanted));
        return;
    }
    const QSize pixels(int(std::ceil(size.width() * dpr)), int(std::ceil(size.height() * dpr)));
    if (frame_.size() != pixels) {
        frame_ = QImage(pixels, QImage::Format_RGB32);
        frame_.setDevicePixelRatio(dpr);
        fresh_ = QRegion();
    }
    const QRegion stale = wanted - fresh_;
    if (!stale.isEmpty()) {
        buildInto(frame_, false, QPoint(0, 0), dpr, stale);
        fresh_ += stale;
    }
    painter.save();
    if (!flat) painter.setOpacity(painter.opacity() * intensity);
    for (const QRect& r : wanted)
        painter.drawImage(QRectF(r), frame_, QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
    painter.restore();
}

void AuroraRenderer::render(QPainter& painter, const QRectF& rect, double now, double intensity) {
    if (intensity <= 0 || rect.isEmpty()) return;
    const QSize size(int(std::ceil(rect.width())), int(std::ceil(rect.height())));
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.translate(rect.topLeft());
    paint(painter, QRegion(QRect(QPoint(0, 0), size)), size, now, intensity);
    painter.restore();
}
