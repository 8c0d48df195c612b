#include "Views/HTTP/ResponseView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "AppState.h"
#include "UI/Brand.h"
#include "Views/HTTP/AIResponsePanel.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/ResponseBodyView.h"
#include "Views/HTTP/StatusPill.h"
#include "Views/HTTP/TabStrip.h"

using HTTPStyle::white;

QColor ResponseView::statusColor(int status) {
    if (status >= 200 && status <= 299) return Brand::palette()[3];
    if (status >= 300 && status <= 399) return Brand::palette()[1];
    if (status >= 400 && status <= 499) return Brand::palette()[4];
    if (status >= 500 && status <= 599) return Brand::palette()[2];
    return white(0.5);
}

QString ResponseView::formatBytes(qint64 bytes) {
    const double k = double(bytes) / 1024.0;
    if (k < 1) return QString::number(bytes) + QStringLiteral(" B");
    if (k < 1024) return QString::asprintf("%.1f KB", k);
    return QString::asprintf("%.2f MB", k / 1024.0);
}

QString ResponseView::durationText(double seconds) { return QString::number(qint64(seconds * 1000)) + QStringLiteral(" ms"); }

std::optional<QString> ResponseView::typeText(const QMap<QString, QString>& headers) {
    // Header names are compared without regard to case.
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        if (it.key().compare(QStringLiteral("Content-Type"), Qt::CaseInsensitive) != 0) continue;
        const qsizetype semicolon = it.value().indexOf(u';');
        return semicolon < 0 ? it.value() : it.value().left(semicolon);
    }
    return std::nullopt;
}

ResponseView::ResponseView(AppState& app, QWidget* parent) : QWidget(parent), app_(app) {
    HTTPStyle::fill(this, QColor(0, 0, 0, 64));
    setMinimumHeight(kMinimumHeight);
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);
    column_->addWidget(HTTPStyle::divider(0.08, this));

    headerRow_ = new QWidget(this);
    auto* header = new QHBoxLayout(headerRow_);
    header->setContentsMargins(12, 8, 12, 8);
    header->setSpacing(10);
    stats_ = new QHBoxLayout;
    stats_->setSpacing(10);
    header->addLayout(stats_);
    header->addStretch(1);
    tabs_ = new TabStrip({QStringLiteral("Body"), QStringLiteral("Headers")}, 0.5, QMargins(10, 6, 10, 6), headerRow_);
    connect(tabs_, &TabStrip::currentChanged, this, [this](int i) { setTab(i == 0 ? Tab::body : Tab::headers); });
    header->addWidget(tabs_);
    column_->addWidget(headerRow_);
    column_->addWidget(HTTPStyle::divider(0.06, this));

    auto* content = new QWidget(this);
    pages_ = new QStackedLayout(content);
    emptyPage_ = new QWidget(content);
    pages_->addWidget(emptyPage_);
    spinnerPage_ = new QWidget(content);
    auto* spinnerLayout = new QVBoxLayout(spinnerPage_);
    auto* spinner = new QProgressBar(spinnerPage_);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(64, 6);
    spinnerLayout->addWidget(spinner, 0, Qt::AlignCenter);
    pages_->addWidget(spinnerPage_);
    headersScroll_ = new QScrollArea(content);
    headersScroll_->setWidgetResizable(true);
    headersScroll_->setFrameShape(QFrame::NoFrame);
    headersScroll_->viewport()->setAutoFillBackground(false);
    pages_->addWidget(headersScroll_);
    body_ = new ResponseBodyView(content);
    pages_->addWidget(body_);
    column_->addWidget(content, 1);

    aiDivider_ = HTTPStyle::divider(0.06, this);
    column_->addWidget(aiDivider_);

    connect(&app_, &AppState::lastResponseChanged, this, &ResponseView::refresh);
    connect(&app_, &AppState::isSendingChanged, this, &ResponseView::refresh);
    // An edit of the request changes nothing shown here but what the Ask-AI panel asks about.
    connect(&app_, &AppState::activeRequestChanged, this, &ResponseView::placeAIPanel);
    refresh();
}

void ResponseView::setTab(Tab tab) {
    if (tab == tab_) return;
    tab_ = tab;
    tabs_->setCurrent(tab == Tab::body ? 0 : 1);
    fillContent();
}

void ResponseView::refresh() {
    fillHeader();
    fillContent();
    placeAIPanel();
}

