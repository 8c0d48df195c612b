#include "Views/HTTP/AuthView.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "Views/HTTP/HTTPStyle.h"

using HTTPStyle::white;

namespace {

QLabel* caption(const QString& text, QWidget* parent) {
    return HTTPStyle::label(text.toUpper(), HTTPStyle::font(9.5, QFont::Bold, HTTPStyle::Design::rounded), white(0.4), parent);
}

} // namespace

QString AuthView::typeLabel(AuthType type) {
    switch (type) {
    case AuthType::none: return QStringLiteral("No Auth");
    case AuthType::bearer: return QStringLiteral("Bearer Token");
    case AuthType::basic: return QStringLiteral("Basic Auth");
    case AuthType::apiKey: return QStringLiteral("API Key");
    }
    return {};
}

QString AuthView::hint(const AuthConfig& draft) {
    switch (draft.type) {
    case AuthType::none: return {};
    case AuthType::bearer: return QStringLiteral("→ Authorization: Bearer …");
    case AuthType::basic: return QStringLiteral("→ Authorization: Basic <base64>");
    case AuthType::apiKey:
        if (draft.keyIn == APIKeyLocation::header) return QStringLiteral("→ Header");
        return QStringLiteral("→ ?") + (draft.keyName.isEmpty() ? QStringLiteral("api_key") : draft.keyName) + u'=';
    }
    return {};
}

QLineEdit* AuthView::secretField(const QString& placeholder, QString AuthConfig::*field) {
    auto* edit = new QLineEdit(this);
    edit->setPlaceholderText(placeholder);
    edit->setFont(HTTPStyle::font(12.5, QFont::Normal, HTTPStyle::Design::monospaced));
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: rgba(255,255,255,13); border: 1px solid rgba(255,255,255,20);"
                                       " border-radius: 6px; padding: 6px 8px; color: white; }"));
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        AuthConfig next = draft_;
        next.*field = text;
        setDraft(next);
    });
    return edit;
}

