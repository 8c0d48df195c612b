#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSet>
#include <cerrno>
#include <optional>
#include <cstdio>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/TextFile.h"
#include "Workspace/DeliveryPacer.h"
#include "Workspace/FolderWatcher.h"
#include "Workspace/InotifyReader.h"
#include "support/TestSupport.h"

using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {
void removeTree(const QString& path) { ASSERT_TRUE(QDir(path).removeRecursively()); }
} // namespace

namespace {
// Feeds raw events (or deliveries) at the given times and returns when callbacks fall due.
QList<qint64> callbackTimes(std::initializer_list<qint64> times, bool asDeliveries = false) {
    DeliveryPacer pacer;
    QList<qint64> due;
    const auto runUntil = [&](qint64 end) {
        for (auto next = pacer.nextDeadline(); next && *next <= end; next = pacer.nextDeadline())
            for (int i = pacer.advance(*next); i > 0; --i) due << *next;
    };
    for (qint64 t : times) {
        runUntil(t);
        asDeliveries ? pacer.delivered(t) : pacer.eventsArrived(t);
    }
    runUntil(1'000'000);
    return due;
}
} // namespace

TEST(DeliveryPacer, LatencyAndQuietPeriod) {
    EXPECT_EQ(callbackTimes({0, 100}, true), QList<qint64>{250});
    EXPECT_EQ(callbackTimes({0, 300}, true), (QList<qint64>{150, 450}));
    // The first event after a quiet spell goes at once, the rest one latency after the last delivery.
    EXPECT_EQ(callbackTimes({1000, 1010, 1390}), (QList<qint64>{1150, 1550}));
    EXPECT_EQ(callbackTimes({0, 100, 200, 300, 400, 500}), (QList<qint64>{150, 550, 950}));
    EXPECT_EQ(callbackTimes({0, 500}), (QList<qint64>{150, 650}));
}

// How many callbacks a burst gives is the pacer's business (tested above with exact times); against the
// real file system the tests only wait for the states they mean, so a busy machine cannot fail them.
TEST(FolderWatcher, ReportsChangesAnywhereBelowTheFolderButNotEarlierOnes) {
    TempFolder dir;
    dir.write("f.txt", "old");  // before the watcher: never reported
    int calls = 0;
    FolderWatcher watcher(dir.path(), [&] { ++calls; });
    ASSERT_TRUE(watcher.isRunning());
    EXPECT_FALSE(watcher.callbackPending());
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(TextFile::writeUtf8(dir.file("f.txt"), "new"));
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    for (const char* path : {".git/HEAD", "a/b/c/deep.txt"}) {  // hidden folders are not filtered
        const int before = calls;
        dir.write(path, "x");
        EXPECT_TRUE(waitUntil([&] { return calls > before; })) << path;
    }
}

// A change is told by one callback when its quiet period ends (two fall due at once only when the
// timer runs a whole delivery late).
TEST(FolderWatcher, OneChangeMakesOneCallback) {
    TempFolder dir;
    int calls = 0;
    FolderWatcher watcher(dir.path(), [&] { ++calls; });
    dir.write("f.txt", "x");
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    EXPECT_EQ(calls, 1);
}

TEST(InotifyReader, FollowsDirectoriesAsTheyComeAndGo) {
    TempFolder dir, outside;
    InotifyReader reader(dir.path());
    int batches = 0;
    QObject::connect(&reader, &InotifyReader::eventsArrived, [&] { ++batches; });
    ASSERT_EQ(reader.watchedDirectoryCount(), 1);
    const auto move = [](const QString& from, const QString& to) {
        ASSERT_EQ(std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()), 0);
    };
    dir.mkdir("a/b/c");
    EXPECT_TRUE(waitUntil([&] { return reader.watchedDirectoryCount() == 4; }));
    move(dir.file("a/b"), dir.file("a/renamed"));
    int before = batches;
    dir.write("a/renamed/c/again.txt", "x");  // still watched under its new name
    EXPECT_TRUE(waitUntil([&] { return batches > before; }));
    EXPECT_EQ(reader.watchedDirectoryCount(), 4);
    move(dir.file("a/renamed"), outside.file("away"));  // moved out: no longer ours
    EXPECT_TRUE(waitUntil([&] { return reader.watchedDirectoryCount() == 2; }));
    dir.mkdir("a/later");
    EXPECT_TRUE(waitUntil([&] { return reader.watchedDirectoryCount() == 3; }));
}