void ResponseView::fillHeader() {
    while (QLayoutItem* item = stats_->takeAt(0)) {
        if (item->widget()) item->widget()->deleteLater();
        delete item;
    }
    const auto& response = app_.lastResponse();
    if (!response) return;
    pill_ = new StatusPill(response->status, response->statusText, headerRow_);
    stats_->addWidget(pill_);
    auto stat = [this](const QString& caption, const QString& value) {
        auto* block = new QWidget(headerRow_);
        block->setObjectName(QStringLiteral("stat"));
        auto* row = new QHBoxLayout(block);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(5);
        row->addWidget(HTTPStyle::label(caption.toUpper(), HTTPStyle::font(9, QFont::Bold, HTTPStyle::Design::rounded),
                                        white(0.4), block));
        row->addWidget(HTTPStyle::label(value, HTTPStyle::font(11, QFont::DemiBold, HTTPStyle::Design::monospaced),
                                        white(0.8), block));
        stats_->addWidget(block);
    };
    stat(QStringLiteral("Time"), durationText(response->duration));
    stat(QStringLiteral("Size"), formatBytes(response->size));
    if (const auto type = typeText(response->headers)) stat(QStringLiteral("Type"), *type);
}

QStringList ResponseView::statTexts() const {
    QStringList texts;
    for (int i = 0; i < stats_->count(); ++i) {
        QWidget* w = stats_->itemAt(i)->widget();
        if (!w || w->objectName() != QStringLiteral("stat")) continue;
        const auto labels = w->findChildren<QLabel*>();
        texts << labels.value(0)->text() + u' ' + labels.value(1)->text();
    }
    return texts;
}

bool ResponseView::showsSpinner() const { return pages_->currentWidget() == spinnerPage_; }

void ResponseView::fillContent() {
    const auto& response = app_.lastResponse();
    if (app_.isSending()) return pages_->setCurrentWidget(spinnerPage_);
    if (!response) return pages_->setCurrentWidget(emptyPage_);
    if (tab_ == Tab::headers) {
        fillHeaders(*response);
        return pages_->setCurrentWidget(headersScroll_);
    }
    body_->apply(*response);
    pages_->setCurrentWidget(body_);
}

void ResponseView::fillHeaders(const HTTPResponse& response) {
    headersList_ = new QWidget;
    auto* column = new QVBoxLayout(headersList_);
    column->setContentsMargins(0, 6, 0, 6);
    column->setSpacing(1);
    // QMap iterates its keys in code-unit order, which is the plain case-sensitive order wanted.
    int rows = 0;
    for (auto it = response.headers.cbegin(); it != response.headers.cend() && rows < kHeaderRowLimit; ++it, ++rows) {
        auto* row = new QWidget(headersList_);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(12, 3, 12, 3);
        line->setSpacing(12);
        auto* key = HTTPStyle::label(it.key(), HTTPStyle::font(12, QFont::DemiBold, HTTPStyle::Design::monospaced), white(0.75), row);
        key->setMinimumWidth(160);
        key->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        line->addWidget(key, 0, Qt::AlignTop);
        QString shown = it.value();
        if (shown.size() > kHeaderValueLimit) {
            const qsizetype hidden = shown.size() - kHeaderValueLimit;
            shown.truncate(kHeaderValueLimit);
            shown += QStringLiteral(" … %1 more characters not shown").arg(hidden);
        }
        auto* value = HTTPStyle::label(shown, HTTPStyle::font(12, QFont::Normal, HTTPStyle::Design::monospaced), white(0.6), row);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(true);
        line->addWidget(value, 1, Qt::AlignTop);
        column->addWidget(row);
    }
    if (response.headers.size() > rows) {
        auto* more = HTTPStyle::label(QStringLiteral("… %1 more header fields not shown").arg(response.headers.size() - rows),
                                      HTTPStyle::font(12, QFont::Normal, HTTPStyle::Design::monospaced), white(0.4), headersList_);
        more->setContentsMargins(12, 3, 12, 3);
        column->addWidget(more);
    }
    column->addStretch(1);
    HTTPStyle::setScrolled(headersScroll_, headersList_);
}

void ResponseView::placeAIPanel() {
    const auto& active = app_.activeRequest();
    const auto& response = app_.lastResponse();
    const bool wanted = active && response && !app_.isSending();
    if (!wanted) {
        // A send always gets a fresh panel, so the old one goes as soon as one starts. The keyboard
        // it held goes to the control before it, not to nothing.
        if (ai_ && ai_->isAncestorOf(QApplication::focusWidget())) tabs_->setFocus(Qt::OtherFocusReason);
        if (ai_) ai_->deleteLater();
        ai_ = nullptr;
    } else if (ai_) {
        ai_->setExchange(active->request, *response);
    } else {
        ai_ = new AIResponsePanel(active->request, *response, this);
        column_->addWidget(ai_);
        connect(ai_, &AIResponsePanel::stateChanged, this, &ResponseView::fitMinimumHeight);
    }
    aiDivider_->setVisible(wanted);
    fitMinimumHeight();
}

void ResponseView::fitMinimumHeight() {
    // Held to the fixed floor, an open panel with an answer would squeeze its answer and the body
    // to slivers in a small window; asking for what the layout needs takes the room from the request.
    const int needed = ai_ && ai_->isExpanded() ? column_->minimumSize().height() : 0;
    setMinimumHeight(std::max(kMinimumHeight, needed));
}
