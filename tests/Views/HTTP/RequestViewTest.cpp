// The request editor with its tabs, the response viewer, the auth editor and the history popover.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QLineEdit>
#include <QMenu>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QThreadPool>
#include <gtest/gtest.h>

#include "API/HTTPClient.h"
#include "API/HTTPFileFormat.h"
#include "API/LoopbackServer.h"
#include "AppState.h"
#include "Git/AIService.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "UI/FocusRing.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/AIResponsePanel.h"
#include "Views/HTTP/AuthView.h"
#include "Views/HTTP/HistoryPopover.h"
#include "Views/HTTP/KeyValueEditor.h"
#include "Views/HTTP/RawRequestEditor.h"
#include "Views/HTTP/RequestBodyEditor.h"
#include "Views/HTTP/RequestView.h"
#include "Views/HTTP/ResponseBodyView.h"
#include "Views/HTTP/ResponseView.h"
#include "Views/HTTP/TabStrip.h"

using namespace testing_support;

namespace {

struct RequestViewFixture : ::testing::Test {
    TempFolder dir;
    ScriptedPrompter prompter;
    AppState app;
    QString path;
    std::unique_ptr<RequestView> view;

    void SetUp() override {
        path = dir.write("api/users.http", "### first\nGET https://example.com/1\n\n### second\nPOST https://example.com/2\n"
                                           "Content-Type: application/json\n\n{\"a\":1}\n\n### third\nGET https://example.com/3\n");
        app.openFolder(dir.path());
        ASSERT_TRUE(waitUntil([&] { return !app.api().isScanning(); }));
        const APICollectionFile file = app.api().collections().first();
        app.openRequest(file.requests[1], file);
        view = std::make_unique<RequestView>(app, file, file.requests[1]);
    }
    QString disk() const { return QString::fromUtf8(readBytes(path)); }
    // Replaces the URL by typing, as a user would.
    void typeUrl(const QString& url) {
        view->urlField()->setText({});
        QTest::keyClicks(view->urlField(), url);
    }
};

HTTPResponse response(int status, const QByteArray& body = {}, const QMap<QString, QString>& headers = {}) {
    HTTPResponse r;
    r.status = status;
    r.statusText = QStringLiteral("Status");
    r.body = body;
    r.size = body.size();
    r.headers = headers;
    r.duration = 0.1234;
    return r;
}

} // namespace

TEST_F(RequestViewFixture, EditsAreWrittenAtOnceButAppearingWritesNothing) {
    const QString before = disk();
    view->setTab(RequestView::Tab::raw);
    view->setTab(RequestView::Tab::headers);
    EXPECT_EQ(disk(), before);

    typeUrl("https://example.com/two");
    EXPECT_TRUE(disk().contains("POST https://example.com/two"));
    EXPECT_TRUE(disk().contains("### first\nGET https://example.com/1"));
    EXPECT_EQ(app.activeRequest()->request.url, "https://example.com/two");

    view->headersEditor()->add();
    EXPECT_EQ(view->request().headers.size(), 2);
    view->headersEditor()->remove(0);
    ASSERT_EQ(view->request().headers.size(), 1);
    EXPECT_TRUE(view->request().headers[0].key.isEmpty());
}

TEST_F(RequestViewFixture, AnEditTheFileCannotHoldIsNotSavedAndSaidSoUntilOneIs) {
    const QString before = disk();
    HTTPRequest edited = view->request();
    edited.body = QStringLiteral("{\"a\":1}\n### heading");
    view->setRequest(edited);
    EXPECT_EQ(disk(), before);
    EXPECT_TRUE(view->noteLabel()->text().startsWith("Not saved: ")) << view->noteLabel()->text().toStdString();

    edited.body = QStringLiteral("{\"a\":2}");
    view->setRequest(edited);
    EXPECT_TRUE(disk().contains("{\"a\":2}"));
    EXPECT_EQ(view->noteLabel()->text(), "second") << "the note still says the request is not saved";
}

// The text file has no way to write a parameter switched off: the switch is refused with a reason
// and the row stays in the file; the next edit that can be saved brings the file's version back.
TEST_F(RequestViewFixture, AParameterSwitchedOffInATextFileIsRefusedAndStaysInTheFile) {
    KeyValueEditor* params = view->paramsEditor();
    params->add();
    QTest::keyClicks(params->keyField(0), "size");
    QTest::keyClicks(params->valueField(0), "10");
    ASSERT_TRUE(disk().contains("POST https://example.com/2?size=10\n")) << disk().toStdString();

    params->setEnabledAt(0, false);
    EXPECT_TRUE(disk().contains("POST https://example.com/2?size=10\n")) << disk().toStdString();
    EXPECT_TRUE(view->noteLabel()->text().startsWith("Not saved: ")) << view->noteLabel()->text().toStdString();
    EXPECT_TRUE(view->noteLabel()->text().contains("“size”")) << view->noteLabel()->text().toStdString();

    QTest::keyClick(view->urlField(), Qt::Key_End);
    QTest::keyClicks(view->urlField(), "0");
    EXPECT_TRUE(disk().contains("POST https://example.com/20?size=10\n")) << disk().toStdString();
    ASSERT_EQ(view->request().params.size(), 1);
    EXPECT_TRUE(view->request().params[0].enabled);
    EXPECT_EQ(view->noteLabel()->text(), "second");
}

