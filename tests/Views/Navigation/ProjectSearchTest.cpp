// The project scan: what it finds, what it skips, where it stops, and which result gets through
// when searches overlap.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QCoreApplication>
#include <QThreadPool>
#include <atomic>
#include <mutex>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Platform/Lines.h"
#include "Platform/TextFile.h"
#include "TestSupport.h"
#include "Views/Navigation/SearchText.h"
#include "Workspace/FileNode.h"
#include "Views/Navigation/ProjectSearch.h"

using namespace testing_support;

namespace {

// Waits until no scan is left running, then delivers what the scans posted on their way out.
void settleScans() {
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

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
    // Its first block read ends inside a character: still text.
    const QString cut = folder.write("cut.txt", QByteArray(64 * 1024 - 2, 'x') + "\xe2\x82\xac\nneedle\n");

    const auto hits = ProjectSearch::search("needle", {fits, tooBig, binary, dir, fifo, loopA, missing, cut, last}).hits;
    ASSERT_EQ(hits.size(), 3);
    EXPECT_EQ(hits[0].url, fits);
    EXPECT_EQ(hits[1].url, cut);
    EXPECT_EQ(hits[2].url, last);
}

TEST(ProjectSearchScanTest, StopsAtTheHitLimitInsideAFile) {
    TempFolder folder;
    QByteArray many;
    for (int i = 0; i < 300; ++i) many += "hit\n";
    const QString one = folder.write("one.txt", many);
    const QString two = folder.write("two.txt", many);
    const QString three = folder.write("three.txt", "hit\n");
    // However many threads read, the hits before the limit come in file order, and so do the
    // batches handed over on the way, which put together are the same hits.
    for (const int threads : {1, 4}) {
        QList<QList<SearchHit>> batches;
        const ProjectSearch::Result r = ProjectSearch::search("hit", {one, two, three}, {}, threads,
                                                              [&](QList<SearchHit>&& hits) { batches.append(hits); });
        EXPECT_TRUE(r.truncated);
        ASSERT_EQ(r.hits.size(), ProjectSearch::kMaxHits);
        EXPECT_EQ(r.hits.back().url, two);
        EXPECT_EQ(r.hits.back().line, 200);
        QList<SearchHit> joined;
        for (const auto& batch : std::as_const(batches)) joined += batch;
        EXPECT_EQ(joined, r.hits);
        // The first file's hits go out as soon as it is read, without waiting for the others.
        if (threads == 1) EXPECT_EQ(batches.value(0).size(), 300);
    }
    // The same when the files are read as one run of a listed folder: the first batch is the first
    // file's hits alone.
    QList<QList<SearchHit>> batches;
    const ProjectSearch::Result r = ProjectSearch::searchFolder("hit", folder.path(), {}, 1,
                                                                [&](QList<SearchHit>&& hits) { batches.append(hits); });
    ASSERT_EQ(r.hits.size(), ProjectSearch::kMaxHits);
    ASSERT_FALSE(batches.isEmpty());
    EXPECT_EQ(batches[0].size(), r.hits[0].url == three ? 1 : 300);
}

// Lines are counted in long stretches without a hit, in pure ASCII text and in text with other
// characters, whatever ends the lines.
TEST(ProjectSearchScanTest, CountsLinesAcrossLongStretchesWithoutHits) {
    TempFolder folder;
    for (const QByteArray& end : {QByteArray("\n"), QByteArray("\r\n"), QByteArray("\r")}) {
        for (const QByteArray& filler : {QByteArray("plain text"), QByteArray("caf\xc3\xa9 \xe6\xbc\xa2")}) {
            QByteArray text;
            for (int i = 0; i < 9000; ++i) text += (i % 7 ? QByteArray("x") : filler) + end;
            text += "the Needle here" + end + "x" + end + "needle again";
            const QString file = folder.write("long.txt", text);
            const auto hits = ProjectSearch::search("needle", {file}).hits;
            ASSERT_EQ(hits.size(), 2);
            EXPECT_EQ(hits[0].line, 9001);
            EXPECT_EQ(hits[0].preview, "the Needle here");
            EXPECT_EQ(hits[1].line, 9003);
        }
    }
}

TEST(ProjectSearchAsyncTest, OnlyTheNewestSearchReports) {
    TempFolder folder;
    const QString file = folder.write("f.txt", "alpha\nbeta\n");
    ProjectSearch search;
    QSignalSpy spy(&search, &ProjectSearch::finished);
    QList<SearchHit> found;
    QObject::connect(&search, &ProjectSearch::found, [&](const QList<SearchHit>& hits) {
        EXPECT_EQ(spy.count(), 0);  // batches come before the end
        found += hits;
    });
    search.start("alpha", {file});
    search.start("beta", {file});
    EXPECT_TRUE(search.isRunning());
    ASSERT_TRUE(waitUntil([&] { return !search.isRunning(); }));
    // Both scans have ended and anything they posted has been delivered.
    settleScans();
    ASSERT_EQ(spy.count(), 1);
    const auto result = spy.at(0).at(0).value<ProjectSearch::Result>();
    ASSERT_EQ(result.hits.size(), 1);
    EXPECT_EQ(result.hits[0].preview, "beta");
    EXPECT_EQ(found, result.hits);
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
        settleScans();
        EXPECT_EQ(spy.count(), 0);
        search.start("needle", files);
    }  // destroyed while scanning: the scan must not touch it
    settleScans();
}