// A folder moved away takes its watches and those below it with it, looking at no other watch:
// the work does not grow with the folders watched beside it.
TEST(InotifyReader, AFolderMovedAwayLooksOnlyAtItsOwnWatches) {
    TempFolder dir, outside;
    for (int i = 0; i < 300; ++i) dir.mkdir(QString::asprintf("side%03d", i));
    dir.mkdir("a/b/c");
    dir.mkdir("a-b");  // between "a" and "a/" in name order, and not below it
    InotifyReader reader(dir.path());
    ASSERT_EQ(reader.watchedDirectoryCount(), 305);
    const quint64 before = reader.watchesLookedAt();
    ASSERT_EQ(std::rename(QFile::encodeName(dir.file("a")).constData(), QFile::encodeName(outside.file("a")).constData()), 0);
    ASSERT_TRUE(waitUntil([&] { return reader.watchedDirectoryCount() == 302; }));
    EXPECT_LE(reader.watchesLookedAt() - before, 5u);
    int batches = 0;
    QObject::connect(&reader, &InotifyReader::eventsArrived, [&] { ++batches; });
    dir.write("a-b/still.txt", "x");
    EXPECT_TRUE(waitUntil([&] { return batches > 0; })) << "the folder beside it is still watched";
}

namespace {
// count folders in groups of 60 below the folder; their paths, deepest last.
QStringList makeFolders(const TempFolder& dir, int count) {
    QStringList made;
    for (int i = 0; i < count; ++i) made << dir.mkdir(QString::asprintf("g%03d/f%02d", i / 60, i % 60));
    return made;
}
constexpr quint64 kListedPerTurnBound = 4096 + 200;  // a turn's share, plus the rest of one folder
} // namespace

// Watching a tree of thousands of folders lists a bounded share of it per turn, whatever its size,
// and ends with every folder watched, also those made meanwhile.
TEST(InotifyReader, ALargeTreeIsWatchedAShareAtATimeAndWhole) {
    for (const int count : {6000, 18000}) {
        TempFolder dir;
        const QStringList folders = makeFolders(dir, count);
        const int total = count + (count + 59) / 60 + 1;
        InotifyReader reader(dir.path());
        EXPECT_LE(reader.watchedDirectoryCount(), int(kListedPerTurnBound)) << count;
        EXPECT_LE(reader.entriesListed(), kListedPerTurnBound) << count;
        EXPECT_TRUE(reader.settingUp());
        EXPECT_FALSE(reader.watchesEverything()) << "not while folders wait for their watch";
        dir.mkdir(folders.last().mid(dir.path().size() + 1) + QStringLiteral("/late"));
        bool done = false;
        QObject::connect(&reader, &InotifyReader::setUpDone, [&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; })) << count;
        EXPECT_EQ(reader.watchedDirectoryCount(), total + 1) << count;
        EXPECT_LE(reader.mostListedInATurn(), kListedPerTurnBound) << count;
        EXPECT_TRUE(reader.watchesEverything());
        reader.takeChanges();
        dir.write(folders.first().mid(dir.path().size() + 1) + QStringLiteral("/new.txt"), "x");
        EXPECT_TRUE(waitUntil([&] { return !reader.takeChanges().paths.isEmpty(); }));
    }
}

// A folder opened through a symbolic link is watched below the link's path; links below it are
// never followed.
TEST(InotifyReader, AFolderReachedThroughALinkIsWatchedWhole) {
    TempFolder dir, outside;
    dir.mkdir("real/a/b");
    outside.mkdir("elsewhere");
    ASSERT_EQ(::symlink(QFile::encodeName(dir.file("real")).constData(), QFile::encodeName(dir.file("link")).constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path()).constData(), QFile::encodeName(dir.file("real/out")).constData()), 0);
    InotifyReader reader(dir.file("link"));
    ASSERT_TRUE(waitUntil([&] { return !reader.settingUp(); }));
    EXPECT_EQ(reader.watchedDirectoryCount(), 3);
    dir.write("real/a/b/x.txt", "x");
    outside.write("elsewhere/y.txt", "y");
    QSet<QString> seen;
    EXPECT_TRUE(waitUntil([&] { return seen.unite(reader.takeChanges().paths).contains("a/b/x.txt"); }));
    EXPECT_FALSE(seen.contains("out/elsewhere/y.txt"));
}

// Events lost to a full queue make the tree be looked at again, a share per turn as well; a folder
// made while they were lost is watched.
TEST(InotifyReader, AfterLostEventsTheTreeIsWatchedAgainAShareAtATime) {
    TempFolder dir;
    makeFolders(dir, 6000);
    InotifyReader reader(dir.path());
    ASSERT_TRUE(waitUntil([&] { return !reader.settingUp(); }));
    const quint64 listedBefore = reader.entriesListed();
    const QByteArray a = QFile::encodeName(dir.write("a", "")), b = QFile::encodeName(dir.write("b", ""));
    // Two files in turn, so the kernel cannot fold the events into one, past the queue's length.
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(::chmod((i % 2 ? a : b).constData(), i % 4 < 2 ? 0644 : 0600), 0);
    const QString made = dir.mkdir("g000/f00/made-while-lost");
    ASSERT_TRUE(waitUntil([&] { return reader.takeChanges().everything; }));
    ASSERT_TRUE(waitUntil([&] { return !reader.settingUp(); }));
    EXPECT_GT(reader.entriesListed() - listedBefore, 6000u) << "the tree was listed again";
    EXPECT_LE(reader.mostListedInATurn(), kListedPerTurnBound);
    dir.write("g000/f00/made-while-lost/x.txt", "x");
    EXPECT_TRUE(waitUntil([&] { return reader.takeChanges().paths.contains("g000/f00/made-while-lost/x.txt"); }));
}

