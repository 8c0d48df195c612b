#include "Views/Navigation/QuickOpenRow.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include "Editor/CodeLanguage.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"

namespace {
constexpr qreal kPadding = 12;
constexpr qreal kSpacing = 12;
constexpr qreal kIconFrame = 18;
} // namespace

QuickOpenRow::QuickOpenRow(const QString& path, const QString& relativePath, bool selected, QWidget* parent)
    : QWidget(parent), path_(path), name_(QFileInfo(path).fileName()), relativePath_(relativePath),
      selected_(selected) {
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

void QuickOpenRow::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    update();
}

void QuickOpenRow::paintEvent(QPaintEvent*) {
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

    const CodeLanguage language = CodeLanguages::detect(name_);
    const int side = Icons::sizeForPointSize(13);
    p.drawImage(QPointF(kPadding + (kIconFrame - side) / 2, (r.height() - side) / 2),
                Icons::image(CodeLanguages::icon(language), side, CodeLanguages::tint(language), devicePixelRatioF()));

    qreal x = kPadding + kIconFrame + kSpacing;
    const qreal right = r.width() - kPadding;
    const QFont nameFont = ShimmerText::font(13.5, QFont::Normal, ShimmerText::Design::standard);
    const QFontMetricsF nameMetrics(nameFont);
    const QString name = nameMetrics.elidedText(name_, Qt::ElideRight, std::max<qreal>(0, right - x));
    const qreal nameWidth = nameMetrics.horizontalAdvance(name);
    p.setFont(nameFont);
    p.setPen(QColor::fromRgbF(1, 1, 1, selected_ ? 0.95f : 0.8f));
    p.drawText(QRectF(x, 0, nameWidth + 1, r.height()), Qt::AlignVCenter | Qt::AlignLeft, name);
    x += nameWidth + kSpacing;

    if (x < right) {
        const QFont pathFont = ShimmerText::font(11, QFont::Normal, ShimmerText::Design::standard);
        p.setFont(pathFont);
        p.setPen(QColor::fromRgbF(1, 1, 1, 0.35f));
        const QString shown = QFontMetricsF(pathFont).elidedText(relativePath_, Qt::ElideMiddle, right - x);
        p.drawText(QRectF(x, 0, right - x, r.height()), Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
}

void QuickOpenRow::mousePressEvent(QMouseEvent* event) {
    event->accept();  // so the release comes here too
}

void QuickOpenRow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void QuickOpenRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    emit hovered();
}
