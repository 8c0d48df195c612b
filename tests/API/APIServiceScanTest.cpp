// The workspace's request files and environments as a rescan finds them.
#include <gtest/gtest.h>

#include "API/APIService.h"
#include "API/BruFileFormat.h"
#include "API/HTTPFileFormat.h"
#include "API/WorkspaceScanner.h"
#include "Platform/TextFile.h"
#include "Printers.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSemaphore>
#include <QThreadPool>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using testing_support::readBytes;
using testing_support::TempFolder;

namespace {

const QByteArray kOne = "### One\nGET https://example.com/one\n";

QStringList relativeUrls(const APIService& service) {
    QStringList out;
    for (const APICollectionFile& file : service.collections()) out.append(QDir(*service.root()).relativeFilePath(file.url));
    return out;
}

QStringList environmentNames(const APIService& service) {
    QStringList out;
    for (const APIEnvironment& environment : service.environments()) out.append(environment.name);
    return out;
}

const APICollectionFile* collection(const APIService& service, const QString& url) {
    const auto& all = service.collections();
    const auto it = std::find_if(all.cbegin(), all.cend(), [&](const APICollectionFile& f) { return f.url == url; });
    return it == all.cend() ? nullptr : &*it;
}

} // namespace

TEST(APIServiceScanTest, FindsRequestFilesInFileViewerOrderAndSkipsExcludedFolders) {
    TempFolder ws;
    for (const char* path : {"Upper.HTTP", "x.rest", "item10.http", "item2.http", "b/api.http", "a/api.http", "Dist/ok.http",
                             "node_modules/n.http", "deep/er/dist/d.http", "a/DerivedData/z.http", ".hidden/h.http",
                             ".git/g.http", "src/.build/b.http", ".swiftpm/s.http", ".dot.http", "a.http.bak", "notes.txt"})
        ws.write(path, kOne);
    ws.write("notes.bru", "meta {\n  name: Bru\n}\n\nget {\n  url: https://example.com\n}\n");
    ws.write("comments.http", "# only a comment\n// and another\n");
    ws.write("latin1.http", "### Caf\xe9\nGET https://x\n");
    // A link back to the root must not make the walk loop.
    ASSERT_TRUE(QFile::link(ws.path(), ws.file("loop")));

    APIService service;
    service.setRoot(ws.path());
    service.reload();
    // Equal names stay in walk order, next to each other; digits compare by value.
    EXPECT_EQ(relativeUrls(service), (QStringList{"a/api.http", "b/api.http", "item2.http", "item10.http", "notes.bru",
                                                  "Dist/ok.http", "Upper.HTTP", "x.rest"}));
    EXPECT_EQ(collection(service, ws.file("Upper.HTTP"))->format, &HTTPFileFormat::format());
    EXPECT_EQ(collection(service, ws.file("notes.bru"))->format, &BruFileFormat::format());
    EXPECT_EQ(collection(service, ws.file("notes.bru"))->requests.first().name, QStringLiteral("Bru"));

    // A file with no request appears as soon as it holds one.
    ws.write("comments.http", "# only a comment\n### Now\nGET https://x\n");
    service.reload();
    EXPECT_TRUE(collection(service, ws.file("comments.http")));
}

// The open folder deleted from under the window: a rescan finds nothing and goes on.
TEST(APIServiceScanTest, AFolderGoneFromDiskScansAsEmpty) {
    TempFolder ws;
    ws.write("gone/a.http", kOne);
    APIService service;
    service.setRoot(ws.file("gone"));
    service.reload();
    ASSERT_EQ(service.collections().size(), 1);
    QDir(ws.file("gone")).removeRecursively();
    service.reload();
    EXPECT_TRUE(service.collections().isEmpty());
}

