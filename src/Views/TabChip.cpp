#include "Views/TabChip.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "AppState.h"
#include "Editor/CodeLanguage.h"
#include "Git/ProcessText.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"
#include "UI/Spring.h"
#include "Workspace/EditorDocument.h"

namespace {
constexpr int kPadding = 12;
constexpr int kSpacing = 7;
constexpr int kSlot = 14;
constexpr qreal kNamePoints = 12.5;
// A very long name would push the other tabs out of the bar: past this it is shortened in the
// middle, where the extension and the start of the name stay readable.
constexpr qreal kMaxNameWidth = 260;

int symbolSide() { return Icons::sizeForPointSize(11); }
} // namespace

TabChip::TabChip(EditorDocument* doc, AppState* app, QWidget* parent)
    : QWidget(parent), doc_(doc), app_(app), close_(new QPushButton(this)),
      activeness_(Animation::brimel::snappy(), this) {
    setAttribute(Qt::WA_Hover);
    setFixedHeight(kHeight);
    activeness_.jumpTo(0.0);
    connect(&activeness_, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));

    close_->setFlat(true);
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setCursor(Qt::PointingHandCursor);
    close_->setFixedSize(kSlot, kSlot);
    const int side = Icons::sizeForPointSize(9) - 2;  // the mark sits inside the 14-point circle
    close_->setIcon(QIcon(Icons::pixmap(QStringLiteral("xmark"), side, QColor::fromRgbF(1, 1, 1, 0.6f), devicePixelRatioF())));
    close_->setIconSize(QSize(side, side));
    connect(close_, &QPushButton::clicked, this, [this] {
        if (app_ && doc_) app_->close(doc_);
    });

    if (doc_) {
        for (auto signal : {&EditorDocument::urlChanged, &EditorDocument::languageChanged})
            connect(doc_, signal, this, &TabChip::documentChanged);
        // Every key typed reports the document dirty again: the chip changes only when its dot
        // comes or goes (the close button shows where the dot does not).
        connect(doc_, &EditorDocument::isDirtyChanged, this, [this] {
            if (showsDirtyDot() != close_->isHidden()) documentChanged();
        });
    }
    updateCloseButton();
}

void TabChip::setActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    activeness_.animateTo(active ? 1.0 : 0.0);
    updateGeometry();  // the name's weight changes its width
    update();
}

void TabChip::setHover(bool hover) {
    if (hover_ == hover) return;
    hover_ = hover;
    updateCloseButton();
    update();
}

bool TabChip::showsDirtyDot() const { return doc_ && doc_->isDirty() && !hover_; }

void TabChip::documentChanged() {
    updateCloseButton();
    updateGeometry();
    update();
}

void TabChip::updateCloseButton() {
    close_->setVisible(!showsDirtyDot());
    const QString sheet = hover_ ? QStringLiteral("QPushButton { border: none; border-radius: 7px; "
                                                  "background: rgba(255, 255, 255, 31); }")
                                 : QStringLiteral("QPushButton { border: none; background: transparent; }");
    // Every key typed reports the document dirty again: restyling the button at each is costly.
    if (close_->styleSheet() != sheet) close_->setStyleSheet(sheet);
}

QFont TabChip::nameFont() const {
    return ShimmerText::font(kNamePoints, active_ ? QFont::DemiBold : QFont::Normal, ShimmerText::Design::standard);
}

QSize TabChip::sizeHint() const {
    const QString name = doc_ ? ProcessText::visibleName(doc_->displayName()) : QString();
    // Measured in the semibold weight either way, so a chip keeps its width as it turns active.
    const QFont font = ShimmerText::font(kNamePoints, QFont::DemiBold, ShimmerText::Design::standard);
    const qreal nameWidth = std::min(kMaxNameWidth, QFontMetricsF(font).horizontalAdvance(name));
    return {int(std::ceil(kPadding + symbolSide() + kSpacing + nameWidth + kSpacing + kSlot + kPadding)), kHeight};
}

QRect TabChip::slotRect() const {
    return {width() - kPadding - kSlot, (height() - kSlot) / 2, kSlot, kSlot};
}

void TabChip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    close_->setGeometry(slotRect());
}

void TabChip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    const qreal a = std::clamp(activeness_.value().toReal(), 0.0, 1.0);

    const qreal restingAlpha = hover_ ? 0.035 : 0;
    const qreal fillAlpha = restingAlpha + (0.07 - restingAlpha) * a;
    if (fillAlpha > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(1, 1, 1, float(fillAlpha)));
        p.drawRoundedRect(r, 8, 8);
    }
    if (a > 0) {
        const QRectF bar(r.left(), r.bottom() - 2, r.width(), 2);
        QPainterPath capsule;
        capsule.addRoundedRect(bar, 1, 1);
        p.setOpacity(a);
        p.fillPath(capsule, Brand::gradient(bar));
        p.setOpacity(1);
    }
    if (!doc_) return;

    const int side = symbolSide();
    const CodeLanguage language = doc_->language();
    qreal x = kPadding;
    p.drawImage(QPointF(x, (r.height() - side) / 2),
                Icons::image(CodeLanguages::icon(language), side, CodeLanguages::tint(language), devicePixelRatioF()));
    x += side + kSpacing;

    const QFont font = nameFont();
    p.setFont(font);
    p.setPen(QColor::fromRgbF(1, 1, 1, active_ ? 0.95f : 0.6f));
    const qreal nameWidth = std::max<qreal>(0, slotRect().left() - kSpacing - x);
    const QString name = QFontMetricsF(font).elidedText(ProcessText::visibleName(doc_->displayName()), Qt::ElideMiddle, nameWidth);
    p.drawText(QRectF(x, 0, nameWidth, r.height()), Qt::AlignLeft | Qt::AlignVCenter, name);

    if (showsDirtyDot()) {
        const QRectF slot = slotRect();
        p.setPen(Qt::NoPen);
        p.setBrush(Brand::palette()[4]);
        p.drawEllipse(QRectF(slot.center().x() - 3.5, slot.center().y() - 3.5, 7, 7));
    }
}

void TabChip::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void TabChip::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && app_ && doc_) app_->selectTab(doc_);
}

void TabChip::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setHover(true);
}

void TabChip::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHover(false);
}
