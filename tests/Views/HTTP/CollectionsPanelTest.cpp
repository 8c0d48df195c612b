// The request collections panel: grouping, expansion, empty states and its actions.
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include "AppState.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "UI/FocusRing.h"
#include "UI/GradientButton.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/CollectionFileRow.h"
#include "Views/HTTP/RequestCollectionsPanel.h"
#include "Views/HTTP/RequestRow.h"

using testing_support::ScriptedPrompter;
using testing_support::TempFolder;

namespace {

APICollectionFile fileAt(const QString& path, int requests) {
    APICollectionFile f;
    f.url = path;
    for (int i = 0; i < requests; ++i) {
        HTTPRequest r;
        r.name = QStringLiteral("r%1").arg(i);
        f.requests << r;
    }
    return f;
}

QString requests(int n) {
    QString text;
    for (int i = 0; i < n; ++i) text += QStringLiteral("### req %1\nGET https://example.com/%1\n\n").arg(i);
    return text;
}

QAction* action(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

struct PanelFixture : ::testing::Test {
    TempFolder dir;
    ScriptedPrompter prompter;
    AppState app;
    std::unique_ptr<RequestCollectionsPanel> panel;

    void open() {
        app.openFolder(dir.path());
        ASSERT_TRUE(testing_support::waitUntil([&] { return !app.api().isScanning(); }));
        panel = std::make_unique<RequestCollectionsPanel>(app);
        panel->resize(280, 600);
    }
    RequestRow* row(const QString& name) {
        for (RequestRow* r : panel->requestRows())
            if (r->name() == name) return r;
        return nullptr;
    }
};

} // namespace

TEST(CollectionsGrouping, GroupsByHoldingFolderInCodePointOrderKeepingServiceOrder) {
    const auto groups = RequestCollectionsPanel::grouped({fileAt("/w/docs/a.http", 1), fileAt("/w/a/api/x.http", 1),
                                                          fileAt("/w/Zed/z.http", 1), fileAt("/w/b/api/y.http", 1)});
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0].first, "Zed");
    EXPECT_EQ(groups[1].first, "api");
    EXPECT_EQ(groups[2].first, "docs");
    ASSERT_EQ(groups[1].second.size(), 2);
    EXPECT_EQ(groups[1].second[0].url, "/w/a/api/x.http");
    EXPECT_EQ(groups[1].second[1].url, "/w/b/api/y.http");
}

TEST_F(PanelFixture, EmptyStatesSayWhyAndOfferACollectionOnlyWithAFolder) {
    panel = std::make_unique<RequestCollectionsPanel>(app);
    EXPECT_EQ(panel->emptyMessage(), "Open a folder to see request collections.");
    EXPECT_TRUE(panel->newCollectionButton()->isHidden());
    EXPECT_FALSE(panel->plusButton()->isEnabled());
    EXPECT_TRUE(panel->rescanButton()->isEnabled());
    EXPECT_TRUE(panel->environmentRow()->isHidden());

    open();
    EXPECT_EQ(panel->emptyMessage(), "No .http files found.\nCreate one to start.");
    EXPECT_FALSE(panel->newCollectionButton()->isHidden());
    EXPECT_TRUE(panel->plusButton()->isEnabled());
}

TEST_F(PanelFixture, ListsFilesCollapsingLargeOnesUntilTheirRequestIsActive) {
    dir.write("small/small.http", requests(8).toUtf8());
    dir.write("big/big.http", requests(9).toUtf8());
    open();
    EXPECT_TRUE(panel->emptyMessage().isEmpty());
    EXPECT_EQ(panel->groupNames(), (QStringList{"big", "small"}));
    ASSERT_EQ(panel->fileRows().size(), 2);
    EXPECT_FALSE(panel->fileRows()[0]->isExpanded());
    EXPECT_EQ(panel->fileRows()[0]->countText(), "9");
    EXPECT_EQ(panel->requestRows().size(), 8);

    const APICollectionFile big = *std::find_if(app.api().collections().begin(), app.api().collections().end(),
                                                [](const APICollectionFile& f) { return f.url.endsWith("big.http"); });
    app.openRequest(big.requests[4], big);
    EXPECT_TRUE(panel->fileRows()[0]->isExpanded());
    EXPECT_EQ(panel->requestRows().size(), 17);
    int active = 0;
    for (RequestRow* r : panel->requestRows()) active += r->isActive();
    EXPECT_EQ(active, 1);
    EXPECT_TRUE(row("req 4")->isActive());
}