TEST_F(RequestViewFixture, TypingNeverWritesOverAChangeMadeOutside) {
    auto changeOutside = [&](const QString& from, const QString& to) {
        QString text = disk();
        text.replace(from, to);
        dir.write("api/users.http", text.toUtf8());
    };
    // Before the folder watcher has seen it, and after it has.
    changeOutside("application/json\n", "application/json\nX-Outside: 1\n");
    changeOutside("### third", "### renamed");
    QTest::keyClicks(view->urlField(), "x");
    changeOutside("X-Outside: 1\n", "X-Outside: 1\nX-Later: 2\n");
    changeOutside("### first", "### one");
    app.api().reload();
    QTest::keyClicks(view->urlField(), "y");
    EXPECT_EQ(disk(), "### one\nGET https://example.com/1\n\n### second\nPOST https://example.com/2xy\n"
                      "Content-Type: application/json\nX-Outside: 1\nX-Later: 2\n\n{\"a\":1}\n\n"
                      "### renamed\nGET https://example.com/3\n");
    EXPECT_EQ(view->request().headers.size(), 3);
    EXPECT_TRUE(prompter.asked.isEmpty());

    // The Raw tab follows too, unless its text is being edited.
    view->setTab(RequestView::Tab::raw);
    changeOutside("X-Later: 2", "X-Later: 3");
    app.api().reload();
    EXPECT_TRUE(view->rawEditor()->text().contains("X-Later: 3"));
    QTest::keyClicks(view->rawEditor()->editor(), "z");
    changeOutside("X-Later: 3", "X-Later: 4");
    app.api().reload();
    EXPECT_TRUE(view->rawEditor()->text().contains("X-Later: 3"));
}

TEST(AuthTab, ShowingWritesNothingAndAnEditReplacesEveryCredential) {
    TempFolder dir;
    ScriptedPrompter prompter;
    AppState app;
    const QByteArray text = "### secret\nGET https://example.com/x\nContent-Type: application/json\n"
                            "Authorization: Bearer {{token}}\nX-Api-Key: SUPERSECRET-KEY-999\n";
    const QString path = dir.write("api.http", text);
    app.openFolder(dir.path());
    ASSERT_TRUE(waitUntil([&] { return !app.api().isScanning(); }));
    const APICollectionFile file = app.api().collections().first();
    app.openRequest(file.requests[0], file);
    RequestView view(app, file, file.requests[0]);

    view.setTab(RequestView::Tab::auth);
    view.setTab(RequestView::Tab::body);
    view.setTab(RequestView::Tab::auth);
    EXPECT_EQ(readBytes(path), text);
    EXPECT_EQ(view.authView()->draft().type, AuthType::bearer);

    QTest::keyClick(view.authView()->tokenField(), Qt::Key_End);
    QTest::keyClicks(view.authView()->tokenField(), "2");
    // The API key goes with the old token: the chosen credential is the only one sent.
    const QByteArray head = "### secret\nGET https://example.com/x\n";
    EXPECT_EQ(readBytes(path), head + "Authorization: Bearer {{token}}2\nContent-Type: application/json\n");

    emit view.authView()->typeMenu()->activated(0);
    EXPECT_EQ(readBytes(path), head + "Content-Type: application/json\n");
}

TEST_F(RequestViewFixture, SendIsDisabledForAnEmptyUrlOnly) {
    view->urlField()->setText({});
    emit view->urlField()->textEdited({});
    EXPECT_FALSE(view->sendButton()->isEnabled());
    emit view->urlField()->textEdited(" ");
    EXPECT_TRUE(view->sendButton()->isEnabled());
}

TEST_F(RequestViewFixture, RawTabShowsThisRequestAloneAndApplyKeepsItsIdentity) {
    view->setTab(RequestView::Tab::raw);
    const QString raw = view->rawEditor()->text();
    EXPECT_TRUE(raw.contains("POST https://example.com/2"));
    EXPECT_FALSE(raw.contains("example.com/1"));
    EXPECT_FALSE(raw.contains("example.com/3"));

    const QUuid id = view->request().id;
    view->rawEditor()->setText("### renamed\nPUT https://example.com/x\n\n### other\nGET https://example.com/y\n");
    view->applyRaw();
    EXPECT_EQ(view->request().id, id);
    EXPECT_EQ(view->request().name, "renamed");
    EXPECT_EQ(view->request().method, HTTPMethod::put);
    const QList<HTTPRequest> onDisk = HTTPFileFormat::parse(disk());
    ASSERT_EQ(onDisk.size(), 3);
    EXPECT_EQ(onDisk[0].url, "https://example.com/1");
    EXPECT_EQ(onDisk[1].name, "renamed");
    EXPECT_EQ(onDisk[2].url, "https://example.com/3");
}

