#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "Views/WidgetPrompter.h"

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

// Each quit question is drawn over the window it is about, and its answer acts on that window alone.
TEST(WindowManager, QuitAsksOverEachDirtyWindowInTurn) {
    TempFolder dir;
    WidgetPrompter prompter;
    Prompter::install(&prompter);
    WindowManager& manager = WindowManager::shared();
    MainWindow* first = manager.openWindow();
    MainWindow* second = manager.openWindow();
    QCoreApplication::processEvents();
    makeDirty(first, dir.write("one.txt", "1"));
    makeDirty(second, dir.write("two.txt", "2"));
    manager.noteActivated(first);
    manager.noteActivated(second);

    QList<QWidget*> shownOver;
    QStringList answers{"Discard", "Save All"};
    std::function<void()> answerNext = [&] {
        QTimer::singleShot(0, [&] {
            QWidget* box = nullptr;
            waitUntil([&] { return (box = QApplication::activeModalWidget()) != nullptr; });
            if (!box) return;
            shownOver << box->parentWidget();
            const QString answer = answers.takeFirst();
            if (!answers.isEmpty()) answerNext();
            for (QPushButton* b : box->findChildren<QPushButton*>())
                if (b->text() == answer) b->click();
        });
    };
    answerNext();
    EXPECT_TRUE(manager.requestQuit());
    Prompter::install(nullptr);
    EXPECT_EQ(shownOver, (QList<QWidget*>{second, first}));
    EXPECT_EQ(readBytes(dir.file("two.txt")), "2") << "discarded";
    EXPECT_EQ(readBytes(dir.file("one.txt")), "edited") << "saved";
    EXPECT_TRUE(waitUntil([&] { return manager.windows().isEmpty(); }));
}

// Unreadable settings are told of once, over the first window that opens.
TEST(WindowManager, TellsOnceWhereUnreadableSettingsWent) {
    TempFolder dir;
    ScriptedPrompter prompter;
    SettingsStore& settings = SettingsStore::shared();
    const QString previous = settings.filePath();
    settings.setFilePath(dir.write("settings.json", "{\"a\": 1,}"));
    QPointer<MainWindow> window = WindowManager::shared().openWindow();
    ASSERT_TRUE(waitUntil([&] { return !prompter.asked.isEmpty(); }));
    EXPECT_TRUE(prompter.asked.first().message.contains(dir.file("settings.json.unreadable")));
    QPointer<MainWindow> another = WindowManager::shared().openWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(prompter.asked.size(), 1);
    window->closeWithoutAsking();
    another->closeWithoutAsking();
    EXPECT_TRUE(waitUntil([&] { return window.isNull() && another.isNull(); }));
    settings.setFilePath(previous);
}
