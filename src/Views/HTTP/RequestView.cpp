#include "Views/HTTP/RequestView.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "API/CodeGen.h"
#include "API/HTTPFileFormat.h"
#include "API/RequestEditMerge.h"
#include "API/RequestFileFormat.h"
#include "AppState.h"
#include "Platform/Prompter.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/AuthView.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/HistoryPopover.h"
#include "Views/HTTP/KeyValueEditor.h"
#include "Views/HTTP/MethodBadge.h"
#include "Views/HTTP/RawRequestEditor.h"
#include "Views/HTTP/RequestBodyEditor.h"
#include "Views/HTTP/ResponseView.h"
#include "Views/HTTP/ServiceFailure.h"
#include "Views/HTTP/TabStrip.h"

using HTTPStyle::white;

namespace {

const QList<RequestView::Tab> kTabs{RequestView::Tab::auth, RequestView::Tab::body, RequestView::Tab::headers,
                                    RequestView::Tab::params, RequestView::Tab::raw};

QString copySymbol(CodeGenTarget target) {
    switch (target) {
    case CodeGenTarget::curl: return QStringLiteral("terminal");
    case CodeGenTarget::fetch: return QStringLiteral("curlybraces");
    case CodeGenTarget::swift: return QStringLiteral("swift");
    }
    return {};
}

QLinearGradient sendFill() {
    QLinearGradient g(0, 0, 1, 0);
    g.setCoordinateMode(QGradient::ObjectMode);
    g.setColorAt(0, Brand::palette()[0]);
    g.setColorAt(1, Brand::palette()[2]);
    return g;
}

// The first request of a Raw tab text, as the request it was made from: rows that read the same
// carry that request's row ids, so an edit of the text is told apart from what it left alone.
std::optional<HTTPRequest> readRaw(const QString& text, const HTTPRequest& from) {
    QList<HTTPRequest> parsed = HTTPFileFormat::parse(text);
    if (parsed.isEmpty()) return std::nullopt;
    parsed.resize(1);
    parsed.first().id = from.id;
    keepRequestIds(parsed, {from});
    return parsed.first();
}

} // namespace

QString RequestView::tabTitle(Tab tab) {
    static const QStringList titles{QStringLiteral("Auth"), QStringLiteral("Body"), QStringLiteral("Headers"),
                                    QStringLiteral("Params"), QStringLiteral("Raw")};
    return titles.value(int(kTabs.indexOf(tab)));
}

RequestView::RequestView(AppState& app, const APICollectionFile& file, const HTTPRequest& request, QWidget* parent)
    : QWidget(parent), app_(app), file_(file), request_(request) {
    readOnly_ = app_.activeRequest() && app_.activeRequest()->request.id == request.id && app_.activeRequest()->detached;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeSendBar());
    column->addWidget(makeTabBar());
    column->addWidget(HTTPStyle::divider(0.06, this));

    auto* content = new QWidget(this);
    content->setContentsMargins(10, 8, 10, 8);
    pages_ = new QStackedLayout(content);
    auth_ = new AuthView(content);
    connect(auth_, &AuthView::requestEdited, this, [this](const HTTPRequest& r) { setRequest(r); });
    body_ = new RequestBodyEditor(content);
    connect(body_, &RequestBodyEditor::kindChosen, this, [this](BodyKind kind) {
        HTTPRequest next = request_;
        next.bodyKind = kind;
        setRequest(next);
    });
    connect(body_, &RequestBodyEditor::bodyEdited, this, [this](const QString& text) {
        HTTPRequest next = request_;
        next.body = text;
        setRequest(next);
    });
    headers_ = new KeyValueEditor(QStringLiteral("Header"), QStringLiteral("Value"), content);
    connect(headers_, &KeyValueEditor::itemsEdited, this, [this](const QList<KeyValueItem>& items) {
        HTTPRequest next = request_;
        next.headers = items;
        setRequest(next);
    });
    params_ = new KeyValueEditor(QStringLiteral("Key"), QStringLiteral("Value"), content);
    connect(params_, &KeyValueEditor::itemsEdited, this, [this](const QList<KeyValueItem>& items) {
        HTTPRequest next = request_;
        next.params = items;
        setRequest(next);
    });
    raw_ = new RawRequestEditor(content);
    connect(raw_, &RawRequestEditor::applyRequested, this, &RequestView::applyRaw);
    for (QWidget* page : std::initializer_list<QWidget*>{auth_, body_, headers_, params_, raw_}) pages_->addWidget(page);
    column->addWidget(content, 1);

    response_ = new ResponseView(app_, this);
    column->addWidget(response_, 1);

    showRaw();
    for (QWidget* w : std::initializer_list<QWidget*>{auth_, body_, headers_, params_, raw_}) w->setEnabled(true);
    auth_->setReadOnly(readOnly_);
    body_->setReadOnly(readOnly_);
    headers_->setReadOnly(readOnly_);
    params_->setReadOnly(readOnly_);
    raw_->setReadOnly(readOnly_);
    url_->setReadOnly(readOnly_);
    method_->setEnabled(!readOnly_);

    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, &RequestView::send);
    auto* enter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), this);
    enter->setContext(Qt::WidgetWithChildrenShortcut);
    connect(enter, &QShortcut::activated, this, &RequestView::send);

    connect(&app_, &AppState::isSendingChanged, this, &RequestView::refreshSendState);
    connect(&app_, &AppState::lastResponseChanged, this, &RequestView::refreshSendState);
    connect(&app_, &AppState::activeRequestChanged, this, &RequestView::followActiveRequest);
    setTab(Tab::body);
    fill();
}

