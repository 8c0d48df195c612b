// A window shows the welcome screen until onboarding is done, in every window at once, and the
// workbench after; the settings item opens one settings window.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QJsonArray>
#include <QListView>
#include <QClipboard>
#include <QDialog>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>

#include "App/MainWindow.h"
#include "Git/GitTestSupport.h"
#include "App/SettingsWindow.h"
#include "App/TextEditingActions.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "MenuCommands.h"
#include "Platform/NotificationCenter.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "UI/PressableButton.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/EditorTabBarView.h"
#include "Views/RootView.h"
#include "Views/Workbench/FileExplorerView.h"
#include "Views/Workbench/SettingsView.h"
#include "Views/Workbench/WelcomeView.h"

using namespace testing_support;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setValue(SettingsKey::onboarded, false);
        SettingsStore::shared().remove(SettingsKey::sessionFolder);
        SettingsStore::shared().remove(SettingsKey::sessionDocs);
    }
    void TearDown() override {
        for (MainWindow* w : WindowManager::shared().windows()) w->closeWithoutAsking();
        EXPECT_TRUE(waitUntil([] { return WindowManager::shared().windows().isEmpty(); }));
        SettingsStore::shared().setValue(SettingsKey::onboarded, false);
    }
    // A new window, shown and active as for a user; null if it never becomes active.
    static MainWindow* openActiveWindow() {
        MainWindow* window = WindowManager::shared().openWindow();
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        return QTest::qWaitForWindowActive(window, 60000) ? window : nullptr;
    }
};

TEST_F(MainWindowTest, WelcomeUntilOnboardedThenTheWorkbenchInEveryWindow) {
    MainWindow* first = WindowManager::shared().openWindow();
    MainWindow* second = WindowManager::shared().openWindow();
    // The first-load step runs on a later turn.
    ASSERT_TRUE(waitUntil([&] { return first->welcomeView() && second->welcomeView(); }));
    EXPECT_EQ(first->rootView(), nullptr);

    // A welcome screen takes no menu command.
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_TRUE(first->state().documents().isEmpty());
    EXPECT_TRUE(second->state().documents().isEmpty());

    first->welcomeView()->blankFileButton()->click();
    EXPECT_TRUE(SettingsStore::shared().boolean(SettingsKey::onboarded, false));
    ASSERT_TRUE(waitUntil([&] { return first->rootView() != nullptr; }));
    ASSERT_NE(second->rootView(), nullptr) << "the setting reaches every window";
    EXPECT_EQ(first->state().documents().size(), 1) << "the blank file is there in the workbench";

    // The settings window's Welcome Tour brings the screen back everywhere.
    SettingsView* settings = SettingsWindow::show();
    EXPECT_EQ(SettingsWindow::show(), settings) << "one settings window";
    settings->welcomeTourButton()->click();
    EXPECT_TRUE(waitUntil([&] { return first->welcomeView() && second->welcomeView(); }));
    settings->close();
    EXPECT_TRUE(waitUntil([] { return SettingsWindow::current() == nullptr; }));
}

// A window opens inside the screen's free area: at its usual size on a large screen, as large as
// fits on a smaller one, and at its minimum size where even that does not fit.
TEST_F(MainWindowTest, OpensAtASizeThatFitsTheScreen) {
    EXPECT_EQ(MainWindow::initialGeometry(QRect(0, 0, 2560, 1440)), QRect(640, 310, 1280, 820));
    EXPECT_EQ(MainWindow::initialGeometry(QRect(0, 0, 1040, 720)), QRect(0, 0, 1040, 720));
    EXPECT_EQ(MainWindow::initialGeometry(QRect(0, 28, 1280, 772)), QRect(0, 28, 1280, 772));
    EXPECT_EQ(MainWindow::initialGeometry(QRect(1920, 0, 1366, 740)), QRect(1963, 0, 1280, 740)) << "second screen";
    EXPECT_EQ(MainWindow::initialGeometry(QRect(100, 50, 800, 600)), QRect(100, 50, 1040, 720));

    MainWindow* window = WindowManager::shared().openWindow();
    const QRect available = window->screen()->availableGeometry();
    EXPECT_EQ(QRect(window->pos(), window->size()), MainWindow::initialGeometry(available));
    EXPECT_EQ(window->size(), window->minimumSize().expandedTo(window->size().boundedTo(available.size())))
        << "no larger than the screen unless the minimum is";
}

TEST_F(MainWindowTest, FileMenuCarriesTheSettingsItem) {
    MainWindow* window = WindowManager::shared().openWindow();
    QAction* settings = nullptr;
    for (QAction* item : window->menuBar()->actions().first()->menu()->actions())
        if (item->text() == "Settings…") settings = item;
    ASSERT_NE(settings, nullptr);
    settings->trigger();
    ASSERT_NE(SettingsWindow::current(), nullptr);
    SettingsWindow::current()->close();
    EXPECT_TRUE(waitUntil([] { return SettingsWindow::current() == nullptr; }));
}

