// The watcher of a repository's own state, against a git dir that is deleted and made again step
// by step, as git init makes it.
#include <QDir>
#include <QSignalSpy>
#include <cstdio>

#include "Git/GitDirWatcher.h"
#include "GitTestSupport.h"

using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

// Each step is told apart by the report it gives before the next one starts.
auto reportsOf(GitDirWatcher& watcher) {
    return [spy = std::make_shared<QSignalSpy>(&watcher, &GitDirWatcher::changed)](const std::function<void()>& step) {
        spy->clear();
        step();
        return waitUntil([&] { return spy->count() > 0; }, 60000);
    };
}

} // namespace

TEST(GitDirWatcher, AGitDirMadeAgainPieceByPieceIsWatchedDownToItsRefs) {
    TempFolder tmp;
    const QString gitDir = tmp.mkdir("work/.git");
    tmp.mkdir("work/.git/refs/heads");
    GitDirWatcher watcher(gitDir, gitDir);
    const auto reports = reportsOf(watcher);

    EXPECT_TRUE(reports([&] { tmp.write("work/.git/HEAD", "ref: refs/heads/main\n"); }));
    EXPECT_TRUE(reports([&] { ASSERT_TRUE(QDir(gitDir).removeRecursively()); }));
    EXPECT_TRUE(reports([&] { tmp.write("work/notes.txt", "saved meanwhile\n"); }));
    EXPECT_TRUE(reports([&] { tmp.mkdir("work/.git"); })) << "the folder that would hold the git dir is still watched";
    EXPECT_TRUE(reports([&] { tmp.mkdir("work/.git/refs"); })) << "the git dir made again is watched";
    EXPECT_TRUE(reports([&] { tmp.mkdir("work/.git/refs/heads"); })) << "so are its refs, made after it";
    EXPECT_TRUE(reports([&] { tmp.write("work/.git/refs/heads/main", "0000\n"); }));
    // A branch folder goes with its last branch and comes back with a new one.
    EXPECT_TRUE(reports([&] { tmp.write("work/.git/refs/heads/feature/a", "0000\n"); }));
    EXPECT_TRUE(reports([&] { ASSERT_TRUE(QDir(tmp.file("work/.git/refs/heads/feature")).removeRecursively()); }));
    EXPECT_TRUE(reports([&] { tmp.mkdir("work/.git/refs/heads/feature"); }));
    EXPECT_TRUE(reports([&] { tmp.write("work/.git/refs/heads/feature/b", "0000\n"); })) << "the branch folder made again is watched";
}

TEST(GitDirWatcher, ALinkedWorkTreesOwnGitDirMadeAgainIsWatchedAgain) {
    // A work tree removed and added again under the same name: its git dir goes and comes back
    // inside the main repository's, which stays.
    TempFolder tmp;
    const QString commonDir = tmp.mkdir("main/.git");
    tmp.mkdir("main/.git/refs/heads");
    const QString gitDir = tmp.mkdir("main/.git/worktrees/linked");
    GitDirWatcher watcher(gitDir, commonDir);
    const auto reports = reportsOf(watcher);

    EXPECT_TRUE(reports([&] { tmp.write("main/.git/worktrees/linked/HEAD", "ref: refs/heads/side\n"); }));
    EXPECT_TRUE(reports([&] { ASSERT_TRUE(QDir(gitDir).removeRecursively()); }));
    EXPECT_TRUE(reports([&] { tmp.mkdir("main/.git/worktrees/linked"); })) << "the folder that would hold it is watched";
    EXPECT_TRUE(reports([&] { tmp.write("main/.git/worktrees/linked/HEAD", "ref: refs/heads/side\n"); }))
        << "the git dir made again is watched";
}

TEST(GitDirWatcher, ABranchChangedAmongThousandsOfBranchFoldersReadsOnlyWhereItChanged) {
    TempFolder tmp;
    const QString gitDir = tmp.mkdir("work/.git");
    // Branches named "user1/topic/fix" and so on: a folder for every part of every name.
    for (int i = 0; i < 1000; ++i) tmp.write(QString("work/.git/refs/heads/user%1/topic/fix").arg(i), "0000\n");
    for (int i = 0; i < 50; ++i) tmp.mkdir(QString("work/.git/objects/%1").arg(i, 2, 10, QChar(u'0')));
    GitDirWatcher watcher(gitDir, gitDir);
    const auto reports = reportsOf(watcher);
    // As git writes a ref: a lock file renamed over it.
    const auto setRef = [&](const QString& name, const QByteArray& id) {
        const QString path = "work/.git/refs/heads/" + name;
        tmp.write(path + ".lock", id + "\n");
        ASSERT_EQ(std::rename(QFile::encodeName(tmp.file(path + ".lock")).constData(),
                              QFile::encodeName(tmp.file(path)).constData()), 0);
    };
    const qint64 before = watcher.foldersListed();
    EXPECT_GE(before, 2000) << "at first every ref folder is read";

    EXPECT_TRUE(reports([&] { setRef("main", "1111"); }));
    EXPECT_TRUE(reports([&] { setRef("user5/topic/fix", "1111"); }));
    // A new branch deep in new folders is watched down to the last of them.
    EXPECT_TRUE(reports([&] { setRef("new/deep/er/x", "2222"); }));
    EXPECT_TRUE(reports([&] { setRef("new/deep/er/y", "2222"); })) << "its folder is watched";
    EXPECT_TRUE(reports([&] { setRef("user999/topic/fix", "3333"); }));
    // A branch folder going looks at none of its neighbours.
    EXPECT_TRUE(reports([&] { ASSERT_TRUE(QDir(tmp.file("work/.git/refs/heads/user7")).removeRecursively()); }));
    // The refs going whole take no look at anything else in the git dir.
    EXPECT_TRUE(reports([&] { ASSERT_TRUE(QDir(tmp.file("work/.git/refs")).removeRecursively()); }));
    EXPECT_LT(watcher.foldersListed() - before, 30);
}