TEST(APIServiceScanTest, EnvironmentsFromBothFileKindsAndTheActiveOneSettles) {
    TempFolder ws;
    ws.write("environments/dev.env", "A=1\nB=x\n");
    ws.write("sub/environments/dev.json", R"({"A": 2})");  // later in the walk: replaces dev whole
    ws.write("environments/prod.JSON", R"({"n": 12345678901234567890, "t": true, "f": false, "z": null})");
    ws.write("environments/list.json", "[1]");
    ws.write("Environments/upper.env", "A=1\n");
    ws.write("env/other.env", "A=1\n");
    ws.write("environments/.env", "A=1\n");
    ws.write("environments/latin1.env", "A=\xe9\n");
    ws.write("environments/item10.env", "");
    ws.write("environments/item2.env", "");

    APIService service;
    QSignalSpy activeChanged(&service, &APIService::activeEnvironmentChanged);
    service.setRoot(ws.path());
    service.reload();
    EXPECT_EQ(environmentNames(service), (QStringList{"dev", "item2", "item10", "prod"}));
    EXPECT_EQ(service.activeEnvironment(), QStringLiteral("dev"));
    EXPECT_EQ(activeChanged.count(), 1);
    EXPECT_EQ(service.environmentValues(), (QMap<QString, QString>{{"A", "2"}}));

    service.setActiveEnvironment(QStringLiteral("prod"));
    service.reload();
    EXPECT_EQ(service.environmentValues(),
              (QMap<QString, QString>{{"n", "12345678901234567890"}, {"t", "true"}, {"f", "false"}, {"z", ""}}));

    // Letter case counts: "Prod" is no environment, so the first one takes over.
    service.setActiveEnvironment(QStringLiteral("Prod"));
    EXPECT_TRUE(service.environmentValues().isEmpty());
    service.reload();
    EXPECT_EQ(service.activeEnvironment(), QStringLiteral("dev"));

    ASSERT_TRUE(QDir(ws.file("environments")).removeRecursively());
    ASSERT_TRUE(QDir(ws.file("sub")).removeRecursively());
    service.reload();
    EXPECT_TRUE(service.environments().isEmpty());
    EXPECT_FALSE(service.activeEnvironment());
    EXPECT_TRUE(service.environmentValues().isEmpty());
}

TEST(APIServiceScanTest, EditsOfTheActiveRequestReachTheFileAcrossRescans) {
    TempFolder ws;
    const QString path = ws.write("api.http",
                                  "### A\nGET https://a\n\n### B\nGET https://b\n\n### C\nGET https://c\n");
    APIService service;
    service.setRoot(ws.path());
    service.reload();
    HTTPRequest active = service.collections().first().requests[1];

    // Each own write is followed by the watcher's rescan; the edits keep coming.
    for (int edit = 1; edit <= 3; ++edit) {
        active.url = QStringLiteral("https://b/%1").arg(edit);
        ASSERT_TRUE(service.update(active, path)) << edit;
        service.reload();
    }
    EXPECT_EQ(readBytes(path), QByteArray("### A\nGET https://a\n\n### B\nGET https://b/3\n\n### C\nGET https://c\n"));

    // Someone else rewrites the file: a request above it and another changed below it.
    ws.write("api.http", "### New\nGET https://n\n\n### A\nGET https://a\n\n### B\nGET https://b/3\n\n### C\nPOST https://c\n");
    service.reload();
    active.url = QStringLiteral("https://b/4");
    ASSERT_TRUE(service.update(active, path));
    EXPECT_EQ(readBytes(path),
              QByteArray("### New\nGET https://n\n\n### A\nGET https://a\n\n### B\nGET https://b/4\n\n### C\nPOST https://c\n"));
    EXPECT_EQ(service.collections().first().requests.size(), 4);
}

