// The workbench window driven through real key events: the menu's key equivalents post their
// notifications and the root view carries them out on its own window only.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>

#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "ViewsTestSupport.h"
#include "Views/ActiveWindowTracker.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/EditorTabBarView.h"
#include "Views/FindBar.h"
#include "Views/GoToLineView.h"
#include "Views/PaletteField.h"
#include "Views/PaletteScaffold.h"
#include "Views/TabChip.h"

using namespace testing_support;
using namespace views_test;

namespace {

QString numberedLines(int count) {
    QString text;
    for (int i = 1; i <= count; ++i) text += QStringLiteral("line %1 apple\n").arg(i);
    return text;
}

class RootViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The release notes were seen already: no sheet covers the window the keys go to.
        SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
        window = std::make_unique<MenuTestWindow>();
        window->showActive();
    }
    void TearDown() override {
        window.reset();
        spin(1);
    }
    QString openFile(const QString& name, const QString& text) {
        const QString path = folder.write(name, text.toUtf8());
        window->app->open(path);
        return path;
    }
    CodeEditorView* editor() const { return window->root->pane()->editor(); }
    int caretLine() const { return editor()->textCursor().blockNumber() + 1; }

    TempFolder folder;
    std::unique_ptr<MenuTestWindow> window;
};

TEST_F(RootViewTest, CtrlFOpensTheFindBarWhoseQueryCountsMatchesAndEscapeClosesIt) {
    openFile("a.txt", numberedLines(3));
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(window->app->findOpen());
    FindBar* bar = window->root->findBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(waitUntil([&] { return bar->queryField()->hasFocus(); }));

    type("apple");
    EXPECT_EQ(window->app->findState().query(), "apple");
    ASSERT_TRUE(waitUntil([&] { return bar->matchLabelView()->text() == "1 of 3"; }))
        << bar->matchLabelView()->text().toStdString();
    press(Qt::Key_Return);  // next match
    EXPECT_TRUE(waitUntil([&] { return bar->matchLabelView()->text() == "2 of 3"; }));

    type("zz");
    ASSERT_TRUE(waitUntil([&] { return bar->matchLabelView()->text() == "no results"; }));

    press(Qt::Key_Escape);
    EXPECT_FALSE(window->app->findOpen());
    EXPECT_EQ(window->root->findBar(), nullptr);
    EXPECT_EQ(window->app->findState().query(), "") << "closing with the bar's own control forgets the query";
    EXPECT_TRUE(waitUntil([&] { return editor()->hasFocus(); })) << "the focus goes back to the text";
}

TEST_F(RootViewTest, FindCommandTogglesAndKeepsTheQueryAndEscapeWorksFromTheEditorToo) {
    openFile("a.txt", numberedLines(2));
    press(Qt::Key_F, Qt::ControlModifier);
    type("line");
    press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(window->app->findOpen());
    EXPECT_EQ(window->app->findState().query(), "line");

    // Reopened at once, while the old bar is still fading: a fresh bar showing the kept query.
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(window->app->findOpen());
    EXPECT_EQ(window->root->findBar()->queryField()->text(), "line");

    editor()->setFocus();
    ASSERT_TRUE(waitUntil([&] { return editor()->hasFocus(); }));
    press(Qt::Key_Escape);
    EXPECT_FALSE(window->app->findOpen()) << "Escape is the bar's key wherever the focus is in the window";
}