// Raw text being edited while the request changes elsewhere (typed in the send bar, or changed on
// disk): Apply takes over what the text changed and keeps the rest of what happened meanwhile.
TEST_F(RequestViewFixture, ApplyingRawTextKeepsWhatChangedWhileItWasEdited) {
    view->setTab(RequestView::Tab::raw);
    view->rawEditor()->editor()->setPlainText(view->rawEditor()->text().replace("{\"a\":1}", "{\"a\":2}"));
    QTest::keyClick(view->urlField(), Qt::Key_End);
    QTest::keyClicks(view->urlField(), "x");
    dir.write("api/users.http", disk().replace("application/json\n", "application/json\nX-Outside: 1\n").toUtf8());
    app.api().reload(QSet<QString>{"api/users.http"});
    ASSERT_EQ(view->request().headers.size(), 2);
    view->applyRaw();
    EXPECT_EQ(disk().toStdString(), "### first\nGET https://example.com/1\n\n### second\nPOST https://example.com/2x\n"
                      "Content-Type: application/json\nX-Outside: 1\n\n{\"a\":2}\n\n### third\nGET https://example.com/3\n");
}

// The Raw tab writes a request as a .http section, which cannot show all a .bru file holds
// (switched-off query rows, a header name with a colon, the body's kind without a Content-Type).
// Applying an edit there changes only what the edit changed; the rest of the file stays.
TEST_F(RequestViewFixture, ApplyingRawTextKeepsWhatTheTextCouldNotShow) {
    const QString bru = "meta {\n  name: bru\n  type: http\n  seq: 1\n}\n\npost {\n  url: https://example.com/b\n"
                        "  body: json\n  auth: none\n}\n\nparams:query {\n  a: 1\n  ~off: 2\n}\n\nheaders {\n"
                        "  \"colon:name\": v\n  x-kept: k\n}\n\nbody:json {\n  {\"a\": 1}\n}\n";
    const QString bruPath = dir.write("api/one.bru", bru.toUtf8());
    app.api().reload();
    const auto file = std::find_if(app.api().collections().cbegin(), app.api().collections().cend(),
                                   [&](const APICollectionFile& f) { return f.url == bruPath; });
    ASSERT_NE(file, app.api().collections().cend());
    app.openRequest(file->requests[0], *file);
    view = std::make_unique<RequestView>(app, *file, file->requests[0]);
    view->setTab(RequestView::Tab::raw);
    const QString shown = view->rawEditor()->text();
    ASSERT_TRUE(shown.contains("https://example.com/b?a=1")) << shown.toStdString();

    // Apply with nothing changed writes nothing.
    view->applyRaw();
    EXPECT_EQ(QString::fromUtf8(readBytes(bruPath)).toStdString(), bru.toStdString());

    view->rawEditor()->setText(QString(shown).replace("example.com/b?", "example.com/c?").replace("x-kept: k", "x-kept: K"));
    view->applyRaw();
    EXPECT_EQ(QString::fromUtf8(readBytes(bruPath)).toStdString(),
              QString(bru).replace("example.com/b", "example.com/c").replace("x-kept: k", "x-kept: K").toStdString());
}

// Wrapping a line costs time that grows with the square of its length (a body of minified JSON
// took seconds per key at 1 MB): a line too long to read wrapped is laid out as one line, while
// ordinary lines still wrap.
TEST_F(RequestViewFixture, AVeryLongLineIsNotWrappedInTheBodyOrTheRawText) {
    view->resize(500, 600);
    view->show();
    QPlainTextEdit* body = view->bodyEditor()->textEditor();
    // The lines the longest line of the editor is laid out in.
    const auto linesOfLongest = [](QPlainTextEdit* editor) {
        QCoreApplication::processEvents();
        QTextBlock longest = editor->document()->firstBlock();
        for (QTextBlock b = longest; b.isValid(); b = b.next())
            if (b.length() > longest.length()) longest = b;
        return longest.layout()->lineCount();
    };
    QTextCursor(body->document()).insertText(QString(300, u'w') + u'\n');
    EXPECT_GT(linesOfLongest(body), 1) << "an ordinary line wraps";

    QTextCursor paste(body->document());
    paste.movePosition(QTextCursor::End);
    paste.insertText("\n" + QString(100000, u'x'));  // pasted as one piece
    EXPECT_EQ(linesOfLongest(body), 1);
    EXPECT_TRUE(view->request().body.endsWith(QString(100000, u'x')));

    view->setTab(RequestView::Tab::raw);
    QPlainTextEdit* raw = view->rawEditor()->editor();
    EXPECT_EQ(linesOfLongest(raw), 1);

    // A body read afresh without the long line wraps again.
    view->bodyEditor()->show(BodyKind::text, QString(300, u'w'));
    EXPECT_GT(linesOfLongest(body), 1);
}

TEST_F(RequestViewFixture, RawTextWithoutARequestIsExplainedAndKept) {
    view->setTab(RequestView::Tab::raw);
    const QString before = disk();
    view->rawEditor()->setText("### bad\nFETCH https://example.com\n");
    view->applyRaw();
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "The raw text holds no request.");
    EXPECT_EQ(view->rawEditor()->text(), "### bad\nFETCH https://example.com\n");
    EXPECT_EQ(disk(), before);
}

TEST_F(RequestViewFixture, CopyAsCodePutsTheSnippetOnTheClipboardAndMarksItBriefly) {
    QList<QAction*> items = view->copyMenu()->actions();
    ASSERT_EQ(items.size(), 3);
    items[0]->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().contains("https://example.com/2"));
    EXPECT_TRUE(view->justCopied());
    EXPECT_TRUE(waitUntil([&] { return !view->justCopied(); }, 120000));
}

