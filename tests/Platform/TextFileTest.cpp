#include <gtest/gtest.h>

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/TextFile.h"
#include "TestSupport.h"

using testing_support::readBytes;
using testing_support::TempFolder;

TEST(TextFile, ReadThenWriteKeepsEveryByte) {
    TempFolder dir;
    const QList<QByteArray> samples{
        "lf\nlines\n", "crlf\r\nlines\r\n", "cr\rlines\r", "mixed\r\nend\nings\r", "\xEF\xBB\xBF" "bom first\n",
        "nbsp\xC2\xA0here", "line\xE2\x80\xA8sep\xE2\x80\xA9para", "nel\xC2\x85next", "no final newline", "",
        "astral \xF0\x9F\x98\x80 done\n"};
    int n = 0;
    for (const QByteArray& bytes : samples) {
        const QString path = dir.write(QString("f%1.txt").arg(n++), bytes);
        const auto read = TextFile::readUtf8(path);
        ASSERT_TRUE(read.text.has_value()) << bytes.toStdString();
        const QString out = dir.file(QString("out%1.txt").arg(n));
        ASSERT_TRUE(TextFile::writeUtf8(out, *read.text));
        EXPECT_EQ(readBytes(out), bytes);
    }
}

TEST(TextFile, RefusesWhatIsNotEditableText) {
    TempFolder dir;
    // Invalid UTF-8, or UTF-8 cut off at the end, is refused rather than patched with replacement characters.
    for (const QByteArray& bytes : {QByteArray("ok \xFF\xFE bad"), QByteArray("a\xE2\x82"), QByteArray("ok \xF0\x9F\x98"), QByteArray("\xC3")}) {
        const auto read = TextFile::readUtf8(dir.write("bad.txt", bytes));
        EXPECT_FALSE(read.text.has_value()) << bytes.toHex().toStdString();
        EXPECT_EQ(read.error, "The file is not valid UTF-8 text.");
    }
    // A FIFO must be refused at once, never block the caller.
    const QString fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto pipe = TextFile::readUtf8(fifo);
    EXPECT_FALSE(pipe.text.has_value());
    EXPECT_EQ(pipe.error, "It is not a regular file.");
    const QString big = dir.write("big.log", "");  // sparse: costs no disk space
    ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), TextFile::kMaxEditableBytes + 1), 0);
    EXPECT_FALSE(TextFile::readUtf8(big).text.has_value());
    EXPECT_FALSE(TextFile::readUtf8(dir.path()).text.has_value());
    EXPECT_FALSE(TextFile::readUtf8(dir.file("missing")).text.has_value());
}

TEST(TextFile, FailedWriteSaysWhy) {
    TempFolder dir;
    QString error;
    EXPECT_FALSE(TextFile::writeUtf8(dir.file("no/such/folder/x.txt"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    // A lone surrogate cannot become UTF-8: refuse instead of writing something else.
    error.clear();
    EXPECT_FALSE(TextFile::writeUtf8(dir.file("s.txt"), QString(QChar(0xD800)), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(TextFile, ReadsFilesWhoseSizeIsNotKnownInAdvance) {
    // Kernel files report size 0 and still have content.
    const QString path = QStringLiteral("/proc/self/status");
    struct stat st {};
    if (::stat("/proc/self/status", &st) != 0 || st.st_size != 0) GTEST_SKIP() << "no /proc with size-0 files here";
    const auto read = TextFile::readUtf8(path);
    ASSERT_TRUE(read.text.has_value()) << read.error.toStdString();
    EXPECT_TRUE(read.text->startsWith("Name:")) << read.text->left(40).toStdString();
}