// Thousands of events waiting are read over several turns of the event loop, a bounded share in
// each, so a burst never holds the window for all of it at once; none of them is lost.
TEST(InotifyReader, ReadsABurstABoundedShareAtATimeAndLosesNone) {
    TempFolder dir;
    InotifyReader reader(dir.path());
    constexpr int kMade = 5000;
    for (int i = 0; i < kMade; ++i) {
        QFile file(dir.file(QStringLiteral("f%1.txt").arg(i)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QCoreApplication::processEvents();
    QSet<QString> seen = reader.takeChanges().paths;
    EXPECT_GT(seen.size(), 0);
    EXPECT_LT(seen.size(), kMade / 2);
    EXPECT_TRUE(waitUntil([&] {
        const FolderChanges changes = reader.takeChanges();
        EXPECT_FALSE(changes.everything);
        seen.unite(changes.paths);
        return seen.size() == kMade;
    }));
}

// Each change is kept by its path below the folder, written, made, moved or removed, until asked for;
// the folder coming back says only that anything may have changed.
TEST(FolderWatcher, KeepsWhichPathsChangedUntilAsked) {
    TempFolder base;
    const QString folder = base.mkdir("F");
    base.write("F/old.txt", "x");
    base.write("F/a/moved.txt", "x");
    FolderWatcher watcher(folder, [] {});
    FolderChanges seen;
    const auto gather = [&](const QSet<QString>& wanted) {
        return waitUntil([&] {
            const FolderChanges more = watcher.takeChanges();
            seen.everything = seen.everything || more.everything;
            seen.paths.unite(more.paths);
            return seen.paths.contains(wanted);
        });
    };
    base.write("F/old.txt", "y");
    base.write("F/a/b/new.txt", "x");
    ASSERT_EQ(std::rename(QFile::encodeName(base.file("F/a/moved.txt")).constData(),
                          QFile::encodeName(base.file("F/a/there.txt")).constData()), 0);
    QFile::remove(base.file("F/old.txt"));
    EXPECT_TRUE(gather({"old.txt", "a/b", "a/moved.txt", "a/there.txt"})) << seen.paths.values().join(',').toStdString();
    EXPECT_FALSE(seen.everything);
    EXPECT_FALSE(seen.paths.contains(QString())) << "the folder itself is no change below it";
    seen = {};
    base.write("F/a/b/later.txt", "x");  // in the folder made since
    EXPECT_TRUE(gather({"a/b/later.txt"}));

    removeTree(folder);
    ASSERT_TRUE(waitUntil([&] { return !watcher.isRunning(); }));
    base.write("F/back.txt", "x");
    ASSERT_TRUE(waitUntil([&] { return watcher.isRunning(); }));
    EXPECT_TRUE(waitUntil([&] { return watcher.takeChanges().everything; }));
}

TEST(FolderWatcher, ReleaseLetsAScheduledCallbackRunOnce) {
    TempFolder dir;
    int calls = 0;
    auto watcher = std::make_unique<FolderWatcher>(dir.path(), [&] { ++calls; });
    dir.write("f.txt", "x");
    // Released while the quiet period runs (or just after it ran): the change is never lost.
    ASSERT_TRUE(waitUntil([&] { return watcher->callbackPending() || calls > 0; }));
    watcher.reset();
    EXPECT_TRUE(waitUntil([&] { return calls == 1; }));

    // A callback may release its own watcher (another folder opened).
    std::unique_ptr<FolderWatcher> self;
    self = std::make_unique<FolderWatcher>(dir.path(), [&] { self.reset(); });
    dir.write("h.txt", "x");
    EXPECT_TRUE(waitUntil([&] { return !self; }));

    EXPECT_FALSE(FolderWatcher(dir.file("missing"), [] {}).isRunning());
}


// A folder deleted and made again under the same name is watched again, whole; meanwhile the
// watcher does not claim to watch it.
TEST(FolderWatcher, WatchesTheFolderAgainWhenItIsMadeAgain) {
    TempFolder base;
    const QString folder = base.mkdir("outer/F");
    base.write("outer/F/one.txt", "v1\n");
    int calls = 0;
    FolderWatcher watcher(folder, [&] { ++calls; });
    ASSERT_TRUE(watcher.isRunning());
    EXPECT_EQ(watcher.folderError(), 0);

    removeTree(folder);
    ASSERT_TRUE(waitUntil([&] { return !watcher.isRunning(); }));
    EXPECT_FALSE(watcher.watchesEverything());
    EXPECT_EQ(watcher.folderError(), ENOENT);
    int before = calls;
    base.mkdir("outer/F");
    base.write("outer/F/two.txt", "x\n");
    ASSERT_TRUE(waitUntil([&] { return watcher.isRunning() && calls > before; }));
    EXPECT_TRUE(watcher.watchesEverything());
    before = calls;
    base.write("outer/F/sub/deep.txt", "x\n");
    EXPECT_TRUE(waitUntil([&] { return calls > before; })) << "folders below it are watched too";

    // Also when the folder above it goes too, and when it is moved away and another takes its name.
    removeTree(base.file("outer"));
    ASSERT_TRUE(waitUntil([&] { return !watcher.isRunning(); }));
    base.mkdir("outer/F/again");
    ASSERT_TRUE(waitUntil([&] { return watcher.isRunning(); }));
    ASSERT_EQ(std::rename(QFile::encodeName(folder).constData(), QFile::encodeName(base.file("moved")).constData()), 0);
    ASSERT_TRUE(waitUntil([&] { return !watcher.isRunning(); }));
    before = calls;
    base.write("moved/again/elsewhere.txt", "x\n");
    base.mkdir("outer/F");
    ASSERT_TRUE(waitUntil([&] { return watcher.isRunning(); }));
    base.write("outer/F/three.txt", "x\n");
    EXPECT_TRUE(waitUntil([&] { return calls > before; }));
}

// What keeps a folder from being watched is told apart from the system's limit of watches.
TEST(FolderWatcher, SaysWhyTheFolderIsNotWatched) {
    TempFolder dir;
    FolderWatcher missing(dir.file("missing"), [] {});
    EXPECT_FALSE(missing.isRunning());
    EXPECT_EQ(missing.folderError(), ENOENT);
    EXPECT_FALSE(missing.outOfWatches());
    dir.mkdir("missing");
    EXPECT_TRUE(waitUntil([&] { return missing.isRunning(); })) << "watched once it is made";

    FolderWatcher file(dir.write("file.txt", "x"), [] {});
    EXPECT_FALSE(file.isRunning());
    EXPECT_EQ(file.folderError(), ENOTDIR);
    EXPECT_FALSE(file.outOfWatches());

    const QString closed = dir.mkdir("closed");
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0), 0);
    // The file-system identity is per thread: as an unprivileged user the mode applies also to root.
    const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
    ::setfsuid(user);
    FolderWatcher unreadable(closed, [] {});
    ::setfsuid(::geteuid());
    EXPECT_FALSE(unreadable.isRunning());
    EXPECT_EQ(unreadable.folderError(), EACCES);
    ::chmod(QFile::encodeName(closed).constData(), 0755);

    InotifyReader::limitWatchesTo(2);
    dir.mkdir("full/a/b/c");
    FolderWatcher full(dir.file("full"), [] {});
    InotifyReader::limitWatchesTo(-1);
    EXPECT_TRUE(full.isRunning());
    EXPECT_EQ(full.folderError(), 0);
    EXPECT_TRUE(full.outOfWatches());
    EXPECT_FALSE(full.watchesEverything());
}

namespace {
// Runs as an unprivileged user on this thread (the file-system identity is per thread), so modes
// apply to root too; the user is back when it ends.
struct AsUser {
    AsUser() { ::setfsuid(::geteuid() == 0 ? 65534 : ::geteuid()); }
    ~AsUser() { ::setfsuid(::geteuid()); }
};
void setMode(const QString& path, mode_t mode) { ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0); }
} // namespace

// A folder that could not be read when the watch began is watched, with what it holds, once it can
// be: changes made in it from then on are seen.
TEST(InotifyReader, WatchesAFolderThatBecomesReadable) {
    TempFolder dir;
    setMode(dir.path(), 0755);
    const QString closed = dir.mkdir("closed");
    dir.mkdir("closed/inner");
    setMode(closed, 0);
    std::optional<AsUser> user(std::in_place);
    InotifyReader reader(dir.path());
    EXPECT_EQ(reader.watchedDirectoryCount(), 1);
    user.reset();
    setMode(closed, 0755);
    user.emplace();
    EXPECT_TRUE(waitUntil([&] { return reader.watchedDirectoryCount() == 3; })) << reader.watchedDirectoryCount();
    user.reset();
    dir.write("closed/inner/new.txt", "x");
    user.emplace();
    EXPECT_TRUE(waitUntil([&] { return reader.takeChanges().paths.contains("closed/inner/new.txt"); }));
}