TEST_F(RequestViewFixture, AFailedSendShowsAsAnErrorResponseAndIsRecorded) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    server.close();  // nothing listens there now: the connection is refused
    typeUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    EXPECT_TRUE(view->responseView()->isHidden());
    view->send();
    EXPECT_TRUE(app.isSending());
    EXPECT_FALSE(view->sendButton()->isEnabled());
    EXPECT_FALSE(view->responseView()->isHidden());
    EXPECT_TRUE(view->responseView()->showsSpinner());
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }, 120000));
    ASSERT_TRUE(app.lastResponse());
    EXPECT_EQ(view->responseView()->statusPill()->code(), "ERR");
    EXPECT_EQ(app.history().entries().size(), 1);
    EXPECT_NE(view->responseView()->aiPanel(), nullptr);
}

TEST_F(RequestViewFixture, ABodyTooLargeIsSaidSo) {
    loopback::LoopbackServer server;
    server.respondWith({.endless = true});
    const qint64 saved = HTTPClient::maxBodyBytes();
    HTTPClient::setMaxBodyBytes(1024 * 1024);
    typeUrl(server.url("/stream"));
    view->send();
    const bool finished = waitUntil([&] { return !app.isSending(); }, 120000);
    HTTPClient::setMaxBodyBytes(saved);
    ASSERT_TRUE(finished);
    ASSERT_NE(view->responseView()->statusPill(), nullptr);
    EXPECT_EQ(view->responseView()->statusPill()->code(), "ERR");
    EXPECT_EQ(view->responseView()->statusPill()->text(), "Response body too large: over 1 MB.");
}

// A send that never ends can be stopped: Cancel shows only while sending, the response says the
// request was cancelled, and the next send goes out as usual.
TEST_F(RequestViewFixture, CancelStopsASendAndTheNextOneWorks) {
    loopback::LoopbackServer server;
    server.respondTo("/slow", {.body = QByteArray(100000, 't'), .trickleMs = 50});
    server.respondWith({.body = "done"});
    typeUrl(server.url("/slow"));
    EXPECT_TRUE(view->cancelButton()->isHidden());
    view->send();
    EXPECT_FALSE(view->cancelButton()->isHidden());
    ASSERT_TRUE(waitUntil([&] { return server.receivedCount() == 1; }));
    view->cancelButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    EXPECT_TRUE(view->cancelButton()->isHidden());
    ASSERT_NE(view->responseView()->statusPill(), nullptr);
    EXPECT_EQ(view->responseView()->statusPill()->code(), "ERR");
    EXPECT_EQ(view->responseView()->statusPill()->text(), "The request was cancelled.");
    EXPECT_EQ(app.history().entries().size(), 1);

    typeUrl(server.url("/fast"));
    ASSERT_TRUE(view->sendButton()->isEnabled());
    view->send();
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    ASSERT_TRUE(app.lastResponse());
    EXPECT_EQ(app.lastResponse()->status, 200);
    EXPECT_EQ(app.lastResponse()->body, "done");
}

// By keyboard: Return on Send hands the keys to Cancel while the request runs and back to Send once
// it ends, so the next Return sends again instead of acting on whatever control comes next.
TEST_F(RequestViewFixture, TheKeyboardGoesFromSendToCancelAndBack) {
    loopback::LoopbackServer server;
    server.respondTo("/slow", {.body = QByteArray(100000, 't'), .trickleMs = 50});
    typeUrl(server.url("/slow"));
    view->resize(900, 600);
    view->show();
    view->activateWindow();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get(), 60000));
    view->sendButton()->setFocus();
    for (int round = 1; round <= 2; ++round) {
        ASSERT_EQ(QApplication::focusWidget(), view->sendButton());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ASSERT_TRUE(app.isSending());
        ASSERT_EQ(QApplication::focusWidget(), view->cancelButton())
            << (QApplication::focusWidget() ? QApplication::focusWidget()->toolTip().toStdString() : "nothing");
        ASSERT_TRUE(waitUntil([&] { return server.receivedCount() == round; }));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
        EXPECT_EQ(app.history().entries().size(), round);
    }
    EXPECT_EQ(QApplication::focusWidget(), view->sendButton());
}

// The request's tabs and the response's are reached with Tab like any control, show it, and
// Left and Right choose among them; Tab goes on into the chosen tab and Shift+Tab comes back.
TEST_F(RequestViewFixture, TheTabsAreReachedAndChosenByKeyboard) {
    view->resize(900, 600);
    view->show();
    view->activateWindow();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get(), 60000));
    view->copyButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), view->tabs());
    EXPECT_TRUE(view->tabs()->focusRing().isShown());
    ASSERT_EQ(view->tab(), RequestView::Tab::body);
    QTest::keyClick(view->tabs(), Qt::Key_Right);
    EXPECT_EQ(view->tab(), RequestView::Tab::headers);
    for (int i = 0; i < 3; ++i) QTest::keyClick(view->tabs(), Qt::Key_Left);
    EXPECT_EQ(view->tab(), RequestView::Tab::auth) << "the first tab stays chosen";
    QTest::keyClick(view->tabs(), Qt::Key_End);
    EXPECT_EQ(view->tab(), RequestView::Tab::raw);
    QTest::keyClick(view->tabs(), Qt::Key_Home);
    EXPECT_EQ(view->tab(), RequestView::Tab::auth);
    QTest::keyClick(view->tabs(), Qt::Key_Tab);
    EXPECT_TRUE(view->authView()->isAncestorOf(QApplication::focusWidget())) << "Tab goes on into the chosen tab";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), view->tabs());
    QTest::keyClick(view->tabs(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), view->copyButton());

    app.history().record(view->request(), view->request().url, response(200, "{}"));
    app.replay(app.history().entries().first().id);
    ResponseView* answer = view->responseView();
    ASSERT_NE(answer, nullptr);
    answer->tabs()->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), answer->tabs());
    QTest::keyClick(answer->tabs(), Qt::Key_Right);
    EXPECT_EQ(answer->tab(), ResponseView::Tab::headers);
}

