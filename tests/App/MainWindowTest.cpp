// A window shows the welcome screen until onboarding is done, in every window at once, and the
// workbench after; the settings item opens one settings window.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMenuBar>

#include "App/MainWindow.h"
#include "Git/GitTestSupport.h"
#include "App/SettingsWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "MenuCommands.h"
#include "Platform/NotificationCenter.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "UI/PressableButton.h"
#include "Views/RootView.h"
#include "Views/Workbench/FileExplorerView.h"
#include "Views/Workbench/FileRow.h"
#include "Views/Workbench/FileTreeModel.h"
#include "Views/Workbench/SettingsView.h"
#include "Views/Workbench/StatusBarView.h"
#include "Views/Workbench/WelcomeView.h"

using namespace testing_support;

namespace {

QString shotPath(const QString& name) { return QFileInfo(QStringLiteral(BRIMEL_BUNDLE_DIR)).absolutePath() + "/" + name; }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setValue(SettingsKey::onboarded, false);
        SettingsStore::shared().remove(SettingsKey::sessionFolder);
        SettingsStore::shared().remove(SettingsKey::sessionDocs);
    }
    void TearDown() override {
        for (MainWindow* w : WindowManager::shared().windows()) w->closeWithoutAsking();
        spin(50);
        SettingsStore::shared().setValue(SettingsKey::onboarded, false);
    }
};

TEST_F(MainWindowTest, WelcomeUntilOnboardedThenTheWorkbenchInEveryWindow) {
    MainWindow* first = WindowManager::shared().openWindow();
    MainWindow* second = WindowManager::shared().openWindow();
    spin(50);
    ASSERT_NE(first->welcomeView(), nullptr);
    EXPECT_EQ(first->rootView(), nullptr);
    EXPECT_EQ(first->minimumSize(), QSize(1040, 720));

    // A welcome screen takes no menu command.
    NotificationCenter::shared().post(MenuNotification::newFile);
    EXPECT_TRUE(first->state().documents().isEmpty());
    EXPECT_TRUE(second->state().documents().isEmpty());

    first->welcomeView()->blankFileButton()->click();
    spin(20);
    EXPECT_TRUE(SettingsStore::shared().boolean(SettingsKey::onboarded, false));
    ASSERT_NE(first->rootView(), nullptr);
    ASSERT_NE(second->rootView(), nullptr) << "the setting reaches every window";
    EXPECT_EQ(first->state().documents().size(), 1) << "the blank file is there in the workbench";

    // The settings window's Welcome Tour brings the screen back everywhere.
    SettingsView* settings = SettingsWindow::show();
    EXPECT_EQ(SettingsWindow::show(), settings) << "one settings window";
    settings->welcomeTourButton()->click();
    spin(20);
    EXPECT_NE(first->welcomeView(), nullptr);
    EXPECT_NE(second->welcomeView(), nullptr);
    settings->close();
    spin(20);
    EXPECT_EQ(SettingsWindow::current(), nullptr);
}

TEST_F(MainWindowTest, FileMenuCarriesTheSettingsItem) {
    MainWindow* window = WindowManager::shared().openWindow();
    QAction* settings = nullptr;
    for (QAction* item : window->menuBar()->actions().first()->menu()->actions())
        if (item->text() == "Settings…") settings = item;
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(settings->menuRole(), QAction::PreferencesRole);
    settings->trigger();
    ASSERT_NE(SettingsWindow::current(), nullptr);
    SettingsWindow::current()->close();
    spin(20);
}

TEST_F(MainWindowTest, Screenshots) {
    TempFolder dir;
    dir.write("shop/app.py", "print('hello')\n");
    dir.write("shop/README.md", "# Shop\n");
    dir.write("shop/web/index.js", "export const x = 1;\n");
    dir.write("shop/web/style.css", "body { margin: 0; }\n");
    git_test::useIsolatedGitConfig();
    git_test::gitOk(dir.file("shop"), {"init", "-q"});
    git_test::gitOk(dir.file("shop"), {"add", "README.md"});
    git_test::gitOk(dir.file("shop"), {"commit", "-q", "-m", "first"});
    MainWindow* window = WindowManager::shared().openWindow();
    window->resize(1280, 800);
    window->state().openFolder(dir.file("recent-one"));
    spin(900);  // the welcome cascade settles
    ASSERT_NE(window->welcomeView(), nullptr);
    EXPECT_TRUE(window->centralWidget()->grab().save(shotPath("welcome.png")));

    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    AppState& app = window->state();
    app.setWhatsNew(std::nullopt);
    app.openFolder(dir.file("shop"));
    FileExplorerView* explorer = window->rootView()->explorer();
    ASSERT_NE(explorer, nullptr);
    explorer->row(explorer->model()->rowOf(dir.file("shop/web"))).activate();
    app.open(dir.file("shop/app.py"));
    EXPECT_TRUE(waitUntil([&] { return window->rootView()->statusBar()->branchButton() && !app.git().changes().isEmpty(); }, 20000));
    spin(600);
    EXPECT_TRUE(window->centralWidget()->grab().save(shotPath("workbench.png")));

    SettingsView* settings = SettingsWindow::show();
    spin(300);
    EXPECT_TRUE(settings->grab().save(shotPath("settings.png")));
    settings->close();
}

} // namespace
