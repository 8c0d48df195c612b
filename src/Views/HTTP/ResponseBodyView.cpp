#include "Views/HTTP/ResponseBodyView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringDecoder>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <algorithm>

#include "AppState.h"
#include "Editor/HighlighterFactory.h"
#include "Platform/SettingsStore.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/HTTP/HTTPStyle.h"

// Paints spans computed once for the whole text, block by block as the document lays out.
class ResponseBodyView::SpanHighlighter : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

    // Spans are filed under the blocks they touch, in list order, so later spans still win.
    void setSpans(const QList<SyntaxHighlighter::Span>& spans, qsizetype length) {
        buckets_.clear();
        if (!spans.isEmpty()) {
            QList<qsizetype> starts;
            for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) starts << b.position();
            buckets_.resize(starts.size());
            for (const SyntaxHighlighter::Span& span : spans) {
                if (span.range.end() > length || span.range.length <= 0) continue;
                auto it = std::upper_bound(starts.begin(), starts.end(), span.range.location);
                for (qsizetype i = std::max<qsizetype>(0, (it - starts.begin()) - 1);
                     i < starts.size() && starts[i] < span.range.end(); ++i)
                    buckets_[i].append(span);
            }
        }
        rehighlight();
    }

protected:
    void highlightBlock(const QString& text) override {
        const int number = currentBlock().blockNumber();
        if (number < 0 || number >= buckets_.size()) return;
        const qsizetype start = currentBlock().position();
        const qsizetype end = start + text.size();
        for (const SyntaxHighlighter::Span& span : buckets_[number]) {
            const qsizetype a = std::max(start, span.range.location);
            const qsizetype b = std::min(end, span.range.end());
            if (b > a) setFormat(int(a - start), int(b - a), SyntaxPalette::color(span.role));
        }
    }

private:
    QList<QList<SyntaxHighlighter::Span>> buckets_;
};

ResponseBodyView::ResponseBodyView(QWidget* parent)
    : QPlainTextEdit(parent), highlighter_(new SpanHighlighter(document())) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette p = palette();
    p.setColor(QPalette::Base, CodeEditorView::bg());
    p.setColor(QPalette::Text, SyntaxPalette::base());
    setPalette(p);
    document()->setDocumentMargin(8);
}

qreal ResponseBodyView::fontSize() {
    return SettingsStore::shared().number(SettingsKey::fontSize, SettingsKey::fontSizeRange);
}

std::optional<QString> ResponseBodyView::prettyJSON(const QByteArray& body) {
    // Wrapping lets a top-level string or number through the reader, which takes only containers.
    QJsonParseError error;
    const QJsonDocument wrapped = QJsonDocument::fromJson("[" + body + "\n]", &error);
    if (error.error != QJsonParseError::NoError || !wrapped.isArray() || wrapped.array().size() != 1)
        return std::nullopt;
    const QJsonValue value = wrapped.array().first();
    if (value.isObject()) return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented)).trimmed();
    if (value.isArray()) return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)).trimmed();
    const QByteArray compact = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(compact.mid(1, compact.size() - 2));
}

QString ResponseBodyView::displayText(const HTTPResponse& response) {
    const QByteArray& body = response.body;
    const bool small = body.size() <= kFormatLimit;
    if (small && response.bodyLanguage() == CodeLanguage::json) {
        if (auto pretty = prettyJSON(body)) return *pretty;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(body);
    if (decoder.hasError()) return {};
    if (text.size() > kShowLimit) {
        const qsizetype hidden = text.size() - kShowLimit;
        text.truncate(kShowLimit);
        text += QStringLiteral("\n… %1 more characters not shown").arg(hidden);
    }
    return text;
}

void ResponseBodyView::apply(const HTTPResponse& response) {
    setFont(HTTPStyle::font(fontSize(), QFont::Normal, HTTPStyle::Design::monospaced));
    const QString text = displayText(response);
    if (shown_ != text || document()->isEmpty() != text.isEmpty()) {
        highlighter_->setSpans({}, 0);
        setPlainText(text);
        shown_ = text;
    }
    if (response.body.size() > kFormatLimit || text.isEmpty()) return highlighter_->setSpans({}, 0);
    auto highlighter = HighlighterFactory::make(response.bodyLanguage());
    if (!highlighter) return;
    highlighter_->setSpans(highlighter->ranges(text, TextRange{0, text.size()}), text.size());
}
