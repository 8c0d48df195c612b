#include "Views/Workbench/SidebarSlot.h"

#include <QGraphicsOpacityEffect>
#include <algorithm>
#include <cmath>

#include "UI/Spring.h"

SidebarSlot::SidebarSlot(QWidget* parent) : QWidget(parent), spring_(Animation::brimel::standard(), this) {
    spring_.jumpTo(0.0);
    setFixedWidth(0);
    connect(&spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { apply(v.toDouble()); });
    connect(&spring_, &QAbstractAnimation::finished, this, [this] {
        apply(spring_.value().toDouble());
        if (leaving_ && !panel_) delete leaving_.data();
    });
}

double SidebarSlot::progress() const { return spring_.value().toDouble(); }

QSize SidebarSlot::sizeHint() const { return {int(kWidth * std::clamp(progress(), 0.0, 1.0)), 0}; }

void SidebarSlot::setPanel(QWidget* panel) {
    if (panel == panel_) return;
    if (panel) {
        delete leaving_.data();
        delete panel_.data();
        panel_ = panel;
        panel->setParent(this);
        panel->setFixedWidth(kWidth);
        panel->show();
        spring_.animateTo(1.0);
    } else {
        leaving_ = panel_;
        panel_ = nullptr;
        spring_.animateTo(0.0);
    }
    apply(progress());
}

void SidebarSlot::apply(double p) {
    const double shown = std::clamp(p, 0.0, 1.0);
    setFixedWidth(int(std::round(kWidth * shown)));
    QWidget* content = panel_ ? panel_.data() : leaving_.data();
    if (!content) return;
    content->setGeometry(width() - kWidth, 0, kWidth, height());
    // The fade exists only while the panel moves: an effect on a settled panel would cost every paint.
    if (shown >= 1.0) {
        content->setGraphicsEffect(nullptr);
        return;
    }
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(content->graphicsEffect());
    if (!fade) {
        fade = new QGraphicsOpacityEffect(content);
        content->setGraphicsEffect(fade);
    }
    fade->setOpacity(shown);
}

void SidebarSlot::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (QWidget* content = panel_ ? panel_.data() : leaving_.data()) content->setGeometry(width() - kWidth, 0, kWidth, height());
}
