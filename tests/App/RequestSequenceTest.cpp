// The request editor in a real window through a user's sequence: large answers shown while the
// user moves on, the Ask-AI panel answering and failing, a rescan, a slow send with an environment
// switch, form rows typed and sent, a duplicate made and deleted. Run under the sanitizers, any use
// of freed memory ends the process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "API/LoopbackServer.h"
#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "Git/AIService.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/AIResponsePanel.h"
#include "Views/HTTP/CollectionActions.h"
#include "Views/HTTP/KeyValueEditor.h"
#include "Views/HTTP/RequestBodyEditor.h"
#include "Views/HTTP/RequestView.h"
#include "Views/HTTP/ResponseBodyView.h"

using namespace testing_support;
using loopback::LoopbackServer;

namespace {

class RequestSequence : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setValue(SettingsKey::onboarded, true);
        SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
        SettingsStore::shared().remove(SettingsKey::sessionFolder);
        SettingsStore::shared().remove(SettingsKey::sessionDocs);
        const QString tool = bin.write("claude", "#!/bin/sh\ncase \"$*\" in *fail*) echo 'quota exceeded' >&2; exit 3;; *) echo 'Fine.';; esac\n");
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        AIService::setSearchPathPrefix(bin.path());
        server.respondTo("/large", {.headers = {{"Content-Type", "application/json"}},
                                    .body = "{\"items\": [" + QByteArray("\"abcdefgh\",").repeated(100000) + "0]}"});
        server.respondTo("/slow", {.body = "slow", .trickleMs = 500});
        server.respondWith({.body = "ok"});
    }
    void TearDown() override {
        for (MainWindow* w : WindowManager::shared().windows()) w->closeWithoutAsking();
        EXPECT_TRUE(waitUntil([] { return WindowManager::shared().windows().isEmpty(); }));
        AIService::setSearchPathPrefix(std::nullopt);
        SettingsStore::shared().setValue(SettingsKey::onboarded, false);
    }

    RequestView* requestView() const {
        for (RequestView* view : window->findChildren<RequestView*>())
            if (view->isVisible()) return view;
        return nullptr;
    }
    // The request of that name as the service now holds it, opened as from the collections panel.
    void open(const QString& name) {
        for (const APICollectionFile& file : window->state().api().collections())
            for (const HTTPRequest& request : file.requests)
                if (request.name == name) return CollectionActions(window->state()).open(request, file);
        ADD_FAILURE() << "no request " << name.toStdString();
    }
    void typeUrl(const QString& url) {
        QLineEdit* field = requestView()->urlField();
        field->selectAll();
        QTest::keyClicks(field, url);
    }

    TempFolder bin, dir;
    LoopbackServer server;
    MainWindow* window = nullptr;
};

} // namespace

TEST_F(RequestSequence, TheEditorSurvivesAUsersRoadThroughRequestsAndResponses) {
    dir.write("api/api.http", QStringLiteral("### Large\nGET %1\n\n### Slow\nGET %2\n\n### Form\nPOST %3\n")
                                  .arg(server.url("/large"), server.url("/slow"), server.url("/form"))
                                  .toUtf8());
    dir.write("api/environments/dev.env", "v=a&b\n");
    dir.write("api/environments/prod.env", "v=c d\n");
    window = WindowManager::shared().openWindow(dir.path());
    window->show();
    ASSERT_TRUE(waitUntil([&] { return window->state().api().collections().size() == 1; }));
    AppState& app = window->state();

    // Large answers: another request is chosen while the body is still being prepared.
    for (int i = 0; i < 3; ++i) {
        open("Large");
        ASSERT_TRUE(requestView());
        requestView()->send();
        ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
        open(i % 2 ? "Form" : "Slow");
    }
    open("Large");
    requestView()->send();
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    auto* body = window->findChild<ResponseBodyView*>();
    ASSERT_TRUE(body);
    ASSERT_TRUE(waitUntil([&] { return !body->isPreparing(); }));

    // Ask AI: a preset, then a question the tool fails.
    auto* panel = window->findChild<AIResponsePanel*>();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(waitUntil([&] { return panel->backend().has_value(); }));
    panel->presetButtons()[0]->click();
    ASSERT_TRUE(waitUntil([&] { return !panel->isBusy(); }));
    EXPECT_EQ(panel->answer(), "Fine.");
    panel->questionField()->setText("please fail");
    panel->sendCustom();
    ASSERT_TRUE(waitUntil([&] { return !panel->isBusy(); }));
    ASSERT_TRUE(panel->errorText().has_value());

    CollectionActions(app).rescan();

    // A slow send, and meanwhile: the environment switched, form rows typed and sent, a copy made
    // and deleted.
    open("Slow");
    requestView()->send();
    app.api().setActiveEnvironment(QStringLiteral("prod"));
    open("Form");
    RequestView* form = requestView();
    form->setTab(RequestView::Tab::body);
    form->bodyEditor()->chooseKind(BodyKind::form);
    KeyValueEditor* rows = form->bodyEditor()->formEditor();
    rows->addButton()->click();
    ASSERT_EQ(rows->rowCount(), 1);
    QTest::keyClicks(rows->keyField(0), "na me");
    QTest::keyClicks(rows->valueField(0), "{{v}}&x=1");
    rows->addButton()->click();
    QTest::keyClicks(rows->keyField(1), "off");
    QTest::keyClicks(rows->valueField(1), "1");
    rows->findChildren<QCheckBox*>()[1]->click();
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));  // Send is off while the slow one runs
    form->send();
    ASSERT_TRUE(app.isSending());
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    QByteArray sent;
    for (const loopback::ReceivedRequest& r : server.received())
        if (r.target == "/form") sent = r.body;
    EXPECT_EQ(sent, "na+me=c+d%26x%3D1");

    const APICollectionFile file = app.api().collections().first();
    CollectionActions(app).duplicate(app.activeRequest()->request, file);
    const APICollectionFile withCopy = app.api().collections().first();
    ASSERT_EQ(withCopy.requests.size(), 4);
    CollectionActions(app).deleteRequest(withCopy.requests[3], withCopy);
    const QByteArray text = readBytes(dir.file("api/api.http"));
    EXPECT_FALSE(text.contains("Form copy")) << text.constData();
    EXPECT_TRUE(text.contains("\nna+me={{v}}%26x%3D1&~off=1")) << text.constData();
    EXPECT_GE(app.history().entries().size(), 6);
}

