#include "UI/ShimmerText.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "UI/Brand.h"
#include "UI/RectwiseDraw.h"
#include "UI/Timeline.h"

ShimmerText::ShimmerText(const QString& text, qreal size, QFont::Weight weight, Design design, QWidget* parent)
    : QWidget(parent), text_(text), font_(font(size, weight, design)), timeline_(new Timeline(this, kFramesPerSheenStep, false)) {
    const QFontMetricsF fm(font_);
    textSize_ = QSizeF(fm.horizontalAdvance(text_), fm.height());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(timeline_, &Timeline::tick, this, [this] {
        const QRegion dirty = QRegion(drawnBand_) | sheenBand(Timeline::frameTime());
        if (!dirty.isEmpty()) update(dirty);
    });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QFont ShimmerText::font(qreal size, QFont::Weight weight, Design design) {
    QFont f = design == Design::monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
    if (design == Design::serif) {
        f.setStyleHint(QFont::Serif);
        f.setFamily(QStringLiteral("serif"));
    }
    f.setPixelSize(std::max(1, int(std::lround(size))));
    f.setWeight(weight);
    return f;
}

double ShimmerText::sheenPosition(double t) {
    const double u = t / kSweepSeconds;
    return (u - std::trunc(u)) * 1.6 - 0.3;
}

std::array<double, 3> ShimmerText::sheenStops(double p) {
    return {std::max(p - 0.15, 0.0), std::clamp(p, 0.0, 1.0), std::min(p + 0.15, 1.0)};
}

bool ShimmerText::sheenShows(double t) {
    const auto stops = sheenStops(sheenPosition(t));
    return stops[0] < 1 && stops[2] > 0;
}

QSize ShimmerText::sizeHint() const {
    return {int(std::ceil(textSize_.width())) + 2, int(std::ceil(textSize_.height()))};
}

QRectF ShimmerText::textBox(const QRectF& rect) const {
    return {rect.center().x() - textSize_.width() / 2, rect.center().y() - textSize_.height() / 2, textSize_.width(),
            textSize_.height()};
}

QRect ShimmerText::sheenBand(double t) const {
    if (!sheenShows(t)) return {};
    const QRectF box = textBox(QRectF(rect()));
    const auto stops = sheenStops(sheenPosition(t));
    // A pixel of margin either side: smooth image drawing reaches that far.
    const int left = int(std::floor(box.left() + stops[0] * box.width())) - 1;
    const int right = int(std::ceil(box.left() + stops[2] * box.width())) + 1;
    return QRect(QPoint(left, int(std::floor(box.top())) - 1), QPoint(right, int(std::ceil(box.bottom())) + 1))
        .intersected(rect());
}

void ShimmerText::prepare(const QSizeF& size, qreal dpr) const {
    const QSize pixels(int(std::ceil(size.width() * dpr)) + 2, int(std::ceil(size.height() * dpr)) + 2);
    if (still_.size() == pixels && maskDpr_ == dpr) return;
    maskDpr_ = dpr;
    sheen_ = QImage();
    const QRectF local(QPointF(0, 0), size);
    fill_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    fill_.fill(Qt::transparent);
    {
        QPainter p(&fill_);
        p.scale(dpr, dpr);
        QLinearGradient fill(local.topLeft(), local.topRight());
        fill.setColorAt(0, Brand::palette()[0]);
        fill.setColorAt(0.5, Brand::palette()[1]);
        fill.setColorAt(1, Brand::palette()[2]);
        p.fillRect(local, fill);
    }
    mask_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    mask_.fill(Qt::transparent);
    {
        QPainter p(&mask_);
        p.scale(dpr, dpr);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(font_);
        p.setPen(Qt::black);
        p.drawText(QPointF(0, QFontMetricsF(font_).ascent()), text_);
    }
    // Keep only the glyphs: a full-size mask, since DestinationIn only touches what is drawn.
    still_ = fill_.copy();
    {
        QPainter p(&still_);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask_);
    }
}

void ShimmerText::paintAt(QPainter& painter, const QRectF& rect, double t) const {
    const QRectF box = textBox(rect);
    if (box.isEmpty()) return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // The glyphs and their gradient do not change: they are drawn once per size, and a frame only
    // adds the sheen where it lies.
    prepare(box.size(), dpr);
    const QRectF local(QPointF(0, 0), box.size());
    // The sheen's stops may lie outside 0..1 or out of order. Each stop is kept no earlier than
    // the one before it (so a sheen off either end shows nothing), along a line long enough to
    // hold them all.
    auto stops = sheenStops(sheenPosition(t));
    for (size_t i = 1; i < stops.size(); ++i) stops[i] = std::max(stops[i], stops[i - 1]);
    const double width = local.width() * dpr;
    const QRect band = QRect(QPoint(int(std::floor(stops[0] * width)) - 1, 0),
                             QPoint(int(std::ceil(stops[2] * width)) + 1, still_.height() - 1))
                           .intersected(still_.rect());
    const QRectF target(box.topLeft(), QSizeF(still_.size()) / dpr);
    if (!sheenShows(t) || band.isEmpty()) {
        RectwiseDraw::drawImage(painter, target, still_);
        return;
    }
    // One picture is kept for the frames: the still glyphs where the sheen of the last one lay
    // are put back, and only the band is made anew.
    if (sheen_.size() != still_.size()) {
        sheen_ = still_.copy();
        sheenBand_ = QRect();
    }
    for (int y = sheenBand_.top(); y <= sheenBand_.bottom(); ++y)
        std::copy_n(still_.constScanLine(y) + 4 * sheenBand_.left(), 4 * sheenBand_.width(),
                    sheen_.scanLine(y) + 4 * sheenBand_.left());
    pixelsComposed_ += qint64(sheenBand_.width()) * sheenBand_.height() + qint64(band.width()) * band.height();
    sheenBand_ = band;
    {
        QPainter p(&sheen_);
        p.setClipRect(band);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, fill_);
        p.scale(dpr, dpr);
        const QColor colours[3] = {QColor::fromRgbF(1, 1, 1, 0), QColor::fromRgbF(1, 1, 1, 0.85f),
                                   QColor::fromRgbF(1, 1, 1, 0)};
        const double lo = std::min(0.0, stops[0]), hi = std::max(1.0, stops[2]);
        QLinearGradient sheen(QPointF(lo * local.width(), 0), QPointF(hi * local.width(), 0));
        for (int i = 0; i < 3; ++i) sheen.setColorAt((stops[i] - lo) / (hi - lo), colours[i]);
        p.setCompositionMode(QPainter::CompositionMode_Plus);
        p.fillRect(local, sheen);
        p.resetTransform();
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask_);
    }
    RectwiseDraw::drawImage(painter, target, sheen_);
}

void ShimmerText::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const double t = Timeline::frameTime();
    // What was drawn with the sheen and not painted over now still shows it.
    drawnBand_ = (QRegion(drawnBand_) - event->region()).boundingRect() | sheenBand(t);
    paintAt(p, rect(), t);
}
