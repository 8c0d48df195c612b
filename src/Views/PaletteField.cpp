#include "Views/PaletteField.h"

#include <QHBoxLayout>
#include <QLabel>

#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"

PaletteField::PaletteField(const QString& icon, const QString& placeholder, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)) {
    setFixedHeight(kHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 0, 18, 0);
    row->setSpacing(12);

    auto* symbol = new QLabel(this);
    const int side = Icons::sizeForPointSize(15);
    const qreal dpr = devicePixelRatioF();
    symbol->setPixmap(QPixmap::fromImage(Icons::image(icon, side, QBrush(Brand::gradient(QRectF(0, 0, side, side))), dpr)));
    symbol->setFixedSize(side, side);
    row->addWidget(symbol, 0, Qt::AlignVCenter);

    edit_->setFrame(false);
    edit_->setPlaceholderText(placeholder);
    edit_->setFont(ShimmerText::font(16, QFont::Normal, ShimmerText::Design::rounded));
    QPalette colours = edit_->palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, Qt::white);
    colours.setColor(QPalette::PlaceholderText, QColor::fromRgbF(1, 1, 1, 0.35f));
    edit_->setPalette(colours);
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    row->addWidget(edit_, 1, Qt::AlignVCenter);
    setFocusProxy(edit_);

    connect(edit_, &QLineEdit::textEdited, this, &PaletteField::textEdited);
}

void PaletteField::setText(const QString& text) {
    if (edit_->text() != text) edit_->setText(text);
}

void PaletteField::setFocused(bool focused) {
    if (focused) edit_->setFocus(Qt::OtherFocusReason);
    else if (edit_->hasFocus()) edit_->clearFocus();
}
