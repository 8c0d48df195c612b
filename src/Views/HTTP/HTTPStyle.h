#pragma once
// Small shared look helpers of the HTTP client views: fonts by size/weight/design, white at an
// opacity, one-line labels and hairline dividers.
#include <QColor>
#include <QFont>
#include <QString>

#include "UI/ShimmerText.h"

class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QWidget;
class PressableButton;

namespace HTTPStyle {

using Design = ShimmerText::Design;

inline QFont font(qreal size, QFont::Weight weight = QFont::Normal, Design design = Design::standard) {
    return ShimmerText::font(size, weight, design);
}
QColor white(qreal opacity);
// A label that draws itself transparent over its parent's background.
QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent = nullptr);
void setLabelColour(QLabel* label, const QColor& colour);
// A horizontal hairline in white at the opacity.
QWidget* divider(qreal opacity, QWidget* parent = nullptr);
// A symbol-and/or-text button with no chrome.
PressableButton* button(const QString& symbol, const QString& text, const QFont& font, const QColor& colour,
                        QWidget* parent = nullptr);
// Fills a widget's background with a colour (for container widgets without paint code).
void fill(QWidget* widget, const QColor& colour);

// The editor's text as typed: toPlainText() would turn no-break spaces into spaces.
QString editorText(const QPlainTextEdit* editor);
// Replaces the editor's text only when it differs, so the caret stays where it is otherwise.
void setEditorText(QPlainTextEdit* editor, const QString& text);
QString textEditStyle();

// Lists rebuilt from inside one of their own rows' keys or clicks: the row goes on using itself once
// the signal returns, and the scroll area would delete the list it holds at once when given another.
// The list it holds is taken out, hidden and let go after the current event.
void releaseScrolled(QScrollArea* scroll);
// releaseScrolled(), then the scroll area holds widget.
void setScrolled(QScrollArea* scroll, QWidget* widget);

} // namespace HTTPStyle
