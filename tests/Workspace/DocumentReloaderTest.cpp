#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <fcntl.h>
#include <sys/stat.h>

#include "Platform/TextFile.h"
#include "Workspace/DocumentReloader.h"
#include "Workspace/EditorDocument.h"
#include "support/TestSupport.h"

using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {
// Dates a file back, so that its stamp alone tells whether it changed since.
void age(const QString& path) {
    const struct timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

std::unique_ptr<EditorDocument> opened(const QString& path) {
    TextFile::ReadResult read = TextFile::readUtf8(path);
    auto document = std::make_unique<EditorDocument>(path, *read.text);
    document->setDiskStamp(read.stamp);
    return document;
}

const QByteArray kLarge(DocumentReloader::kReadAsideBytes + 1, 'a');
} // namespace

// A file is read again only when its stamp changed, or when the stamp was taken too soon after a
// write to tell a later write within the same tick apart.
TEST(DocumentReloader, ReadsOnlyFilesWhoseStampChanged) {
    TempFolder dir;
    const QString path = dir.write("f.txt", "one\n");
    age(path);
    auto document = opened(path);
    ASSERT_TRUE(document->diskStamp()->settled);
    DocumentReloader reloader;
    const quint64 before = TextFile::filesRead();
    reloader.reload(document.get());
    EXPECT_EQ(TextFile::filesRead(), before);

    dir.write("f.txt", "two\n");
    reloader.reload(document.get());
    EXPECT_EQ(TextFile::filesRead(), before + 1);
    EXPECT_EQ(document->text(), "two\n");
    EXPECT_FALSE(document->isDirty());
    EXPECT_FALSE(document->diskStamp()->settled) << "just written";
    reloader.reload(document.get());
    EXPECT_EQ(TextFile::filesRead(), before + 2) << "an unsettled stamp proves nothing";

    document->setText("mine");  // dirty: never read
    dir.write("f.txt", "three\n");
    reloader.reload(document.get());
    EXPECT_EQ(TextFile::filesRead(), before + 2);
    EXPECT_EQ(document->text(), "mine");
}

// A large file is read aside; its content is taken only by the document as it was when the read
// began, and a change seen meanwhile is looked at again once the read ends.
TEST(DocumentReloader, ALargeFileIsReadAsideAndAnEditMadeMeanwhileWins) {
    TempFolder dir;
    const QString path = dir.write("large.txt", kLarge);
    age(path);
    auto document = opened(path);
    DocumentReloader reloader;
    QSignalSpy idle(&reloader, &DocumentReloader::idle);

    dir.write("large.txt", QByteArray(kLarge.size(), 'b'));
    reloader.reload(document.get());
    EXPECT_TRUE(reloader.isBusy());
    EXPECT_EQ(document->text().front(), u'a');
    ASSERT_TRUE(waitUntil([&] { return !reloader.isBusy(); }));
    EXPECT_EQ(document->text().front(), u'b');
    EXPECT_FALSE(document->isDirty());
    EXPECT_EQ(idle.size(), 1);

    dir.write("large.txt", QByteArray(kLarge.size(), 'c'));
    reloader.reload(document.get());
    document->setText("mine");
    ASSERT_TRUE(waitUntil([&] { return !reloader.isBusy(); }));
    EXPECT_EQ(document->text(), "mine");
    EXPECT_TRUE(document->isDirty());

    // Changed again while being read: read again afterwards.
    auto other = opened(path);
    dir.write("large.txt", QByteArray(kLarge.size(), 'd'));
    reloader.reload(other.get());
    dir.write("large.txt", QByteArray(kLarge.size() + 1, 'e'));
    reloader.reload(other.get());
    ASSERT_TRUE(waitUntil([&] { return !reloader.isBusy() && other->text().front() == u'e'; }));
    EXPECT_EQ(other->text().size(), kLarge.size() + 1);

    // A document closed while its file is read is left alone.
    dir.write("large.txt", QByteArray(kLarge.size(), 'f'));
    reloader.reload(other.get());
    other.reset();
    EXPECT_TRUE(waitUntil([&] { return !reloader.isBusy(); }));
}