TEST_F(PanelFixture, ClickingARowOpensItAndHighlightsIt) {
    dir.write("api/users.http", requests(2).toUtf8());
    open();
    RequestRow* target = row("req 1");
    ASSERT_NE(target, nullptr);
    emit target->clicked();
    ASSERT_TRUE(app.activeRequest());
    EXPECT_EQ(app.activeRequest()->request.name, "req 1");
    EXPECT_TRUE(testing_support::waitUntil([&] { return row("req 1")->isActive() && !row("req 0")->isActive(); }));
}

TEST_F(PanelFixture, NewCollectionOpensItsFirstRequestAndBlankAnswersDoNothing) {
    open();
    prompter.texts = {QStringLiteral(" \t "), QStringLiteral("users")};
    action(panel->plusMenu(), "New Collection…")->trigger();
    EXPECT_TRUE(app.api().collections().isEmpty());
    action(panel->plusMenu(), "New Collection…")->trigger();
    ASSERT_EQ(prompter.askedText.size(), 2);
    ASSERT_TRUE(app.activeRequest());
    EXPECT_TRUE(app.activeRequest()->file.url.endsWith("users/users.http"));
    EXPECT_EQ(panel->groupNames(), QStringList{"users"});
}

TEST_F(PanelFixture, UnusableNamesAreExplainedInsteadOfIgnored) {
    open();
    prompter.texts = {QStringLiteral("///")};
    action(panel->plusMenu(), "New Collection…")->trigger();
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_FALSE(prompter.asked[0].message.isEmpty());
    EXPECT_FALSE(app.activeRequest());
}

TEST_F(PanelFixture, DeleteCollectionAsksAndClearsTheActiveRequestFirst) {
    const QString path = dir.write("api/users.http", requests(2).toUtf8());
    open();
    emit row("req 0")->clicked();
    QCoreApplication::processEvents();
    QMenu* menu = panel->fileRows()[0]->contextMenu();
    prompter.answers = {1};
    action(menu, "Delete Collection")->trigger();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(app.activeRequest());
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "Delete collection “users.http”?");

    prompter.answers = {0};
    action(panel->fileRows()[0]->contextMenu(), "Delete Collection")->trigger();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(app.activeRequest());
    EXPECT_FALSE(panel->emptyMessage().isEmpty());
}

TEST_F(PanelFixture, RequestMenuRenamesDuplicatesAndDeletes) {
    dir.write("api/users.http", requests(2).toUtf8());
    open();
    emit row("req 0")->clicked();
    QCoreApplication::processEvents();

    prompter.texts = {QStringLiteral("List users")};
    action(row("req 0")->contextMenu(), "Rename…")->trigger();
    ASSERT_TRUE(app.activeRequest());
    EXPECT_EQ(app.activeRequest()->request.name, "List users");

    action(row("req 1")->contextMenu(), "Duplicate")->trigger();
    EXPECT_EQ(app.activeRequest()->request.name, "req 1 copy");
    EXPECT_EQ(panel->requestRows().size(), 3);

    action(row("req 1")->contextMenu(), "Delete")->trigger();
    EXPECT_TRUE(app.activeRequest());  // another request was active
    action(row("req 1 copy")->contextMenu(), "Delete")->trigger();
    EXPECT_FALSE(app.activeRequest());
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_EQ(panel->requestRows().size(), 1);
}

TEST_F(PanelFixture, EnvironmentSwitcherShowsAndSetsTheActiveEnvironment) {
    dir.write("api/users.http", requests(1).toUtf8());
    open();
    prompter.texts = {QStringLiteral("local"), QStringLiteral("staging")};
    action(panel->plusMenu(), "New Environment…")->trigger();
    EXPECT_FALSE(panel->environmentRow()->isHidden());
    EXPECT_EQ(panel->environmentPicker()->currentText(), "local");
    action(panel->plusMenu(), "New Environment…")->trigger();
    EXPECT_EQ(panel->environmentPicker()->count(), 2);
    const int local = panel->environmentPicker()->findText("local");
    emit panel->environmentPicker()->activated(local);
    EXPECT_EQ(app.api().activeEnvironment(), std::optional<QString>("local"));
}