// The Edit menu starts with the platform's text-editing items, then the program's own group; each
// item acts on what has the focus, the code editor through its own edit history.
TEST_F(MainWindowTest, EditMenuTextItemsActOnTheFocusedField) {
    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    TempFolder dir;
    dir.write("a.txt", "alpha\n");
    dir.write("b.txt", "gamma\n");
    dir.write("c.txt", "gamma\n");
    MainWindow* window = openActiveWindow();
    ASSERT_TRUE(window);
    QMenu* edit = window->menuBar()->actions()[1]->menu();
    const auto item = [&](const QString& title) {
        for (QAction* a : edit->actions())
            if (a->text() == title) return a;
        return static_cast<QAction*>(nullptr);
    };
    // The window menu names the keys a user presses.
    QAction* previous = nullptr;
    for (QAction* a : window->menuBar()->actions()[2]->menu()->actions())
        if (a->text() == "Previous Tab") previous = a;
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(previous->shortcut().toString(), "Ctrl+Shift+Tab");

    AppState& app = window->state();
    app.openFolder(dir.path());
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) app.open(dir.file(name));
    const auto editor = [&] { return window->rootView()->pane()->editor(); };
    ASSERT_TRUE(waitUntil([&] { return editor() && editor()->editorDocument() == app.activeDocument(); }));
    editor()->setFocus();
    ASSERT_TRUE(waitUntil([&] { return editor()->hasFocus(); }));

    QTest::keyClick(editor(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(editor(), "xy");
    ASSERT_EQ(app.activeDocument()->text(), "xygamma\n");
    item("Undo")->trigger();
    EXPECT_EQ(app.activeDocument()->text(), "gamma\n") << "the editor's own history";
    item("Redo")->trigger();
    EXPECT_EQ(app.activeDocument()->text(), "xygamma\n");
    item("Select All")->trigger();
    item("Cut")->trigger();
    EXPECT_EQ(app.activeDocument()->text(), "");
    item("Paste")->trigger();
    item("Paste")->trigger();
    EXPECT_EQ(app.activeDocument()->text(), "xygamma\nxygamma\n");

    // A plain text field uses its own editing.
    auto* field = new QLineEdit(window->rootView());
    field->show();
    field->setText("hello");
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }));
    item("Select All")->trigger();
    item("Copy")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "hello");
    QTest::keyClicks(field, "!");
    item("Undo")->trigger();
    EXPECT_EQ(field->text(), "hello");
    delete field;
}

// Keys go where the platform sends them: to the focused widget, or to the window when none has it.
void keyToApp(MainWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : window, key, modifiers);
}

TEST_F(MainWindowTest, AFileOpenedFromTheSessionTheExplorerOrQuickOpenTakesTheKeys) {
    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    // The release notes were seen already: no sheet holds the window's keys.
    SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
    TempFolder dir;
    for (const char* name : {"restored.txt", "clicked.txt", "chosen.txt"}) dir.write(name, "abc\n");
    enum class Way { session, explorer, quickOpen };
    for (const auto& [way, name] : {std::pair{Way::session, "restored.txt"}, std::pair{Way::explorer, "clicked.txt"},
                                    std::pair{Way::quickOpen, "chosen.txt"}}) {
        SCOPED_TRACE(name);
        SettingsStore::shared().setValue(SettingsKey::sessionFolder, dir.path());
        SettingsStore::shared().setValue(SettingsKey::sessionDocs,
                                         way == Way::session ? QJsonArray{dir.file(name)} : QJsonArray{});
        SettingsStore::shared().setValue(SettingsKey::sessionActive, dir.file(name));
        MainWindow* window = openActiveWindow();
        ASSERT_TRUE(window);
        AppState& app = window->state();
        ASSERT_TRUE(waitUntil([&] { return window->rootView() && app.rootNode(); }));

        if (way == Way::explorer) {
            QListView* list = window->rootView()->explorer()->list();
            QModelIndex row;
            ASSERT_TRUE(waitUntil([&] {
                const QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, name);
                if (!found.isEmpty()) row = found.front();
                return row.isValid();
            }));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
        } else if (way == Way::quickOpen) {
            keyToApp(window, Qt::Key_P, Qt::ControlModifier);
            ASSERT_TRUE(waitUntil([&] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr; }));
            QTest::keyClicks(QApplication::focusWidget(), "chosen");
            keyToApp(window, Qt::Key_Return);
        }
        ASSERT_TRUE(waitUntil([&] {
            const auto* editor = window->rootView()->pane()->editor();
            return editor && editor->editorDocument()->url() == dir.file(name);
        }));
        keyToApp(window, Qt::Key_End, Qt::ControlModifier);
        keyToApp(window, Qt::Key_Q);
        keyToApp(window, Qt::Key_S, Qt::ControlModifier);
        EXPECT_TRUE(waitUntil([&] { return !window->rootView()->pane()->editor()->editorDocument()->isDirty(); }));
        EXPECT_EQ(readBytes(dir.file(name)), "abc\nq") << "the keys reached the editor and the text was saved";
        window->closeWithoutAsking();
        ASSERT_TRUE(waitUntil([] { return WindowManager::shared().windows().isEmpty(); }));
    }
}

} // namespace

