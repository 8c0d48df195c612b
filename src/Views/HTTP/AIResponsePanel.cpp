#include "Views/HTTP/AIResponsePanel.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QVBoxLayout>

#include "Git/AIService.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/KeyValueEditor.h"

using HTTPStyle::white;

namespace {

QString contentType(const HTTPResponse& response) {
    if (response.headers.contains(QStringLiteral("Content-Type"))) return response.headers.value(QStringLiteral("Content-Type"));
    if (response.headers.contains(QStringLiteral("content-type"))) return response.headers.value(QStringLiteral("content-type"));
    return QStringLiteral("?");
}

bool blank(const QString& text) {
    for (QChar c : text)
        if (c != u' ' && c != u'\t') return false;
    return true;
}

QLabel* symbol(const QString& name, qreal points, const QBrush& brush, QWidget* parent) {
    auto* l = new QLabel(parent);
    const int side = Icons::sizeForPointSize(points);
    const qreal dpr = parent ? parent->devicePixelRatioF() : 1.0;
    QBrush b = brush;
    if (b.gradient()) {
        QTransform t;
        t.scale(side * dpr, side * dpr);
        b.setTransform(t);
    }
    QPixmap pm = QPixmap::fromImage(Icons::image(name, side, b, dpr));
    l->setPixmap(pm);
    l->setFixedSize(side, side);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

QBrush gradientBrush() { return QBrush(Brand::gradient(QRectF(0, 0, 1, 1))); }

} // namespace

// ---------------------------------------------------------------- prompts

QString AIResponsePanel::leadingCharacters(const QString& text, qsizetype limit) {
    if (text.size() <= limit) return text;  // never more characters than code units
    // The finder reads all it is given: give it a head long enough for any plain text, so a large
    // body costs what the prompt takes. A character longer than that is left out, not split.
    const qsizetype headSize = std::min(text.size(), limit * 32 + 1);
    const QString head = text.left(headSize);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, head);
    qsizetype count = 0;
    qsizetype position = 0;
    while (count < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0 || (next == headSize && headSize < text.size())) break;
        position = next;
        ++count;
    }
    return count < limit && headSize == text.size() ? text : text.left(position);
}

QString AIResponsePanel::contextBlock(const HTTPRequest& request, const HTTPResponse& response) {
    QStringList headerLines;
    for (const KeyValueItem& h : request.headers)
        if (h.enabled) headerLines << h.key + QStringLiteral(": ") + h.value;
    QString block = QStringLiteral("REQUEST:\n") + HTTPMethods::rawValue(request.method) + u' ' + request.url + u'\n' +
                    headerLines.join(u'\n') + u'\n';
    if (!request.body.isEmpty()) block += u'\n' + leadingCharacters(request.body, 800);
    // Only the head the prompt takes is decoded (a body may be tens of megabytes); a character cut
    // where the head ends is held back by the decoder, not an error.
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString body = decoder.decode(QByteArrayView(response.body).first(std::min<qsizetype>(response.body.size(), 2000 * 32 + 1)));
    if (decoder.hasError()) body.clear();
    block += QStringLiteral("\n\nRESPONSE:\nStatus: ") + QString::number(response.status) + u' ' + response.statusText +
             QStringLiteral("\nContent-Type: ") + contentType(response) + QStringLiteral("\nDuration: ") +
             QString::number(qint64(response.duration * 1000)) + QStringLiteral(" ms\nSize: ") +
             QString::number(response.size) + QStringLiteral(" bytes\n\nBODY:\n") + leadingCharacters(body, 2000);
    return block;
}

QString AIResponsePanel::explainPrompt(const HTTPRequest& request, const HTTPResponse& response) {
    return QStringLiteral("Briefly explain what this HTTP response means and what the endpoint\n"
                          "likely does. 3-5 sentences max, no preamble.\n\n") +
           contextBlock(request, response);
}

