#include "Views/HTTP/ResponseBodyView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QFutureWatcher>
#include <QStringDecoder>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QtConcurrent>
#include <algorithm>

#include "AppState.h"
#include "Editor/HighlighterFactory.h"
#include "Platform/SettingsStore.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/HTTP/HTTPStyle.h"

// Paints spans computed beforehand, filed by line, as blocks are laid in.
class ResponseBodyView::SpanHighlighter : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;
    using Buckets = QList<QList<SyntaxHighlighter::Span>>;

    // Taken before the text is laid in: each block is coloured as it arrives.
    void setBuckets(Buckets buckets) { buckets_ = std::move(buckets); }

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
    Buckets buckets_;
};

struct ResponseBodyView::Prepared {
    QString text;
    SpanHighlighter::Buckets buckets;
};

namespace {

// Lines as the view lays them: every line break becomes a line feed.
QString withLineFeeds(QString text) {
    if (!text.contains(u'\r') && !text.contains(QChar(0x2029))) return text;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n').replace(QChar(0x2029), u'\n');
}

// At most kShowLimit characters, then a note of how many more there are.
QString capped(QString text) {
    if (text.size() > ResponseBodyView::kShowLimit) {
        const qsizetype hidden = text.size() - ResponseBodyView::kShowLimit;
        text.truncate(ResponseBodyView::kShowLimit);
        text += QStringLiteral("\n… %1 more characters not shown").arg(hidden);
    }
    return text;
}

// Each line at most kLineShowLimit characters, then a note of how many more it has.
QString linesCapped(const QString& text) {
    constexpr qsizetype limit = ResponseBodyView::kLineShowLimit;
    QString out;  // stays null while no line is cut
    for (qsizetype start = 0;;) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) end = text.size();
        const QStringView line = QStringView(text).mid(start, end - start);
        if (line.size() > limit) {
            if (out.isNull()) {
                out.reserve(text.size());
                out += QStringView(text).left(start);
            }
            const qsizetype cut = line.at(limit - 1).isHighSurrogate() ? limit - 1 : limit;
            out += line.left(cut);
            out += QStringLiteral(" … %1 more characters on this line not shown").arg(line.size() - cut);
        } else if (!out.isNull()) {
            out += line;
        }
        if (end == text.size()) break;
        if (!out.isNull()) out += u'\n';
        start = end + 1;
    }
    return out.isNull() ? text : out;
}

QString displayTextOf(const QByteArray& body, CodeLanguage language) {
    if (language == CodeLanguage::json) {
        if (auto pretty = ResponseBodyView::prettyJSON(body)) return capped(std::move(*pretty));
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(body);
    if (decoder.hasError()) return {};
    return capped(std::move(text));
}

// Spans filed under the lines they touch, in list order, so later spans still win.
QList<QList<SyntaxHighlighter::Span>> bucketed(const QString& text, const QList<SyntaxHighlighter::Span>& spans) {
    QList<qsizetype> starts{0};
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'\n') starts << i + 1;
    QList<QList<SyntaxHighlighter::Span>> buckets(starts.size());
    for (const SyntaxHighlighter::Span& span : spans) {
        if (span.range.end() > text.size() || span.range.length <= 0) continue;
        auto it = std::upper_bound(starts.begin(), starts.end(), span.range.location);
        for (qsizetype i = std::max<qsizetype>(0, (it - starts.begin()) - 1); i < starts.size() && starts[i] < span.range.end(); ++i)
            buckets[i].append(span);
    }
    return buckets;
}

// Text laid in per turn of the event loop: a few milliseconds of layout.
constexpr qsizetype kLayInChunk = 128 * 1024;

} // namespace

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
    document()->setUndoRedoEnabled(false);
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
    return linesCapped(withLineFeeds(displayTextOf(response.body, response.bodyLanguage())));
}

void ResponseBodyView::apply(const HTTPResponse& response) {
    const qreal size = fontSize();
    if (size != fontSize_) {
        fontSize_ = size;
        setFont(HTTPStyle::font(size, QFont::Normal, HTTPStyle::Design::monospaced));
    }
    const CodeLanguage language = response.bodyLanguage();
    if (language_ == language && body_.constData() == response.body.constData() && body_.size() == response.body.size()) return;
    body_ = response.body;
    language_ = language;
    const quint64 generation = ++generation_;
    preparing_ = true;
    // Made here: highlighters may read shared resources; the worker only runs it.
    std::shared_ptr<SyntaxHighlighter> highlighter;
    if (body_.size() <= kFormatLimit) highlighter = HighlighterFactory::make(language);
    auto prepare = [body = body_, language, highlighter] {
        Prepared prepared;
        prepared.text = linesCapped(withLineFeeds(displayTextOf(body, language)));
        if (highlighter && !prepared.text.isEmpty())
            prepared.buckets = bucketed(prepared.text, highlighter->ranges(prepared.text, TextRange{0, prepared.text.size()}));
        return prepared;
    };
    if (body_.size() <= kPrepareAtOnceLimit) return showPrepared(prepare(), generation);
    // Until the new body is ready, the old one is not passed off as its content.
    highlighter_->setBuckets({});
    setPlainText(QString());
    // The worker owns copies of all it reads. The watcher is the view's child: once the view is
    // gone, so is the watcher, and the finished preparation is dropped unseen. (A continuation
    // with the view as its context would run against a deleted context.)
    auto* watcher = new QFutureWatcher<Prepared>(this);
    connect(watcher, &QFutureWatcher<Prepared>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        showPrepared(watcher->result(), generation);
    });
    watcher->setFuture(QtConcurrent::run(prepare));
}

void ResponseBodyView::showPrepared(Prepared prepared, quint64 generation) {
    if (generation != generation_) return;
    highlighter_->setBuckets(std::move(prepared.buckets));
    pending_ = std::move(prepared.text);
    pendingAt_ = 0;
    setPlainText(QString());
    layInRest(generation);
}

void ResponseBodyView::layInRest(quint64 generation) {
    if (generation != generation_) return;
    qsizetype end = std::min(pending_.size(), pendingAt_ + kLayInChunk);
    if (end < pending_.size()) {
        // Whole lines only, so that each block is coloured once, whole.
        const qsizetype feed = pending_.lastIndexOf(u'\n', end - 1);
        if (feed >= pendingAt_) end = feed + 1;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(pending_.mid(pendingAt_, end - pendingAt_));
    pendingAt_ = end;
    if (pendingAt_ < pending_.size()) {
        QTimer::singleShot(0, this, [this, generation] { layInRest(generation); });
        return;
    }
    pending_.clear();
    pendingAt_ = 0;
    preparing_ = false;
    emit shown();
}