namespace {
// Request files in a tree below count other files, scanned, then changed here and there; returns the
// entries the scanner looked at for the changes.
quint64 visitedForChanges(const TempFolder& dir, int count) {
    const QString root = dir.mkdir(QString("w%1").arg(count));
    const QByteArray others = QFile::encodeName(dir.mkdir(QString("w%1/others/deep").arg(count))) + '/';
    for (int i = 0; i < count; ++i) {
        const int fd = ::open((others + QByteArray::number(i) + ".txt").constData(), O_WRONLY | O_CREAT, 0644);
        ::close(fd);
    }
    const auto write = [&](const QString& relative) { dir.write(QString("w%1/").arg(count) + relative, kOne); };
    for (const char* path : {"a/one.http", "a/b/two.http", "a.b/three.http", "z.http", "environments/dev.env"}) write(path);
    APIService service;
    service.setRoot(root);
    service.reload();
    EXPECT_EQ(relativeUrls(service), (QStringList{"a/one.http", "a.b/three.http", "a/b/two.http", "z.http"}));

    const quint64 before = WorkspaceScanner::entriesVisited();
    write("a/b/c/new.http");                               // in a folder made since
    QDir(root + "/a.b").removeRecursively();               // a folder gone with what it held
    write("node_modules/x.http");                          // never scanned
    QFile::remove(root + "/z.http");
    write("a/two.http");                                   // a second file of one name, placed by walk order
    service.reload({"a/b/c", "a.b", "a.b/three.http", "node_modules", "node_modules/x.http", "z.http", "a/two.http",
                    "others/deep/7.txt"});
    const quint64 visited = WorkspaceScanner::entriesVisited() - before;

    APIService fresh;
    fresh.setRoot(root);
    fresh.reload();
    EXPECT_EQ(relativeUrls(service), relativeUrls(fresh));
    QStringList urls, freshUrls;
    for (const APICollectionFile& file : service.collections()) urls << file.url;
    for (const APICollectionFile& file : fresh.collections()) freshUrls << file.url;
    EXPECT_EQ(urls, freshUrls) << "the same walk order for files of one name";
    EXPECT_EQ(environmentNames(service), QStringList{"dev"});
    return visited;
}
} // namespace

// A rescan after changes looks at the changed paths and walks only the folders among them, and ends
// where a full rescan would.
TEST(APIServiceScanTest, ARescanAfterChangesVisitsOnlyWhatChanged) {
    TempFolder dir;
    const quint64 small = visitedForChanges(dir, 1000);
    const quint64 large = visitedForChanges(dir, 50000);
    EXPECT_EQ(large, small);
    EXPECT_LE(large, 12u);
}

// A rescan on another thread leaves the service as it was until it is taken in, then ends as a rescan
// here would, with what changed while it ran.
TEST(APIServiceScanTest, ARescanElsewhereTakesInWhatChangedWhileItRan) {
    TempFolder dir;
    const QString root = dir.mkdir("w");
    dir.write("w/a.http", kOne);
    APIService service;
    service.setRoot(root);
    service.reload();
    dir.write("w/b.http", kOne);
    service.reloadLater();
    QThreadPool::globalInstance()->waitForDone();  // walked, not yet taken in
    EXPECT_EQ(relativeUrls(service), QStringList{"a.http"});
    dir.write("w/c/d.http", kOne);
    QFile::remove(root + "/a.http");
    service.reload(QSet<QString>{"c", "a.http"});
    EXPECT_EQ(relativeUrls(service), QStringList{"a.http"}) << "kept for when the rescan is taken in";
    EXPECT_TRUE(testing_support::waitUntil([&] { return relativeUrls(service) == QStringList({"b.http", "c/d.http"}); }))
        << relativeUrls(service).join(',').toStdString();
}

// A removed tree is told of entry by entry; looking at its top covers the rest.
TEST(APIServiceScanTest, ARemovedTreeIsLookedAtOnceNotEntryByEntry) {
    TempFolder dir;
    const QString root = dir.mkdir("w");
    QSet<QString> gone{"tree"};
    for (int i = 0; i < 500; ++i) gone << dir.write(QString("w/tree/sub/%1.http").arg(i), kOne).mid(root.size() + 1);
    gone << "tree/sub";
    APIService service;
    service.setRoot(root);
    service.reload();
    ASSERT_EQ(service.collections().size(), 500);
    ASSERT_TRUE(QDir(root + "/tree").removeRecursively());
    const quint64 before = WorkspaceScanner::entriesVisited();
    service.reload(gone);
    EXPECT_EQ(WorkspaceScanner::entriesVisited() - before, 1u);
    EXPECT_TRUE(service.collections().isEmpty());
}