// Typing into the active request of a long file rebuilds no row: nothing the panel shows changed.
// The rows' actions then act on the request as it is now, not as it was when the row was made.
TEST_F(PanelFixture, EditsThePanelDoesNotShowBuildNoRowsAndItsActionsSeeThem) {
    dir.write("api/long.http", requests(500).toUtf8());
    open();
    const APICollectionFile file = app.api().collections().first();
    app.openRequest(file.requests[250], file);
    const QList<RequestRow*> before = panel->requestRows();
    ASSERT_EQ(before.size(), 500);
    const auto built = [&] {
        int n = 0;
        for (RequestRow* r : panel->requestRows()) n += !before.contains(r);
        return n;
    };
    HTTPRequest edited = app.activeRequest()->request;
    for (int key = 0; key < 5; ++key) {
        edited.url += u'x';
        app.updateActiveRequest(edited);
    }
    edited.headers.append(KeyValueItem{.key = QStringLiteral("X-Typed"), .value = QStringLiteral("1")});
    app.updateActiveRequest(edited);
    EXPECT_EQ(built(), 0);

    action(row("req 250")->contextMenu(), "Duplicate")->trigger();
    ASSERT_EQ(app.activeRequest()->request.name, "req 250 copy");
    EXPECT_EQ(app.activeRequest()->request.url, edited.url);
    EXPECT_EQ(app.activeRequest()->request.headers.size(), 1);
    emit row("req 250")->clicked();
    EXPECT_EQ(app.activeRequest()->request.url, edited.url);

    // A change the panel shows does reach its rows.
    HTTPRequest named = app.activeRequest()->request;
    named.name = QStringLiteral("renamed");
    app.updateActiveRequest(named);
    EXPECT_TRUE(row("renamed"));
}

// A request chosen from the keyboard keeps the keyboard on its row, so Tab goes on from there.
TEST_F(PanelFixture, ARowChosenByKeyboardKeepsTheFocus) {
    dir.write("api/users.http", requests(3).toUtf8());
    open();
    panel->show();
    panel->activateWindow();
    QApplication::setActiveWindow(panel.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get(), 60000));
    row("req 1")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_TRUE(app.activeRequest());
    EXPECT_EQ(app.activeRequest()->request.name, "req 1");
    auto* focused = qobject_cast<RequestRow*>(QApplication::focusWidget());
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->name(), "req 1");
    EXPECT_TRUE(focused->isActive());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    focused = qobject_cast<RequestRow*>(QApplication::focusWidget());
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->name(), "req 2");
}

// A collection's own actions are reachable from the keyboard: its row is a Tab stop between the
// rows around it, shows the focus ring, and the menu key or Shift+F10 opens its menu.
TEST_F(PanelFixture, ACollectionRowTakesTheKeyboard) {
    dir.write("api/users.http", requests(3).toUtf8());
    open();
    panel->show();
    panel->activateWindow();
    QApplication::setActiveWindow(panel.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get(), 60000));
    ASSERT_EQ(panel->fileRows().size(), 1);
    CollectionFileRow* fileRow = panel->fileRows()[0];

    row("req 0")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), fileRow);
    EXPECT_TRUE(fileRow->focusRing()->isShown());
    QTest::keyClick(fileRow, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), row("req 0"));

    fileRow->setFocus(Qt::TabFocusReason);
    QMenu* menu = fileRow->contextMenu();
    QTest::keyClick(fileRow, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 60000));
    menu->hide();
    fileRow->setFocus(Qt::TabFocusReason);
    QTest::keyClick(fileRow, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 60000));
    const QPoint opened = menu->pos();
    // The platform follows the menu key with a context-menu event at the pointer, wherever that is:
    // the menu stays under the row instead of jumping there.
    QContextMenuEvent fromKey(QContextMenuEvent::Keyboard, QPoint(-500, -500), fileRow->mapToGlobal(QPoint(-500, -500)));
    QApplication::sendEvent(fileRow, &fromKey);
    EXPECT_EQ(menu->pos(), opened);
    menu->hide();
}
