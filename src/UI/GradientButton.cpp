#include "UI/GradientButton.h"

#include <QDataStream>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "UI/Brand.h"
#include "UI/ShadowEffect.h"

GradientButton::GradientButton(const QString& text, QWidget* parent) : GradientButton(QString(), text, parent) {}

GradientButton::GradientButton(const QString& symbol, const QString& text, QWidget* parent)
    : QAbstractButton(parent), pressable_(new PressableStyle(this)), shadow_(new ShadowEffect(kCornerRadius, this)),
      ring_(new FocusRing(this)) {
    setCursor(Qt::PointingHandCursor);
    label_.symbol = symbol;
    label_.text = text;
    label_.font = font();
    label_.font.setPixelSize(13);  // body text
    label_.font.setWeight(QFont::DemiBold);
    QColor glow = Brand::accent();
    glow.setAlphaF(0.5f);
    shadow_->setShadows({{glow, 18, QPointF(0, 8), 1}});
    setGraphicsEffect(shadow_);
    // Everything paintEvent reads: the face is drawn again only when one of these changes.
    shadow_->setSourceState([this] {
        QByteArray state;
        QDataStream out(&state, QIODevice::WriteOnly);
        out << size() << isEnabled() << ring_->isShown() << label_.symbol << label_.text << label_.font.toString()
            << label_.symbolBrush << label_.textBrush << label_.spacing << maxLabelWidth_;
        return state;
    });
    connect(pressable_, &PressableStyle::scaleChanged, this, &GradientButton::updateTransform);
}

void GradientButton::setBaseScale(qreal scale) {
    baseScale_ = scale;
    updateTransform();
}

void GradientButton::setMaximumLabelWidth(qreal width) {
    maxLabelWidth_ = width;
    updateGeometry();
    update();
}

void GradientButton::updateTransform() {
    const qreal s = baseScale_ * pressable_->scale();
    shadow_->setTransform(QTransform::fromScale(s, s));
}

QLinearGradient GradientButton::fill(const QRectF& rect) {
    QLinearGradient g(rect.left(), 0, rect.right(), 0);
    g.setColorAt(0, Brand::palette()[0]);
    g.setColorAt(1, Brand::palette()[2]);
    return g;
}

void GradientButton::paintFace(QPainter& p, const QRectF& rect, const SymbolLabel& label) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, kCornerRadius, kCornerRadius);
    p.fillPath(shape, fill(rect));
    label.paint(p, rect.adjusted(kHorizontalPadding, kVerticalPadding, -kHorizontalPadding, -kVerticalPadding));
    // The hairline is stroked over everything, half a point inside the edge so it stays whole.
    QPen hairline(QColor::fromRgbF(1, 1, 1, 0.25f), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    p.setPen(hairline);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5, kCornerRadius - 0.5);
    p.restore();
}

SymbolLabel GradientButton::elidedLabel() const {
    SymbolLabel l = label_;
    if (maxLabelWidth_ > 0 && l.size().width() > maxLabelWidth_) {
        const qreal room = maxLabelWidth_ - (l.size().width() - QFontMetricsF(l.font).horizontalAdvance(l.text));
        l.text = QFontMetricsF(l.font).elidedText(l.text, Qt::ElideRight, std::max<qreal>(0, room));
    }
    return l;
}

QSize GradientButton::sizeHint() const {
    const QSizeF s = elidedLabel().size();
    return {int(std::ceil(s.width() + 2 * kHorizontalPadding)), int(std::ceil(s.height() + 2 * kVerticalPadding))};
}

void GradientButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!isEnabled()) p.setOpacity(0.5);
    paintFace(p, rect(), elidedLabel());
    // The face is accent already: the ring is drawn in white on it.
    ring_->paint(p, rect(), kCornerRadius, QColor::fromRgbF(1, 1, 1, 0.9f));
}

void GradientButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