QString AIResponsePanel::debugPrompt(const HTTPRequest& request, const HTTPResponse& response) {
    return QStringLiteral("This HTTP request returned a ") + QString::number(response.status) +
           QStringLiteral(". Based on the request\nand response below, what's most likely wrong and how would I fix it?\n"
                          "Be specific and concise (3-6 bullet points).\n\n") +
           contextBlock(request, response);
}

QString AIResponsePanel::testCasesPrompt(const HTTPRequest& request, const HTTPResponse& response) {
    return QStringLiteral("Suggest 3-5 useful test assertions for this HTTP endpoint based on the\n"
                          "request and the actual response. Use plain English (status code, body\n"
                          "shape, important fields). No code, just one short line per assertion.\n\n") +
           contextBlock(request, response);
}

QString AIResponsePanel::curlPrompt(const HTTPRequest& request, const HTTPResponse& response) {
    return QStringLiteral("Convert the request below to a single-line curl command. Output ONLY\n"
                          "the command, no markdown fences, no explanation.\n\n") +
           contextBlock(request, response);
}

QString AIResponsePanel::questionPrompt(const HTTPRequest& request, const HTTPResponse& response, const QString& question) {
    return QStringLiteral("Question about the following HTTP request/response:\n\n") + contextBlock(request, response) +
           QStringLiteral("\n\nQuestion: ") + question.trimmed();
}

QString AIResponsePanel::backendName(AIBackend backend) {
    return backend == AIBackend::claude ? QStringLiteral("Claude Code") : QStringLiteral("Codex");
}

// ---------------------------------------------------------------- panel

