#include "Views/PaletteRow.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"

namespace {
constexpr qreal kPadding = 12;
constexpr qreal kSpacing = 12;
constexpr qreal kIconFrame = 18;
constexpr qreal kMinimumGap = 8;
constexpr qreal kTitleX = kPadding + kIconFrame + kSpacing;

QFont titleFont() { return ShimmerText::font(13.5, QFont::Normal, ShimmerText::Design::standard); }
QFont trailingFont() { return ShimmerText::font(11, QFont::Medium, ShimmerText::Design::rounded); }
} // namespace

PaletteRow::PaletteRow(const QString& icon, const QString& title, const QString& trailing, bool selected,
                       QWidget* parent)
    : PaletteRow(icon, QColor(), title, trailing, selected, parent) {}

PaletteRow::PaletteRow(const QString& icon, const QColor& tint, const QString& title, const QString& trailing,
                       bool selected, QWidget* parent)
    : QWidget(parent), icon_(icon), tint_(tint), title_(title), trailing_(trailing), selected_(selected) {
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

void PaletteRow::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    update();
}

QSize PaletteRow::sizeHint() const {
    qreal width = kPadding * 2 + kIconFrame + kSpacing + QFontMetricsF(titleFont()).horizontalAdvance(title_);
    if (!trailing_.isEmpty()) width += kMinimumGap + kSpacing + QFontMetricsF(trailingFont()).horizontalAdvance(trailing_);
    return {int(std::ceil(width)), kHeight};
}

void PaletteRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    if (selected_) {
        QColor fill = Brand::accent();
        fill.setAlphaF(0.18f);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(r, 8, 8);
    }

    const int side = Icons::sizeForPointSize(13);
    const qreal iconX = kPadding + (kIconFrame - side) / 2;
    const QBrush iconBrush = tint_.isValid() ? QBrush(tint_)
                             : selected_     ? QBrush(Brand::gradient(QRectF(0, 0, side, side)))
                                             : QBrush(QColor::fromRgbF(1, 1, 1, 0.5f));
    p.drawImage(QPointF(iconX, (r.height() - side) / 2), Icons::image(icon_, side, iconBrush, devicePixelRatioF()));
    if (tint_.isValid()) paintFollowing(p, r);
    else paintPinned(p, r);
}

void PaletteRow::paintPinned(QPainter& p, const QRectF& r) {
    qreal right = r.width() - kPadding;
    if (!trailing_.isEmpty()) {
        const QFont font = trailingFont();
        const qreal w = QFontMetricsF(font).horizontalAdvance(trailing_);
        p.setFont(font);
        p.setPen(QColor::fromRgbF(1, 1, 1, 0.4f));
        p.drawText(QRectF(right - w, 0, w, r.height()), Qt::AlignVCenter | Qt::AlignLeft, trailing_);
        right -= w + kSpacing + kMinimumGap;
    } else {
        right -= kMinimumGap;
    }
    const QFont font = titleFont();
    p.setFont(font);
    p.setPen(QColor::fromRgbF(1, 1, 1, selected_ ? 0.95f : 0.75f));
    const QString shown = QFontMetricsF(font).elidedText(title_, Qt::ElideRight, std::max<qreal>(0, right - kTitleX));
    p.drawText(QRectF(kTitleX, 0, std::max<qreal>(0, right - kTitleX), r.height()), Qt::AlignVCenter | Qt::AlignLeft,
               shown);
}

void PaletteRow::paintFollowing(QPainter& p, const QRectF& r) {
    const qreal right = r.width() - kPadding;
    const QFont font = titleFont();
    const QFontMetricsF metrics(font);
    const QString title = metrics.elidedText(title_, Qt::ElideRight, std::max<qreal>(0, right - kTitleX));
    const qreal titleWidth = metrics.horizontalAdvance(title);
    p.setFont(font);
    p.setPen(QColor::fromRgbF(1, 1, 1, selected_ ? 0.95f : 0.8f));
    p.drawText(QRectF(kTitleX, 0, titleWidth + 1, r.height()), Qt::AlignVCenter | Qt::AlignLeft, title);

    const qreal x = kTitleX + titleWidth + kSpacing;
    if (x < right) {
        const QFont noteFont = ShimmerText::font(11, QFont::Normal, ShimmerText::Design::standard);
        p.setFont(noteFont);
        p.setPen(QColor::fromRgbF(1, 1, 1, 0.35f));
        const QString shown = QFontMetricsF(noteFont).elidedText(trailing_, Qt::ElideMiddle, right - x);
        p.drawText(QRectF(x, 0, right - x, r.height()), Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
}

void PaletteRow::mousePressEvent(QMouseEvent* event) {
    event->accept();  // so the release comes here too
}

void PaletteRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    event->accept();
}

void PaletteRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    emit hovered(event->globalPosition().toPoint());
}