// A burst of changes (a checkout) is looked at on another thread: the caller visits nothing, and the
// files found end as a fresh scan finds them.
TEST(APIServiceScanTest, ABurstOfChangesIsLookedAtElsewhere) {
    TempFolder dir;
    const QString root = dir.mkdir("w");
    dir.write("w/a.http", kOne);
    APIService service;
    service.setRoot(root);
    service.reload();
    QSet<QString> burst;
    for (int i = 0; i < 2000; ++i) burst << dir.write(QString("w/n/%1.txt").arg(i), "").mid(root.size() + 1);
    burst << dir.write("w/n/b.http", kOne).mid(root.size() + 1) << "n";
    QFile::remove(root + "/a.http");
    burst << "a.http";
    // Every worker held until the call has returned, so nothing it hands over can have run yet.
    const auto held = std::make_shared<QSemaphore>(), release = std::make_shared<QSemaphore>();
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int workers = pool.maxThreadCount();
    for (int i = 0; i < workers; ++i) pool.start([held, release] {
        held->release();
        release->acquire();
    });
    EXPECT_TRUE(held->tryAcquire(workers, 60'000));
    const quint64 before = WorkspaceScanner::entriesVisited();
    service.reload(burst);
    EXPECT_EQ(WorkspaceScanner::entriesVisited() - before, 0u);
    EXPECT_EQ(relativeUrls(service), QStringList{"a.http"});
    release->release(workers);
    EXPECT_TRUE(testing_support::waitUntil([&] { return relativeUrls(service) == QStringList{"n/b.http"}; }))
        << relativeUrls(service).join(',').toStdString();
}

// A save of one request in a workspace of many request files (one per request, as some tools keep
// them) is told back by the folder watcher: only that file is read again, not every one.
namespace {
quint64 readForOneSave(const TempFolder& dir, int files) {
    const QString root = dir.mkdir(QString("r%1").arg(files));
    for (int i = 0; i < files; ++i)
        dir.write(QString("r%1/api/%2.bru").arg(files).arg(i), "meta {\n  name: R\n}\n\nget {\n  url: https://x\n}\n");
    dir.write(QString("r%1/environments/dev.env").arg(files), "base=https://a\n");
    APIService service;
    service.setRoot(root);
    service.reload();
    EXPECT_EQ(service.collections().size(), files);
    HTTPRequest edited = service.collections().first().requests.first();
    edited.url = QStringLiteral("https://y");
    EXPECT_TRUE(service.update(edited, service.collections().first().url));
    dir.write(QString("r%1/environments/dev.env").arg(files), "base=https://b\n");
    const quint64 before = TextFile::filesRead();
    service.reload(QSet<QString>{QDir(root).relativeFilePath(service.collections().first().url), "environments/dev.env"});
    EXPECT_EQ(service.collections().size(), files);
    EXPECT_EQ(service.collections().first().requests.first().url, QStringLiteral("https://y"));
    EXPECT_EQ(service.environmentValues().value("base"), QStringLiteral("https://b"));
    // Something changed in a folder: what it holds is looked at again.
    dir.write(QString("r%1/api/0.bru").arg(files), "meta {\n  name: Z\n}\n\nget {\n  url: https://z\n}\n");
    service.reload(QSet<QString>{"api"});
    EXPECT_EQ(service.collections().first().requests.first().name, QStringLiteral("Z"));
    return TextFile::filesRead() - before - files;
}
} // namespace

TEST(APIServiceScanTest, ASaveToldBackReadsOnlyTheFilesThatChanged) {
    TempFolder dir;
    const quint64 small = readForOneSave(dir, 10);
    const quint64 large = readForOneSave(dir, 400);
    EXPECT_EQ(large, small);
    EXPECT_LE(large, 2u);
}
