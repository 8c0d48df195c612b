#include "UI/GlassBackdrop.h"

#include <QBackingStore>
#include <QGraphicsEffect>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "UI/Blur.h"
#include "UI/RectwiseDraw.h"

namespace {

bool drawnThroughEffect(const QWidget* w) {
    for (; w; w = w->parentWidget()) {
        if (w->graphicsEffect() && w->graphicsEffect()->isEnabled()) return true;
        if (w->isWindow()) break;
    }
    return false;
}

// Formats whose pixels are 0xAARRGGBB words with premultiplied (or opaque) colour.
bool isPremultipliedWord(QImage::Format f) {
    return f == QImage::Format_ARGB32_Premultiplied || f == QImage::Format_RGB32;
}

// Where the backdrop's pixels are read from at this paint.
struct Behind {
    const QImage* image = nullptr;  // the device drawn into, read in place
    QImage held;                    // a pixmap's pixels, copied
    QRegion fresh;  // device pixels drawn in this repaint
    QPoint origin;  // device position of the surface rectangle's top-left corner
};

// Not a shared copy of the device's image: a painter writes into it behind such a copy's back.
bool imageOf(QPaintDevice* device, Behind& out) {
    if (!device) return false;
    if (device->devType() == QInternal::Image) {
        out.image = static_cast<const QImage*>(device);
        return true;
    }
    if (device->devType() == QInternal::Pixmap) {
        out.held = static_cast<QPixmap*>(device)->toImage();
        out.image = &out.held;
        return !out.held.isNull();
    }
    return false;
}

bool readBehind(QPainter& p, const QWidget* surface, const QRectF& rect, Behind& out) {
    QPaintEngine* engine = p.paintEngine();
    if (!engine) return false;
    if (!surface || !drawnThroughEffect(surface)) {
        if (!imageOf(engine->paintDevice(), out)) return false;
        out.fresh = engine->systemClip();
        const QPointF at = p.deviceTransform().map(rect.topLeft());
        out.origin = QPoint(int(std::lround(at.x())), int(std::lround(at.y())));
    } else {
        // The surface is drawn into an effect's own image first; what lies behind it is in the
        // window's backing store, painted there just before, inside that store's clip.
        QBackingStore* store = surface->window()->backingStore();
        QPaintDevice* device = store ? store->paintDevice() : nullptr;
        if (!imageOf(device, out) || !device->paintEngine() || !device->paintEngine()->isActive()) return false;
        out.fresh = device->paintEngine()->systemClip();
        const QPointF at = QPointF(surface->mapTo(surface->window(), QPoint(0, 0))) + rect.topLeft();
        const qreal dpr = out.image->devicePixelRatio();
        out.origin = QPoint(int(std::lround(at.x() * dpr)), int(std::lround(at.y() * dpr)));
    }
    if (out.fresh.isEmpty()) out.fresh = QRegion(out.image->rect());
    return true;
}

// The rows of image inside area as premultiplied 0xAARRGGBB words, read in place unless the image
// holds another format.
class PremultipliedRows {
public:
    PremultipliedRows(const QImage& image, const QRect& area) : image_(&image), from_(area.topLeft()) {
        if (isPremultipliedWord(image.format())) return;
        converted_ = image.copy(area).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        image_ = &converted_;
        from_ = QPoint(0, 0);
    }
    // Row y of the area (0 its top).
    const uchar* row(int y) const { return image_->constScanLine(from_.y() + y) + 4 * from_.x(); }

private:
    const QImage* image_;
    QImage converted_;
    QPoint from_;
};

// Copies the pixels of image inside area into target at area - origin.
void copyInto(QImage& target, const QImage& image, const QRect& area, QPoint origin) {
    const PremultipliedRows rows(image, area);
    for (int y = 0; y < area.height(); ++y)
        std::copy_n(rows.row(y), 4 * area.width(), target.scanLine(area.y() - origin.y() + y) + 4 * (area.x() - origin.x()));
}

} // namespace

