#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "API/APIService.h"
#include "API/WorkspaceScanner.h"
#include "AppState.h"
#include "Platform/FilePath.h"
#include "Platform/SettingsStore.h"
#include "Platform/TextFile.h"
#include "Workspace/DocumentReloader.h"
#include "Workspace/InotifyReader.h"
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

    // A file now stands where the folder was: it is not a folder to open either.
    dir.write("proj", "not a folder\n");
    AppState fileInPlace;
    fileInPlace.restoreSession();
    EXPECT_FALSE(fileInPlace.rootNode());
    EXPECT_EQ(fileInPlace.documents().size(), 1);
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

namespace {
void removeTree(const QString& path) { ASSERT_TRUE(QDir(path).removeRecursively()); }

QStringList childNames(const AppState& state) {
    QStringList names;
    if (state.rootNode() && state.rootNode()->children())
        for (const auto& child : *state.rootNode()->children()) names << child->name();
    return names;
}

// Dates a file back, so that its stamp alone tells whether it changed since.
void age(const QString& path) {
    const struct timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}
} // namespace

// The open folder deleted and made again: the explorer and a clean tab follow the new content.
TEST_F(AppStateFolder, AFolderMadeAgainIsWatchedAgain) {
    ScriptedPrompter prompter;
    const QString folder = dir.mkdir("F");
    const QString one = dir.write("F/one.txt", "v1\n");
    AppState state;
    state.openFolder(folder);
    state.open(one);
    removeTree(folder);
    ASSERT_TRUE(waitUntil([&] { return childNames(state).isEmpty(); }));
    dir.mkdir("F");
    dir.write("F/one.txt", "v2\n");
    dir.write("F/two.txt", "x\n");
    EXPECT_TRUE(waitUntil([&] {
        return childNames(state) == QStringList{"one.txt", "two.txt"} && state.documents()[0]->text() == "v2\n";
    })) << childNames(state).join(", ").toStdString();
    EXPECT_TRUE(state.watchesEverything());
    dir.write("F/three.txt", "x\n");  // later changes too
    EXPECT_TRUE(waitUntil([&] { return childNames(state).contains("three.txt"); }));
}