// At the window's smallest size, an answer from the Ask-AI panel and the response body both stay
// readable: the response takes room from the request's tab rather than squeezing either to a sliver.
TEST_F(RequestViewFixture, AtTheSmallestWindowTheAnswerAndTheBodyKeepSeveralLines) {
    TempFolder tools;
    const QString tool = tools.write("claude", "#!/bin/sh\nprintf 'one\\ntwo\\nthree\\nfour\\nfive\\n'\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString oldPrefix = AIService::searchPathPrefix();
    AIService::setSearchPathPrefix(tools.path());
    // The editor area of a 1040 x 720 window.
    view->resize(716, 634);
    view->show();
    app.history().record(view->request(), view->request().url, response(200, "{\"a\": [1, 2, 3, 4, 5, 6]}"));
    app.replay(app.history().entries().first().id);
    AIResponsePanel* panel = view->responseView()->aiPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(waitUntil([&] { return panel->backend().has_value(); }));
    panel->send("hello");
    ASSERT_TRUE(waitUntil([&] { return !panel->isBusy(); }, 120000));
    AIService::setSearchPathPrefix(oldPrefix);
    ASSERT_FALSE(panel->answer().isEmpty());
    view->layout()->activate();
    QCoreApplication::processEvents();

    auto* answer = panel->answerCard()->findChild<QPlainTextEdit*>();
    ASSERT_NE(answer, nullptr);
    const int threeLines = 3 * answer->fontMetrics().lineSpacing();
    EXPECT_GE(panel->height(), panel->layout()->minimumSize().height()) << "the panel's rows are squeezed over one another";
    EXPECT_GE(answer->height(), threeLines);
    EXPECT_GE(view->responseView()->bodyView()->height(), threeLines);
    const QRect panelInView(panel->mapTo(view.get(), QPoint(0, 0)), panel->size());
    EXPECT_LE(panelInView.bottom(), view->rect().bottom()) << "the panel is cut off at the bottom";
    view->hide();
}

// A send takes the Ask-AI panel away; when it held the keyboard, the keyboard goes to the response's
// tabs just before it rather than to nothing (from where Tab would start over at the window's edge).
TEST_F(RequestViewFixture, SendingWhileTheAskPanelHoldsTheKeyboardLeavesItOnTheResponseTabs) {
    loopback::LoopbackServer server;
    server.respondTo("/slow", {.body = QByteArray(100, 't'), .trickleMs = 5});
    typeUrl(server.url("/slow"));
    view->resize(900, 700);
    view->show();
    view->activateWindow();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get(), 60000));
    app.history().record(view->request(), view->request().url, response(200, "{}"));
    app.replay(app.history().entries().first().id);
    ResponseView* answer = view->responseView();
    ASSERT_NE(answer->aiPanel(), nullptr);
    QWidget* header = answer->aiPanel()->findChild<QPushButton*>();
    ASSERT_NE(header, nullptr);
    header->setFocus(Qt::TabFocusReason);
    view->send();
    ASSERT_TRUE(app.isSending());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(QApplication::focusWidget(), answer->tabs());
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }, 120000));
    EXPECT_EQ(QApplication::focusWidget(), answer->tabs());
}

// Rows made again (here by Add) stay where the editor stands in the Tab order: right after the tabs,
// not after the response and its Ask-AI panel further down.
TEST_F(RequestViewFixture, HeaderRowsMadeAgainStayBeforeTheResponseInTheTabOrder) {
    view->resize(900, 700);
    view->show();
    view->activateWindow();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get(), 60000));
    app.history().record(view->request(), view->request().url, response(200, "{}"));
    app.replay(app.history().entries().first().id);
    ASSERT_NE(view->responseView()->aiPanel(), nullptr);
    view->setTab(RequestView::Tab::headers);
    view->headersEditor()->addButton()->click();
    ASSERT_NE(view->headersEditor()->keyField(1), nullptr);
    view->tabs()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view->tabs(), Qt::Key_Tab);
    QWidget* first = QApplication::focusWidget();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(view->headersEditor()->isAncestorOf(first) && first != view->headersEditor()->addButton())
        << "Tab went to " << first->metaObject()->className();
}

