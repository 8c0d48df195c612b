// What the request files' rescans cost the window's thread: the reading of large files happens
// elsewhere, and changes made from the window look only at what they touched.
#include <gtest/gtest.h>

#include "API/APIService.h"
#include "API/WorkspaceScanner.h"
#include "Platform/TextFile.h"
#include "TestSupport.h"

#include <QDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QSemaphore>
#include <QThreadPool>
#include <memory>

using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

// A request file of 50 requests with long URLs, about 50 KB.
QByteArray manyRequests(int file) {
    QByteArray text;
    const QByteArray pad(1000, 'p');
    for (int i = 0; i < 50; ++i) text += "### R" + QByteArray::number(i) + "\nGET https://example.com/" + QByteArray::number(file) + "?" + pad + "\n\n";
    return text;
}

QString makeWorkspace(const TempFolder& dir, int files) {
    const QString root = dir.mkdir(QString("w%1").arg(files));
    for (int i = 0; i < files; ++i) dir.write(QString("w%1/c%2/c%2.http").arg(files).arg(i), manyRequests(i));
    dir.write(QString("w%1/environments/dev.env").arg(files), "base=https://a\n");
    return root;
}

QStringList relativeUrls(const APIService& service) {
    QStringList out;
    for (const APICollectionFile& file : service.collections()) out.append(QDir(*service.root()).relativeFilePath(file.url));
    return out;
}