namespace {

// Presses every text-editing key of the Edit menu with the focus where it is now.
void pressEditKeys(QWidget* window) {
    for (const TextEditingActions::Item& item : TextEditingActions::items()) {
        const QKeyCombination key = QKeySequence::keyBindings(item.key).first()[0];
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
    }
}

bool takesText(QWidget* w) {
    return qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w);
}

} // namespace

// The Edit keys forward to the focused widget only when it takes them; on any other widget, with no
// focus, over an overlay or in a dialog they do nothing at all (they used to trigger themselves forever).
TEST_F(MainWindowTest, EditKeysDoNothingWhereNoTextTakesThem) {
    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    TempFolder dir;
    dir.write("a.txt", "alpha\n");
    dir.write("sub/b.txt", "beta\n");
    MainWindow* window = openActiveWindow();
    ASSERT_TRUE(window);
    AppState& app = window->state();
    app.openFolder(dir.path());
    app.open(dir.file("a.txt"));
    ASSERT_TRUE(waitUntil([&] { return window->rootView()->pane()->editor() != nullptr; }));
    app.activeDocument()->setText("edited\n");
    QApplication::clipboard()->setText("on the clipboard");

    // Keys typed in a text widget's own parts (its scroll bars, its line numbers) reach the text
    // widget itself; a list claims Copy for its current item as it does for a typed key.
    const auto within = [](QWidget* w, auto test) {
        for (; w; w = w->parentWidget())
            if (test(w)) return true;
        return false;
    };
    const auto pressEverywhere = [&](const char* where) {
        int tried = 0;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            // Any widget may hold the focus, whatever its policy (a click on a chip can leave it there).
            if (!w->isVisible() || within(w, takesText)) continue;
            w->setFocus();
            if (QApplication::focusWidget() != w) continue;
            pressEditKeys(window);
            ++tried;
            EXPECT_EQ(app.activeDocument()->text(), "edited\n") << where << " " << w->metaObject()->className();
            if (!within(w, [](QWidget* v) { return qobject_cast<QAbstractItemView*>(v) != nullptr; }))
                EXPECT_EQ(QApplication::clipboard()->text(), "on the clipboard") << where << " " << w->metaObject()->className();
            QApplication::clipboard()->setText("on the clipboard");
        }
        EXPECT_GT(tried, 20) << where;
    };
    // The release notes may come up first, as a sheet that holds the window's shortcuts.
    if (QApplication::activeModalWidget()) pressEverywhere("under the release notes");
    app.setWhatsNew(std::nullopt);
    ASSERT_TRUE(waitUntil([] { return QApplication::activeModalWidget() == nullptr; }));
    pressEverywhere("workbench");
    // A click on a menu item, not a key, with the focus on a tab chip.
    window->rootView()->tabBar()->setFocus();
    for (QAction* a : window->menuBar()->actions()[1]->menu()->actions().mid(0, 6)) a->trigger();
    EXPECT_EQ(app.activeDocument()->text(), "edited\n");

    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    pressEditKeys(window);
    EXPECT_EQ(app.activeDocument()->text(), "edited\n");

    app.setQuickOpenOpen(true);
    ASSERT_TRUE(waitUntil([&] { return window->rootView()->overlay(RootView::Overlay::quickOpen) != nullptr; }));
    pressEverywhere("over quick open");
    app.setQuickOpenOpen(false);

    QDialog dialog(window);
    auto* button = new QPushButton("OK", &dialog);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog, 60000));
    button->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), button);
    pressEditKeys(&dialog);
    EXPECT_EQ(app.activeDocument()->text(), "edited\n");
    EXPECT_EQ(QApplication::clipboard()->text(), "on the clipboard");
}

// Read-only text declines the editing keys, yet Copy and Select All still work in it, once.
TEST_F(MainWindowTest, EditKeysCopyFromReadOnlyText) {
    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    MainWindow* window = openActiveWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitUntil([&] { return window->rootView() != nullptr; }));
    auto* view = new QPlainTextEdit(window->rootView());
    view->setPlainText("response body");
    view->setReadOnly(true);
    view->show();
    view->setFocus();
    ASSERT_TRUE(waitUntil([&] { return view->hasFocus(); }));
    QApplication::clipboard()->setText("before");
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    pressEditKeys(window);
    EXPECT_EQ(view->toPlainText(), "response body");
    EXPECT_EQ(QApplication::clipboard()->text(), "response body");
    delete view;
}