QWidget* RequestView::makeSendBar() {
    auto* bar = new QWidget(this);
    HTTPStyle::fill(bar, QColor(0, 0, 0, 89));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(8);

    method_ = HTTPStyle::button({}, {}, HTTPStyle::font(11, QFont::Bold, HTTPStyle::Design::monospaced), Qt::white, bar);
    method_->setPadding({10, 6, 10, 6});
    methodMenu_ = new QMenu(method_);
    for (HTTPMethod m : HTTPMethods::allCases()) {
        connect(methodMenu_->addAction(HTTPMethods::rawValue(m)), &QAction::triggered, this, [this, m] {
            HTTPRequest next = request_;
            next.method = m;
            setRequest(next);
        });
    }
    connect(method_, &QAbstractButton::clicked, this, [this] { methodMenu_->popup(method_->mapToGlobal(QPoint(0, method_->height()))); });
    row->addWidget(method_);

    url_ = new QLineEdit(bar);
    url_->setPlaceholderText(QStringLiteral("https://api.example.com/path"));
    url_->setFont(HTTPStyle::font(12.5, QFont::Normal, HTTPStyle::Design::monospaced));
    url_->setStyleSheet(QStringLiteral("QLineEdit { background: rgba(255,255,255,15); border: none; border-radius: 7px;"
                                       " padding: 6px 10px; color: white; }"));
    connect(url_, &QLineEdit::textEdited, this, [this](const QString& text) {
        HTTPRequest next = request_;
        next.url = text;
        setRequest(next);
    });
    row->addWidget(url_, 1);

    send_ = HTTPStyle::button(QStringLiteral("paperplane.fill"), QStringLiteral("Send"),
                              HTTPStyle::font(11.5, QFont::DemiBold, HTTPStyle::Design::rounded), Qt::white, bar);
    send_->label().spacing = 5;
    send_->setPadding({12, 6, 12, 6});
    send_->setBackground(sendFill(), 7);
    connect(send_, &QAbstractButton::clicked, this, &RequestView::send);
    row->addWidget(send_);

    // Shown only while a send runs: the way to stop one that does not end.
    cancel_ = HTTPStyle::button({}, QStringLiteral("Cancel"), HTTPStyle::font(11.5, QFont::DemiBold, HTTPStyle::Design::rounded),
                                Qt::white, bar);
    cancel_->setPadding({12, 6, 12, 6});
    cancel_->setBackground(white(0.12), 7);
    cancel_->setToolTip(QStringLiteral("Stop the request"));
    cancel_->hide();
    connect(cancel_, &QAbstractButton::clicked, &app_, &AppState::cancelSends);
    row->addWidget(cancel_);

    history_ = HTTPStyle::button(QStringLiteral("clock.arrow.circlepath"), {}, HTTPStyle::font(13), white(0.7), bar);
    history_->setPadding({6, 5, 6, 5});
    history_->setToolTip(QStringLiteral("Request history"));
    connect(history_, &QAbstractButton::clicked, this, &RequestView::toggleHistory);
    row->addWidget(history_);

    copy_ = HTTPStyle::button(QStringLiteral("chevron.left.slash.chevron.right"), {}, HTTPStyle::font(12, QFont::Medium),
                              white(0.7), bar);
    copy_->setPadding({6, 5, 6, 5});
    copy_->setToolTip(QStringLiteral("Copy request as code"));
    copyMenu_ = new QMenu(copy_);
    for (CodeGenTarget target : CodeGenTargets::allCases()) {
        QAction* action = copyMenu_->addAction(QStringLiteral("Copy as ") + CodeGenTargets::rawValue(target));
        action->setIcon(QIcon(Icons::pixmap(copySymbol(target), 16, Qt::white)));
        connect(action, &QAction::triggered, this, [this, target] { copyCode(target); });
    }
    connect(copy_, &QAbstractButton::clicked, this, [this] { copyMenu_->popup(copy_->mapToGlobal(QPoint(0, copy_->height()))); });
    row->addWidget(copy_);
    return bar;
}