// The request being edited renamed in the file's text elsewhere, or its file deleted: typing can
// reach no file, so the editor says so and takes no keys, rather than dropping each one unseen.
TEST_F(RequestViewFixture, ARequestGoneFromItsFileIsReadOnlyNotSilentlyUnsaved) {
    dir.write("api/users.http", disk().replace("### second", "### Second v2").toUtf8());
    app.api().reload(QSet<QString>{"api/users.http"});
    QTest::keyClicks(view->urlField(), "x");
    const bool unsavedUnseen = !view->isReadOnly() && !disk().contains("2x\n");
    EXPECT_FALSE(unsavedUnseen) << disk().toStdString();
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_TRUE(view->noteLabel()->text().contains("read-only")) << view->noteLabel()->text().toStdString();
    EXPECT_FALSE(disk().contains("2x"));

    // Opened again from its file, it is edited there.
    const APICollectionFile file = app.api().collections().first();
    app.openRequest(file.requests[1], file);
    RequestView again(app, file, file.requests[1]);
    QTest::keyClicks(again.urlField(), "y");
    EXPECT_TRUE(disk().contains("### Second v2\nPOST https://example.com/2y\n")) << disk().toStdString();

    QFile::remove(path);
    app.api().reload(QSet<QString>{"api/users.http"});
    EXPECT_TRUE(again.isReadOnly());
}

TEST_F(RequestViewFixture, AReplayedRequestNoFileHoldsIsReadOnly) {
    HTTPRequest ghost = view->request();
    ghost.id = QUuid::createUuid();
    app.history().record(ghost, ghost.url, response(200));
    app.replay(app.history().entries().first().id);
    ASSERT_TRUE(app.activeRequest()->detached);
    RequestView replayed(app, app.activeRequest()->file, app.activeRequest()->request);
    EXPECT_TRUE(replayed.isReadOnly());
    const QString before = disk();
    replayed.setRequest(HTTPRequest{});
    EXPECT_EQ(disk(), before);
}

TEST(ResponseFormatting, SizesDurationsAndTypes) {
    EXPECT_EQ(ResponseView::formatBytes(0), "0 B");
    EXPECT_EQ(ResponseView::formatBytes(1023), "1023 B");
    EXPECT_EQ(ResponseView::formatBytes(1024), "1.0 KB");
    EXPECT_EQ(ResponseView::formatBytes(1048575), "1024.0 KB");
    EXPECT_EQ(ResponseView::formatBytes(1048576), "1.00 MB");
    EXPECT_EQ(ResponseView::durationText(0.0009), "0 ms");
    EXPECT_EQ(ResponseView::durationText(1.5), "1500 ms");
    EXPECT_EQ(ResponseView::typeText({{"Content-Type", "application/json; charset=utf-8"}}), "application/json");
    EXPECT_EQ(ResponseView::typeText({{"CONTENT-TYPE", "text/html"}}), QString("text/html"));  // any case
    EXPECT_EQ(ResponseView::typeText({{"content-type", ""}}), "");
}

TEST(ResponseBody, JsonIsPrettyPrintedWithSortedKeysAndFragmentsAccepted) {
    const auto pretty = ResponseBodyView::prettyJSON(R"({"b":1,"a":{"d":2,"c":3}})");
    ASSERT_TRUE(pretty);
    EXPECT_LT(pretty->indexOf("\"a\""), pretty->indexOf("\"b\""));
    EXPECT_LT(pretty->indexOf("\"c\""), pretty->indexOf("\"d\""));
    EXPECT_EQ(ResponseBodyView::prettyJSON("\"hi\""), std::optional<QString>("\"hi\""));
    EXPECT_EQ(ResponseBodyView::prettyJSON("42"), std::optional<QString>("42"));
    EXPECT_EQ(ResponseBodyView::prettyJSON("{oops"), std::nullopt);
    EXPECT_EQ(ResponseBodyView::prettyJSON("1] , [2"), std::nullopt);

    const QMap<QString, QString> json{{"Content-Type", "application/json"}};
    EXPECT_EQ(ResponseBodyView::displayText(response(200, "{oops", json)), "{oops");
    EXPECT_EQ(ResponseBodyView::displayText(response(200, "\xff\xfe", {})), "");

    ResponseBodyView view;  // a small body is shown at once, coloured
    view.apply(response(200, R"({"b":1})", json));
    EXPECT_EQ(view.toPlainText(), "{\n    \"b\": 1\n}");
    EXPECT_FALSE(view.document()->findBlockByNumber(1).layout()->formats().isEmpty());
}

TEST(ResponseBody, LargeBodiesArePreparedAsideAndShownCutAndUncoloured) {
    QByteArray huge = "[\"" + QByteArray(3 * 1024 * 1024, 'x') + "\"]";
    const HTTPResponse r = response(200, huge, {{"Content-Type", "application/json"}});
    const QString text = ResponseBodyView::displayText(r);
    EXPECT_TRUE(text.startsWith("[\n    \"xxx"));
    EXPECT_LE(text.size(), ResponseBodyView::kShowLimit + 64);
    EXPECT_TRUE(text.endsWith("more characters not shown"));
    ResponseBodyView view;
    QSignalSpy shown(&view, &ResponseBodyView::shown);
    view.apply(r);
    EXPECT_TRUE(view.isPreparing());
    // A newer body while the first is prepared: only the newer one is shown.
    QByteArray lines;
    for (int i = 0; i < 20000; ++i) lines += "line " + QByteArray::number(i) + "\r\n";
    const HTTPResponse later = response(200, lines, {{"Content-Type", "text/plain"}});
    view.apply(later);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.isPreparing(); }, 120000));
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(view.toPlainText(), ResponseBodyView::displayText(later));
    EXPECT_EQ(view.document()->blockCount(), 20001);
    view.apply(r);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.isPreparing(); }, 120000));
    EXPECT_EQ(view.toPlainText(), text);
    EXPECT_TRUE(view.document()->firstBlock().layout()->formats().isEmpty());
}

