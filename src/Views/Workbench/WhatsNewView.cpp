#include "Views/Workbench/WhatsNewView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "UI/AuroraBackground.h"
#include "UI/Brand.h"
#include "UI/CascadeModifier.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/LiquidGlassBackground.h"
#include "UI/LogoMark.h"
#include "UI/ShimmerText.h"

QString WhatsNewView::versionText(const WhatsNewEntry& entry) {
    return QStringLiteral("Version ") + entry.version + QStringLiteral(" · ") + entry.headline;
}

WhatsNewView::WhatsNewView(const WhatsNewEntry& entry, QWidget* parent)
    : QDialog(parent), entry_(entry), background_(new AuroraBackground(0.7, this)) {
    setWindowTitle(QStringLiteral("What's new"));
    setStyleSheet(QStringLiteral("QDialog { background: black; }"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(36, 36, 36, 36);
    column->setSpacing(18);
    column->addStretch(1);
    column->addWidget(new LogoMark(56, this), 0, Qt::AlignHCenter);

    auto* header = new QVBoxLayout;
    header->setSpacing(4);
    header->addWidget(new ShimmerText(QStringLiteral("What's new"), 26, QFont::Bold, ShimmerText::Design::rounded, this), 0,
                      Qt::AlignHCenter);
    versionLine_ = new QLabel(versionText(entry), this);
    versionLine_->setFont(ShimmerText::font(12, QFont::Medium, ShimmerText::Design::standard));
    versionLine_->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 153); background: transparent; }"));
    header->addWidget(versionLine_, 0, Qt::AlignHCenter);
    column->addLayout(header);

    card_ = new QWidget(this);
    card_->setMaximumWidth(420);
    liquidGlass(card_, 16);
    auto* items = new QVBoxLayout(card_);
    items->setContentsMargins(18, 18, 18, 18);
    items->setSpacing(14);
    for (int i = 0; i < entry.items.size(); ++i) {
        auto* row = new QWidget(card_);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(12);
        auto* icon = new QLabel(row);
        const int side = Icons::sizeForPointSize(15);
        icon->setPixmap(Icons::pixmap(entry.items[i].icon, side, Brand::accent(), devicePixelRatioF()));
        icon->setFixedWidth(24);
        icon->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        line->addWidget(icon, 0, Qt::AlignTop);
        auto* text = new QLabel(entry.items[i].text, row);
        text->setWordWrap(true);
        text->setFont(ShimmerText::font(13, QFont::Normal, ShimmerText::Design::standard));
        text->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 224); background: transparent; }"));
        // A wrapped item keeps the height of all its lines; the sheet's height follows from them.
        // The text is as wide as the sheet's inner width less the card's padding and the icon.
        const int textWidth = kSide - 2 * 36 - 2 * 18 - 24 - 12;
        const QRect needed = QFontMetrics(text->font()).boundingRect(QRect(0, 0, textWidth, 10000),
                                                                     Qt::TextWordWrap, entry.items[i].text);
        text->setMinimumHeight(needed.height() + 2);
        row->setMinimumHeight(needed.height() + 2);
        line->addWidget(text, 1);
        items->addWidget(row);
        cascade(row, rowDelay(i), 18);
        rows_ << row;
    }
    column->addWidget(card_);

    gotIt_ = new GradientButton(QStringLiteral("Got it"), this);
    gotIt_->setMaximumLabelWidth(160);
    connect(gotIt_, &QAbstractButton::clicked, this, &QDialog::accept);
    gotIt_->setFocus();  // the sheet's one action holds the focus when it opens
    column->addWidget(gotIt_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    // A square holds the shorter entries; one with more to say grows the sheet downward rather than
    // squeezing or cutting its rows.
    setFixedSize(kSide, std::max(kSide, column->totalMinimumSize().height()));
    background_->lower();
}

void WhatsNewView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        gotIt_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void WhatsNewView::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    background_->setGeometry(rect());
}