AuthView::AuthView(QWidget* parent) : QWidget(parent), keyIn_(new QButtonGroup(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(12);
    auto* typeRow = new QHBoxLayout;
    typeRow->setSpacing(10);
    typeRow->addWidget(HTTPStyle::label(QStringLiteral("Type"), HTTPStyle::font(11, QFont::DemiBold, HTTPStyle::Design::rounded),
                                        white(0.55), this));
    type_ = new QComboBox(this);
    for (AuthType t : AuthTypes::allCases()) type_->addItem(typeLabel(t));
    type_->setFont(HTTPStyle::font(11));
    connect(type_, &QComboBox::activated, this, [this](int index) {
        AuthConfig next = draft_;
        next.type = AuthTypes::allCases().value(index);
        setDraft(next);
    });
    typeRow->addWidget(type_);
    typeRow->addStretch(1);
    hint_ = HTTPStyle::label({}, HTTPStyle::font(10.5), white(0.4), this);
    typeRow->addWidget(hint_);
    column->addLayout(typeRow);

    auto* holder = new QWidget(this);
    forms_ = new QStackedLayout(holder);
    auto* none = HTTPStyle::label(
        QStringLiteral("No auth header is injected. Anything you typed manually in the Headers tab still applies."),
        HTTPStyle::font(11.5), white(0.5), holder);
    none->setWordWrap(true);
    none->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    forms_->addWidget(none);

    auto form = [&](std::initializer_list<QWidget*> widgets) {
        auto* page = new QWidget(holder);
        auto* v = new QVBoxLayout(page);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(6);
        for (QWidget* w : widgets) {
            w->setParent(page);
            v->addWidget(w);
        }
        v->addStretch(1);
        forms_->addWidget(page);
        return v;
    };
    token_ = secretField(QStringLiteral("{{TOKEN}}"), &AuthConfig::token);
    form({caption(QStringLiteral("Token"), this), token_});
    username_ = secretField(QStringLiteral("user"), &AuthConfig::username);
    password_ = secretField(QStringLiteral("{{PASSWORD}}"), &AuthConfig::password);
    auto* note = new QLabel(QStringLiteral("Concrete values are base64-encoded into the header. <code>{{var}}</code>-only values "
                                           "pass through so substitution still works at send time."), this);
    note->setTextFormat(Qt::RichText);
    note->setWordWrap(true);
    note->setFont(HTTPStyle::font(10.5));
    note->setContentsMargins(0, 2, 0, 0);
    HTTPStyle::setLabelColour(note, white(0.4));
    form({caption(QStringLiteral("Username"), this), username_, caption(QStringLiteral("Password"), this), password_, note});
    keyName_ = secretField(QStringLiteral("X-API-Key"), &AuthConfig::keyName);
    keyValue_ = secretField(QStringLiteral("{{API_KEY}}"), &AuthConfig::keyValue);
    auto* placement = new QWidget(this);
    auto* segments = new QHBoxLayout(placement);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    const QList<APIKeyLocation>& locations = APIKeyLocations::allCases();
    for (int i = 0; i < locations.size(); ++i) {
        auto* b = new QPushButton(locations[i] == APIKeyLocation::header ? QStringLiteral("Header") : QStringLiteral("Query"), placement);
        b->setCheckable(true);
        b->setFont(HTTPStyle::font(11));
        b->setStyleSheet(QStringLiteral("QPushButton { color: rgba(255,255,255,200); background: rgba(255,255,255,15);"
                                        " border: 1px solid rgba(255,255,255,25); padding: 3px 12px; }"
                                        " QPushButton:checked { background: rgba(255,255,255,55); color: white; }"));
        keyIn_->addButton(b, i);
        segments->addWidget(b);
    }
    segments->addStretch(1);
    connect(keyIn_, &QButtonGroup::idClicked, this, [this](int id) {
        AuthConfig next = draft_;
        next.keyIn = APIKeyLocations::allCases().value(id);
        setDraft(next);
    });
    form({caption(QStringLiteral("Key"), this), keyName_, caption(QStringLiteral("Value"), this), keyValue_,
          caption(QStringLiteral("Add to"), this), placement});
    column->addWidget(holder, 1);
    fill();
}

void AuthView::appear(const HTTPRequest& request) {
    request_ = request;
    // Showing the tab only reads the request; nothing is written until the draft is edited.
    draft_ = AuthConfig::from(request);
    fill();
}

void AuthView::setDraft(const AuthConfig& draft) {
    if (draft == draft_) return fill();
    draft_ = draft;
    fill();
    propagate(draft_);
}

void AuthView::propagate(const AuthConfig& draft) {
    HTTPRequest copy = request_;
    draft.apply(copy);
    if (copy.headers == request_.headers && copy.params == request_.params) return;
    request_ = copy;
    emit requestEdited(request_);
}

void AuthView::fill() {
    type_->setCurrentIndex(int(AuthTypes::allCases().indexOf(draft_.type)));
    hint_->setText(hint(draft_));
    forms_->setCurrentIndex(int(AuthTypes::allCases().indexOf(draft_.type)));
    for (auto [edit, value] : {std::pair{token_, draft_.token}, {username_, draft_.username}, {password_, draft_.password},
                               {keyName_, draft_.keyName}, {keyValue_, draft_.keyValue}})
        if (edit->text() != value) edit->setText(value);
    keyIn_->button(int(APIKeyLocations::allCases().indexOf(draft_.keyIn)))->setChecked(true);
}

void AuthView::setReadOnly(bool readOnly) {
    type_->setEnabled(!readOnly);
    for (QLineEdit* e : {token_, username_, password_, keyName_, keyValue_}) e->setReadOnly(readOnly);
    for (QAbstractButton* b : keyIn_->buttons()) b->setEnabled(!readOnly);
}
