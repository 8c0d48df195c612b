#pragma once
// The response body: read-only, monospaced, never wrapped, pretty-printed when it is JSON and
// coloured by the language of its content type. Very large bodies are shown without pretty
// printing or colour, and only in part, so showing them cannot stall the window.
#include <QByteArray>
#include <QPlainTextEdit>
#include <optional>

#include "API/HTTPResponse.h"

class ResponseBodyView : public QPlainTextEdit {
    Q_OBJECT
public:
    // Bodies up to this many bytes are pretty-printed and coloured.
    static constexpr qsizetype kFormatLimit = 512 * 1024;
    // At most this many characters are shown.
    static constexpr qsizetype kShowLimit = 2 * 1024 * 1024;

    explicit ResponseBodyView(QWidget* parent = nullptr);

    void apply(const HTTPResponse& response);

    // The body as JSON with sorted keys and indentation; top-level scalars are accepted.
    // Nothing when it does not parse.
    static std::optional<QString> prettyJSON(const QByteArray& body);
    // What the view shows for a response (before colouring).
    static QString displayText(const HTTPResponse& response);
    static qreal fontSize();

private:
    class SpanHighlighter;
    SpanHighlighter* highlighter_;
    QString shown_;
};
