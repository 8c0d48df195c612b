// Reopening the documents of the last session: which tabs come back, in which order, which is active,
// and when a large file's tab joins them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QThreadPool>

#include "AppState.h"
#include "Platform/SettingsStore.h"
#include "Platform/TextFile.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {
struct SessionRestore : ::testing::Test {
    TempFolder settingsDir, dir;
    QString previous = SettingsStore::shared().filePath();
    SessionRestore() { SettingsStore::shared().setFilePath(settingsDir.file("settings.json")); }
    ~SessionRestore() override { SettingsStore::shared().setFilePath(previous); }

    static void saveSession(const QStringList& docs, const std::optional<QString>& active) {
        SettingsStore::shared().setValue(SettingsKey::sessionDocs, QJsonArray::fromStringList(docs));
        if (active) SettingsStore::shared().setValue(SettingsKey::sessionActive, *active);
        else SettingsStore::shared().remove(SettingsKey::sessionActive);
    }
    // Larger than what the start waits for.
    QString writeLarge(const QString& name) const {
        QByteArray line(79, 'x');
        line.append('\n');
        return dir.write(name, line.repeated(9 * 1024 * 1024 / 80));
    }
    // Until every read and fingerprint begun so far is over and what they posted back is delivered.
    static void settle() {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }
    static QStringList urls(const AppState& state) {
        QStringList out;
        for (const EditorDocument* d : state.documents()) out << d->url().value_or(QString());
        return out;
    }
};

TEST_F(SessionRestore, TabsComeBackOnceEachInOrderSkippingWhatCannotBeRead) {
    const QString a = dir.write("a.js", "let a = 1;\n");
    const QString b = dir.write("b.py", "b = 2\n");
    const QString bad = dir.write("bad.txt", QByteArray("\xff\xfe\x00z", 4));
    const QString c = dir.write("c.http", "GET http://127.0.0.1/\n");
    ASSERT_TRUE(QFile::link(b, dir.file("link-to-b.py")));
    saveSession({a, b, dir.file("gone.txt"), bad, a, dir.file("link-to-b.py"), c}, b);

    AppState state;
    const quint64 read = TextFile::filesRead();
    state.restoreSession();
    EXPECT_EQ(urls(state), QStringList({a, b, c})) << "a file listed twice, or reached through a link, is one tab";
    EXPECT_LE(TextFile::filesRead() - read, 5u) << "a file already open is not read again";
    ASSERT_TRUE(state.activeDocument());
    EXPECT_EQ(state.activeDocument()->url(), b);
    EXPECT_EQ(state.documents()[0]->text(), "let a = 1;\n");
    EXPECT_FALSE(state.documents()[0]->isDirty());
    EXPECT_EQ(state.documents()[2]->text(), "GET http://127.0.0.1/\n");
}

TEST_F(SessionRestore, WithoutTheSavedActiveTheLastOneOpenedOrReachedStaysActive) {
    const QString a = dir.write("a.txt", "a");
    const QString b = dir.write("b.txt", "b");
    saveSession({a, b, a}, dir.file("gone.txt"));
    AppState state;
    state.restoreSession();
    ASSERT_TRUE(state.activeDocument());
    EXPECT_EQ(state.activeDocument()->url(), a) << "the repeated a is opened last";

    saveSession({a, b}, std::nullopt);
    AppState second;
    second.restoreSession();
    EXPECT_EQ(second.activeDocument()->url(), b);

    saveSession({dir.file("gone.txt")}, a);
    AppState none;
    none.restoreSession();
    EXPECT_TRUE(none.documents().isEmpty());
    EXPECT_FALSE(none.activeDocumentId().has_value());
}

TEST_F(SessionRestore, TabsAlreadyOpenStayAndAreReachedNotOpenedAgain) {
    const QString a = dir.write("a.txt", "a");
    const QString b = dir.write("b.txt", "b");
    AppState state;
    state.open(a);
    EditorDocument* first = state.activeDocument();
    state.newUntitled();
    saveSession({b, a}, std::nullopt);
    state.restoreSession();
    ASSERT_EQ(state.documents().size(), 3);
    EXPECT_EQ(state.documents()[0], first);
    EXPECT_EQ(state.documents()[2]->url(), b);
    EXPECT_EQ(state.activeDocument(), first) << "the open a is reached last";
}

