#include "Views/HTTP/RequestBodyEditor.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "API/FormBody.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/LongLineWrap.h"
#include "Views/HTTP/KeyValueEditor.h"

namespace {
const QStringList kLabels{QStringLiteral("None"), QStringLiteral("JSON"), QStringLiteral("Text"), QStringLiteral("Form")};
}

RequestBodyEditor::RequestBodyEditor(QWidget* parent) : QWidget(parent), kinds_(new QButtonGroup(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    const QList<BodyKind>& all = BodyKinds::allCases();
    for (int i = 0; i < all.size(); ++i) {
        auto* b = new QPushButton(kLabels[i], this);
        b->setCheckable(true);
        b->setFont(HTTPStyle::font(11));
        b->setStyleSheet(QStringLiteral(
            "QPushButton { color: rgba(255,255,255,200); background: rgba(255,255,255,15); border: 1px solid rgba(255,255,255,25);"
            " padding: 3px 12px; } QPushButton:checked { background: rgba(255,255,255,55); color: white; }"));
        kinds_->addButton(b, i);
        segments->addWidget(b);
    }
    segments->addStretch(1);
    column->addLayout(segments);
    connect(kinds_, &QButtonGroup::idClicked, this, [this](int id) { chooseKind(BodyKinds::allCases().value(id)); });

    auto* holder = new QWidget(this);
    pages_ = new QStackedLayout(holder);
    nonePage_ = new QWidget(holder);
    pages_->addWidget(nonePage_);
    text_ = new QPlainTextEdit(holder);
    text_->setFont(HTTPStyle::font(12.5, QFont::Normal, HTTPStyle::Design::monospaced));
    text_->setStyleSheet(HTTPStyle::textEditStyle());
    new LongLineWrap(text_);
    text_->setTabChangesFocus(false);
    pages_->addWidget(text_);
    form_ = new KeyValueEditor(QStringLiteral("field"), QStringLiteral("value"), holder);
    pages_->addWidget(form_);
    column->addWidget(holder, 1);

    connect(text_, &QPlainTextEdit::textChanged, this, [this] {
        body_ = HTTPStyle::editorText(text_);
        text_->setPlaceholderText(kind_ == BodyKind::json ? QStringLiteral("{ ... }") : QStringLiteral("request body…"));
        emit bodyEdited(body_);
    });
    connect(form_, &KeyValueEditor::itemsEdited, this, [this](const QList<KeyValueItem>& fields) {
        body_ = formBody(fields, body_);
        emit bodyEdited(body_);
    });
}

void RequestBodyEditor::chooseKind(BodyKind kind) {
    if (kind == kind_) return;
    show(kind, body_);
    emit kindChosen(kind);
}

void RequestBodyEditor::show(BodyKind kind, const QString& body) {
    kind_ = kind;
    body_ = body;
    kinds_->button(int(BodyKinds::allCases().indexOf(kind)))->setChecked(true);
    text_->setPlaceholderText(kind == BodyKind::json ? QStringLiteral("{ ... }") : QStringLiteral("request body…"));
    switch (kind) {
    case BodyKind::none: pages_->setCurrentWidget(nonePage_); break;
    case BodyKind::json:
    case BodyKind::text:
        HTTPStyle::setEditorText(text_, body);
        pages_->setCurrentWidget(text_);
        break;
    case BodyKind::form:
        // Rows stay as they are while they still spell the body (disabled rows, unfinished keys).
        if (formBody(form_->items(), body) != body) form_->setItems(formFields(body));
        pages_->setCurrentWidget(form_);
        break;
    }
}

void RequestBodyEditor::setReadOnly(bool readOnly) {
    text_->setReadOnly(readOnly);
    form_->setReadOnly(readOnly);
    for (QAbstractButton* b : kinds_->buttons()) b->setEnabled(!readOnly);
}

QList<KeyValueItem> RequestBodyEditor::formFields(const QString& body) { return FormBody::fields(body); }

QString RequestBodyEditor::formBody(const QList<KeyValueItem>& fields, const QString& previous) {
    return FormBody::body(fields, previous);
}
