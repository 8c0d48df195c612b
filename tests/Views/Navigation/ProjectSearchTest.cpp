// The project scan: what it finds, what it skips, where it stops, and which result gets through
// when searches overlap.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "Views/Navigation/ProjectSearch.h"

using namespace testing_support;

namespace {

TEST(ProjectSearchScanTest, FindsMatchingLinesIgnoringCaseWithTrimmedPreviews) {
    TempFolder folder;
    const QString a = folder.write("a.txt", "first\n\t  let Needle = 1;  \t\nnothing\nneedle again\n");
    const QString b = folder.write("b.txt", "no match here\n");
    const ProjectSearch::Result r = ProjectSearch::search("NEEDLE", {a, b});
    EXPECT_FALSE(r.truncated);
    ASSERT_EQ(r.hits.size(), 2);
    EXPECT_EQ(r.hits[0], (SearchHit{a, 2, "let Needle = 1;"}));
    EXPECT_EQ(r.hits[1], (SearchHit{a, 4, "needle again"}));
    EXPECT_EQ(r.hits[0].id(), a + ":2");
    // Spaces inside the query are part of it.
    EXPECT_EQ(ProjectSearch::search("needle again", {a}).hits.size(), 1);
}

TEST(ProjectSearchScanTest, LineNumbersAgreeWithTheEditorForEveryLineEnding) {
    TempFolder folder;
    const QString crlf = folder.write("crlf.txt", "one\r\ntwo\r\nfind me\r\n");
    const QString cr = folder.write("cr.txt", "one\rtwo\rfind me\r");
    for (const QString& file : {crlf, cr}) {
        const auto hits = ProjectSearch::search("find", {file}).hits;
        ASSERT_EQ(hits.size(), 1) << file.toStdString();
        EXPECT_EQ(hits[0].line, 3);
        EXPECT_EQ(hits[0].preview, "find me");  // no stray carriage return
    }
}

TEST(ProjectSearchScanTest, SkipsLargeInvalidAndNonRegularFilesWithoutHanging) {
    TempFolder folder;
    QByteArray atLimit(ProjectSearch::kMaxFileBytes, 'x');
    atLimit.replace(0, 6, "needle");
    const QString fits = folder.write("fits.txt", atLimit);
    const QString tooBig = folder.write("big.txt", atLimit + "x");
    const QString binary = folder.write("bin.dat", QByteArray("needle \xff\xfe\n", 10));
    const QString dir = folder.mkdir("needle-dir");
    const QString fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString loopA = folder.file("loop-a"), loopB = folder.file("loop-b");
    ASSERT_EQ(::symlink(QFile::encodeName(loopB).constData(), QFile::encodeName(loopA).constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(loopA).constData(), QFile::encodeName(loopB).constData()), 0);
    const QString missing = folder.file("gone.txt");
    const QString last = folder.write("last.txt", "needle\n");

    const auto hits = ProjectSearch::search("needle", {fits, tooBig, binary, dir, fifo, loopA, missing, last}).hits;
    ASSERT_EQ(hits.size(), 2);
    EXPECT_EQ(hits[0].url, fits);
    EXPECT_EQ(hits[1].url, last);
}

TEST(ProjectSearchScanTest, StopsAtTheHitLimitInsideAFile) {
    TempFolder folder;
    QByteArray many;
    for (int i = 0; i < 300; ++i) many += "hit\n";
    const QString one = folder.write("one.txt", many);
    const QString two = folder.write("two.txt", many);
    const QString three = folder.write("three.txt", "hit\n");
    const ProjectSearch::Result r = ProjectSearch::search("hit", {one, two, three});
    EXPECT_TRUE(r.truncated);
    ASSERT_EQ(r.hits.size(), ProjectSearch::kMaxHits);
    EXPECT_EQ(r.hits.back().url, two);
    EXPECT_EQ(r.hits.back().line, 200);

}

TEST(ProjectSearchAsyncTest, OnlyTheNewestSearchReports) {
    TempFolder folder;
    const QString file = folder.write("f.txt", "alpha\nbeta\n");
    ProjectSearch search;
    QSignalSpy spy(&search, &ProjectSearch::finished);
    search.start("alpha", {file});
    search.start("beta", {file});
    EXPECT_TRUE(search.isRunning());
    ASSERT_TRUE(waitUntil([&] { return !search.isRunning(); }));
    spin(50);  // a late result of the first search would have arrived by now
    ASSERT_EQ(spy.count(), 1);
    const auto result = spy.at(0).at(0).value<ProjectSearch::Result>();
    ASSERT_EQ(result.hits.size(), 1);
    EXPECT_EQ(result.hits[0].preview, "beta");
}

TEST(ProjectSearchAsyncTest, CancelledOrDestroyedSearchesReportNothing) {
    TempFolder folder;
    QStringList files;
    for (int i = 0; i < 200; ++i) files << folder.write(QStringLiteral("f%1.txt").arg(i), "needle\n");
    {
        ProjectSearch search;
        QSignalSpy spy(&search, &ProjectSearch::finished);
        search.start("needle", files);
        search.cancel();
        EXPECT_FALSE(search.isRunning());
        spin(100);
        EXPECT_EQ(spy.count(), 0);
        search.start("needle", files);
    }  // destroyed while scanning: the scan must not touch it
    spin(100);
}

} // namespace