// The scan as it was: each file decoded whole, folded whole, then split and folded line by line.
ProjectSearch::Result referenceSearch(const QString& query, const QStringList& files) {
    ProjectSearch::Result result;
    const QString wanted = SearchText::folded(query);
    for (const QString& file : files) {
        const TextFile::ReadResult read = TextFile::readUtf8(file, ProjectSearch::kMaxFileBytes);
        if (!read.text) continue;
        const QString& text = *read.text;
        if (!SearchText::folded(text).contains(wanted)) continue;
        const QList<Lines::Range> lines = Lines::all(text);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString line = text.sliced(lines[i].start, lines[i].contentEnd - lines[i].start);
            if (!SearchText::folded(line).contains(wanted)) continue;
            result.hits.append({file, int(i + 1), SearchText::preview(line, SearchHit::kPreviewLength)});
            if (result.hits.size() >= ProjectSearch::kMaxHits) {
                result.truncated = true;
                return result;
            }
        }
    }
    return result;
}

// The hits from the first one that differs from other's.
std::string describe(const ProjectSearch::Result& r, const ProjectSearch::Result& other) {
    qsizetype from = 0;
    while (from < r.hits.size() && from < other.hits.size() && r.hits[from] == other.hits[from]) ++from;
    QString out = QStringLiteral("%1 hits%2, from #%3:\n").arg(r.hits.size()).arg(r.truncated ? "+" : "").arg(from);
    for (const SearchHit& hit : r.hits.mid(from, 4)) out += hit.id() + " [" + hit.preview + "]\n";
    return out.toStdString();
}

const QList<QByteArray> kAsciiPieces = {"lorem", "ipsum", "dolor", "sit", "amet", "lorem ipsum", "sed", "do", "needle", "Needle", "NEEDLE", "hay", "cafe", "Strasse", "ss", "i", "I", "k",
                                        "ff", ";", "x", " ", "  ", "\t", "a b", QByteArray(1, '\0'), "\n", "\n", "\r\n", "\r"};
const QList<QByteArray> kUnicodePieces = {
    "\xc3\x9f", "\xe1\xba\x9e", "\xc4\xb0", "\xc4\xb1", "\xc3\xa9", "e\xcc\x81", "\xcc\x81", "\xcc\x96", "\xcc\xa3",
    "\xc3\x89", "\xe6\xbc\xa2\xe5\xad\x97", "\xf0\x9f\x98\x80", "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd", "\xe2\x84\xaa",
    "\xc5\xbf", "\xcd\xbe", "\xef\xac\x80", "\xc2\xa0", "\xe3\x80\x80", "\xce\xa3", "\xcf\x82", "\xef\xbb\xbf",
    "\xef\xbf\xbe", "\xc2\x85", "\xe2\x80\xa8", "\xe2\x80\xa9"};