// Holds every worker of the pool until released, so a rescan handed to it waits.
struct HeldPool {
    HeldPool() {
        for (int i = 0; i < workers; ++i) QThreadPool::globalInstance()->start([held = held, release = release] {
            held->release();
            release->acquire();
        });
        EXPECT_TRUE(held->tryAcquire(workers, 60'000));
    }
    ~HeldPool() { release->release(workers); }
    const int workers = QThreadPool::globalInstance()->maxThreadCount();
    std::shared_ptr<QSemaphore> held = std::make_shared<QSemaphore>(), release = std::make_shared<QSemaphore>();
};

} // namespace

// A rescan elsewhere reads every request file there: the window's thread reads none of their bytes,
// however many and large they are, and the collections end whole.
TEST(APIServiceWindowThread, ARescanElsewhereReadsNoFileOnTheWindowsThread) {
    for (const int files : {8, 40}) {
        TempFolder dir;
        APIService service;
        service.setRoot(makeWorkspace(dir, files));
        const quint64 before = WorkspaceScanner::bytesReadHere();
        service.reloadLater();
        ASSERT_TRUE(waitUntil([&] { return !service.isScanning(); }));
        EXPECT_EQ(WorkspaceScanner::bytesReadHere() - before, 0u) << files;
        ASSERT_EQ(service.collections().size(), files);
        for (const APICollectionFile& file : service.collections()) EXPECT_EQ(file.requests.size(), 50);
        EXPECT_EQ(service.environmentValues().value("base"), QStringLiteral("https://a"));
    }
}

// Creating, renaming and deleting a collection looks at that collection alone: what the window's
// thread reads and walks does not grow with the other files of the workspace.
TEST(APIServiceWindowThread, CollectionsMadeRenamedAndDeletedLookOnlyAtThemselves) {
    QList<std::pair<quint64, quint64>> costs;
    for (const int files : {8, 40}) {
        TempFolder dir;
        APIService service;
        const QString root = makeWorkspace(dir, files);
        service.setRoot(root);
        service.reload();
        const quint64 bytes = WorkspaceScanner::bytesReadHere(), visited = WorkspaceScanner::entriesVisitedHere();

        const auto made = service.createCollection("Fresh");
        ASSERT_TRUE(made);
        EXPECT_TRUE(relativeUrls(service).contains("Fresh/Fresh.http")) << "there at once";
        const QUuid id = service.collections().at(relativeUrls(service).indexOf("Fresh/Fresh.http")).requests.value(0).id;
        EXPECT_TRUE(service.renameCollection(*made, "Renamed"));
        EXPECT_TRUE(service.renameCollection(root + "/c1/c1.http", "Other"));
        EXPECT_TRUE(service.deleteCollection(root + "/c2/c2.http"));
        ASSERT_TRUE(waitUntil([&] { return !service.isScanning(); }));
        costs.append({WorkspaceScanner::bytesReadHere() - bytes, WorkspaceScanner::entriesVisitedHere() - visited});

        const QStringList urls = relativeUrls(service);
        EXPECT_EQ(urls.size(), files);
        EXPECT_TRUE(urls.contains("Renamed/Renamed.http") && urls.contains("Other/Other.http"));
        EXPECT_FALSE(urls.contains("Fresh/Fresh.http") || urls.contains("c1/c1.http") || urls.contains("c2/c2.http"));
        EXPECT_EQ(service.collections().at(urls.indexOf("Renamed/Renamed.http")).requests.value(0).id, id) << "ids kept";
        APIService fresh;
        fresh.setRoot(root);
        fresh.reload();
        EXPECT_EQ(relativeUrls(fresh), urls);
    }
    EXPECT_EQ(costs[1], costs[0]);
    EXPECT_LE(costs[1].first, 2u * 64 * 1024) << "at most the renamed file itself";
}

// A rename or delete while a rescan runs elsewhere ends as the disk is: nothing stale comes back
// when the rescan is taken in.
TEST(APIServiceWindowThread, ARenameOrDeleteDuringARescanEndsRight) {
    TempFolder dir;
    APIService service;
    const QString root = makeWorkspace(dir, 6);
    service.setRoot(root);
    service.reload();
    const QUuid id = service.collections().at(1).requests.value(0).id;
    {
        HeldPool pool;
        service.reloadLater();
        EXPECT_TRUE(service.renameCollection(root + "/c1/c1.http", "Moved"));
        EXPECT_TRUE(service.deleteCollection(root + "/c2/c2.http"));
        service.createCollection("Made");
        EXPECT_TRUE(service.isScanning());
        const QStringList shown = relativeUrls(service);
        EXPECT_TRUE(shown.contains("Made/Made.http") && shown.contains("Moved/Moved.http")) << "shown at once";
        EXPECT_FALSE(shown.contains("c1/c1.http") || shown.contains("c2/c2.http"));
    }
    ASSERT_TRUE(waitUntil([&] { return !service.isScanning(); }));
    EXPECT_EQ(relativeUrls(service), (QStringList{"c0/c0.http", "c3/c3.http", "c4/c4.http", "c5/c5.http", "Made/Made.http",
                                                  "Moved/Moved.http"}));
    EXPECT_EQ(service.collections().last().requests.value(0).id, id) << "a file renamed meanwhile keeps its requests";
}

// A file changed outside by a large amount is read elsewhere, also when only it changed.
TEST(APIServiceWindowThread, ALargeFileChangedOutsideIsReadElsewhere) {
    TempFolder dir;
    APIService service;
    const QString root = makeWorkspace(dir, 2);
    service.setRoot(root);
    service.reload();
    QByteArray large;
    for (int i = 0; i < 40; ++i) large += manyRequests(100 + i);  // 2 MB
    dir.write("w2/c0/c0.http", large);
    const quint64 bytes = WorkspaceScanner::bytesReadHere();
    service.reload(QSet<QString>{"c0/c0.http"});
    ASSERT_TRUE(waitUntil([&] { return !service.isScanning(); }));
    EXPECT_EQ(WorkspaceScanner::bytesReadHere() - bytes, 0u);
    EXPECT_EQ(service.collections().first().requests.size(), 2000);
}

// A request file in a folder whose name is not UTF-8 (or holds a line break) is found and read,
// by a full rescan and after a change there alike.
TEST(APIServiceWindowThread, FilesBelowNamesThatAreNotUTF8AreFoundAndRead) {
    TempFolder dir;
    const QString root = dir.mkdir("w");
    const QByteArray native = QFile::encodeName(root);
    for (const QByteArray name : {QByteArray("caf\xe9"), QByteArray("two\nlines")}) {
        ASSERT_EQ(::mkdir((native + '/' + name).constData(), 0755), 0);
        const int fd = ::open((native + '/' + name + "/a.http").constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "### A\nGET https://a\n", 21), 21);
        ::close(fd);
    }
    APIService service;
    service.setRoot(root);
    service.reload();
    EXPECT_EQ(service.collections().size(), 2);
    service.reloadLater();
    ASSERT_TRUE(waitUntil([&] { return !service.isScanning(); }));
    EXPECT_EQ(service.collections().size(), 2);
    for (const APICollectionFile& file : service.collections()) EXPECT_EQ(file.requests.size(), 1);
}

// A rescan overtaken by a newer one, or by the service's end (the window closed, the program told to
// quit), stops reading files: nothing it would read could still be taken in.
TEST(APIServiceWindowThread, ARescanOvertakenStopsReading) {
    TempFolder dir;
    const QString root = makeWorkspace(dir, 20);
    for (const bool ended : {false, true}) {
        auto service = std::make_unique<APIService>();
        service->setRoot(root);
        quint64 before = 0;
        {
            HeldPool pool;
            service->reloadLater();
            if (ended) service.reset();
            else service->reload();
            before = TextFile::filesRead();
        }
        QThreadPool::globalInstance()->waitForDone();
        EXPECT_EQ(TextFile::filesRead() - before, 0u) << (ended ? "ended" : "overtaken");
        if (service) EXPECT_EQ(service->collections().size(), 20);
    }
}
