#include "Views/GoToLineView.h"

#include <QChar>
#include <charconv>
#include <limits>

#include "AppState.h"
#include "Views/KeyCatcher.h"
#include "Views/Navigation/OverlayParts.h"
#include "Views/PaletteField.h"
#include "Views/PaletteScaffold.h"

namespace {
// Space separators and the tab; line breaks are not trimmed.
bool isBlank(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }
} // namespace

GoToLineView::GoToLineView(AppState* app, QWidget* parent)
    : QWidget(parent), app_(app), keys_(new KeyCatcher(this)),
      field_(new PaletteField(QStringLiteral("arrow.right.to.line"), QStringLiteral("Go to line…"))),
      scaffold_(new PaletteScaffold([this] { close(); }, field_, this)) {
    keys_->lower();  // behind the scaffold
    keys_->setActions([](int) {}, [this] { go(); }, [this] { close(); });
    // Return and Escape typed into the field end up in the same actions.
    keys_->catchFrom(field_->lineEdit());
}

std::optional<qint64> GoToLineView::lineNumber(const QString& text) {
    qsizetype from = 0, to = text.size();
    while (from < to && isBlank(text[from])) ++from;
    while (to > from && isBlank(text[to - 1])) --to;
    if (from == to) return std::nullopt;
    const QString trimmed = text.sliced(from, to - from);
    if (trimmed[0] == u'-') return std::nullopt;  // no line number is negative
    const qsizetype start = trimmed[0] == u'+' ? 1 : 0;
    if (start == trimmed.size()) return std::nullopt;
    for (qsizetype i = start; i < trimmed.size(); ++i)
        if (trimmed[i] < u'0' || trimmed[i] > u'9') return std::nullopt;  // ASCII digits only
    const QByteArray ascii = trimmed.sliced(start).toLatin1();
    qint64 value = 0;
    const auto [end, error] = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), value);
    if (error != std::errc() || end != ascii.constData() + ascii.size()) return std::nullopt;  // beyond 64 bits
    if (value == 0) return std::nullopt;
    return value;
}

void GoToLineView::go() {
    QPointer<GoToLineView> self(this);
    if (const auto line = lineNumber(field_->text()); line && app_) {
        if (EditorActions* editor = app_->editorController().actions())
            // Lines past the end go to the last line; the editor's own line type is narrower.
            editor->goToLine(int(std::min<qint64>(*line, std::numeric_limits<int>::max())));
    }
    if (self && app_) app_->setGoToLineOpen(false);
}

void GoToLineView::close() {
    OverlayParts::markDismissed(this);
    if (app_) app_->setGoToLineOpen(false);
}

void GoToLineView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    keys_->setGeometry(rect());
    scaffold_->setGeometry(rect());
}

void GoToLineView::focusField() { field_->setFocused(true); }

void GoToLineView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    focusField();
}