// Qt lays a line out as one piece, again on every insertion into it: the longest line any insertion
// leaves behind is the work of one turn, and must not grow with a one-line body (minified code, a
// blob) however long it is.
TEST(ResponseBody, ALongLineCostsTheSameBoundedLayoutWhateverItsLength) {
    const auto longestLaidLine = [](qsizetype length) {
        ResponseBodyView view;
        QSignalSpy shown(&view, &ResponseBodyView::shown);
        qsizetype longest = 0;
        QObject::connect(view.document(), &QTextDocument::contentsChange, &view, [&](int at, int, int added) {
            if (added > 0) longest = std::max<qsizetype>(longest, view.document()->findBlock(at).length());
        });
        view.apply(response(200, QByteArray(length, 'x'), {{"Content-Type", "text/plain"}}));
        EXPECT_TRUE(shown.count() == 1 || shown.wait(120000));
        EXPECT_TRUE(view.toPlainText().startsWith("xxxx"));
        EXPECT_TRUE(view.toPlainText().contains(QString::number(length - ResponseBodyView::kLineShowLimit)))
            << "the hidden rest is counted";
        return longest;
    };
    const qsizetype small = longestLaidLine(256 * 1024), large = longestLaidLine(1024 * 1024);
    EXPECT_LE(small, ResponseBodyView::kLineShowLimit + 64);
    EXPECT_LE(large, ResponseBodyView::kLineShowLimit + 64);
    // Lines are cut, not joined or dropped: every line of a body of short lines is there.
    const QString mixed = ResponseBodyView::displayText(
        response(200, "a\n" + QByteArray(ResponseBodyView::kLineShowLimit + 5, 'y') + "\nb", {{"Content-Type", "text/plain"}}));
    const QStringList lines = mixed.split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "a");
    EXPECT_TRUE(lines[1].startsWith(QString(ResponseBodyView::kLineShowLimit, u'y') + " … 5 more characters"));
    EXPECT_EQ(lines[2], "b");
}

TEST(ResponseBody, AViewDeletedWhileItsBodyIsPreparedIsLeftAlone) {
    const HTTPResponse big = response(200, "{\"k\":\"" + QByteArray(1024 * 1024, 'y') + "\"}", {{"Content-Type", "application/json"}});
    for (int i = 0; i < 4; ++i) {
        auto view = std::make_unique<ResponseBodyView>();
        view->apply(big);
        ASSERT_TRUE(view->isPreparing());
    }
    // The preparations finish after their views are gone; nothing of theirs may run on them.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ResponseBodyView survivor;
    QSignalSpy shown(&survivor, &ResponseBodyView::shown);
    survivor.apply(big);
    ASSERT_TRUE(shown.wait(120000));
    EXPECT_TRUE(survivor.toPlainText().startsWith("{\n    \"k\": \"yyy"));
}

TEST(ResponseViewer, ShowsStatsHeadersSortedAndHidesTheAskPanelWhileSending) {
    AppState app;
    ResponseView view(app);
    EXPECT_EQ(view.statusPill(), nullptr);
    EXPECT_TRUE(view.statTexts().isEmpty());
    HTTPRequest request;
    request.url = "https://example.com";
    APICollectionFile file;
    file.url = "/nowhere.http";
    file.requests = {request};
    app.openRequest(request, file);
    app.history().record(request, request.url, response(404, "{}", {{"date", "x"}, {"Content-Type", "application/json"}}));
    app.replay(app.history().entries().first().id);
    EXPECT_EQ(view.statTexts(), (QStringList{"TIME 123 ms", "SIZE 2 B", "TYPE application/json"}));
    EXPECT_EQ(view.statusPill()->code(), "404");
    ASSERT_NE(view.aiPanel(), nullptr);
    view.setTab(ResponseView::Tab::headers);
    const auto labels = view.headersList()->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 4);
    EXPECT_EQ(labels[0]->text(), "Content-Type");
    EXPECT_EQ(labels[2]->text(), "date");
}

