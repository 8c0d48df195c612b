#include "Views/PaletteScaffold.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "UI/Brand.h"
#include "UI/LiquidGlassBackground.h"
#include "UI/ShadowEffect.h"

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

bool PaletteScaffold::eventFilter(QObject* watched, QEvent* event) {
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

void PaletteScaffold::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.45f));
    // The card's shadow is painted here rather than through an effect on the card: an effect would
    // draw the card from its last picture and its glass would never see what lies behind change.
    ShadowEffect::paintCached(p, {QColor::fromRgbF(0, 0, 0, 0.5f), 40, QPointF(0, 18), 1}, QRectF(card_->geometry()),
                              kCornerRadius, shadow_);
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
