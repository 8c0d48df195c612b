#pragma once
// The lower half of the request editor: the window's last response as a status line (status,
// time, size, type) over its headers or its body, a spinner while a send runs, and the Ask-AI
// panel under a finished response.
#include <QColor>
#include <QMap>
#include <QPointer>
#include <QWidget>

#include "API/HTTPResponse.h"
#include "Views/HTTP/AIResponsePanel.h"
#include "Views/HTTP/StatusPill.h"

class AIResponsePanel;
class AppState;
class QHBoxLayout;
class QLabel;
class QScrollArea;
class QStackedLayout;
class QVBoxLayout;
class ResponseBodyView;
class StatusPill;
class TabStrip;

class ResponseView : public QWidget {
    Q_OBJECT
public:
    enum class Tab { body, headers };
    // Header fields shown as rows, and characters shown of a value: a server may send a megabyte of
    // fields, and a row of widgets each, or a wrapped label of a long value, would stall the window.
    static constexpr int kHeaderRowLimit = 500;
    static constexpr qsizetype kHeaderValueLimit = 4 * 1024;

    ResponseView(AppState& app, QWidget* parent = nullptr);

    static QColor statusColor(int status);
    static QString formatBytes(qint64 bytes);
    // Whole milliseconds, truncated, followed by " ms".
    static QString durationText(double seconds);
    // The Content-Type value up to its first ";", looked up under the two usual spellings only.
    static std::optional<QString> typeText(const QMap<QString, QString>& headers);

    Tab tab() const { return tab_; }
    void setTab(Tab tab);

    // What is shown, for the window and for tests.
    StatusPill* statusPill() const { return pill_; }
    QStringList statTexts() const;  // "TIME 123 ms", ...
    bool showsSpinner() const;
    ResponseBodyView* bodyView() const { return body_; }
    QWidget* headersList() const { return headersList_; }
    AIResponsePanel* aiPanel() const { return ai_; }
    TabStrip* tabs() const { return tabs_; }

    void refresh();

    static constexpr int kMinimumHeight = 240;

private:
    void fillHeader();
    void fillContent();
    void fillHeaders(const HTTPResponse& response);
    void placeAIPanel();
    // At least kMinimumHeight, and more when the Ask-AI panel's open content needs it.
    void fitMinimumHeight();

    AppState& app_;
    Tab tab_ = Tab::body;
    QWidget* headerRow_;
    QHBoxLayout* stats_;
    QPointer<StatusPill> pill_;
    TabStrip* tabs_;
    QStackedLayout* pages_;
    QWidget* emptyPage_;
    QWidget* spinnerPage_;
    QScrollArea* headersScroll_;
    QWidget* headersList_ = nullptr;
    ResponseBodyView* body_;
    QWidget* aiDivider_;
    QPointer<AIResponsePanel> ai_;
    QVBoxLayout* column_;
};
