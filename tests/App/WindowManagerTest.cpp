#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>

#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "MenuCommands.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {
void makeDirty(MainWindow* w, const QString& path) {
    w->state().open(path);
    w->state().activeDocument()->setText("edited");
}
} // namespace

TEST(WindowManager, QuitAsksEveryWindowWithUnsavedWork) {
    TempFolder dir;
    ScriptedPrompter prompter;
    WindowManager& manager = WindowManager::shared();
    MainWindow* first = manager.openWindow();
    MainWindow* second = manager.openWindow();
    spin(50);  // let the first-load step run
    makeDirty(first, dir.write("one.txt", "1"));
    makeDirty(second, dir.write("two.txt", "2"));
    manager.noteActivated(first);
    manager.noteActivated(second);

    prompter.answers = {1, 2};  // the window in front: Discard; the other one: Cancel
    EXPECT_FALSE(manager.requestQuit());
    ASSERT_EQ(prompter.asked.size(), 2);
    EXPECT_EQ(manager.windows().size(), 2);

    prompter.answers = {1, 1};
    EXPECT_TRUE(manager.requestQuit());
    // The window used last wrote the session.
    EXPECT_EQ(SettingsStore::shared().stringArray(SettingsKey::sessionDocs), QStringList({dir.file("two.txt")}));
    spin(50);
    EXPECT_TRUE(manager.windows().isEmpty());
}

TEST(WindowManager, ClosingAWindowWithUnsavedWorkAsks) {
    TempFolder dir;
    ScriptedPrompter prompter;
    MainWindow* window = WindowManager::shared().openWindow();
    spin(50);
    makeDirty(window, dir.write("doc.txt", "x"));
    prompter.answers = {2};  // Cancel keeps the window
    EXPECT_FALSE(window->close());
    EXPECT_EQ(prompter.asked.last().message, "Do you want to save them before closing the window?");
    prompter.answers = {0};  // Save All writes and closes
    EXPECT_TRUE(window->close());
    EXPECT_EQ(readBytes(dir.file("doc.txt")), "edited");
    spin(50);
}

TEST(WindowManager, MenusCarryTheThirteenCommands) {
    MainWindow* window = WindowManager::shared().openWindow();
    QStringList titles;
    for (QAction* menu : window->menuBar()->actions())
        for (QAction* item : menu->menu()->actions()) titles << item->text();
    for (const MenuCommand& command : MenuCommands::all()) EXPECT_TRUE(titles.contains(command.title)) << command.title.toStdString();
    EXPECT_EQ(MenuCommands::all().size(), 13);
    window->closeWithoutAsking();
    spin(50);
}
