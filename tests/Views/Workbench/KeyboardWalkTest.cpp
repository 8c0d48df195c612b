// The whole program by keyboard alone, with real key events: from the welcome screen and the
// release notes to opening, editing and saving a file, into every sidebar panel and acting there
// (stage, commit, send a request), and back to the editor. Every control the keyboard lands on
// shows that it has the focus.
#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include "Git/GitTestSupport.h"
#include "ScriptedPrompter.h"
#include "UI/FocusRing.h"
#include "UI/GradientButton.h"
#include "UI/PressableButton.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/HTTP/CollectionFileRow.h"
#include "Views/HTTP/RequestCollectionsPanel.h"
#include "Views/HTTP/RequestRow.h"
#include "Views/HTTP/RequestView.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Workbench/ActivityBar.h"
#include "Views/Workbench/WelcomeView.h"
#include "Views/Workbench/WhatsNewView.h"

using namespace testing_support;
using namespace views_test;

namespace {

QWidget* focused() { return QApplication::focusWidget(); }

// Whether the focused control shows it: the drawn buttons by their ring, text fields by a caret.
bool focusShows() {
    QWidget* w = focused();
    if (!w) return false;
    if (auto* b = qobject_cast<PressableButton*>(w)) return b->focusRing().isShown();
    if (auto* b = qobject_cast<GradientButton*>(w)) return b->focusRing().isShown();
    if (auto* row = qobject_cast<RequestRow*>(w)) return row->hasFocus();
    if (auto* row = qobject_cast<CollectionFileRow*>(w)) return row->focusRing()->isShown();
    return w->inherits("QLineEdit") || w->inherits("QPlainTextEdit") || w->inherits("QAbstractItemView");
}

// Presses Tab (or Shift+Tab) until want() holds, at most limit times; every stop must show its focus.
bool tabTo(const std::function<bool(QWidget*)>& want, bool backward = false, int limit = 60) {
    for (int i = 0; i < limit; ++i) {
        if (focused() && want(focused())) return true;
        press(backward ? Qt::Key_Backtab : Qt::Key_Tab, backward ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_TRUE(focusShows()) << "focus is not visible on " << (focused() ? focused()->metaObject()->className() : "nothing");
    }
    return focused() && want(focused());
}

// How many separate runs the panel's controls make in the window's Tab order: one when Tab walks
// through all of them together.
int runsInTabOrder(QWidget* panel) {
    int runs = 0;
    bool inside = false;
    QWidget* window = panel->window();
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || !w->isVisibleTo(window)) continue;
        const bool now = panel->isAncestorOf(w);
        if (now && !inside) ++runs;
        inside = now;
    }
    return runs;
}

bool isEditor(QWidget* w) { return qobject_cast<CodeEditorView*>(w) != nullptr; }

TEST(KeyboardWalkTest, WelcomeButtonsShowTheirFocusAndReturnOpensAFolder) {
    TempFolder dir;
    AppState app;
    int completed = 0;
    QWidget window;
    auto* welcome = new WelcomeView(app, [&] { ++completed; }, &window);
    window.resize(1040, 720);
    welcome->resize(1040, 720);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 60000));
    ASSERT_TRUE(waitUntil([&] { return focused() == welcome->openFolderButton(); })) << "the first action has the focus";
    EXPECT_TRUE(focusShows());
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), welcome->cloneButton());
    EXPECT_TRUE(focusShows());
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), welcome->openFolderButton());

    ScriptedChooser chooser;
    chooser.answers = {dir.mkdir("project")};
    press(Qt::Key_Return);
    EXPECT_EQ(completed, 1);
    EXPECT_TRUE(app.rootNode());
}

class WorkbenchWalkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { git_test::useIsolatedGitConfig(); }
    void SetUp() override {
        repo = folder.mkdir("repo");
        folder.write("repo/a.txt", "alpha\n");
        // A port nothing listens on: the send ends at once, with an error response.
        folder.write("repo/requests/ping.http", "### ping\nGET http://127.0.0.1:9/ping\n");
        git_test::gitOk(repo, {"init", "-q", "-b", "main"});
        git_test::gitOk(repo, {"add", "-A"});
        git_test::gitOk(repo, {"commit", "-q", "-m", "first"});
    }
    TempFolder folder;
    QString repo;
};

