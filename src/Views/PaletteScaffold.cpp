#include "Views/PaletteScaffold.h"

#include <QBackingStore>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "UI/Blur.h"
#include "UI/Brand.h"
#include "UI/LiquidGlassBackground.h"
#include "UI/ShadowEffect.h"
#include "Views/OverlayTransition.h"

PaletteScaffold::PaletteScaffold(std::function<void()> dismiss, QWidget* content, QWidget* parent)
    : QWidget(parent), dismiss_(std::move(dismiss)), card_(new QWidget(this)), content_(content) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, kTopInset, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(card_, 0, Qt::AlignHCenter | Qt::AlignTop);
    outer->addStretch(1);

    card_->setFixedWidth(kCardWidth);
    auto* inner = new QVBoxLayout(card_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(0);
    inner->addWidget(content_);
    card_->installEventFilter(this);  // paints the glass and its border under the content
}

namespace {
const ShadowEffect::Shadow kShadow{QColor::fromRgbF(0, 0, 0, 0.5f), 40, QPointF(0, 18), 1};

// A card's area with the shadow it casts.
QRect withShadow(const QRect& card) {
    const int m = Blur::margin(kShadow.radius);
    return card.adjusted(-m, -m, m, m + int(std::ceil(kShadow.offset.y())));
}
}

bool PaletteScaffold::eventFilter(QObject* watched, QEvent* event) {
    if (watched == card_ && event->type() == QEvent::Resize) {
        // The card's shadow is drawn here, around the card: when the card changes size with its
        // list, where the old shadow lay is drawn over as well.
        const QSize before = static_cast<QResizeEvent*>(event)->oldSize();
        update(withShadow(card_->geometry()));
        if (before.isValid()) update(withShadow(QRect(card_->pos(), before)));
    }
    if (watched == card_ && event->type() == QEvent::Paint) {
        QPainter p(card_);
        const QRectF r = QRectF(card_->rect());
        p.setRenderHint(QPainter::Antialiasing);
        LiquidGlassBackground::paint(p, r, kCornerRadius, backdrop_, card_);
        QColor border = Brand::accent();
        border.setAlphaF(0.3f);
        p.setPen(QPen(border, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5, kCornerRadius - 0.5);
    }
    return QWidget::eventFilter(watched, event);
}

void PaletteScaffold::setPresence(qreal presence) {
    presence = std::clamp<qreal>(presence, 0, 1);
    if (presence == presence_) return;
    presence_ = presence;
    if (presence < 1) settling_ = false;  // going before the hold ended: the exit keeps the picture
    update();
}

void PaletteScaffold::settle() {
    if (under_.isNull()) return release();
    // The last frame of the way in asked to draw the whole overlay again: from the held picture
    // that costs a copy, from the window under it the whole window.
    settling_ = true;
    update();
}

void PaletteScaffold::release() {
    settling_ = false;
    under_ = QImage();
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    presence_ = 1;
    // The card with its shadow, whose glass reads what lies behind it as that is drawn again.
    update(withShadow(card_->geometry()));
    bandTop_ = 0;  // the bands follow from the paint of this frame on
    emit released();
}

void PaletteScaffold::redrawNextBand() {
    if (bandTop_ < 0) return;
    if (bandTop_ >= height()) {
        bandTop_ = -1;
        return;
    }
    update(QRect(0, bandTop_, width(), kBandHeight));
    bandTop_ += kBandHeight;
}

void PaletteScaffold::hold(const QImage& under, QPoint origin) {
    under_ = under;
    underOrigin_ = origin;
    bandTop_ = -1;  // what is held is drawn whole
    settling_ = false;
    // Opaque, the overlay keeps the window under it from being repainted at each frame of the fade.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    emit holding();
}

bool PaletteScaffold::holdWhatLiesUnder() {
    // Between two repaints the window's backing store holds what the window shows.
    QWidget* top = window();
    QBackingStore* store = top->backingStore();
    QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || !top->isVisible()) return false;
    const auto* image = static_cast<const QImage*>(device);
    const qreal dpr = image->devicePixelRatio();
    if (image->size() != (QSizeF(top->size()) * dpr).toSize()) return false;
    QImage copy = image->copy();
    copy.setDevicePixelRatio(dpr);
    hold(copy, QPoint(0, 0));
    return true;
}

void PaletteScaffold::keepWhatLiesUnder(QPainter& p, const QRegion& painted) {
    QPaintEngine* engine = p.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || !painted.contains(rect())) return;
    const auto* image = static_cast<const QImage*>(device);
    const qreal dpr = image->devicePixelRatio();
    const QPointF at = p.deviceTransform().map(QPointF(0, 0));
    const QRect area(QPoint(int(std::lround(at.x())), int(std::lround(at.y()))), (QSizeF(size()) * dpr).toSize());
    if (!image->rect().contains(area)) return;
    QImage copy = image->copy(area);
    copy.setDevicePixelRatio(dpr);
    hold(copy, area.topLeft());
}

void PaletteScaffold::paintEvent(QPaintEvent* event) {
    // The next band, and the end of the hold, wait for this frame to be drawn.
    if (bandTop_ >= 0) QMetaObject::invokeMethod(this, &PaletteScaffold::redrawNextBand, Qt::QueuedConnection);
    if (settling_) QMetaObject::invokeMethod(this, &PaletteScaffold::release, Qt::QueuedConnection);
    QPainter p(this);
    // Held until settled, also while a spring passes beyond its end: opaque, nothing else draws
    // what lies under.
    if (!under_.isNull()) {
        const qreal dpr = under_.devicePixelRatio();
        const QPointF at = QPointF(mapTo(window(), QPoint(0, 0))) * dpr - QPointF(underOrigin_);
        p.drawImage(QPointF(0, 0), under_, QRectF(at, QSizeF(size()) * dpr));
    } else if (presence_ < 1) {
        keepWhatLiesUnder(p, event->region());
    }
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, float(0.45 * presence_)));
    if (presence_ <= 0) return;
    // The card's shadow is painted here rather than through an effect on the card: an effect would
    // draw the card from its last picture and its glass would never see what lies behind change.
    const QRectF card(card_->geometry());
    if (presence_ < 1) {
        const OverlayTransition::Pose pose =
            OverlayTransition::pose(OverlayTransition::Kind::scale, presence_, QRectF(QPointF(0, 0), card.size()), 0);
        p.setOpacity(pose.opacity);
        p.setTransform(pose.transform * QTransform::fromTranslate(card.x(), card.y()));
        ShadowEffect::paintCached(p, kShadow, QRectF(QPointF(0, 0), card.size()), kCornerRadius, shadow_);
        return;
    }
    ShadowEffect::paintCached(p, kShadow, card, kCornerRadius, shadow_);
}

void PaletteScaffold::mousePressEvent(QMouseEvent* event) {
    event->accept();  // the backdrop keeps the pointer from the workbench underneath
    if (event->button() != Qt::LeftButton || card_->geometry().contains(event->position().toPoint())) return;
    if (std::function<void()> dismiss = dismiss_) dismiss();
}

void PaletteScaffold::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is not another click on the backdrop.
    event->accept();
}