TEST_F(RequestSequence, TypingAfterARenameOrAReplayReachesTheFileAndOnlyWhatWasTyped) {
    dir.write("api/req.bru", QString("meta {\n  name: Req\n  type: http\n  seq: 1\n}\n\nget {\n  url: %1\n  body: none\n"
                                     "  auth: bearer\n}\n\nauth:bearer {\n  token: secret\n}\n")
                                 .arg(server.url("/a"))
                                 .toUtf8());
    window = WindowManager::shared().openWindow(dir.path());
    window->show();
    ASSERT_TRUE(waitUntil([&] { return window->state().api().collections().size() == 1; }));
    AppState& app = window->state();
    ScriptedPrompter prompter;

    // Renamed while open: the next keystroke lands in the moved file.
    open("Req");
    prompter.texts = {QStringLiteral("Renamed Coll")};
    CollectionActions(app).promptRenameCollection(app.api().collections().first());
    const QString moved = dir.file("api/Renamed Coll.bru");
    ASSERT_TRUE(QFile::exists(moved));
    ASSERT_TRUE(requestView());
    QTest::keyClick(requestView()->urlField(), Qt::Key_End);
    QTest::keyClicks(requestView()->urlField(), "b");
    EXPECT_TRUE(readBytes(moved).contains(server.url("/ab").toUtf8())) << readBytes(moved).constData();

    // Sent, then a header and a parameter added; an old entry replayed, one character typed.
    requestView()->send();
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    KeyValueEditor* headers = requestView()->headersEditor();
    headers->addButton()->click();
    QTest::keyClicks(headers->keyField(headers->rowCount() - 1), "x-api-key");
    QTest::keyClicks(headers->valueField(headers->rowCount() - 1), "k1");
    KeyValueEditor* params = requestView()->paramsEditor();
    params->addButton()->click();
    QTest::keyClicks(params->keyField(0), "page");
    QTest::keyClicks(params->valueField(0), "2");
    const QByteArray before = readBytes(moved);
    ASSERT_TRUE(before.contains("x-api-key: k1") && before.contains("page: 2")) << before.constData();

    app.replay(app.history().entries().last().id);
    QTest::keyClick(requestView()->urlField(), Qt::Key_End);
    QTest::keyClicks(requestView()->urlField(), "c");
    const QByteArray after = readBytes(moved);
    EXPECT_EQ(QString(after), QString(before).replace(server.url("/ab"), server.url("/abc"))) << after.constData();
    EXPECT_EQ(requestView()->headersEditor()->rowCount(), headers->rowCount());
}