AIResponsePanel::AIResponsePanel(const HTTPRequest& request, const HTTPResponse& response, QWidget* parent)
    : QWidget(parent), request_(request), response_(response) {
    HTTPStyle::fill(this, QColor(0, 0, 0, 77));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QPushButton(this);
    header->setFlat(true);
    header->setCursor(Qt::PointingHandCursor);
    header->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(12, 8, 12, 8);
    headerRow->setSpacing(8);
    headerRow->addWidget(symbol(QStringLiteral("sparkles"), 11, gradientBrush(), header));
    auto* title = HTTPStyle::label(QStringLiteral("Ask AI"), HTTPStyle::font(11.5, QFont::DemiBold, HTTPStyle::Design::rounded),
                                   white(0.85), header);
    title->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The button's style sheet reaches its children and would override their palette.
    title->setStyleSheet(QStringLiteral("QLabel { color: rgba(255,255,255,217); }"));
    headerRow->addWidget(title);
    badge_ = HTTPStyle::label({}, HTTPStyle::font(9, QFont::Bold, HTTPStyle::Design::rounded), white(0.5), header);
    badge_->setStyleSheet(QStringLiteral("QLabel { color: rgba(255,255,255,128); background: rgba(255,255,255,20);"
                                         " border-radius: 7px; padding: 1px 5px; }"));
    badge_->setAttribute(Qt::WA_TransparentForMouseEvents);
    headerRow->addWidget(badge_);
    headerRow->addStretch(1);
    chevron_ = new QLabel(header);
    chevron_->setAttribute(Qt::WA_TransparentForMouseEvents);
    headerRow->addWidget(chevron_);
    header->setMinimumHeight(32);
    header_ = header;
    connect(header_, &QAbstractButton::clicked, this, [this] { setExpanded(!expanded_); });
    column->addWidget(header_);

    content_ = new QWidget(this);
    auto* contentColumn = new QVBoxLayout(content_);
    contentColumn->setContentsMargins(0, 0, 0, 0);
    contentColumn->setSpacing(0);
    contentColumn->addWidget(HTTPStyle::divider(0.06, content_));
    auto* inner = new QWidget(content_);
    auto* innerColumn = new QVBoxLayout(inner);
    innerColumn->setContentsMargins(12, 10, 12, 10);
    innerColumn->setSpacing(8);
    contentColumn->addWidget(inner);

    install_ = new QLabel(QStringLiteral("Install <code>claude</code> or <code>codex</code> on your PATH to enable AI explanations."), inner);
    install_->setTextFormat(Qt::RichText);
    install_->setFont(HTTPStyle::font(11));
    HTTPStyle::setLabelColour(install_, white(0.5));
    innerColumn->addWidget(install_);

    ready_ = new QWidget(inner);
    auto* readyColumn = new QVBoxLayout(ready_);
    readyColumn->setContentsMargins(0, 0, 0, 0);
    readyColumn->setSpacing(8);
    auto* presetRow = new QHBoxLayout;
    presetRow->setSpacing(6);
    presets_ << makePreset(QStringLiteral("Explain"), QStringLiteral("text.bubble"),
                           [this] { return explainPrompt(request_, response_); });
    if (response_.status >= 400)
        presets_ << makePreset(QStringLiteral("Why %1?").arg(response_.status), QStringLiteral("exclamationmark.bubble"),
                               [this] { return debugPrompt(request_, response_); });
    presets_ << makePreset(QStringLiteral("Test cases"), QStringLiteral("checkmark.seal"),
                           [this] { return testCasesPrompt(request_, response_); });
    presets_ << makePreset(QStringLiteral("Curl"), QStringLiteral("terminal"), [this] { return curlPrompt(request_, response_); });
    for (PressableButton* b : presets_) presetRow->addWidget(b);
    presetRow->addStretch(1);
    readyColumn->addLayout(presetRow);

    auto* questionRow = new QHBoxLayout;
    questionRow->setSpacing(6);
    question_ = new QLineEdit(ready_);
    question_->setPlaceholderText(QStringLiteral("Ask anything about this request/response…"));
    question_->setFont(HTTPStyle::font(12, QFont::Normal, HTTPStyle::Design::monospaced));
    question_->setStyleSheet(KeyValueEditor::fieldStyle());
    connect(question_, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(question_, &QLineEdit::returnPressed, this, [this] {
        if (send_->isEnabled()) sendCustom();
    });
    questionRow->addWidget(question_, 1);
    send_ = HTTPStyle::button(QStringLiteral("paperplane.fill"), {}, HTTPStyle::font(11, QFont::DemiBold), Qt::white, ready_);
    send_->setPadding({10, 6, 10, 6});
    QLinearGradient g(0, 0, 1, 0);
    g.setCoordinateMode(QGradient::ObjectMode);
    g.setColorAt(0, Brand::palette()[0]);
    g.setColorAt(1, Brand::palette()[2]);
    send_->setBackground(g, 7);
    connect(send_, &QAbstractButton::clicked, this, &AIResponsePanel::sendCustom);
    questionRow->addWidget(send_);
    readyColumn->addLayout(questionRow);

    error_ = HTTPStyle::label({}, HTTPStyle::font(11), Brand::palette()[2], ready_);
    error_->setWordWrap(true);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readyColumn->addWidget(error_);

    card_ = new QWidget(ready_);
    card_->setObjectName(QStringLiteral("answerCard"));
    card_->setAttribute(Qt::WA_StyledBackground);
    card_->setStyleSheet(QStringLiteral("#answerCard { background: rgba(255,255,255,10); border: 1px solid rgba(140,107,255,51);"
                                        " border-radius: 8px; }"));
    auto* cardColumn = new QVBoxLayout(card_);
    cardColumn->setContentsMargins(10, 10, 10, 10);
    cardColumn->setSpacing(6);
    auto* cardTitle = new QHBoxLayout;
    cardTitle->addWidget(symbol(QStringLiteral("sparkles"), 10, gradientBrush(), card_));
    cardTitle->addWidget(HTTPStyle::label(QStringLiteral("Answer"), HTTPStyle::font(10, QFont::Bold, HTTPStyle::Design::rounded),
                                          white(0.5), card_));
    cardTitle->addStretch(1);
    copy_ = HTTPStyle::button(QStringLiteral("doc.on.doc"), {}, HTTPStyle::font(10), white(0.55), card_);
    copy_->setPadding({2, 2, 2, 2});
    copy_->setToolTip(QStringLiteral("Copy"));
    connect(copy_, &QAbstractButton::clicked, this, [this] {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->clear();
        clipboard->setText(answer_);
    });
    cardTitle->addWidget(copy_);
    cardColumn->addLayout(cardTitle);
    busyLine_ = HTTPStyle::label(QStringLiteral("Thinking…"), HTTPStyle::font(11), white(0.5), card_);
    cardColumn->addWidget(busyLine_);
    answerText_ = new QPlainTextEdit(card_);
    answerText_->setReadOnly(true);
    answerText_->setFrameShape(QFrame::NoFrame);
    answerText_->setFont(HTTPStyle::font(12, QFont::Normal, HTTPStyle::Design::monospaced));
    answerText_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; color: rgba(255,255,255,217); }"));
    answerText_->setMaximumHeight(220);
    // Three lines at least: squeezed further in a small window, the answer cannot be read at all.
    answerText_->setMinimumHeight(3 * QFontMetrics(answerText_->font()).lineSpacing() +
                                  2 * int(answerText_->document()->documentMargin()) + 2 * answerText_->frameWidth() + 4);
    cardColumn->addWidget(answerText_);
    readyColumn->addWidget(card_);
    innerColumn->addWidget(ready_);
    column->addWidget(content_);

    refresh();
    resolveBackend();
}

