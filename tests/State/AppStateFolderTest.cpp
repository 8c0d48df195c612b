#include <gtest/gtest.h>

#include <QJsonArray>

#include "AppState.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {
// Each test starts from an empty settings file of its own.
struct AppStateFolder : ::testing::Test {
    TempFolder settingsDir, dir;
    QString previous = SettingsStore::shared().filePath();
    AppStateFolder() { SettingsStore::shared().setFilePath(settingsDir.file("settings.json")); }
    ~AppStateFolder() override { SettingsStore::shared().setFilePath(previous); }
};
} // namespace

TEST_F(AppStateFolder, RecentFoldersNewestFirstWithoutDuplicatesAtMostEight) {
    {
        AppState state;
        for (int i = 0; i < 9; ++i) state.openFolder(dir.mkdir(QString("f%1").arg(i)));
        state.openFolder(dir.file("f5"));
        const QStringList recent = state.recentFolders();
        ASSERT_EQ(recent.size(), 8);
        EXPECT_EQ(recent[0], dir.file("f5"));
        EXPECT_EQ(recent[1], dir.file("f8"));
        EXPECT_EQ(recent.count(dir.file("f5")), 1);
        EXPECT_FALSE(recent.contains(dir.file("f0")));
        EXPECT_EQ(recent.last(), dir.file("f1"));
    }
    AppState next;  // read back from the settings file
    EXPECT_EQ(next.recentFolders().first(), dir.file("f5"));
    EXPECT_EQ(next.recentFolders().size(), 8);

    SettingsStore::shared().setValue(SettingsKey::recentFolders, QJsonArray{"/a", 3});
    EXPECT_TRUE(AppState().recentFolders().isEmpty());
}

TEST_F(AppStateFolder, OpeningAFolderListsItAndKeepsTabs) {
    dir.write("proj/b.txt", "b");
    dir.write("proj/a.txt", "a");
    AppState state;
    state.newUntitled();
    state.openFolder(dir.file("proj"));
    ASSERT_TRUE(state.rootNode());
    EXPECT_TRUE(state.rootNode()->isExpanded());
    ASSERT_TRUE(state.rootNode()->children().has_value());
    EXPECT_EQ(state.rootNode()->children()->size(), 2);
    EXPECT_EQ(state.documents().size(), 1);
    EXPECT_EQ(state.quickOpenFiles().size(), 2);
}

TEST_F(AppStateFolder, ExternalChangesReloadCleanDocumentsOnly) {
    const QString clean = dir.write("proj/clean.txt", "old");
    const QString dirty = dir.write("proj/dirty.txt", "old");
    AppState state;
    state.openFolder(dir.file("proj"));
    state.open(clean);
    state.open(dirty);
    state.documents()[1]->setText("mine");

    // The watcher is running once the folder is open.
    dir.write("proj/clean.txt", "new on disk");
    dir.write("proj/dirty.txt", "new on disk");
    ASSERT_TRUE(waitUntil([&] { return state.documents()[0]->text() == "new on disk"; }));
    EXPECT_FALSE(state.documents()[0]->isDirty());
    EXPECT_EQ(state.documents()[1]->text(), "mine");
    EXPECT_TRUE(state.documents()[1]->isDirty());
}

TEST_F(AppStateFolder, SessionRoundTrips) {
    const QString one = dir.write("proj/one.txt", "1");
    const QString two = dir.write("proj/two.txt", "2");
    {
        AppState state;
        state.openFolder(dir.file("proj"));
        state.open(one);
        state.open(two);
        state.newUntitled();
        state.selectTab(state.documents()[0]);
        state.saveSession();
        EXPECT_EQ(SettingsStore::shared().stringArray(SettingsKey::sessionDocs), QStringList({one, two}));
        state.selectTab(state.documents()[2]);  // untitled active: the key is removed
        state.saveSession();
        EXPECT_FALSE(SettingsStore::shared().contains(SettingsKey::sessionActive));
        state.selectTab(state.documents()[0]);
        state.saveSession();
    }
    AppState restored;
    restored.restoreSession();
    ASSERT_TRUE(restored.rootNode());
    EXPECT_EQ(restored.rootNode()->url(), dir.file("proj"));
    ASSERT_EQ(restored.documents().size(), 2);
    EXPECT_EQ(restored.activeDocument()->url(), one);

    QDir(dir.file("proj")).removeRecursively();
    dir.write("elsewhere.txt", "e");
    SettingsStore::shared().setValue(SettingsKey::sessionDocs, QJsonArray{one, dir.file("elsewhere.txt")});
    AppState missingFolder;
    missingFolder.restoreSession();
    EXPECT_FALSE(missingFolder.rootNode());
    ASSERT_EQ(missingFolder.documents().size(), 1);
}

TEST_F(AppStateFolder, ReleaseNotesOfferedOncePerVersion) {
    AppState state;
    state.checkWhatsNew();
    ASSERT_TRUE(state.whatsNew().has_value());
    EXPECT_EQ(state.whatsNew()->version, AppInfo::version());
    state.setWhatsNew(std::nullopt);
    state.checkWhatsNew();
    EXPECT_FALSE(state.whatsNew().has_value());

    SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, "0.4.4");
    state.checkWhatsNew();
    EXPECT_TRUE(state.whatsNew().has_value());
    EXPECT_EQ(SettingsStore::shared().string(SettingsKey::lastSeenVersion), AppInfo::version());
}
