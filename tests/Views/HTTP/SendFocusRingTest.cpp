// Send and Cancel hand the keys to each other while a request runs: the one that takes them shows
// its focus ring only when the keys brought the focus there, not after a click.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "API/LoopbackServer.h"
#include "AppState.h"
#include "TestSupport.h"
#include "UI/FocusRing.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/RequestView.h"

using namespace testing_support;

namespace {

struct SendFocusFixture : ::testing::Test {
    void SetUp() override {
        dir.write("api/one.http", "### one\nGET https://example.com/1\n");
        app.openFolder(dir.path());
        ASSERT_TRUE(waitUntil([&] { return !app.api().isScanning(); }));
        const APICollectionFile file = app.api().collections().first();
        app.openRequest(file.requests[0], file);
        view = std::make_unique<RequestView>(app, file, file.requests[0]);
        server.respondTo("/slow", {.body = QByteArray(100000, 't'), .trickleMs = 50});
        view->urlField()->setText({});
        QTest::keyClicks(view->urlField(), server.url("/slow"));
        view->resize(900, 600);
        view->show();
        view->activateWindow();
        QApplication::setActiveWindow(view.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get(), 60000));
    }
    PressableButton* send() const { return view->sendButton(); }
    PressableButton* cancel() const { return view->cancelButton(); }

    TempFolder dir;
    AppState app;
    loopback::LoopbackServer server;
    std::unique_ptr<RequestView> view;
};

TEST_F(SendFocusFixture, AfterAClickNeitherButtonShowsARingAsTheKeysPassBetweenThem) {
    QTest::mouseClick(send(), Qt::LeftButton);
    ASSERT_TRUE(app.isSending());
    ASSERT_EQ(QApplication::focusWidget(), cancel());
    EXPECT_FALSE(cancel()->focusRing().isShown());
    ASSERT_TRUE(waitUntil([&] { return server.receivedCount() == 1; }));
    QTest::mouseClick(cancel(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    ASSERT_EQ(QApplication::focusWidget(), send());
    EXPECT_FALSE(send()->focusRing().isShown());
}

TEST_F(SendFocusFixture, AfterAKeyTheButtonThatTakesTheKeysShowsItsRing) {
    send()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(send(), Qt::Key_Return);
    ASSERT_TRUE(app.isSending());
    ASSERT_EQ(QApplication::focusWidget(), cancel());
    EXPECT_TRUE(cancel()->focusRing().isShown());
    ASSERT_TRUE(waitUntil([&] { return server.receivedCount() == 1; }));
    QTest::keyClick(cancel(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !app.isSending(); }));
    ASSERT_EQ(QApplication::focusWidget(), send());
    EXPECT_TRUE(send()->focusRing().isShown());
}

} // namespace
