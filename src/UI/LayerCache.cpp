#include "UI/LayerCache.h"

#include <QPainter>

LayerCache::LayerCache(QObject* parent) : QGraphicsEffect(parent) {}

void LayerCache::draw(QPainter* painter) {
    // The toolkit files each picture it draws of the panel in its pixmap cache and drops it there
    // as soon as any widget of the panel asks for a repaint (or moves, shows, hides): once the
    // copy kept here is the only one left, the panel has changed.
    if (layer_.isNull() || layer_.isDetached()) {
        layer_ = sourcePixmap(Qt::LogicalCoordinates, &offset_, QGraphicsEffect::NoPad);
        ++renders_;
    }
    painter->drawPixmap(offset_, layer_);
}

void LayerCache::sourceChanged(ChangeFlags) { layer_ = QPixmap(); }
