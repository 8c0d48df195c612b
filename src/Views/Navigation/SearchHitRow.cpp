#include "Views/Navigation/SearchHitRow.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "UI/Brand.h"
#include "UI/FocusRing.h"
#include "UI/ShimmerText.h"

namespace {
constexpr qreal kHorizontalPadding = 8;
constexpr qreal kVerticalPadding = 3;
constexpr qreal kNumberWidth = 38;
constexpr qreal kSpacing = 8;

QFont numberFont() { return ShimmerText::font(11, QFont::Normal, ShimmerText::Design::monospaced); }
QFont previewFont() { return ShimmerText::font(12, QFont::Normal, ShimmerText::Design::monospaced); }
} // namespace

SearchHitRow::SearchHitRow(const SearchHit& hit, QWidget* parent) : QWidget(parent), hit_(hit), ring_(new FocusRing(this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    // Tab reaches every hit; a click opens it at once and needs no focus.
    setFocusPolicy(Qt::TabFocus);
}

QSize SearchHitRow::sizeHint() const {
    const qreal line = std::max(QFontMetricsF(numberFont()).height(), QFontMetricsF(previewFont()).height());
    return {200, int(std::ceil(line + 2 * kVerticalPadding))};
}

void SearchHitRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF r = rect();
    QColor number = Brand::accent();
    number.setAlphaF(0.8f);
    p.setFont(numberFont());
    p.setPen(number);
    p.drawText(QRectF(kHorizontalPadding, 0, kNumberWidth, r.height()), Qt::AlignVCenter | Qt::AlignRight,
               QString::number(hit_.line));

    const qreal x = kHorizontalPadding + kNumberWidth + kSpacing;
    const qreal width = std::max<qreal>(0, r.width() - kHorizontalPadding - x);
    const QFont font = previewFont();
    p.setFont(font);
    p.setPen(QColor::fromRgbF(1, 1, 1, 0.7f));
    const QString preview = QFontMetricsF(font).elidedText(hit_.preview, Qt::ElideRight, width);
    p.drawText(QRectF(x, 0, width, r.height()), Qt::AlignVCenter | Qt::AlignLeft, preview);
    ring_->paint(p, r, 5);
}

void SearchHitRow::mousePressEvent(QMouseEvent* event) {
    event->accept();  // so the release comes here too
}

void SearchHitRow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void SearchHitRow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SearchHitRow::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    emit focused();
}
