#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <utility>

#include "Workspace/FileWalk.h"
#include "support/TestSupport.h"

using testing_support::openInside;
using testing_support::TempFolder;

// Folders listed on several threads reach the caller in the very batches a walk on one thread
// hands over; handles stay few however wide the tree is, and none is left open afterwards.
TEST(FileWalk, SeveralThreadsHandOverTheSameBatchesAndLeaveNothingOpen) {
    TempFolder dir;
    for (int i = 0; i < 60; ++i) {
        const QString folder = QStringLiteral("f%1/").arg(i);
        dir.write(folder + "a.txt", "");
        dir.write(folder + "inner/deeper/b.txt", "");
        dir.write(folder + "inner/c.txt", "");
        dir.write(QStringLiteral("top%1.txt").arg(i), "");
    }
    using Batches = std::vector<std::pair<QStringList, QList<bool>>>;
    qsizetype most = 0;
    const auto walk = [&](int threads) {
        Batches batches;
        FileWalk::walk(dir.path(), [&](FileWalk::Files&& files) {
            most = std::max(most, openInside(dir.path()));
            batches.emplace_back(std::move(files.paths), std::move(files.regular));
            return true;
        }, threads);
        return batches;
    };
    const Batches one = walk(1);
    qsizetype files = 0;
    for (const auto& batch : one) files += batch.first.size();
    ASSERT_EQ(files, 60 * 4);
    for (int round = 0; round < 5; ++round) EXPECT_EQ(walk(4), one);
    EXPECT_LE(most, 16);
    EXPECT_EQ(openInside(dir.path()), 0);
}

// Helpers list the folders ahead while the caller is still busy with the first batch.
TEST(FileWalk, HelpersListAheadOfTheCaller) {
    TempFolder dir;
    const int watcher = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    for (int i = 0; i < 8; ++i) {
        dir.write(QStringLiteral("f%1/a.txt").arg(i), "");
        ASSERT_GE(::inotify_add_watch(watcher, QFile::encodeName(dir.file(QStringLiteral("f%1").arg(i))).constData(),
                                      IN_OPEN | IN_ONLYDIR), 0);
    }
    bool first = true;
    FileWalk::walk(dir.path(), [&](FileWalk::Files&&) {
        // Waits until one of the subfolders is opened: only a helper can, the caller being here.
        pollfd opened{watcher, POLLIN, 0};
        if (std::exchange(first, false)) EXPECT_EQ(::poll(&opened, 1, 120'000), 1);
        return true;
    }, 4);
    ::close(watcher);
}
