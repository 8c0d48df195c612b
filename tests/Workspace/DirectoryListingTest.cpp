#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Workspace/DirectoryListing.h"
#include "support/TestSupport.h"

using testing_support::TempFolder;

// Each entry comes with its kind, links are asked about their target but never taken for what they
// point at, and a name that is not UTF-8 leads back to its own file.
TEST(DirectoryListing, ListsEveryEntryOnceWithItsKind) {
    TempFolder dir;
    dir.write("file.txt", "x");
    dir.mkdir("sub");
    const QByteArray root = QFile::encodeName(dir.path());
    ASSERT_EQ(::symlink("sub", (root + "/to-sub").constData()), 0);
    ASSERT_EQ(::symlink("file.txt", (root + "/to-file").constData()), 0);
    ASSERT_EQ(::symlink("missing", (root + "/dangling").constData()), 0);
    ASSERT_EQ(::mkfifo((root + "/pipe").constData(), 0644), 0);
    const int fd = ::open((root + "/raw\xff").constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);

    const auto entries = DirectoryListing::list(dir.path());
    ASSERT_TRUE(entries);
    QStringList names;
    for (const auto& entry : *entries) names << entry.name;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QStringList{"dangling", "file.txt", "pipe", FilePath::decode("raw\xff"), "sub", "to-file", "to-sub"}));
    for (const auto& entry : *entries) {
        SCOPED_TRACE(entry.name.toStdString());
        EXPECT_EQ(entry.path, dir.path() + u'/' + entry.name);
        const auto kind = entry.name == "sub"      ? DirectoryListing::Kind::directory
                          : entry.name == "to-sub" ? DirectoryListing::Kind::linkToDirectory
                                                   : DirectoryListing::Kind::other;
        EXPECT_EQ(entry.kind, kind);
        EXPECT_EQ(entry.regular, entry.name == "file.txt" || entry.name.startsWith("raw"));
    }
    const auto raw = std::find_if(entries->cbegin(), entries->cend(), [](const auto& e) { return e.name.startsWith("raw"); });
    ASSERT_NE(raw, entries->cend());
    EXPECT_EQ(FilePath::encode(raw->path), root + "/raw\xff");
    EXPECT_EQ(::unlink(FilePath::encode(raw->path).constData()), 0);  // the temp folder's own removal cannot

    EXPECT_FALSE(DirectoryListing::list(dir.file("missing")));
    EXPECT_FALSE(DirectoryListing::list(dir.file("file.txt")));
    ASSERT_TRUE(DirectoryListing::list(dir.file("sub")));
    EXPECT_TRUE(DirectoryListing::list(dir.file("sub"))->isEmpty());
}

TEST(DirectoryListing, JoinsAndSplitsPaths) {
    EXPECT_EQ(DirectoryListing::join("/a/b", "c"), "/a/b/c");
    EXPECT_EQ(DirectoryListing::join("/a/b/", "c"), "/a/b/c");
    EXPECT_EQ(DirectoryListing::join("/", "c"), "/c");
    EXPECT_EQ(DirectoryListing::join("/a", QString()), "/a/");
    EXPECT_EQ(DirectoryListing::join(QStringLiteral("/d\u00e9j\u00e0"), QStringLiteral("\U0001F600")),
              QStringLiteral("/d\u00e9j\u00e0/\U0001F600"));
    EXPECT_EQ(DirectoryListing::lastComponent("/a/b/"), "b");
    EXPECT_EQ(DirectoryListing::lastComponent("/a/b"), "b");
    EXPECT_EQ(DirectoryListing::lastComponent("/"), "/");
    EXPECT_EQ(DirectoryListing::lastComponent("name"), "name");
}