// A server may send a megabyte of header fields: the rows built for them, and the text each row
// lays out, stay the same however many fields and however long a value there are.
TEST(ResponseViewer, HeadersShownAreBoundedWhateverTheServerSends) {
    const auto shownFor = [](int fields, qsizetype valueLength) {
        AppState app;
        ResponseView view(app);
        HTTPRequest request;
        request.url = "https://example.com";
        APICollectionFile file;
        file.url = "/nowhere.http";
        file.requests = {request};
        app.openRequest(request, file);
        QMap<QString, QString> headers;
        for (int i = 0; i < fields; ++i) headers.insert(QStringLiteral("X-%1").arg(i, 6, 10, QChar(u'0')), "v");
        headers.insert("X-0-Long", QString(valueLength, u'w'));  // sorts first
        app.history().record(request, request.url, response(200, "ok", headers));
        app.replay(app.history().entries().first().id);
        view.setTab(ResponseView::Tab::headers);
        qsizetype laidOut = 0;
        const auto labels = view.headersList()->findChildren<QLabel*>();
        for (const QLabel* label : labels) laidOut = std::max<qsizetype>(laidOut, label->text().size());
        EXPECT_EQ(labels.first()->text(), "X-0-Long") << "the fields come in their order, from the first";
        EXPECT_TRUE(labels.last()->text().contains(QString::number(fields + 1 - ResponseView::kHeaderRowLimit)))
            << "the fields not shown are counted";
        return std::pair(labels.size(), laidOut);
    };
    const auto few = shownFor(2000, 100 * 1024), many = shownFor(20000, 900 * 1024);
    EXPECT_EQ(few.first, many.first);
    EXPECT_LE(many.first, 2 * ResponseView::kHeaderRowLimit + 1);
    EXPECT_LE(few.second, ResponseView::kHeaderValueLimit + 64);
    EXPECT_LE(many.second, ResponseView::kHeaderValueLimit + 64);
}

TEST(AuthEditor, WritesOnlyWhenTheRequestChangesAndHintsWhereItGoes) {
    HTTPRequest plain;
    plain.url = "https://example.com";
    AuthView view;
    QList<HTTPRequest> written;
    QObject::connect(&view, &AuthView::requestEdited, [&](const HTTPRequest& r) { written << r; });
    view.appear(plain);
    AuthConfig none = view.draft();
    none.token = "x";  // a field of another type: the request stays as it is
    view.setDraft(none);
    EXPECT_TRUE(written.isEmpty());

    AuthConfig bearer = view.draft();
    bearer.type = AuthType::bearer;
    bearer.token = "abc";
    view.setDraft(bearer);
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(AuthConfig::from(written.last()).token, "abc");
    EXPECT_EQ(AuthView::hint(bearer), "→ Authorization: Bearer …");

    // Showing the tab for a request that carries authentication only reads it.
    view.appear(written.last());
    EXPECT_EQ(written.size(), 1);
    EXPECT_EQ(view.draft().type, AuthType::bearer);

    AuthConfig key;
    key.type = AuthType::apiKey;
    key.keyIn = APIKeyLocation::query;
    EXPECT_EQ(AuthView::hint(key), "→ ?api_key=");
    key.keyName = " ";
    EXPECT_EQ(AuthView::hint(key), "→ ? =");
    key.keyIn = APIKeyLocation::header;
    EXPECT_EQ(AuthView::hint(key), "→ Header");
}

TEST(History, ListsSendsReplaysAndClears) {
    AppState app;
    HistoryPopover popover(app);
    EXPECT_TRUE(popover.showsEmptyNote());
    EXPECT_TRUE(popover.clearButton()->isHidden());

    HTTPRequest request;
    request.name = "ping";
    APICollectionFile file;
    file.url = "/nowhere.http";
    app.openRequest(request, file);
    app.history().record(request, "https://example.com", response(0));
    ASSERT_EQ(popover.rows().size(), 1);
    EXPECT_EQ(popover.rows()[0]->findChild<QLabel*>("status")->text(), "ERR");
    EXPECT_FALSE(popover.showsEmptyNote());

    popover.show();
    popover.rows()[0]->click();
    EXPECT_FALSE(popover.isVisible());
    ASSERT_TRUE(app.lastResponse());
    EXPECT_EQ(app.lastResponse()->status, 0);

    popover.clearButton()->click();
    EXPECT_TRUE(popover.showsEmptyNote());
    EXPECT_TRUE(app.history().entries().isEmpty());
}

// A history row reached with Tab looks different from the others, so the keyboard can be followed.
TEST(History, ARowWithTheKeyboardShowsIt) {
    AppState app;
    HTTPRequest request;
    request.name = "ping";
    for (int i = 0; i < 2; ++i) app.history().record(request, "https://example.com", response(200));
    HistoryPopover popover(app);
    popover.show();
    QApplication::setActiveWindow(&popover);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popover, 60000));
    ASSERT_EQ(popover.rows().size(), 2);
    QWidget* row = popover.rows()[1];
    const QImage before = row->grab().toImage();
    row->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(row->hasFocus());
    EXPECT_NE(row->grab().toImage(), before);
    // Tab goes round the rows and Clear, and stops nowhere else.
    QTest::keyClick(row, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), popover.clearButton());
    QTest::keyClick(popover.clearButton(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), popover.rows()[0]);
}

// A send that ends while the keyboard is on an entry adds a row above it; the keyboard stays on
// that entry, so Return still replays what the user chose.
TEST(History, ASendEndingWhileAnEntryHasTheKeyboardLeavesItThere) {
    AppState app;
    HTTPRequest request;
    for (const char* name : {"older", "newer"}) {
        request.name = name;
        app.history().record(request, "https://example.com", response(200));
    }
    HistoryPopover popover(app);
    popover.show();
    QApplication::setActiveWindow(&popover);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popover, 60000));
    popover.rows()[1]->setFocus(Qt::TabFocusReason);
    request.name = "latest";
    app.history().record(request, "https://example.com", response(500));
    ASSERT_EQ(popover.rows().size(), 3);
    EXPECT_EQ(QApplication::focusWidget(), popover.rows()[2]);
}