const QList<QByteArray> kBrokenPieces = {"\xff", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x80"};

QByteArray randomBytes(std::mt19937& rng, int pieces, bool unicode) {
    QByteArray out = unicode && rng() % 4 == 0 ? QByteArray("\xef\xbb\xbf") : QByteArray();
    for (int i = 0; i < pieces; ++i)
        out += unicode && rng() % 3 == 0 ? kUnicodePieces[rng() % kUnicodePieces.size()]
                                         : kAsciiPieces[rng() % kAsciiPieces.size()];
    if (unicode && rng() % 8 == 0) out.insert(rng() % (out.size() + 1), kBrokenPieces[rng() % kBrokenPieces.size()]);
    return out;
}

TEST(ProjectSearchScanTest, SameHitsAsDecodingAndFoldingEveryWholeFile) {
    TempFolder folder;
    std::mt19937 rng(17);
    // Odd files come first, where even the commonest query reaches them before the hit limit.
    QStringList files{folder.write("empty.txt", ""), folder.write("breaks.txt", "\n\r\n\r")};
    // Larger than the first block read: broken past it, broken at once, and clean.
    QByteArray big(200'000, 'x');
    big.replace(0, 6, "Needle");
    files << folder.write("late-break.txt", big + "\xff" + "needle\n");
    files << folder.write("early-break.txt", "\xff" + big);
    files << folder.write("big.txt", big + "\xc3\x9f needle\n");
    QStringList texts;
    for (int i = 0; i < 80; ++i) {
        const QByteArray bytes = randomBytes(rng, 20 + int(rng() % 300), i % 4 != 0);
        files << folder.write(QStringLiteral("f%1.txt").arg(i), bytes);
        texts << QString::fromUtf8(bytes);
    }

    QStringList queries = {"needle", "NEEDLE", "ss", "STRASSE", "\u00df", "i", "\u0130", "I\u0307", "e", "\u00e9",
                           "e\u0301", "cafe", "CAF\u00c9", "k", "\u212a", "s", ";", "ff", "\u6f22", "\U0001F600",
                           "\u03c3", "a b", "\t", " ", "", "x\ny", "a\u2028b", "\ufeff", "\ufffe", QString(QChar(0))};
    for (int i = 0; i < 60; ++i) {
        // Pieces of the files themselves, sometimes in other case.
        const QString& text = texts[rng() % texts.size()];
        if (text.isEmpty()) continue;
        const qsizetype at = rng() % text.size();
        QString piece = text.mid(at, 1 + rng() % 6);
        if (rng() % 2) piece = piece.toUpper();
        queries << piece;
    }
    for (const QString& query : std::as_const(queries)) {
        const ProjectSearch::Result expected = referenceSearch(query, files);
        for (const int threads : {1, 3}) {
            const ProjectSearch::Result got = ProjectSearch::search(query, files, {}, threads);
            ASSERT_TRUE(got.hits == expected.hits && got.truncated == expected.truncated)
                << "query [" << query.toStdString() << "] threads " << threads << "\ngot " << describe(got, expected)
                << "expected " << describe(expected, got);
        }
    }
}

TEST(ProjectSearchScanTest, SearchingAFolderSeesQuickOpensFilesInItsOrder) {
    TempFolder folder;
    QByteArray many;
    for (int i = 0; i < 40; ++i) many += "needle " + QByteArray::number(i) + "\n";
    for (int d = 0; d < 6; ++d) {
        for (int f = 0; f < 5; ++f) folder.write(QStringLiteral("root/d%1/f%2.txt").arg(d).arg(f), many);
        folder.write(QStringLiteral("root/d%1/sub/deep.txt").arg(d), "needle deep\n");
    }
    folder.write("root/top.txt", "Needle at the top\n");
    folder.write("root/d3/long.txt", QByteArray(200'000, 'x') + "\nneedle late\n");  // past the first block read
    folder.write("root/.hidden/h.txt", "needle hidden\n");
    folder.write("root/node_modules/m.txt", "needle module\n");
    ASSERT_EQ(::symlink(QFile::encodeName(folder.file("root/d1")).constData(),
                        QFile::encodeName(folder.file("root/link-to-d1")).constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(folder.file("root/top.txt")).constData(),
                        QFile::encodeName(folder.file("root/link-to-top")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.file("root/d2/pipe")).constData(), 0600), 0);  // never opened
    // A folder and a file whose names are not UTF-8 are read as what they name.
    const QByteArray raw = QFile::encodeName(folder.file("root")) + "/d\xe9";
    ASSERT_EQ(::mkdir(raw.constData(), 0755), 0);
    const int fd = ::open((raw + "/caf\xe9.txt").constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(fd, "raw needle\n", 11), 11);
    ::close(fd);
    QStringList files;
    FileNode(folder.file("root")).allFiles(files);
    const QList<SearchHit> rawHits = ProjectSearch::searchFolder("RAW", folder.file("root")).hits;
    ASSERT_EQ(rawHits.size(), 1);
    EXPECT_EQ(FilePath::encode(rawHits[0].url), raw + "/caf\xe9.txt");
    // Past the hit limit and well short of it.
    for (const QString& query : {QStringLiteral("needle"), QStringLiteral("deep"), QStringLiteral("TOP"), QStringLiteral("late")}) {
        const ProjectSearch::Result expected = ProjectSearch::search(query, files);
        if (query == "late") EXPECT_EQ(expected.hits.size(), 1);
        for (const int threads : {1, 4}) {
            const ProjectSearch::Result got = ProjectSearch::searchFolder(query, folder.file("root"), {}, threads);
            EXPECT_TRUE(got.hits == expected.hits && got.truncated == expected.truncated)
                << query.toStdString() << " threads " << threads << "\ngot " << describe(got, expected)
                << "expected " << describe(expected, got);
        }
    }
    EXPECT_TRUE(ProjectSearch::searchFolder("needle", folder.file("gone")).hits.isEmpty());
    // No folder is not the root folder.
    EXPECT_TRUE(ProjectSearch::searchFolder("the", QString()).hits.isEmpty());
}

// Each folder is opened once, through its parent, and read by the thread that listed it or took a
// run of its files: no folder is reached again by its whole path, and the threads meet at the shared
// queue per folder or run of files, not per file.
TEST(ProjectSearchScanTest, SearchingAFolderOpensNothingByPathAgainAndHandsFilesOverInRuns) {
    TempFolder folder;
    constexpr int kFolders = 40, kFilesEach = 30;
    for (int d = 0; d < kFolders; ++d) {
        const QString sub = d % 2 ? QStringLiteral("root/d%1/inner/").arg(d) : QStringLiteral("root/d%1/").arg(d);
        for (int f = 0; f < kFilesEach; ++f) folder.write(sub + QStringLiteral("f%1.txt").arg(f), "nothing here\n");
    }
    folder.write("root/d7/inner/f3.txt", "the needle\n");
    const qsizetype folders = 1 + kFolders + kFolders / 2, files = kFolders * kFilesEach;
    for (const int threads : {1, 4}) {
        ProjectSearch::Work work;
        EXPECT_EQ(ProjectSearch::searchFolder("needle", folder.file("root"), {}, threads, {}, &work).hits.size(), 1);
        EXPECT_LE(work.openedByPath.load(), 1) << threads;
        EXPECT_LE(work.handOvers.load(), folders + files / 16) << threads;
    }
}

// Folders of many files are read in several runs, on several threads: the hits still come in the
// list's order, the limit falling inside a run, and the batches handed over are the same hits.
TEST(ProjectSearchScanTest, SearchingLargeFoldersAgreesWithTheListOnAnyNumberOfThreads) {
    TempFolder folder;
    for (int f = 0; f < 150; ++f) {
        QByteArray text = "nothing\n";
        for (int i = 0; i < f % 9; ++i) text += "wide hit " + QByteArray::number(f) + "\n";
        if (f % 50 == 3) text += "rare hit\n";
        folder.write(QStringLiteral("root/a/f%1.txt").arg(f), text);
        if (f % 40 == 0) folder.write(QStringLiteral("root/a/sub%1/g.txt").arg(f), "rare hit below\n");
    }
    folder.write("root/b/last.txt", "rare hit at the end\n");
    QStringList files;
    FileNode(folder.file("root")).allFiles(files);
    for (const QString& query : {QStringLiteral("hit"), QStringLiteral("rare")}) {
        const ProjectSearch::Result expected = ProjectSearch::search(query, files, {}, 1);
        EXPECT_EQ(expected.truncated, query == "hit");
        for (const int threads : {1, 3, 8}) {
            QList<SearchHit> batches;
            std::mutex mutex;
            const ProjectSearch::Result got = ProjectSearch::searchFolder(
                query, folder.file("root"), {}, threads, [&](QList<SearchHit>&& hits) {
                    std::lock_guard lock(mutex);
                    batches += hits;
                });
            EXPECT_TRUE(got.hits == expected.hits && got.truncated == expected.truncated)
                << query.toStdString() << " threads " << threads << "\ngot " << describe(got, expected)
                << "expected " << describe(expected, got);
            EXPECT_EQ(batches, got.hits) << threads;
            EXPECT_EQ(ProjectSearch::search(query, files, {}, threads).hits, expected.hits) << threads;
        }
    }
}

// A wide tree is searched with few folders open at a time and none left open; once the hits are
// complete, the rest of the tree is neither listed nor read.
TEST(ProjectSearchScanTest, SearchingAWideTreeKeepsFewFoldersOpenAndStopsAtTheLimit) {
    TempFolder folder;
    QByteArray many;
    for (int i = 0; i < 30; ++i) many += "needle\n";
    for (int d = 0; d < 60; ++d)
        for (int s = 0; s < 3; ++s)
            for (int f = 0; f < 8; ++f) folder.write(QStringLiteral("root/d%1/s%2/f%3.txt").arg(d).arg(s).arg(f), many);
    const QString root = folder.file("root");
    std::atomic<qsizetype> most = 0, asked = 0;
    std::mutex mutex;
    const auto watch = [&] {
        ++asked;
        std::lock_guard lock(mutex);
        most = std::max(most.load(), openInside(root));
        return false;
    };
    for (const int threads : {1, 4}) {
        ProjectSearch::Work work;
        asked = 0;
        const ProjectSearch::Result r = ProjectSearch::searchFolder("needle", root, watch, threads, {}, &work);
        EXPECT_TRUE(r.truncated);
        // Asked once per piece taken and per file read: 17 files hold the first 500 hits. Several
        // threads may read ahead of the slowest one by as much as it lags, so only one is held to it.
        if (threads == 1) {
            EXPECT_LE(asked.load(), work.handOvers.load() + 17 + 1);
            EXPECT_LE(work.handOvers.load(), 10);
        }
        EXPECT_EQ(openInside(root), 0);
    }
    EXPECT_LE(most.load(), 12);
}

} // namespace

namespace {
// Characters the hits hold for their previews.
qsizetype previewCharacters(const ProjectSearch::Result& r) {
    qsizetype count = 0;
    for (const SearchHit& hit : r.hits) count += hit.preview.size();
    return count;
}
} // namespace

// A hit on a line of a megabyte (a minified file) keeps the start of the line its row can show, not
// the whole line: the hits of a search hold the same whatever the length of their lines.
TEST(ProjectSearchScanTest, AHitOnALongLineKeepsWhatItsRowShows) {
    TempFolder folder;
    for (const qsizetype length : {qsizetype(10'000), qsizetype(1'000'000)}) {
        QByteArray ascii(length, 'x');
        ascii.replace(0, 2, "  ");
        ascii.replace(length - 6, 6, "needle");
        QByteArray mixed = ascii;
        mixed.replace(2, 2, "\xc3\xa9");  // é, so that the line takes the way of text beyond ASCII
        const QString a = folder.write(QStringLiteral("ascii%1.txt").arg(length), ascii + "\nneedle\n");
        const QString m = folder.write(QStringLiteral("mixed%1.txt").arg(length), mixed + "\n");
        const ProjectSearch::Result r = ProjectSearch::search("needle", {a, m});
        ASSERT_EQ(r.hits.size(), 3);
        EXPECT_EQ(r.hits[0].preview, QString::fromLatin1(ascii.mid(2, SearchHit::kPreviewLength)));
        EXPECT_EQ(r.hits[1].preview, "needle");
        EXPECT_EQ(r.hits[2].preview, QString::fromUtf8(mixed.mid(2, SearchHit::kPreviewLength + 1)));
        EXPECT_EQ(previewCharacters(r), 2 * SearchHit::kPreviewLength + 6) << length;
    }
    // A character outside the basic plane is never cut in two.
    QByteArray wide = QByteArray("\xf0\x9f\x98\x80").repeated(SearchHit::kPreviewLength) + " needle";
    const QString w = folder.write("wide.txt", wide);
    const ProjectSearch::Result r = ProjectSearch::search("needle", {w});
    ASSERT_EQ(r.hits.size(), 1);
    EXPECT_EQ(r.hits[0].preview, QString::fromUtf8(wide).left(SearchHit::kPreviewLength));
}
