#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <random>
#include <tuple>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

#include "Platform/TextFile.h"
#include "TestSupport.h"

using testing_support::FileSizeLimit;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::waitUntil;

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
    TextFile::Stamp written{};
    ASSERT_TRUE(TextFile::writeUtf8(path, "new\n", nullptr, &written));
    EXPECT_EQ(statOf(path).st_mode & 07777, 0750u);
    EXPECT_EQ(TextFile::stamp(path), written) << "the stamp given back is the new file's";

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
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.active());
    QString atomicError, inPlaceError;
    const bool atomic = TextFile::writeUtf8(path, QString(8192, u'x'), &atomicError);
    const QString link = dir.file("second-name.txt");
    ::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData());
    const bool inPlace = TextFile::writeUtf8(path, QString(8192, u'y'), &inPlaceError);
    limit.lift();

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

namespace {
bool isLink(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}
void link(const char* target, const QString& at) {
    ASSERT_EQ(::symlink(target, QFile::encodeName(at).constData()), 0) << std::strerror(errno);
}
} // namespace

// A save through a symbolic link writes the file it points to and leaves the link a link, also when
// that file is gone (it is made again there); links that lead nowhere a file can be made fail.
TEST(TextFileWrite, ALinkStaysALinkAlsoWhenItsFileIsGone) {
    TempFolder dir;
    dir.write("real.txt", "real\n");
    link("real.txt", dir.file("to-real.txt"));
    link("to-real.txt", dir.file("chain.txt"));
    link("gone.txt", dir.file("to-gone.txt"));
    link("missing-folder/x.txt", dir.file("to-nowhere.txt"));
    link("loop-b.txt", dir.file("loop-a.txt"));
    link("loop-a.txt", dir.file("loop-b.txt"));

    EXPECT_TRUE(TextFile::writeUtf8(dir.file("chain.txt"), "through two\n"));
    EXPECT_EQ(readBytes(dir.file("real.txt")), "through two\n");
    QString error;
    EXPECT_TRUE(TextFile::writeUtf8(dir.file("to-gone.txt"), "made again\n", &error)) << error.toStdString();
    EXPECT_EQ(readBytes(dir.file("gone.txt")), "made again\n");
    EXPECT_FALSE(TextFile::writeUtf8(dir.file("to-nowhere.txt"), "lost?\n", &error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_FALSE(TextFile::writeUtf8(dir.file("loop-a.txt"), "round\n", &error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ELOOP)));
    for (const char* name : {"to-real.txt", "chain.txt", "to-gone.txt", "to-nowhere.txt", "loop-a.txt", "loop-b.txt"})
        EXPECT_TRUE(isLink(dir.file(name))) << name;
}

namespace {
QByteArray attribute(const QString& path, const char* name) {
    char value[256];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return n < 0 ? QByteArray() : QByteArray(value, n);
}
// A POSIX access list that also lets user 65534 read and write.
QByteArray accessList() {
    QByteArray acl;
    const auto put = [&](quint32 v, int size) { acl.append(reinterpret_cast<const char*>(&v), size); };
    put(2, 4);  // version
    for (const auto& [tag, perm, id] : {std::tuple{1u, 6u, ~0u}, {2u, 6u, 65534u}, {4u, 4u, ~0u}, {0x10u, 6u, ~0u}, {0x20u, 4u, ~0u}}) {
        put(tag, 2);
        put(perm, 2);
        put(id, 4);
    }
    return acl;
}
} // namespace

// A save keeps what the file carries besides its mode and owner: the access list that lets others
// in, and the attributes file managers keep their tags in.
TEST(TextFileWrite, KeepsTheAccessListAndTheUsersAttributes) {
    TempFolder dir;
    const QString path = dir.write("shared.txt", "old\n");
    const QByteArray native = QFile::encodeName(path);
    const QByteArray acl = accessList();
    if (::setxattr(native.constData(), "user.xdg.tags", "draft", 5, 0) != 0 ||
        ::setxattr(native.constData(), "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0) != 0)
        GTEST_SKIP() << "the file system keeps no attributes: " << std::strerror(errno);
    ASSERT_TRUE(TextFile::writeUtf8(path, "new\n"));
    EXPECT_EQ(readBytes(path), "new\n");
    EXPECT_EQ(attribute(path, "user.xdg.tags"), "draft");
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
}

namespace {
constexpr qsizetype kKilledSaveSize = 8 * 1024 * 1024;
QString killedSaveText(int which) {
    return which == 0 ? QString(kKilledSaveSize, u'a') : QString(kKilledSaveSize + 4096, u'b');
}
} // namespace

// Run only as the child of the next test: saves the file named by BRIMEL_SAVE_LOOP in place (it has
// a second name), the two texts in turn, until it is killed.
TEST(TextFileWriteChild, DISABLED_SavesInPlaceUntilKilled) {
    const QString path = qEnvironmentVariable("BRIMEL_SAVE_LOOP");
    ASSERT_FALSE(path.isEmpty());
    const QString texts[] = {killedSaveText(0), killedSaveText(1)};
    std::fputs("saving\n", stdout);
    std::fflush(stdout);
    for (int i = 1;; ++i) TextFile::writeUtf8(path, texts[i % 2]);
}

// A save that must rewrite the file in place and is killed part way leaves one whole text or the
// other, never the new one's start over the old one's rest.
TEST(TextFileWrite, AKilledInPlaceSaveLeavesOneWholeText) {
    TempFolder dir;
    const QString path = dir.write("doc.txt", killedSaveText(0).toLatin1());
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.file("doc-link.txt")).constData()), 0);
    const QByteArray whole[] = {killedSaveText(0).toLatin1(), killedSaveText(1).toLatin1()};
    const int kills = qEnvironmentVariableIntValue("BRIMEL_SAVE_KILLS") > 0 ? qEnvironmentVariableIntValue("BRIMEL_SAVE_KILLS") : 8;
    std::mt19937 random(std::random_device{}());
    for (int k = 0; k < kills; ++k) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("BRIMEL_SAVE_LOOP", path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_also_run_disabled_tests", "--gtest_filter=TextFileWriteChild.*"});
        ASSERT_TRUE(child.waitForStarted(120000));
        QByteArray said;
        ASSERT_TRUE(waitUntil([&] {
            said += child.readAllStandardOutput();
            return said.contains("saving\n") || child.state() != QProcess::Running;
        }, 120000));
        ASSERT_TRUE(said.contains("saving\n")) << said.toStdString();
        // A kill at some moment of the saves: most land inside a write of one text or the other.
        QThread::msleep(20 + random() % 200);
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(120000);
        // The write the kill interrupted goes on in its own child, whose fsync may wait long on a busy disk.
        EXPECT_TRUE(waitUntil([&] {
            const QByteArray now = readBytes(path);
            return now == whole[0] || now == whole[1];
        })) << "kill " << k << ": " << readBytes(path).size() << " bytes of mixed text";
        EXPECT_EQ(readBytes(dir.file("doc-link.txt")), readBytes(path));
    }
}

