#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QPointer>

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
    QCoreApplication::processEvents();  // let the first-load step run
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
    EXPECT_TRUE(waitUntil([&] { return manager.windows().isEmpty(); }));
}

TEST(WindowManager, ClosingAWindowWithUnsavedWorkAsks) {
    TempFolder dir;
    ScriptedPrompter prompter;
    QPointer<MainWindow> window = WindowManager::shared().openWindow();
    QCoreApplication::processEvents();
    makeDirty(window, dir.write("doc.txt", "x"));
    prompter.answers = {2};  // Cancel keeps the window
    EXPECT_FALSE(window->close());
    EXPECT_EQ(prompter.asked.last().message, "Do you want to save them before closing the window?");
    prompter.answers = {0};  // Save All writes and closes
    EXPECT_TRUE(window->close());
    EXPECT_EQ(readBytes(dir.file("doc.txt")), "edited");
    EXPECT_TRUE(waitUntil([&] { return window.isNull(); }));
}

TEST(WindowManager, MenusCarryEveryCommand) {
    QPointer<MainWindow> window = WindowManager::shared().openWindow();
    QStringList titles;
    for (QAction* menu : window->menuBar()->actions())
        for (QAction* item : menu->menu()->actions()) titles << item->text();
    for (const MenuCommand& command : MenuCommands::all()) EXPECT_TRUE(titles.contains(command.title)) << command.title.toStdString();
    window->closeWithoutAsking();
    EXPECT_TRUE(waitUntil([&] { return window.isNull(); }));
}
