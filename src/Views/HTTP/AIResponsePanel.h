#pragma once
// The collapsible "Ask AI" strip under a response: preset questions and a free one about the
// request and its response, put to the AI command-line tool, with its answer (copyable) or the
// reason it gave none.
#include <QWidget>
#include <functional>
#include <optional>

#include "API/HTTPRequest.h"
#include "API/HTTPResponse.h"
#include "Git/AIBackend.h"

class PressableButton;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

class AIResponsePanel : public QWidget {
    Q_OBJECT
public:
    AIResponsePanel(const HTTPRequest& request, const HTTPResponse& response, QWidget* parent = nullptr);

    // --- the prompts: a fixed instruction, then the request and response as plain text
    static QString contextBlock(const HTTPRequest& request, const HTTPResponse& response);
    static QString explainPrompt(const HTTPRequest& request, const HTTPResponse& response);
    static QString debugPrompt(const HTTPRequest& request, const HTTPResponse& response);
    static QString testCasesPrompt(const HTTPRequest& request, const HTTPResponse& response);
    static QString curlPrompt(const HTTPRequest& request, const HTTPResponse& response);
    static QString questionPrompt(const HTTPRequest& request, const HTTPResponse& response, const QString& question);
    // The first `limit` user-perceived characters of text.
    static QString leadingCharacters(const QString& text, qsizetype limit);
    static QString backendName(AIBackend backend);

    // New values for the next question; what is shown stays.
    void setExchange(const HTTPRequest& request, const HTTPResponse& response);

    void send(const QString& prompt);
    void sendCustom();
    void setExpanded(bool expanded);

    bool isExpanded() const { return expanded_; }
    bool isBusy() const { return busy_; }
    const std::optional<AIBackend>& backend() const { return backend_; }
    const QString& answer() const { return answer_; }
    const std::optional<QString>& errorText() const { return errorText_; }
    QList<PressableButton*> presetButtons() const { return presets_; }
    QLineEdit* questionField() const { return question_; }
    PressableButton* sendButton() const { return send_; }
    PressableButton* copyButton() const { return copy_; }
    QLabel* installNote() const { return install_; }
    QWidget* answerCard() const { return card_; }
    QLabel* busyLine() const { return busyLine_; }
    QLabel* badge() const { return badge_; }

signals:
    void stateChanged();

private:
    void resolveBackend();
    void refresh();
    PressableButton* makePreset(const QString& title, const QString& symbol, std::function<QString()> prompt);

    HTTPRequest request_;
    HTTPResponse response_;
    bool expanded_ = false;
    std::optional<AIBackend> backend_;
    QString answer_;
    bool busy_ = false;
    std::optional<QString> errorText_;

    QAbstractButton* header_;
    QLabel* chevron_;
    QLabel* badge_;
    QWidget* content_;
    QLabel* install_;
    QWidget* ready_;
    QList<PressableButton*> presets_;
    QLineEdit* question_;
    PressableButton* send_;
    QLabel* error_;
    QWidget* card_;
    PressableButton* copy_;
    QLabel* busyLine_;
    QPlainTextEdit* answerText_;
};