TEST_F(RootViewTest, CtrlGThenANumberMovesTheCaretAndEscapeClosesOnlyTheTopmostOverlay) {
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_FALSE(window->app->goToLineOpen()) << "no document: the box does not open";
    openFile("a.txt", numberedLines(60));
    editor()->setFocus();
    ASSERT_TRUE(waitUntil([&] { return editor()->hasFocus(); }));
    const auto field = [&] { return window->root->goToLine()->field(); };
    // Ctrl+G, what is typed, the key that ends it, and the caret's line after.
    const struct {
        const char* typed;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int line;
    } sequences[] = {
        {"42", Qt::Key_Return, Qt::NoModifier, 42},
        {"7", Qt::Key_Enter, Qt::KeypadModifier, 7},
        {"3", Qt::Key_Escape, Qt::NoModifier, 7},  // Escape moves nothing
    };
    for (const auto& s : sequences) {
        press(Qt::Key_G, Qt::ControlModifier);
        ASSERT_TRUE(window->app->goToLineOpen());
        EXPECT_EQ(field()->text(), "") << "empty at each opening";
        ASSERT_TRUE(waitUntil([&] { return field()->isFocused(); }));
        type(s.typed);
        press(s.key, s.modifiers);
        EXPECT_FALSE(window->app->goToLineOpen()) << s.typed;
        EXPECT_EQ(caretLine(), s.line) << s.typed;
        EXPECT_TRUE(waitUntil([&] { return editor()->hasFocus(); }));
    }

    press(Qt::Key_F, Qt::ControlModifier);
    press(Qt::Key_G, Qt::ControlModifier);
    press(Qt::Key_G, Qt::ControlModifier);
    ASSERT_TRUE(window->app->goToLineOpen()) << "pressed twice it stays open";
    ASSERT_TRUE(waitUntil([&] { return field()->isFocused(); }));
    press(Qt::Key_Escape);
    EXPECT_FALSE(window->app->goToLineOpen());
    EXPECT_TRUE(window->app->findOpen()) << "the go-to-line field takes Escape before the find bar";

    // A click on the dimmed backdrop closes it too.
    press(Qt::Key_G, Qt::ControlModifier);
    GoToLineView* box = window->root->goToLine();
    QTest::mouseClick(box->scaffold(), Qt::LeftButton, Qt::NoModifier, QPoint(5, box->height() - 5));
    EXPECT_FALSE(window->app->goToLineOpen());
}

TEST_F(RootViewTest, CtrlWOnADirtyTabAsksAndTheAnswerDecides) {
    ScriptedPrompter prompter;
    const QString path = openFile("notes.txt", "hello\n");
    window->app->activeDocument()->setText("hello, edited\n");
    ASSERT_TRUE(window->app->activeDocument()->isDirty());

    prompter.answers = {2};  // Cancel
    press(Qt::Key_W, Qt::ControlModifier);
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(window->app->documents().size(), 1);

    prompter.answers = {1};  // Don't Save
    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(window->app->documents().isEmpty());
    EXPECT_EQ(readBytes(path), "hello\n");
    EXPECT_EQ(window->root->pane()->subject().kind, EditorPaneView::Kind::empty);

    press(Qt::Key_W, Qt::ControlModifier);  // nothing to close: nothing asked
    EXPECT_EQ(prompter.asked.size(), 2);
}

TEST_F(RootViewTest, CtrlTabCyclesTabsBothWaysAndWraps) {
    openFile("a.txt", "a");
    openFile("b.txt", "b");
    openFile("c.txt", "c");
    const auto name = [&] { return window->app->activeDocument()->displayName(); };
    ASSERT_EQ(name(), "c.txt");
    editor()->setFocus();  // the keys work from inside the text too
    ASSERT_TRUE(waitUntil([&] { return editor()->hasFocus(); }));
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(name(), "a.txt");
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(name(), "b.txt");
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(name(), "a.txt");
    EXPECT_EQ(window->root->pane()->editor()->editorDocument(), window->app->activeDocument());
    const QList<TabChip*> chips = window->root->tabBar()->chips();
    ASSERT_EQ(chips.size(), 3);
    EXPECT_TRUE(waitUntil([&] { return chips[0]->isActive() && !chips[1]->isActive(); })) << "the chips follow a turn later";
}