namespace {
// The id of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}
} // namespace

// Temporary files left by saves that never finished go with the next save of the same file. Kept:
// a file still being written (its process runs, or it is held locked), one whose writer cannot be
// told, and everybody else's.
TEST(TextFileWrite, ASaveRemovesTheLeftoversOfEarlierKilledSaves) {
    TempFolder dir;
    const QString path = dir.write("notes.txt", "old\n");
    const QString ended = QString::number(endedProcess()), running = QString::number(::getpid());
    const QStringList leftovers{".notes.txt.saving-" + ended + "-1x9z", ".notes.txt.saving-" + ended + "-q"};
    const QString locked = ".notes.txt.saving-" + ended + "-lock";
    const QStringList others{".notes.txt.saving-", ".notes.txt.saving-1x9z", ".notes.txt.saving-" + running + "-1x9z",
                             ".notes.txt.saving-0" + ended + "-1x9z", ".notes.txt.saving-" + ended + "-",
                             ".notes.txt.saving-" + ended + "-A1", ".notes.txt.saving-" + ended + "-ab.c",
                             ".notes.txt.saving-" + ended + "-12345678", ".other.txt.saving-" + ended + "-1x9z",
                             "notes.txt.saving-" + ended + "-1x9z", ".notes.txt.saving-" + ended + "-1x9z~",
                             ".notes.txt.saved-" + ended + "-1x9z", locked};
    for (const QString& name : leftovers + others) dir.write(name, "partial");
    dir.mkdir(".notes.txt.saving-" + ended + "-dir");
    const int held = ::open(QFile::encodeName(dir.file(locked)).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_TRUE(TextFile::writeUtf8(path, "new\n"));
    ::close(held);
    for (const QString& name : leftovers) EXPECT_FALSE(QFile::exists(dir.file(name))) << name.toStdString();
    for (const QString& name : others) EXPECT_TRUE(QFile::exists(dir.file(name))) << name.toStdString();
    EXPECT_TRUE(QFileInfo(dir.file(".notes.txt.saving-" + ended + "-dir")).isDir());
    EXPECT_EQ(readBytes(path), "new\n");
    EXPECT_EQ(QDir(dir.path()).entryList({".notes.txt.saving-" + running + "-*"}, QDir::Hidden | QDir::Files).size(), 1)
        << "the save leaves nothing of its own";

    // Also after an in-place save.
    TempFolder other;
    const QString linked = other.write("notes.txt", "old\n");
    ASSERT_EQ(::link(QFile::encodeName(linked).constData(), QFile::encodeName(other.file("second")).constData()), 0);
    other.write(leftovers[0], "partial");
    ASSERT_TRUE(TextFile::writeUtf8(linked, "in place\n"));
    EXPECT_FALSE(QFile::exists(other.file(leftovers[0])));
}

// A folder is read for leftovers at its first save only: the saves after it, of that file or of
// another one there, read none of its entries, and still remove the leftovers found then.
TEST(TextFileWrite, SavesInALargeFolderReadItsEntriesOnce) {
    TempFolder dir;
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i) dir.write(QStringLiteral("f%1.txt").arg(i), "x");
    const QString ended = QString::number(endedProcess());
    const QString first = dir.write("a.txt", "a"), second = dir.write("b.txt", "b");
    const QString leftOfSecond = ".b.txt.saving-" + ended + "-k1";
    dir.write(leftOfSecond, "partial");

    const quint64 before = TextFile::leftoverEntriesRead();
    ASSERT_TRUE(TextFile::writeUtf8(first, "a1"));
    const quint64 firstSave = TextFile::leftoverEntriesRead() - before;
    EXPECT_GE(firstSave, quint64(kFiles));
    EXPECT_TRUE(QFile::exists(dir.file(leftOfSecond))) << "another file's leftover waits for that file's save";
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(TextFile::writeUtf8(first, QString::number(i)));
    ASSERT_TRUE(TextFile::writeUtf8(second, "b1"));
    EXPECT_EQ(TextFile::leftoverEntriesRead() - before, firstSave);
    EXPECT_FALSE(QFile::exists(dir.file(leftOfSecond)));
    EXPECT_EQ(readBytes(second), "b1");
}

