#pragma once
// The editor of the window's active HTTP request: send bar (method, URL, Send, history, copy as
// code), the Auth/Body/Headers/Params/Raw tabs and, once a send has started, the response.
// It edits a working copy; every change is handed at once to the window state, which rewrites
// the request's file. A replayed request that no file holds any more is shown read-only.
#include <QPointer>
#include <QWidget>

#include "API/APICollectionFile.h"
#include "API/CodeGenTarget.h"
#include "API/HTTPRequest.h"
#include "Views/HTTP/HistoryPopover.h"

class AppState;
class AuthView;
class HistoryPopover;
class KeyValueEditor;
class PressableButton;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QStackedLayout;
class RawRequestEditor;
class RequestBodyEditor;
class ResponseView;
class TabStrip;

class RequestView : public QWidget {
    Q_OBJECT
public:
    enum class Tab { auth, body, headers, params, raw };
    static QString tabTitle(Tab tab);
    static constexpr int kCopiedMs = 1200;

    RequestView(AppState& app, const APICollectionFile& file, const HTTPRequest& request, QWidget* parent = nullptr);

    const HTTPRequest& request() const { return request_; }
    // Replaces the working copy; a different value is handed to the window state.
    void setRequest(const HTTPRequest& request);
    Tab tab() const { return tab_; }
    void setTab(Tab tab);
    bool isReadOnly() const { return readOnly_; }

    void send();
    void copyCode(CodeGenTarget target);
    // Takes the Raw tab's text over; says why when it holds no request.
    void applyRaw();
    void toggleHistory();

    // Parts, for the window and for tests.
    PressableButton* methodButton() const { return method_; }
    QMenu* methodMenu() const { return methodMenu_; }
    QLineEdit* urlField() const { return url_; }
    PressableButton* sendButton() const { return send_; }
    PressableButton* cancelButton() const { return cancel_; }
    PressableButton* historyButton() const { return history_; }
    HistoryPopover* historyPopover() const { return popover_; }
    PressableButton* copyButton() const { return copy_; }
    QMenu* copyMenu() const { return copyMenu_; }
    bool justCopied() const { return justCopied_; }
    TabStrip* tabs() const { return tabs_; }
    AuthView* authView() const { return auth_; }
    RequestBodyEditor* bodyEditor() const { return body_; }
    KeyValueEditor* headersEditor() const { return headers_; }
    KeyValueEditor* paramsEditor() const { return params_; }
    RawRequestEditor* rawEditor() const { return raw_; }
    ResponseView* responseView() const { return response_; }
    QLabel* noteLabel() const { return note_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeSendBar();
    QWidget* makeTabBar();
    void fill();
    void refreshSendState();
    void followActiveRequest();
    void setNote(const QString& text, bool error);
    // The Raw tab's text made from the working copy, which is remembered as the text's base.
    void showRaw();

    AppState& app_;
    APICollectionFile file_;
    HTTPRequest request_;
    // What the Raw tab's text reads as, its unchanged rows carrying the ids of the request it was made from.
    HTTPRequest rawShown_;
    Tab tab_ = Tab::body;
    bool readOnly_ = false;
    bool justCopied_ = false;
    int copies_ = 0;

    PressableButton* method_;
    QMenu* methodMenu_;
    QLineEdit* url_;
    PressableButton* send_;
    PressableButton* cancel_;
    PressableButton* history_;
    QPointer<HistoryPopover> popover_;
    PressableButton* copy_;
    QMenu* copyMenu_;
    TabStrip* tabs_;
    QLabel* note_;
    QStackedLayout* pages_;
    AuthView* auth_;
    RequestBodyEditor* body_;
    KeyValueEditor* headers_;
    KeyValueEditor* params_;
    RawRequestEditor* raw_;
    ResponseView* response_;
};