TEST_F(WorkbenchWalkTest, EveryPanelIsReachedAndUsedByKeyboardAndTheEditorIsReachedAgain) {
    MenuTestWindow window;
    window.showActive(QSize(1040, 720));
    AppState& app = *window.app;

    // The release notes first: their one button has the focus and answers Return.
    app.setWhatsNew(WhatsNew::all().first());
    WhatsNewView* sheet = window.root->whatsNewSheet();
    ASSERT_NE(sheet, nullptr);
    // A window manager gives the new sheet the keyboard; here nothing does.
    sheet->activateWindow();
    QApplication::setActiveWindow(sheet);
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet, 60000));
    ASSERT_TRUE(waitUntil([&] { return focused() == sheet->gotIt(); }, 120000))
        << (focused() ? focused()->metaObject()->className() : "no focus") << " active " << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className() : "none");
    EXPECT_TRUE(focusShows());
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !app.whatsNew() && !window.root->whatsNewSheet(); }));
    window.showActive();  // the keyboard goes back to the window, as a window manager hands it back

    // Open a file with quick open, edit it and save it.
    app.openFolder(repo);
    ASSERT_TRUE(waitUntil([&] { return !app.api().isScanning(); }));
    press(Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return app.quickOpenOpen() && focused() && focused()->inherits("QLineEdit"); }, 120000))
        << app.quickOpenOpen() << " " << (focused() ? focused()->metaObject()->className() : "no focus") << " active "
        << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className() : "none");
    type("a.txt");
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return isEditor(focused()); })) << "the opened file has the focus";
    press(Qt::Key_End, Qt::ControlModifier);
    type("beta");
    ASSERT_TRUE(app.activeDocument() && app.activeDocument()->isDirty());
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return !app.activeDocument()->isDirty(); })) << "written on another thread";
    EXPECT_EQ(readBytes(folder.file("repo/a.txt")), "alpha\nbeta");
    ASSERT_TRUE(waitUntil([&] { return !app.git().changes().isEmpty(); }));

    // Tab and Shift+Tab stay in the editor (they indent and outdent).
    press(Qt::Key_Home);
    press(Qt::Key_Tab);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_TRUE(isEditor(focused()));
    EXPECT_EQ(app.activeDocument()->text(), "alpha\nbeta");
    // The way out of the text by keyboard: the find field, then Tab on from there.
    const auto leaveEditorByFind = [&] {
        if (app.findOpen()) press(Qt::Key_F, Qt::ControlModifier);
        press(Qt::Key_F, Qt::ControlModifier);
        return waitUntil([&] { return focused() && focused()->inherits("QLineEdit"); });
    };

    // Source control: out of the editor by its find field, back past the panel to the rail (the
    // find bar stands before the text it searches), Space shows the panel,
    // Return stages all, a message is typed, Return on Commit commits.
    ActivityBar* rail = window.root->findChild<ActivityBar*>();
    ASSERT_NE(rail, nullptr);
    ASSERT_TRUE(leaveEditorByFind());
    ASSERT_TRUE(tabTo([&](QWidget* w) { return w == rail->panelButton(SidebarPanel::sourceControl); }, true));
    press(Qt::Key_Space);
    ASSERT_EQ(app.sidebar(), SidebarPanel::sourceControl);
    ASSERT_TRUE(tabTo([](QWidget* w) { return w->toolTip() == "Stage All Changes"; }));
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] {
        const auto changes = app.git().changes();
        return !changes.isEmpty() && std::all_of(changes.begin(), changes.end(), [](const GitFileChange& c) {
                   return c.staged != u' ' && c.unstaged == u' ';
               });
    }));
    ASSERT_TRUE(tabTo([](QWidget* w) { return w->objectName() == "commitMessage"; }));
    type("keyboard");
    ASSERT_TRUE(tabTo([](QWidget* w) { return w->objectName() == "commit"; }));
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return app.git().changes().isEmpty(); })) << "committed";
    const QString before = focused() ? QString::fromLatin1(focused()->metaObject()->className()) + "#" + focused()->objectName() : "nothing";
    press(Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([] { return isEditor(focused()); })) << "Escape goes back to the editor, from " << before.toStdString();

    // The request collections: choose the request with Space, Tab to Send, Return sends it.
    ASSERT_TRUE(leaveEditorByFind());
    ASSERT_TRUE(tabTo([&](QWidget* w) { return w == rail->panelButton(SidebarPanel::api); }, true));
    press(Qt::Key_Space);
    ASSERT_EQ(app.sidebar(), SidebarPanel::api);
    ASSERT_TRUE(tabTo([](QWidget* w) { return qobject_cast<RequestRow*>(w) != nullptr; }));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return app.activeRequest().has_value(); }));
    // Choosing the request rebuilt the panel's list; its rows stay where the panel stands in the Tab
    // order rather than after the last control of the window.
    auto* collections = window.root->findChild<RequestCollectionsPanel*>();
    ASSERT_NE(collections, nullptr);
    EXPECT_EQ(runsInTabOrder(collections), 1);
    auto* request = window.root->pane()->findChild<RequestView*>();
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(tabTo([&](QWidget* w) { return w == request->sendButton(); }));
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return app.lastResponse().has_value() && !app.isSending(); })) << "sent";
    EXPECT_EQ(runsInTabOrder(collections), 1);

    // The explorer, and back to the editor with Tab alone.
    ASSERT_TRUE(tabTo([&](QWidget* w) { return w == rail->panelButton(SidebarPanel::explorer); }, true));
    press(Qt::Key_Space);
    EXPECT_EQ(app.sidebar(), SidebarPanel::explorer);
    app.selectTab(app.documents().first());
    EXPECT_TRUE(tabTo(isEditor));
}

} // namespace
