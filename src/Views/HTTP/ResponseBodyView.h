#pragma once
// The response body: read-only, monospaced, never wrapped, pretty-printed when it is JSON and
// coloured by the language of its content type. Large bodies are prepared on a worker thread and
// laid in piece by piece; very large ones are shown without colour, and only in part, as are very
// long lines, so showing them cannot stall the window.
#include <QByteArray>
#include <QPlainTextEdit>
#include <optional>

#include "API/HTTPResponse.h"
#include "Editor/CodeLanguage.h"

class ResponseBodyView : public QPlainTextEdit {
    Q_OBJECT
public:
    // Bodies up to this many bytes are pretty-printed and coloured.
    static constexpr qsizetype kFormatLimit = 512 * 1024;
    // At most this many characters are shown.
    static constexpr qsizetype kShowLimit = 2 * 1024 * 1024;
    // A line is shown up to this many characters: Qt lays a line out whole, again on every change to
    // it, so one line of megabytes (minified code, a blob) would stall the window.
    static constexpr qsizetype kLineShowLimit = 32 * 1024;

    // Bodies up to this many bytes are prepared at once; larger ones on a worker thread.
    static constexpr qsizetype kPrepareAtOnceLimit = 64 * 1024;

    explicit ResponseBodyView(QWidget* parent = nullptr);

    // Shows the response's body. The same body again (a redraw of the viewer) costs nothing.
    void apply(const HTTPResponse& response);
    // The last applied body is not wholly shown yet.
    bool isPreparing() const { return preparing_; }

    // The body as JSON with sorted keys and indentation; top-level scalars are accepted.
    // Nothing when it does not parse.
    static std::optional<QString> prettyJSON(const QByteArray& body);
    // What the view shows for a response (before colouring).
    static QString displayText(const HTTPResponse& response);
    static qreal fontSize();

signals:
    // The last applied body is shown whole.
    void shown();

private:
    class SpanHighlighter;
    struct Prepared;
    void showPrepared(Prepared prepared, quint64 generation);
    void layInRest(quint64 generation);

    SpanHighlighter* highlighter_;
    QByteArray body_;                 // the body last applied, shared with the response
    std::optional<CodeLanguage> language_;
    qreal fontSize_ = 0;
    quint64 generation_ = 0;          // of the last apply; older preparations are dropped
    bool preparing_ = false;
    QString pending_;                 // text still to be laid in
    qsizetype pendingAt_ = 0;
};