int GlassBackdrop::difference(const QImage& basis, const QImage& image, const QRect& deviceRect, const QRegion& fresh) {
    int worst = 0;
    for (const QRect& r : fresh & deviceRect & image.rect()) {
        const PremultipliedRows rows(image, r);
        for (int y = 0; y < r.height(); ++y) {
            // Channel by channel, a whole row at a time (a loop the compiler can vectorise).
            const uchar* a = rows.row(y);
            const uchar* b = basis.constScanLine(r.y() - deviceRect.y() + y) + 4 * (r.x() - deviceRect.x());
            for (int i = 0; i < 4 * r.width(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
            if (worst >= kChange) return worst;
        }
    }
    return worst;
}

QImage GlassBackdrop::blurred(const QImage& image, int step, double radius) {
    const QImage src = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = (src.width() + step - 1) / step, h = (src.height() + step - 1) / step;
    if (w <= 0 || h <= 0) return {};
    const int m = Blur::margin(radius);
    // Small image with a border of m pixels that repeats the edge pixels: the glass's edge shows
    // what lies just inside it rather than fading to nothing.
    QImage small(w + 2 * m, h + 2 * m, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<quint32*>(small.scanLine(y + m)) + m;
        const int y0 = y * step, y1 = std::min(src.height(), y0 + step);
        for (int x = 0; x < w; ++x) {
            const int x0 = x * step, x1 = std::min(src.width(), x0 + step);
            quint32 sum[4] = {0, 0, 0, 0};
            for (int yy = y0; yy < y1; ++yy) {
                const auto* in = reinterpret_cast<const quint32*>(src.constScanLine(yy));
                for (int xx = x0; xx < x1; ++xx)
                    for (int c = 0; c < 4; ++c) sum[c] += (in[xx] >> (8 * c)) & 0xff;
            }
            const quint32 n = quint32((y1 - y0) * (x1 - x0));
            quint32 px = 0;
            for (int c = 0; c < 4; ++c) px |= ((sum[c] + n / 2) / n) << (8 * c);
            out[x] = px;
        }
    }
    for (int y = 0; y < small.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(small.scanLine(y));
        const auto* inner = reinterpret_cast<const quint32*>(small.constScanLine(std::clamp(y, m, m + h - 1)));
        for (int x = 0; x < small.width(); ++x) row[x] = inner[std::clamp(x, m, m + w - 1)];
    }
    return Blur::gaussian(small, radius).copy(m, m, w, h);
}

void GlassBackdrop::rebuild(qreal radius, qreal dpr) {
    ++blurs_;
    sinceBlur_.start();
    // The same small image at every pixel ratio: a finer one would only show the blur smoother.
    const int step = std::max(1, int(std::lround(kStep * dpr)));
    const QImage small = blurred(sharp_, step, kBlurRadius / kStep);
    glass_ = QImage(sharp_.size(), QImage::Format_ARGB32_Premultiplied);
    glass_.fill(Qt::transparent);
    QPainter p(&glass_);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath shape;
    const QRectF whole(QPointF(0, 0), QSizeF(sharp_.size()));
    shape.addRoundedRect(whole, radius * dpr, radius * dpr);
    p.setClipPath(shape);
    p.drawImage(QRectF(0, 0, small.width() * step, small.height() * step), small);
}

bool GlassBackdrop::isSettled() const {
    return !glass_.isNull() && (QRegion(sharp_.rect()) - known_).isEmpty() && sinceBlur_.isValid() &&
           sinceBlur_.elapsed() < kDriftIntervalMs;
}

bool GlassBackdrop::paint(QPainter& p, const QWidget* surface, const QRectF& rect, qreal radius) {
    if (rect.isEmpty() || p.transform().type() > QTransform::TxTranslate) return false;
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QSize size(int(std::lround(rect.width() * dpr)), int(std::lround(rect.height() * dpr)));
    if (sharp_.size() != size) {
        sharp_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        sharp_.fill(Qt::black);
        known_ = QRegion();
        glass_ = QImage();
    }
    if (Behind behind; readBehind(p, surface, rect, behind)) {
        const QImage& image = *behind.image;
        const QRect deviceRect(behind.origin, size);
        const QRegion fresh = behind.fresh & deviceRect & image.rect();
        const bool unknown = !(fresh.translated(-behind.origin) - known_).isEmpty();
        const bool due = !sinceBlur_.isValid() || sinceBlur_.elapsed() >= kDriftIntervalMs;
        if (due) retryPending_ = false;
        // While a drift waits for its turn the backdrop is not compared again: under a moving
        // backdrop that would be a comparison at every frame of it.
        const int change = fresh.isEmpty()      ? 0
                           : unknown            ? kChange
                           : retryPending_      ? 0
                                                : difference(sharp_, image, deviceRect, fresh);
        if (change >= kChange || (change > kDrift && due)) {
            for (const QRect& r : fresh) copyInto(sharp_, image, r, behind.origin);
            known_ += fresh.translated(-behind.origin);
            glass_ = QImage();
        } else if (change > kDrift && surface && !retryPending_) {
            // Nothing may repaint the surface again (a backdrop that stopped): ask for it once.
            retryPending_ = true;
            QTimer::singleShot(int(kDriftIntervalMs - sinceBlur_.elapsed()), surface,
                               [s = QPointer<QWidget>(const_cast<QWidget*>(surface))] {
                                   if (s) s->update();
                               });
        }
    }
    if (known_.isEmpty()) return false;
    if (glass_.isNull() || radius != radius_) {
        radius_ = radius;
        rebuild(radius, dpr);
    }
    const QPointF corner = p.transform().map(rect.topLeft()) * dpr;
    p.save();
    p.setTransform(QTransform());
    glass_.setDevicePixelRatio(dpr);
    RectwiseDraw::drawImage(p, QPointF(std::round(corner.x()), std::round(corner.y())) / dpr, glass_);
    p.restore();
    return true;
}
