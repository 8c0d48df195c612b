#include "Views/HTTP/HTTPStyle.h"

#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTextDocument>

#include "UI/PressableButton.h"

namespace HTTPStyle {

QColor white(qreal opacity) {
    QColor c(Qt::white);
    c.setAlphaF(float(opacity));
    return c;
}

void setLabelColour(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    label->setPalette(p);
}

QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    setLabelColour(l, colour);
    return l;
}

QWidget* divider(qreal opacity, QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    fill(line, white(opacity));
    return line;
}

PressableButton* button(const QString& symbol, const QString& text, const QFont& font, const QColor& colour,
                        QWidget* parent) {
    auto* b = new PressableButton(symbol, text, parent);
    b->label().font = font;
    b->label().symbolBrush = colour;
    b->label().textBrush = colour;
    b->setToolTipDuration(-1);
    return b;
}

void fill(QWidget* widget, const QColor& colour) {
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    widget->setPalette(p);
}

QString editorText(const QPlainTextEdit* editor) {
    QString text = editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

void setEditorText(QPlainTextEdit* editor, const QString& text) {
    if (editorText(editor) == text) return;
    const QSignalBlocker block(editor);
    editor->setPlainText(text);
}

QString textEditStyle() {
    return QStringLiteral("QPlainTextEdit { background: rgba(255,255,255,10); border: 1px solid rgba(255,255,255,20);"
                          " border-radius: 8px; padding: 6px; color: white; }");
}

void releaseScrolled(QScrollArea* scroll) {
    if (QWidget* old = scroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
}

void setScrolled(QScrollArea* scroll, QWidget* widget) {
    releaseScrolled(scroll);
    scroll->setWidget(widget);
}

} // namespace HTTPStyle