TEST_F(RequestSequence, TypingAfterARequestRenameOrAReplayInATextFileChangesOnlyWhatWasTyped) {
    const QString second = QStringLiteral("### Second\nPOST %1\nContent-Type: application/json\n\n{\"a\": 1}\n").arg(server.url("/b"));
    dir.write("api/api.http",
              (QStringLiteral("### First\nGET %1?page=1\nAccept: */*\n\n").arg(server.url("/a")) + second).toUtf8());
    const QString path = dir.file("api/api.http");
    window = WindowManager::shared().openWindow(dir.path());
    window->show();
    ASSERT_TRUE(waitUntil([&] { return window->state().api().collections().size() == 1; }));
    AppState& app = window->state();
    ScriptedPrompter prompter;

    // Renamed while open: the next keystroke lands in the renamed request, the other one untouched.
    open("First");
    prompter.texts = {QStringLiteral("Renamed ✓ один")};
    const APICollectionFile file = app.api().collections().first();
    CollectionActions(app).promptRenameRequest(file.requests[0], file);
    ASSERT_TRUE(requestView());
    QTest::keyClick(requestView()->urlField(), Qt::Key_End);
    QTest::keyClicks(requestView()->urlField(), "x");
    const QString renamed =
        QStringLiteral("### Renamed ✓ один\nGET %1?page=1\nAccept: */*\n\n").arg(server.url("/ax")) + second;
    EXPECT_EQ(QString::fromUtf8(readBytes(path)), renamed);

    // Sent, then a parameter added and the first one switched off, which the file cannot hold.
    requestView()->send();
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    KeyValueEditor* params = requestView()->paramsEditor();
    params->addButton()->click();
    QTest::keyClicks(params->keyField(1), "size");
    QTest::keyClicks(params->valueField(1), "10");
    const QString before = QString::fromUtf8(readBytes(path));
    ASSERT_EQ(before, QString(renamed).replace(QStringLiteral("?page=1\n"), QStringLiteral("?page=1&size=10\n")));
    params->setEnabledAt(0, false);
    EXPECT_EQ(QString::fromUtf8(readBytes(path)), before);

    // The older version replayed and one character typed: only that character reaches the file.
    app.replay(app.history().entries().last().id);
    QTest::keyClick(requestView()->urlField(), Qt::Key_End);
    QTest::keyClicks(requestView()->urlField(), "y");
    EXPECT_EQ(QString::fromUtf8(readBytes(path)), QString(before).replace(server.url("/ax"), server.url("/axy")));
    EXPECT_EQ(requestView()->request().name, QStringLiteral("Renamed ✓ один"));
    EXPECT_EQ(requestView()->paramsEditor()->rowCount(), 2);
}

// Two windows on one folder, the same request open in both: what each types reaches the file and
// shows in the other, and neither writes the other's keys away.
TEST_F(RequestSequence, TwoWindowsEditingOneRequestKeepEachOthersKeys) {
    const QString path = dir.write("api/api.http", QStringLiteral("### One\nGET %1\nAccept: */*\n\n### Two\nGET %2\n")
                                                       .arg(server.url("/a"), server.url("/b"))
                                                       .toUtf8());
    window = WindowManager::shared().openWindow(dir.path());
    window->show();
    MainWindow* other = WindowManager::shared().openWindow(dir.path());
    ASSERT_NE(other, window);
    other->show();
    ASSERT_TRUE(waitUntil([&] { return window->state().api().collections().size() == 1 && other->state().api().collections().size() == 1; }));
    const auto viewIn = [](MainWindow* w) -> RequestView* {
        for (RequestView* view : w->findChildren<RequestView*>())
            if (view->isVisible()) return view;
        return nullptr;
    };
    for (MainWindow* w : {window, other}) {
        const APICollectionFile file = w->state().api().collections().first();
        CollectionActions(w->state()).open(file.requests[0], file);
        ASSERT_TRUE(viewIn(w));
    }
    QTest::keyClick(viewIn(window)->urlField(), Qt::Key_End);
    QTest::keyClicks(viewIn(window)->urlField(), "1");
    // The other window hears of the change on disk and shows it.
    ASSERT_TRUE(waitUntil([&] { return viewIn(other)->urlField()->text() == server.url("/a1"); }))
        << viewIn(other)->urlField()->text().toStdString();
    KeyValueEditor* headers = viewIn(other)->headersEditor();
    headers->addButton()->click();
    QTest::keyClicks(headers->keyField(headers->rowCount() - 1), "X-Other");
    QTest::keyClicks(headers->valueField(headers->rowCount() - 1), "2");
    // Typed before this window has heard of the other's header.
    QTest::keyClicks(viewIn(window)->urlField(), "3");
    const QString expected =
        QStringLiteral("### One\nGET %1\nAccept: */*\nX-Other: 2\n\n### Two\nGET %2\n").arg(server.url("/a13"), server.url("/b"));
    EXPECT_EQ(QString::fromUtf8(readBytes(path)), expected);
    ASSERT_TRUE(waitUntil([&] { return viewIn(window)->headersEditor()->rowCount() == 2 &&
                                       viewIn(other)->urlField()->text() == server.url("/a13"); }));
    EXPECT_EQ(QString::fromUtf8(readBytes(path)), expected);
    other->closeWithoutAsking();
}
