#include "UI/CachedLabel.h"

#include <QEvent>
#include <QPainter>

CachedLabel::CachedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

bool CachedLabel::pictureIsStale() const {
    return stale_ || picture_.size() != size() * devicePixelRatioF() || picture_.devicePixelRatio() != devicePixelRatioF() ||
           pictured_ != text() || picturedAlignment_ != alignment() || picturedWrap_ != wordWrap();
}

void CachedLabel::paintEvent(QPaintEvent* event) {
    if (making_ || pictureIsStale()) {
        QLabel::paintEvent(event);
        if (!making_ && !pending_) {
            pending_ = true;
            QMetaObject::invokeMethod(this, &CachedLabel::makePicture, Qt::QueuedConnection);
        }
        return;
    }
    QPainter(this).drawImage(0, 0, picture_);
}

void CachedLabel::makePicture() {
    pending_ = false;
    if (!pictureIsStale()) return;
    const qreal dpr = devicePixelRatioF();
    picture_ = QImage(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    picture_.setDevicePixelRatio(dpr);
    picture_.fill(Qt::transparent);
    making_ = true;
    render(&picture_, QPoint(), QRegion(), RenderFlags());
    making_ = false;
    pictured_ = text();
    picturedAlignment_ = alignment();
    picturedWrap_ = wordWrap();
    stale_ = false;
    ++picturesMade_;
}

void CachedLabel::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::LayoutDirectionChange:
        stale_ = true;
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}