QWidget* RequestView::makeTabBar() {
    auto* bar = new QWidget(this);
    HTTPStyle::fill(bar, QColor(0, 0, 0, 46));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 0, 0, 0);
    row->setSpacing(0);
    QStringList titles;
    for (Tab t : kTabs) titles << tabTitle(t);
    tabs_ = new TabStrip(titles, 0.55, QMargins(12, 7, 12, 7), bar);
    connect(tabs_, &TabStrip::currentChanged, this, [this](int i) { setTab(kTabs.value(i)); });
    row->addWidget(tabs_);
    row->addStretch(1);
    note_ = HTTPStyle::label({}, HTTPStyle::font(10.5, QFont::Normal, HTTPStyle::Design::rounded), white(0.35), bar);
    note_->setContentsMargins(0, 0, 12, 0);
    row->addWidget(note_);
    return bar;
}

void RequestView::setNote(const QString& text, bool error) {
    note_->setText(text);
    HTTPStyle::setLabelColour(note_, error ? Brand::palette()[2] : white(0.35));
}

void RequestView::setRequest(const HTTPRequest& request) {
    if (readOnly_ || request == request_) return;
    request_ = request;
    fill();
    ServiceFailure failure(app_.api());
    app_.updateActiveRequest(request_);
    // Writes happen per keystroke, so a failure is shown in place rather than as a modal alert.
    if (!failure.message().isEmpty()) setNote(QStringLiteral("Not saved: ") + failure.message(), true);
    else if (note_->text().startsWith(QStringLiteral("Not saved"))) setNote(request_.name, false);  // saved now
}

void RequestView::setTab(Tab tab) {
    tab_ = tab;
    tabs_->setCurrent(int(kTabs.indexOf(tab)));
    if (tab == Tab::raw) showRaw();
    if (tab == Tab::auth) auth_->appear(request_);
    pages_->setCurrentIndex(int(kTabs.indexOf(tab)));
}

void RequestView::fill() {
    method_->label().text = HTTPMethods::rawValue(request_.method) + QStringLiteral(" ▾");
    method_->setBackground(MethodBadge::fillColour(request_.method), 13);
    method_->updateGeometry();
    method_->update();
    if (url_->text() != request_.url) url_->setText(request_.url);
    body_->show(request_.bodyKind, request_.body);
    headers_->setItems(request_.headers);
    params_->setItems(request_.params);
    if (!note_->text().startsWith(QStringLiteral("Not saved")))
        setNote(readOnly_ ? request_.name + QStringLiteral(" · read-only (no file holds it)") : request_.name, false);
    refreshSendState();
}

