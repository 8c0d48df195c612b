#include "UI/LayerCache.h"

#include <QPaintEngine>
#include <QPainter>

LayerCache::LayerCache(QObject* parent) : QGraphicsEffect(parent) {}

void LayerCache::draw(QPainter* painter) {
    // The toolkit files each picture it draws of the panel in its pixmap cache and drops it there
    // as soon as any widget of the panel asks for a repaint (or moves, shows, hides): once the
    // copy kept here is the only one left, the panel has changed.
    if (layer_.isNull() || layer_.isDetached()) {
        // A part of the panel that changes (a caret, a spinner, a hovered row) is painted as it
        // would be without the cache; the whole panel is drawn afresh only when all of it is to be
        // painted anyway, as when the backdrop moves under it.
        const QRegion clip = painter->paintEngine() ? painter->paintEngine()->systemClip() : QRegion();
        const QRect whole = painter->deviceTransform().mapRect(boundingRect()).toAlignedRect();
        if (!clip.isEmpty() && !(QRegion(whole) - clip).isEmpty()) return drawSource(painter);
        layer_ = sourcePixmap(Qt::LogicalCoordinates, &offset_, QGraphicsEffect::NoPad);
        ++renders_;
    }
    painter->drawPixmap(offset_, layer_);
}

void LayerCache::sourceChanged(ChangeFlags) { layer_ = QPixmap(); }
