#include "UI/AuroraBackground.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "UI/GlassCard.h"
#include "UI/Timeline.h"

namespace {

// Whether w paints every pixel of its rectangle with opaque colour.
bool paintsOpaque(const QWidget* w) {
    if (w->graphicsEffect() || w->testAttribute(Qt::WA_TranslucentBackground)) return false;
    if (w->testAttribute(Qt::WA_OpaquePaintEvent)) return true;
    return w->autoFillBackground() && w->palette().brush(w->backgroundRole()).isOpaque();
}

// Takes from region (in the backdrop's coordinates) what the visible widgets among children, or
// their descendants, cover opaquely, each within clip (the part of its parent it can show in).
// origin is where the children's parent lies in the backdrop's coordinates. With still, gathers
// there what glass covers with a picture that does not follow the backdrop for now. A widget
// outside what is left of region cannot change it, so neither it nor its descendants are looked
// at: the walk stays within the widgets over the part asked about. visited counts the widgets
// looked at.
void subtractOpaque(const QObjectList& children, qsizetype from, const QWidget* self, QPoint origin, const QRect& clip,
                    QRegion& region, QRegion* still, qint64& visited) {
    for (qsizetype i = from; i < children.size(); ++i) {
        const QObject* child = children[i];
        if (!child->isWidgetType()) continue;
        const auto* w = static_cast<const QWidget*>(child);
        if (w->isWindow() || !w->isVisible() || w == self) continue;
        ++visited;
        const QPoint at = origin + w->pos();
        const QRect box = QRect(at, w->size()).intersected(clip);
        if (box.isEmpty() || !region.intersects(box)) continue;
        if (paintsOpaque(w)) {
            region -= box;
        } else {
            if (const auto* card = still ? qobject_cast<const GlassCard*>(w) : nullptr)
                *still += card->stillRegion().translated(at) & box;
            subtractOpaque(w->children(), 0, self, at, box, region, still, visited);
        }
        if (region.isEmpty()) return;
    }
}

} // namespace

AuroraBackground::AuroraBackground(double intensity, QWidget* parent)
    : QWidget(parent), intensity_(qBound(0.0, intensity, 1.0)), frameTime_(Timeline::now()),
      timeline_(new Timeline(this, framesPerTick(intensity_), false)) {
    // It never takes the pointer: clicks go to whatever sits on top of or beside it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(timeline_, &Timeline::tick, this, &AuroraBackground::advance);
    syncOpaque();
}

int AuroraBackground::framesPerTick(double intensity) {
    if (intensity <= 0) return kSlowestFramesPerTick;
    return std::clamp(int(std::lround(kFullStrengthFramesPerTick / intensity)), kFullStrengthFramesPerTick,
                      kSlowestFramesPerTick);
}

void AuroraBackground::setIntensity(double intensity) {
    intensity_ = qBound(0.0, intensity, 1.0);
    timeline_->setFrameDivisor(framesPerTick(intensity_));
    syncOpaque();
    update();
}

void AuroraBackground::setResting(bool resting) { timeline_->setHeld(resting); }

void AuroraBackground::setGround(const QColor& ground) {
    ground_ = ground;
    syncOpaque();
    update();
}

void AuroraBackground::syncOpaque() {
    // Covering everything behind it, the backdrop spares the views below a repaint at every tick.
    setAttribute(Qt::WA_OpaquePaintEvent, intensity_ >= 1 || (ground_.isValid() && ground_.alpha() == 255));
}

QRegion AuroraBackground::exposedRegion(QRegion* still) const { return exposedPart(QRegion(rect()), still); }

QRegion AuroraBackground::exposedPart(QRegion region, QRegion* still) const {
    const QWidget* parent = parentWidget();
    if (!parent) return region;
    // Siblings after this one in the child list are stacked above it.
    const QObjectList& siblings = parent->children();
    const qsizetype self = siblings.indexOf(const_cast<AuroraBackground*>(this));
    const QRect parentBox(-pos(), parent->size());
    subtractOpaque(siblings, self + 1, this, -pos(), parentBox, region, still, widgetsVisited_);
    return region;
}

void AuroraBackground::advance() {
    if (intensity_ <= 0) return;
    // Glass that shows its blur unchanged needs no new frame under it; a repaint for any other
    // reason still draws the backdrop there, for the glass to read.
    QRegion still;
    const QRegion exposed = exposedRegion(&still);
    const QRegion shows = exposed - still;
    if (shows.isEmpty()) return;
    frameTime_ = Timeline::frameTime();
    // Only what differs from the frame on screen: the black edges of a large window stay as they are.
    const QRegion changed = renderer_.advance(size(), devicePixelRatioF(), frameTime_, intensity_, ground_);
    // What changed under still glass is drawn once the glass looks at it again.
    unseen_ += changed & exposed & still;
    const QRegion dirty = (changed | unseen_) & shows;
    unseen_ -= shows;
    if (!dirty.isEmpty()) update(dirty);
}

void AuroraBackground::paintEvent(QPaintEvent* event) {
    // What opaque views lie over is painted by them: built here too, the backdrop under the editor
    // would be computed at every repaint of the window for nothing.
    const QRegion shows = exposedPart(event->region() & rect());
    if (shows.isEmpty()) return;
    QPainter p(this);
    renderer_.paint(p, shows, size(), frameTime_, intensity_, ground_);
}
