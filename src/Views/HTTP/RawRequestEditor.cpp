#include "Views/HTTP/RawRequestEditor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "UI/PressableButton.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/LongLineWrap.h"

RawRequestEditor::RawRequestEditor(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* top = new QHBoxLayout;
    top->addWidget(HTTPStyle::label(QStringLiteral("Whole request file — edits here update the form on save."),
                                    HTTPStyle::font(10.5), HTTPStyle::white(0.45), this));
    top->addStretch(1);
    apply_ = HTTPStyle::button({}, QStringLiteral("Apply"), HTTPStyle::font(11, QFont::DemiBold, HTTPStyle::Design::rounded),
                               HTTPStyle::white(0.8), this);
    apply_->setPadding({10, 4, 10, 4});
    apply_->setBackground(HTTPStyle::white(0.1), 11);
    connect(apply_, &QAbstractButton::clicked, this, &RawRequestEditor::applyRequested);
    top->addWidget(apply_);
    column->addLayout(top);
    editor_ = new QPlainTextEdit(this);
    editor_->setFont(HTTPStyle::font(12.5, QFont::Normal, HTTPStyle::Design::monospaced));
    editor_->setStyleSheet(HTTPStyle::textEditStyle());
    new LongLineWrap(editor_);
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] { edited_ = true; });
    column->addWidget(editor_, 1);
}

QString RawRequestEditor::text() const { return HTTPStyle::editorText(editor_); }

void RawRequestEditor::setText(const QString& text) {
    HTTPStyle::setEditorText(editor_, text);
    edited_ = false;
}

void RawRequestEditor::setReadOnly(bool readOnly) {
    editor_->setReadOnly(readOnly);
    apply_->setEnabled(!readOnly);
}