// What is told of a folder not watched is taken back once it is watched again, and told anew (with
// what is then true) when it goes again.
TEST_F(AppStateFolder, TheAlertOfAnUnwatchedFolderGoesOnceItIsWatchedAgain) {
    ScriptedPrompter prompter;
    const QString folder = dir.mkdir("F");
    AppState state;
    state.openFolder(folder);
    const QString title = "“F” is not watched for changes.";
    for (int round = 1; round <= 2; ++round) {
        removeTree(folder);
        ASSERT_TRUE(waitUntil([&] { return prompter.asked.size() == round; }));
        EXPECT_EQ(prompter.asked.last().title, title);
        EXPECT_EQ(prompter.asked.last().message, "There is no folder at " + folder + ".");
        EXPECT_EQ(prompter.withdrawn.size(), round - 1);
        dir.mkdir("F");
        ASSERT_TRUE(waitUntil([&] { return prompter.withdrawn.size() == round; }));
        EXPECT_EQ(prompter.withdrawn.last(), title);
        EXPECT_TRUE(state.watchesEverything());
    }
    // A folder opened instead takes back what was told of the one before.
    removeTree(folder);
    ASSERT_TRUE(waitUntil([&] { return prompter.asked.size() == 3; }));
    state.openFolder(dir.mkdir("G"));
    EXPECT_EQ(prompter.withdrawn.size(), 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(prompter.asked.size(), 3);
}

// A folder that cannot be watched says why; the system's limit is told each time it is reached.
TEST_F(AppStateFolder, TellsWhatKeepsAFolderFromBeingWatched) {
    ScriptedPrompter prompter;
    AppState state;
    state.openFolder(dir.file("gone"));
    ASSERT_TRUE(waitUntil([&] { return prompter.asked.size() == 1; }));
    EXPECT_EQ(prompter.asked[0].title, "“gone” is not watched for changes.");
    EXPECT_EQ(prompter.asked[0].message, "There is no folder at " + dir.file("gone") + ".");
    EXPECT_FALSE(state.watchesEverything());

    state.openFolder(dir.write("plain", "x"));
    ASSERT_TRUE(waitUntil([&] { return prompter.asked.size() == 2; }));
    EXPECT_EQ(prompter.asked[1].message, dir.file("plain") + " is a file, not a folder.");

    dir.mkdir("deep/a/b/c");
    for (int opening = 0; opening < 2; ++opening) {
        InotifyReader::limitWatchesTo(2);
        state.openFolder(dir.file("deep"));
        InotifyReader::limitWatchesTo(-1);
        ASSERT_TRUE(waitUntil([&] { return prompter.asked.size() == 3 + opening; }));
        EXPECT_EQ(prompter.asked.last().title, "Some folders are not watched for changes.");
    }
    dir.write("deep/new.txt", "x");  // a change under the same watcher does not tell it again
    ASSERT_TRUE(waitUntil([&] { return childNames(state).contains("new.txt"); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompter.asked.size(), 4);
}

// A change reads again only the open files whose stamp on disk changed, and a large one is read
// without holding up the window (more in DocumentReloaderTest).
TEST_F(AppStateFolder, AChangeReadsOnlyTheFilesThatChanged) {
    AppState state;
    state.openFolder(dir.mkdir("proj"));
    QStringList paths;
    for (int i = 0; i < 5; ++i) {
        paths << dir.write(QString("proj/f%1.txt").arg(i), "same\n");
        age(paths.last());
        state.open(paths.last());
    }
    const QString large = dir.write("proj/large.txt", QByteArray(DocumentReloader::kReadAsideBytes + 1, 'a'));
    age(large);
    state.open(large);

    const quint64 before = TextFile::filesRead();
    state.handleExternalChange();
    EXPECT_EQ(TextFile::filesRead() - before, 0u) << "nothing changed";

    dir.write("proj/f2.txt", "changed\n");
    age(paths[2]);  // another stamp all the same: the size differs
    state.handleExternalChange();
    EXPECT_EQ(TextFile::filesRead() - before, 1u);
    EXPECT_EQ(state.documents()[2]->text(), "changed\n");

    dir.write("proj/large.txt", QByteArray(DocumentReloader::kReadAsideBytes + 1, 'b'));
    state.handleExternalChange();
    EXPECT_TRUE(state.isReloading());
    EXPECT_EQ(state.documents()[5]->text().front(), u'a') << "read aside, taken when done";
    ASSERT_TRUE(waitUntil([&] { return state.documents()[5]->text().front() == u'b'; }));
    EXPECT_FALSE(state.documents()[5]->isDirty());
}

// A file whose name is not UTF-8 is listed, opens and saves as itself, not as the file its name
// would read as with a replacement character.
TEST_F(AppStateFolder, FilesNamedWithOtherBytesOpenAndSaveAsThemselves) {
    const QByteArray root = QFile::encodeName(dir.mkdir("proj"));
    const auto make = [&](const QByteArray& name, const QByteArray& bytes) {
        const int fd = ::open((root + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    };
    make("caf\xe9.txt", "latin\n");
    make("caf\xef\xbf\xbd.txt", "replacement\n");
    AppState state;
    state.openFolder(QFile::decodeName(root));
    const QStringList files = state.quickOpenFiles();
    ASSERT_EQ(files.size(), 2);
    const QString odd = FilePath::hasRawBytes(files[0]) ? files[0] : files[1];
    state.open(odd);
    ASSERT_EQ(state.documents().size(), 1);
    EXPECT_EQ(state.documents()[0]->text(), "latin\n");
    state.documents()[0]->setText("edited\n");
    ASSERT_TRUE(state.save(state.documents()[0]));
    EXPECT_EQ(readBytes(QFile::decodeName(root + "/caf\xef\xbf\xbd.txt")), "replacement\n");
    EXPECT_EQ(state.quickOpenFiles().size(), 2);
    const int fd = ::open((root + "/caf\xe9.txt").constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buffer[16] = {};
    EXPECT_EQ(QByteArray(buffer, int(::read(fd, buffer, sizeof buffer))), "edited\n");
    ::close(fd);
}

TEST_F(AppStateFolder, ASessionFolderNamedWithOtherBytesComesBack) {
    const QByteArray folder = QFile::encodeName(dir.path()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    {
        AppState state;
        state.openFolder(FilePath::decode(folder));
        state.saveSession();
    }
    AppState restored;
    restored.restoreSession();
    ASSERT_TRUE(restored.rootNode());
    EXPECT_EQ(restored.rootNode()->url(), FilePath::decode(folder));
}

namespace {
// count empty files f00000.txt, f00001.txt, ... in folder, made as it goes.
void makeEmptyFiles(const QString& folder, int count) {
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 0; i < count; ++i) {
        const QByteArray path = QFile::encodeName(folder + QString::asprintf("/f%05d.txt", i));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
}

QStringList shown(const FileNode& folder) {
    QStringList out;
    for (const FileNode::Ptr& child : folder.children().value_or(FileNode::Children{}))
        out << child->name() + (child->isDirectory() ? "/" : "");
    return out;
}

QStringList listedAfresh(const QString& path) {
    FileNode fresh(path);
    fresh.loadChildren();
    return shown(fresh);
}

FileNode::Ptr childNamed(const FileNode& folder, const QString& name) {
    for (const FileNode::Ptr& child : folder.children().value_or(FileNode::Children{}))
        if (child->name() == name) return child;
    return nullptr;
}

const QByteArray kRequest = "### One\nGET https://example.com/one\n";

// Entries read for the explorer and by the request-file scan for one change at most, in a folder of
// count files, half of them side by side and half deep in a tree.
std::pair<quint64, quint64> mostReadForOneChange(const TempFolder& dir, int count) {
    const QString proj = dir.file(QString("p%1").arg(count));
    makeEmptyFiles(proj, count / 2);
    makeEmptyFiles(proj + "/tree/a/b", count / 2);
    TextFile::writeUtf8(proj + "/r.http", QString::fromUtf8(kRequest));
    AppState state;
    state.openFolder(proj);
    if (!waitUntil([&] { return !state.api().isScanning(); })) return {~0ull, ~0ull};
    FileNode::Ptr deep = state.rootNode();
    for (const char* name : {"tree", "a", "b"}) {
        deep = childNamed(*deep, name);
        if (!deep) return {~0ull, ~0ull};
        deep->loadChildren();
    }
    quint64 entries = 0, visited = 0;
    const auto measure = [&](const std::function<void()>& change, const std::function<bool()>& seen) {
        const quint64 entriesBefore = FileNode::entriesRead(), visitedBefore = WorkspaceScanner::entriesVisited();
        change();
        EXPECT_TRUE(waitUntil(seen));
        entries = std::max(entries, FileNode::entriesRead() - entriesBefore);
        visited = std::max(visited, WorkspaceScanner::entriesVisited() - visitedBefore);
    };
    const auto requests = [&] { return state.api().collections().value(0).requests.size(); };
    measure([&] { dir.write(QString("p%1/r.http").arg(count), kRequest + "### Two\nGET https://example.com/two\n"); },
            [&] { return requests() == 2; });
    measure([&] { dir.write(QString("p%1/tree/a/b/new.txt").arg(count), ""); },
            [&] { return childNamed(*deep, "new.txt") != nullptr; });
    measure([&] { QFile::remove(proj + "/f00007.txt"); }, [&] { return !childNamed(*state.rootNode(), "f00007.txt"); });
    EXPECT_EQ(shown(*state.rootNode()), listedAfresh(proj));
    EXPECT_EQ(shown(*deep), listedAfresh(proj + "/tree/a/b"));
    return {entries, visited};
}
} // namespace

// A file written, made or removed is seen by looking at its name alone: neither the explorer nor the
// request-file scan lists the folder again, however many entries it holds.
TEST_F(AppStateFolder, AChangeOnDiskLooksAtTheChangedNameAloneHoweverLargeTheFolder) {
    const auto [smallEntries, smallVisited] = mostReadForOneChange(dir, 1000);
    const auto [largeEntries, largeVisited] = mostReadForOneChange(dir, 50000);
    EXPECT_LE(largeEntries, 4u);
    EXPECT_LE(largeVisited, 4u);
    EXPECT_EQ(largeEntries, smallEntries);
    EXPECT_EQ(largeVisited, smallVisited);
}

// Opening a folder lists no entry for the request-file scan on the window's thread, however many
// files it holds: the walk runs on another thread and what it found is taken in when done.
TEST_F(AppStateFolder, OpeningAFolderScansItForRequestFilesOffTheWindowsThread) {
    const QString proj = dir.file("proj");
    makeEmptyFiles(proj, 2000);
    makeEmptyFiles(proj + "/sub", 2000);
    TextFile::writeUtf8(proj + "/sub/r.http", QString::fromUtf8(kRequest));
    AppState state;
    const quint64 before = WorkspaceScanner::entriesVisitedHere();
    state.openFolder(proj);
    EXPECT_EQ(WorkspaceScanner::entriesVisitedHere() - before, 0u);
    ASSERT_TRUE(waitUntil([&] { return state.api().collections().size() == 1; }));
    EXPECT_FALSE(state.api().isScanning());
    EXPECT_EQ(WorkspaceScanner::entriesVisitedHere() - before, 0u);
    EXPECT_EQ(state.api().collections().first().requests.size(), 1);
}

// Thousands of entries coming and going at once (a checkout, a removed tree) end with the rows a fresh
// listing shows and the request files a fresh scan finds.
TEST_F(AppStateFolder, ManyChangesAtOnceEndAsAFreshListingAndScan) {
    const QString proj = dir.file("proj");
    makeEmptyFiles(proj, 1000);
    makeEmptyFiles(proj + "/sub", 3000);
    TextFile::writeUtf8(proj + "/sub/gone.http", QString::fromUtf8(kRequest));
    AppState state;
    state.openFolder(proj);
    const FileNode::Ptr sub = childNamed(*state.rootNode(), "sub");
    ASSERT_TRUE(sub);
    sub->loadChildren();
    ASSERT_TRUE(waitUntil([&] { return state.api().collections().size() == 1; }));

    makeEmptyFiles(proj + "/more", 0);
    for (int i = 0; i < 2000; ++i) dir.write(QString::asprintf("proj/g%05d.txt", i), "");
    for (int i = 0; i < 500; ++i) QFile::remove(proj + QString::asprintf("/f%05d.txt", i * 2));
    ASSERT_TRUE(QDir(proj + "/sub").removeRecursively());
    for (int i = 0; i < 3; ++i) dir.write(QString("proj/more/deep/r%1.http").arg(i), kRequest);
    dir.write("proj/.hidden.txt", "");

    APIService fresh;
    fresh.setRoot(proj);
    fresh.reload();
    const auto urls = [](const APIService& service) {
        QStringList out;
        for (const APICollectionFile& file : service.collections()) out << file.url;
        return out;
    };
    const QStringList expected = listedAfresh(proj);
    EXPECT_TRUE(waitUntil([&] { return shown(*state.rootNode()) == expected && urls(state.api()) == urls(fresh); }))
        << shown(*state.rootNode()).size() << " rows for " << expected.size();
    EXPECT_EQ(urls(fresh).size(), 3);
}