PressableButton* AIResponsePanel::makePreset(const QString& title, const QString& symbolName, std::function<QString()> prompt) {
    auto* b = HTTPStyle::button(symbolName, title, HTTPStyle::font(11, QFont::Medium, HTTPStyle::Design::rounded), white(0.8), this);
    b->label().spacing = 5;
    b->setPadding({9, 5, 9, 5});
    b->setBackground(white(0.07), 12);
    connect(b, &QAbstractButton::clicked, this, [this, prompt = std::move(prompt)] { send(prompt()); });
    return b;
}

void AIResponsePanel::resolveBackend() {
    AIService::resolveBackend({this, [this](std::optional<AIBackend> backend) {
        backend_ = backend;
        refresh();
    }});
}

void AIResponsePanel::setExchange(const HTTPRequest& request, const HTTPResponse& response) {
    request_ = request;
    response_ = response;
}

void AIResponsePanel::setExpanded(bool expanded) {
    expanded_ = expanded;
    refresh();
}

void AIResponsePanel::send(const QString& prompt) {
    if (!backend_ || busy_) return;
    expanded_ = true;
    busy_ = true;
    errorText_.reset();
    answer_.clear();
    refresh();
    AIService::ask(prompt, *backend_, {this, [this](const AIResult& result) {
        if (result.ok())
            answer_ = result.text;
        else
            errorText_ = result.error->errorDescription();
        busy_ = false;
        refresh();
    }});
}

void AIResponsePanel::sendCustom() {
    const QString question = question_->text().trimmed();
    if (question.isEmpty()) return;
    send(questionPrompt(request_, response_, question));
    question_->clear();
}

void AIResponsePanel::refresh() {
    const int side = Icons::sizeForPointSize(9);
    chevron_->setPixmap(Icons::pixmap(expanded_ ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"), side,
                                      white(0.5), devicePixelRatioF()));
    badge_->setVisible(backend_.has_value());
    if (backend_) badge_->setText(backendName(*backend_).toUpper());
    content_->setVisible(expanded_);
    install_->setVisible(!backend_);
    ready_->setVisible(backend_.has_value());
    for (PressableButton* b : presets_) b->setEnabled(!busy_);
    send_->setEnabled(!busy_ && !blank(question_->text()));
    error_->setVisible(errorText_.has_value());
    error_->setText(errorText_.value_or(QString()));
    card_->setVisible(!answer_.isEmpty() || busy_);
    copy_->setVisible(!answer_.isEmpty());
    busyLine_->setVisible(busy_);
    answerText_->setVisible(!busy_);
    if (HTTPStyle::editorText(answerText_) != answer_) answerText_->setPlainText(answer_);
    emit stateChanged();
}
