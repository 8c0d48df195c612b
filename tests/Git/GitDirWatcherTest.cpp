// The watcher of a repository's own state, against a git dir that is deleted and made again step
// by step, as git init makes it.
#include <QDir>
#include <QSignalSpy>

#include "Git/GitDirWatcher.h"
#include "GitTestSupport.h"

using testing_support::TempFolder;
using testing_support::waitUntil;

TEST(GitDirWatcher, AGitDirMadeAgainPieceByPieceIsWatchedDownToItsRefs) {
    TempFolder tmp;
    const QString gitDir = tmp.mkdir("work/.git");
    tmp.mkdir("work/.git/refs/heads");
    GitDirWatcher watcher(gitDir, gitDir);
    QSignalSpy changed(&watcher, &GitDirWatcher::changed);
    // Each step is told apart by the report it gives before the next one starts.
    const auto reports = [&](const std::function<void()>& step) {
        changed.clear();
        step();
        return waitUntil([&] { return changed.count() > 0; }, 60000);
    };

    EXPECT_TRUE(reports([&] { tmp.write("work/.git/HEAD", "ref: refs/heads/main\n"); }));
    EXPECT_TRUE(reports([&] { ASSERT_TRUE(QDir(gitDir).removeRecursively()); }));
    EXPECT_TRUE(reports([&] { tmp.mkdir("work/.git"); })) << "the folder that would hold the git dir is watched";
    EXPECT_TRUE(reports([&] { tmp.mkdir("work/.git/refs"); })) << "the git dir made again is watched";
    EXPECT_TRUE(reports([&] { tmp.mkdir("work/.git/refs/heads"); })) << "so are its refs, made after it";
    EXPECT_TRUE(reports([&] { tmp.write("work/.git/refs/heads/main", "0000\n"); }));
}