TEST_F(RootViewTest, NewFileSaveAndToggleCommentActOnThisWindow) {
    ScriptedChooser chooser;
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(window->app->documents().size(), 1);
    EXPECT_EQ(window->app->activeDocument()->displayName(), "Untitled");

    const QString target = folder.file("saved.txt");
    chooser.answers = {target};
    window->app->activeDocument()->setText("x = 1\n");
    press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(chooser.asked.size(), 1);
    EXPECT_EQ(chooser.asked[0].proposedName, "Untitled.txt");
    ASSERT_TRUE(waitUntil([&] { return !window->app->activeDocument()->isDirty(); })) << "written on another thread";
    EXPECT_EQ(readBytes(target), "x = 1\n");

    openFile("script.py", "x = 1\n");
    ASSERT_TRUE(waitUntil([&] { return window->app->editorController().actions() != nullptr; }));
    window->app->editorController().goToLine(1);
    press(Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return window->app->activeDocument()->text() == "# x = 1\n"; }))
        << window->app->activeDocument()->text().toStdString();
}

TEST_F(RootViewTest, OpenFolderOpensHereFirstThenAsksForANewWindow) {
    QStringList windowsAsked;
    window = std::make_unique<MenuTestWindow>([&](const QString& f) { windowsAsked << f; });
    window->showActive();
    ScriptedChooser chooser;
    const QString first = folder.mkdir("first");
    const QString second = folder.mkdir("second");

    chooser.answers = {std::nullopt};
    press(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(chooser.asked.size(), 1);
    EXPECT_EQ(window->app->rootNode(), nullptr) << "cancelled: nothing changes";

    chooser.answers = {first};
    press(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(window->app->rootNode(), nullptr);
    EXPECT_EQ(window->app->rootNode()->url(), first);
    EXPECT_TRUE(windowsAsked.isEmpty());

    chooser.answers = {second};
    press(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window->app->rootNode()->url(), first) << "this window keeps its folder";
    EXPECT_EQ(windowsAsked, QStringList{second});
}

TEST_F(RootViewTest, CommandsReachOnlyTheMostRecentlyActiveWindow) {
    auto other = std::make_unique<MenuTestWindow>();
    other->show();
    window->showActive();
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_EQ(window->app->documents().size(), 1);
    EXPECT_EQ(other->app->documents().size(), 0);

    other->showActive();
    ASSERT_EQ(ActiveWindowTracker::shared().current(), other.get());
    press(Qt::Key_N, Qt::ControlModifier);
    NotificationCenter::shared().post(MenuNotification::find);
    EXPECT_EQ(window->app->documents().size(), 1);
    EXPECT_EQ(other->app->documents().size(), 1);
    EXPECT_FALSE(window->app->findOpen());
    EXPECT_TRUE(other->app->findOpen());

    // A window without a root view (say, the settings window) does not take the commands.
    QWidget settings;
    settings.show();
    QApplication::setActiveWindow(&settings);
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_EQ(other->app->documents().size(), 2);

    other.reset();  // the target window closes: the one activated before it takes over
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_EQ(window->app->documents().size(), 2);

    // A window activated while it showed something else takes commands once it holds a workbench.
    QMainWindow welcome;
    welcome.show();
    QApplication::setActiveWindow(&welcome);
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_EQ(window->app->documents().size(), 3);
    AppState laterState;
    welcome.setCentralWidget(new RootView(laterState));
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_EQ(window->app->documents().size(), 3);
    EXPECT_EQ(laterState.documents().size(), 1);
}

TEST(ActiveWindowTrackerTest, BeforeAnyActivationTheWindowCreatedLastIsTheTarget) {
    // Windows of earlier tests are gone, so no live window was ever activated.
    MenuTestWindow first, second;
    EXPECT_EQ(ActiveWindowTracker::shared().current(), &second);
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_EQ(first.app->documents().size(), 0);
    EXPECT_EQ(second.app->documents().size(), 1);
    EXPECT_TRUE(second.root->isCommandTarget());
    EXPECT_FALSE(first.root->isCommandTarget());
}

} // namespace
