#include "Views/Navigation/OverlayParts.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "UI/ShimmerText.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/KeyCatcher.h"
#include "Views/PaletteField.h"
#include "Views/PaletteScaffold.h"

namespace OverlayParts {

namespace {

constexpr char kDismissed[] = "overlayDismissed";

QWidget* divider(QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette colours = line->palette();
    colours.setColor(QPalette::Window, QColor::fromRgbF(1, 1, 1, 0.08f));
    line->setPalette(colours);
    return line;
}

} // namespace

PaletteScaffold* card(QWidget* host, KeyCatcher* keys, PaletteField* field, const QList<QWidget*>& below,
                      std::function<void()> dismiss) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(field);
    column->addWidget(divider(content));
    for (QWidget* widget : below) column->addWidget(widget);
    auto* scaffold = new PaletteScaffold(std::move(dismiss), content, host);

    auto* layers = new QStackedLayout(host);
    layers->setStackingMode(QStackedLayout::StackAll);
    layers->addWidget(keys);
    layers->addWidget(scaffold);
    layers->setCurrentWidget(scaffold);
    keys->catchFrom(field->lineEdit());
    return scaffold;
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

void returnFocusToEditor(QWidget* overlayHost) {
    const QPointer<QWidget> window = overlayHost ? overlayHost->window() : nullptr;
    if (!window) return;
    const QPointer<QWidget> host = overlayHost;
    // After the pane has shown the chosen document: its editor may only now exist.
    QTimer::singleShot(0, window, [window, host] {
        // An overlay opened since (a key pressed before this turn) keeps the keys it took.
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (qobject_cast<PaletteScaffold*>(w) && w->isVisible() && !(host && host->isAncestorOf(w))) return;
        for (CodeEditorView* editor : window->findChildren<CodeEditorView*>())
            if (editor->isVisible()) {
                editor->setFocus(Qt::OtherFocusReason);
                return;
            }
    });
}

void markDismissed(QWidget* overlayHost) {
    if (overlayHost) overlayHost->setProperty(kDismissed, true);
}

bool wasDismissed(const QWidget* overlayHost) { return overlayHost && overlayHost->property(kDismissed).toBool(); }

} // namespace OverlayParts
