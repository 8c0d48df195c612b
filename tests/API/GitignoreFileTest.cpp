#include <gtest/gtest.h>

#include <QDir>

#include "API/GitignoreFile.h"
#include "TestSupport.h"

using testing_support::FileSizeLimit;
using testing_support::readBytes;
using testing_support::TempFolder;

// A write the disk refuses (full, or over a size limit) is a failure, and the lines the file held
// stay as they were.
TEST(GitignoreFile, AWriteTheDiskRefusesFailsAndKeepsTheLines) {
    TempFolder dir;
    const QByteArray before = "node_modules/\nbuild/\n";
    dir.write(".gitignore", before);
    FileSizeLimit limit(8);
    ASSERT_TRUE(limit.active());
    QString error;
    const bool added = GitignoreFile::addPattern("environments/prod.env", dir.path(), &error);
    limit.lift();

    EXPECT_FALSE(added);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readBytes(dir.file(".gitignore")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left behind";
}
