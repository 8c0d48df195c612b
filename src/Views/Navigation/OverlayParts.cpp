#include "Views/Navigation/OverlayParts.h"

#include <QLabel>
#include <QStackedLayout>

#include "UI/ShimmerText.h"
#include "Views/KeyCatcher.h"
#include "Views/PaletteScaffold.h"

namespace OverlayParts {

void stack(QWidget* host, KeyCatcher* keys, PaletteScaffold* scaffold) {
    auto* layers = new QStackedLayout(host);
    layers->setStackingMode(QStackedLayout::StackAll);
    layers->addWidget(keys);
    layers->addWidget(scaffold);
    layers->setCurrentWidget(scaffold);
}

QWidget* divider(QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette colours = line->palette();
    colours.setColor(QPalette::Window, QColor::fromRgbF(1, 1, 1, 0.08f));
    line->setPalette(colours);
    return line;
}

QLabel* message(const QString& text, int verticalPadding, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::standard));
    label->setContentsMargins(0, verticalPadding, 0, verticalPadding);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, QColor::fromRgbF(1, 1, 1, 0.5f));
    label->setPalette(colours);
    return label;
}

} // namespace OverlayParts