TEST_F(SessionRestore, ASessionOfNoTabsLeavesTheOpenTabsAndTheActiveOneAlone) {
    const QString a = dir.write("a.txt", "a");
    const QString b = dir.write("b.txt", "b");
    AppState state;
    state.open(a);
    state.open(b);
    saveSession({}, a);
    state.restoreSession();
    EXPECT_EQ(urls(state), QStringList({a, b}));
    ASSERT_TRUE(state.activeDocument());
    EXPECT_EQ(state.activeDocument()->url(), b);
}

TEST_F(SessionRestore, ALargeFileJoinsItsPlaceOnceReadAndBecomesActiveWhenItShould) {
    const QString a = dir.write("a.txt", "a");
    const QString big = writeLarge("big.txt");
    const QString c = dir.write("c.txt", "c");
    saveSession({a, big, c, big}, big);
    AppState state;
    state.restoreSession();
    EXPECT_EQ(urls(state), QStringList({a, c})) << "the window does not wait for it";
    EXPECT_EQ(state.activeDocument()->url(), c);
    ASSERT_TRUE(waitUntil([&] { return state.documents().size() == 3; }));
    EXPECT_EQ(urls(state), QStringList({a, big, c}));
    EXPECT_EQ(state.activeDocument()->url(), big);
    EXPECT_EQ(state.documents()[1]->text().size(), 9 * 1024 * 1024 / 80 * 80);
    EXPECT_FALSE(state.documents()[1]->isDirty());
    settle();
    EXPECT_EQ(state.documents().size(), 3);

    // Listed last without a saved active tab, it is the one reached last.
    saveSession({a, big, c, big}, std::nullopt);
    AppState last;
    last.restoreSession();
    ASSERT_TRUE(waitUntil([&] { return last.documents().size() == 3; }));
    EXPECT_EQ(last.activeDocument()->url(), big);
}

// First in the list, it goes before the tabs restored after it, behind those that were open already.
TEST_F(SessionRestore, ALargeFileListedFirstGoesBeforeTheTabsRestoredAfterIt) {
    const QString big = writeLarge("big.txt");
    const QString c = dir.write("c.txt", "c");
    const QString d = dir.write("d.txt", "d");
    saveSession({big, c, d}, std::nullopt);
    for (const bool untitledOpen : {false, true}) {
        AppState state;
        if (untitledOpen) state.newUntitled();
        state.restoreSession();
        ASSERT_TRUE(waitUntil([&] { return state.documents().size() == 3 + untitledOpen; }));
        const QStringList restored{big, c, d};
        EXPECT_EQ(urls(state), untitledOpen ? QStringList{QString()} + restored : restored);
    }
}

// Tabs already open are reached through a link as well, and a file read now is reached through a
// link listed after it: each is one tab, and the one reached last is active.
TEST_F(SessionRestore, ALinkListedAfterItsFileReachesThatTabWhetherOpenOrReadNow) {
    const QString a = dir.write("a.txt", "a");
    const QString b = dir.write("b.txt", "b");
    ASSERT_TRUE(QFile::link(a, dir.file("link-to-a.txt")));
    saveSession({a, b, dir.file("link-to-a.txt")}, std::nullopt);
    AppState restored;
    restored.restoreSession();
    EXPECT_EQ(urls(restored), QStringList({a, b}));
    ASSERT_TRUE(restored.activeDocument());
    EXPECT_EQ(restored.activeDocument()->url(), a);

    AppState open;
    open.open(a);
    saveSession({dir.file("link-to-a.txt"), b}, dir.file("link-to-a.txt"));
    open.restoreSession();
    EXPECT_EQ(urls(open), QStringList({a, b}));
}

TEST_F(SessionRestore, WhatTheUserDoesBeforeALargeFileIsReadStays) {
    const QString a = dir.write("a.txt", "a");
    const QString big = writeLarge("big.txt");
    const QString c = dir.write("c.txt", "c");
    saveSession({a, big, c}, big);
    {
        AppState state;
        state.restoreSession();
        state.selectTab(state.documents()[0]);
        state.close(state.documents()[1]);
        ASSERT_TRUE(waitUntil([&] { return state.documents().size() == 2; }));
        EXPECT_EQ(urls(state), QStringList({a, big})) << "after the tab before it";
        EXPECT_EQ(state.activeDocument()->url(), a) << "the tab chosen meanwhile stays active";
    }
    {
        AppState state;
        state.restoreSession();
        state.open(big);
        settle();
        EXPECT_EQ(urls(state), QStringList({a, c, big})) << "opened meanwhile: one tab, where it was opened";
        EXPECT_EQ(state.activeDocument()->url(), big);
    }
    {
        AppState state;
        state.restoreSession();
    }  // gone before the file is read
    settle();
}

} // namespace
