#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <csignal>
#include <cstring>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "Platform/TextFile.h"
#include "TestSupport.h"

using testing_support::readBytes;
using testing_support::TempFolder;

namespace {
constexpr uid_t kNobody = 65534;

struct stat statOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// Runs `work` on a thread whose file-system identity is an unprivileged user, so that permission
// checks apply even when the tests run as root. False when this process may not switch.
bool asNobody(const std::function<void()>& work) {
    bool switched = false;
    std::thread t([&] {
        ::setfsgid(kNobody);
        ::setfsuid(kNobody);
        switched = ::setfsuid(uid_t(-1)) == kNobody;
        if (switched) work();
    });
    t.join();
    return switched;
}
} // namespace

TEST(TextFileWrite, KeepsModeOwnerAndHardLinks) {
    TempFolder dir;
    const QString path = dir.write("script.sh", "old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0750), 0);
    ASSERT_TRUE(TextFile::writeUtf8(path, "new\n"));
    EXPECT_EQ(statOf(path).st_mode & 07777, 0750u);

    // A second name for the same file still shows the new content after a save.
    const QString other = dir.file("link.sh");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    ASSERT_TRUE(TextFile::writeUtf8(path, "linked\n"));
    EXPECT_EQ(readBytes(other), "linked\n");
    EXPECT_EQ(statOf(path).st_ino, statOf(other).st_ino);
    ASSERT_TRUE(TextFile::writeUtf8(path, "short\n"));  // in place, shorter: no old tail left
    EXPECT_EQ(readBytes(other), "short\n");

    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another owner needs root";
    const QString owned = dir.write("owned.txt", "x");
    ASSERT_EQ(::chown(QFile::encodeName(owned).constData(), kNobody, kNobody), 0);
    ASSERT_TRUE(TextFile::writeUtf8(owned, "y"));
    EXPECT_EQ(statOf(owned).st_uid, kNobody);
    EXPECT_EQ(statOf(owned).st_gid, kNobody);
}

TEST(TextFileWrite, WritesInPlaceWhereNoNewFileCanBeMade) {
    TempFolder dir;
    const QString folder = dir.mkdir("locked");
    const QString path = dir.write("locked/notes.txt", "before\n");
    const QString shared = dir.write("shared.txt", "theirs\n");  // root's file, writable by everyone
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    ::chmod(QFile::encodeName(shared).constData(), 0666);
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    const QString readOnly = dir.write("read-only.txt", "keep\n");
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    bool saved = false, savedShared = false, savedReadOnly = true;
    QString error;
    const auto save = [&] {
        saved = TextFile::writeUtf8(path, "after\n", &error);
        savedShared = TextFile::writeUtf8(shared, "mine\n");
        savedReadOnly = TextFile::writeUtf8(readOnly, "lost\n");  // the folder would allow a replacement
    };
    if (::geteuid() == 0) {
        // Root may write anywhere; an unprivileged thread identity brings the folder's rule back.
        ::chown(QFile::encodeName(path).constData(), kNobody, kNobody);
        ::chown(QFile::encodeName(readOnly).constData(), kNobody, kNobody);
        if (!asNobody(save)) GTEST_SKIP() << "cannot take an unprivileged file-system identity";
    } else {
        save();
    }
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_TRUE(saved) << error.toStdString();
    EXPECT_EQ(readBytes(path), "after\n");
    EXPECT_FALSE(savedReadOnly);
    EXPECT_EQ(readBytes(readOnly), "keep\n");
    if (::geteuid() == 0) {
        // The saver could not give a new file root's ownership, so the file kept its own.
        EXPECT_TRUE(savedShared);
        EXPECT_EQ(readBytes(shared), "mine\n");
        EXPECT_EQ(statOf(shared).st_uid, 0u);
    }
}

TEST(TextFileWrite, FailureGivesTheSystemsReasonAndKeepsTheFile) {
    TempFolder dir;
    const QString path = dir.write("big.txt", "original\n");
    // A file-size limit makes the system refuse the write the way a full disk does.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString atomicError, inPlaceError;
    const bool atomic = TextFile::writeUtf8(path, QString(8192, u'x'), &atomicError);
    const QString link = dir.file("second-name.txt");
    ::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData());
    const bool inPlace = TextFile::writeUtf8(path, QString(8192, u'y'), &inPlaceError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    const QString reason = QString::fromLocal8Bit(std::strerror(EFBIG));
    EXPECT_FALSE(atomic);
    EXPECT_EQ(atomicError, reason);
    EXPECT_FALSE(inPlace);
    EXPECT_EQ(inPlaceError, reason);
    EXPECT_EQ(readBytes(path), "original\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temp file left behind
}

// Names up to the system's 255-byte limit save like any other, replacing the file in one step.
TEST(TextFileWrite, SavesFilesWithNamesAtTheLengthLimit) {
    TempFolder dir;
    for (const QString& name : {QString(240, u'a'), QString(251, u'b') + ".txt", QString(127, u'é') + "c"}) {
        const QString path = dir.write(name, "old\n");
        QString error;
        EXPECT_TRUE(TextFile::writeUtf8(path, "new\n", &error)) << error.toStdString();
        EXPECT_EQ(readBytes(path), "new\n");
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);  // no temp file left behind
}