void RequestView::refreshSendState() {
    const bool sending = app_.isSending();
    // Disabling or hiding the focused button would pass the keys to the next control in line:
    // they go from Send to Cancel and back instead.
    const bool keysOnSend = send_->hasFocus() || cancel_->hasFocus();
    send_->label().text = sending ? QStringLiteral("Sending") : QStringLiteral("Send");
    send_->label().symbol = sending ? QStringLiteral("arrow.2.squarepath") : QStringLiteral("paperplane.fill");
    send_->updateGeometry();
    send_->update();
    send_->setEnabled(!sending && !request_.url.isEmpty());
    cancel_->setVisible(sending);
    response_->setVisible(sending || app_.lastResponse().has_value());
    if (keysOnSend && sending) cancel_->setFocus(Qt::OtherFocusReason);
    else if (keysOnSend && send_->isEnabled()) send_->setFocus(Qt::OtherFocusReason);
}

void RequestView::send() {
    if (!send_->isEnabled()) return;
    app_.sendActiveRequest();
}

void RequestView::copyCode(CodeGenTarget target) {
    const QString text = CodeGen::snippet(request_, target, app_.api().environmentValues());
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    justCopied_ = true;
    copy_->label().symbol = QStringLiteral("checkmark");
    copy_->label().symbolBrush = Brand::palette()[3];
    copy_->update();
    // Every copy schedules its own reset; the first one to fire clears the mark.
    QTimer::singleShot(kCopiedMs, this, [this] {
        justCopied_ = false;
        copy_->label().symbol = QStringLiteral("chevron.left.slash.chevron.right");
        copy_->label().symbolBrush = white(0.7);
        copy_->update();
    });
}

void RequestView::applyRaw() {
    if (readOnly_) return;
    const std::optional<HTTPRequest> edited = readRaw(raw_->text(), rawShown_);
    if (!edited) {
        Prompter::current().ask({QStringLiteral("The raw text holds no request."),
                                 QStringLiteral("A request needs a line with a method and a URL, such as “GET https://example.com”. "
                                                "Methods: GET, POST, PUT, PATCH, DELETE, HEAD, OPTIONS. Nothing was changed."),
                                 {},
                                 true});
        return;
    }
    // Only what the text changed is taken over: the rest of what happened meanwhile (typed in the
    // send bar, or on disk) stays, and so does what the text could not show.
    setRequest(RequestEditMerge::apply(rawShown_, *edited, request_));
}

void RequestView::showRaw() {
    const QString text = HTTPFileFormat::serializeRequest(request_);
    rawShown_ = readRaw(text, request_).value_or(request_);
    raw_->setText(text);
}

void RequestView::toggleHistory() {
    if (popover_) {
        popover_->close();
        return;
    }
    popover_ = HistoryPopover::showUnder(app_, history_);
}

void RequestView::followActiveRequest() {
    const auto& active = app_.activeRequest();
    if (!active || active->request.id != request_.id) return;
    const bool readOnly = active->detached;
    if (active->request == request_ && readOnly == readOnly_) {
        request_.source = active->request.source;  // read anew, unchanged: later edits patch the new text
        return;
    }
    // A replay or a rename shows another version of this request: take it over as the working copy.
    // Raw text being edited stays; untouched raw text shows the new version.
    const bool rawUntouched = !raw_->isEdited();
    readOnly_ = readOnly;
    file_ = active->file;
    request_ = active->request;
    for (auto* w : {headers_, params_}) w->setReadOnly(readOnly_);
    auth_->setReadOnly(readOnly_);
    body_->setReadOnly(readOnly_);
    raw_->setReadOnly(readOnly_);
    url_->setReadOnly(readOnly_);
    method_->setEnabled(!readOnly_);
    setNote({}, false);
    fill();
    if (tab_ == Tab::raw && rawUntouched) showRaw();
    // The Auth tab edits its own copy, which must not write an older version back.
    if (tab_ == Tab::auth) auth_->appear(request_);
}

void RequestView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0.06f, 0.06f, 0.09f));
}
