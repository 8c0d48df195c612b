#include "Views/SourceControl/IconButton.h"

#include <QEvent>
#include <QPainter>

#include "UI/Brand.h"
#include "UI/ShimmerText.h"

namespace {
constexpr int kSpinnerIntervalMs = 33;  // at most 30 frames a second
}

IconButton::IconButton(Kind kind, const QString& symbol, const QString& help, QWidget* parent)
    : PressableButton(symbol, QString(), parent), kind_(kind) {
    setToolTip(help);
    setFocusPolicy(Qt::TabFocus);  // by Tab, not by a click
    const qreal points = kind == Kind::panel ? 11.5 : 12.5;
    label().font = ShimmerText::font(points, QFont::DemiBold, ShimmerText::Design::standard);
    setBackground(QColor::fromRgbF(1, 1, 1, 0.06f), 5);
    setFixedSize(sizeHint());
    updateInk();
    spinner_.setInterval(kSpinnerIntervalMs);
    connect(&spinner_, &QTimer::timeout, this, [this] {
        spinnerAngle_ = (spinnerAngle_ + 12) % 360;
        update();
    });
}

QSize IconButton::sizeHint() const {
    switch (kind_) {
    case Kind::panel: return {24, 22};
    case Kind::remote: return {26, 22};
    }
    return {24, 22};
}

void IconButton::setLoading(bool loading) {
    if (loading_ == loading) return;
    loading_ = loading;
    if (loading) spinner_.start();
    else spinner_.stop();
    update();
}

void IconButton::setBadge(int count) {
    badge_ = std::max(0, count);
    update();
}

void IconButton::changeEvent(QEvent* event) {
    PressableButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) updateInk();
}

void IconButton::updateInk() {
    qreal alpha = 0.7;
    if (kind_ == Kind::remote) alpha = isEnabled() ? 0.75 : 0.3;
    else if (kind_ == Kind::panel) alpha = isEnabled() ? 0.7 : 0.25;
    label().symbolBrush = QColor::fromRgbF(1, 1, 1, float(alpha));
    update();
}

void IconButton::paintBadge() {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFont font = ShimmerText::font(8, QFont::Bold, ShimmerText::Design::rounded);
    const QFontMetricsF fm(font);
    const QString text = QString::number(badge_);
    const qreal h = std::min<qreal>(fm.height() + 1, height() / 2.0 + 2);
    const qreal w = std::max(h, fm.horizontalAdvance(text) + 6);
    const QRectF capsule(width() - w, 0, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(Brand::palette()[4]);
    p.drawRoundedRect(capsule, h / 2, h / 2);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(capsule, Qt::AlignCenter, text);
}

void IconButton::paintEvent(QPaintEvent* event) {
    if (!loading_) {
        PressableButton::paintEvent(event);
        if (badge_ > 0) paintBadge();
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(1, 1, 1, 0.06f));
    p.drawRoundedRect(r, 5, 5);
    const QRectF arc = QRectF(0, 0, 11, 11).translated(r.center() - QPointF(5.5, 5.5));
    p.setPen(QPen(QColor(Qt::white), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(arc, -spinnerAngle_ * 16, 270 * 16);
}