namespace {

// A large text of a repeated stretch holding every kind of unit a cut could fall beside: a pair, a
// U+FEFF, CR LF, and two- and three-byte characters; `lead` ASCII units first move every cut along.
constexpr char16_t kRepeated[] = u"a\U0001F600\uFEFF\r\n\u00e9\u4e2d\U00010348";
constexpr qsizetype kRepeats = 8 * 1024 * 1024 / 8 + 3;

QString repeatedText(qsizetype lead) {
    return QString(lead, u'x') + QString::fromUtf16(kRepeated).repeated(kRepeats);
}

} // namespace

TEST(TextFileEncode, ALargeTextGivesTheBytesOfOnePassWhereverItIsCut) {
    const QByteArray once = QString::fromUtf16(kRepeated).toUtf8();
    ASSERT_EQ(once.size(), 1 + 4 + 3 + 2 + 2 + 3 + 4);
    for (qsizetype lead = 0; lead < QString::fromUtf16(kRepeated).size(); ++lead) {
        SCOPED_TRACE(lead);
        const std::optional<QByteArray> bytes = TextFile::encodeUtf8(repeatedText(lead));
        ASSERT_TRUE(bytes);
        EXPECT_TRUE(*bytes == QByteArray(lead, 'x') + once.repeated(kRepeats));
    }
    // A U+FEFF opening the text is a character like any other, not dropped.
    const std::optional<QByteArray> marked = TextFile::encodeUtf8(QChar(0xFEFF) + repeatedText(1));
    ASSERT_TRUE(marked);
    EXPECT_TRUE(marked->startsWith("\xEF\xBB\xBFx"));
    EXPECT_EQ(marked->size(), 3 + 1 + once.size() * kRepeats);
}

TEST(TextFileEncode, ALoneSurrogateBesideACutIsRefused) {
    const QString text = repeatedText(0);
    // The middle is a cut for any even number of stretches; the ends are in the first and last.
    for (const qsizetype at : {qsizetype(0), text.size() / 2 - 1, text.size() / 2, text.size() / 2 + 1, text.size() - 1}) {
        for (const char16_t lone : {char16_t(0xD83D), char16_t(0xDE00)}) {
            SCOPED_TRACE(at);
            QString broken = text;
            broken[at] = QChar(lone);
            if (at + 1 < broken.size() && QChar::isLowSurrogate(broken[at + 1].unicode())) broken[at + 1] = u'y';
            if (at > 0 && QChar::isHighSurrogate(broken[at - 1].unicode())) broken[at - 1] = u'y';
            QString error;
            EXPECT_FALSE(TextFile::encodeUtf8(broken, &error));
            EXPECT_EQ(error, QStringLiteral("The text holds characters that cannot be written as UTF-8."));
        }
    }
}
