// Changing the workspace's request files and environments on disk: exact trees and bytes.
#include <gtest/gtest.h>

#include "API/APIService.h"
#include "API/FileNameSanitizer.h"
#include "API/LineMerge.h"
#include "Printers.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>

using testing_support::readBytes;
using testing_support::ScriptedPrompter;
using testing_support::TempFolder;

namespace {

const QByteArray kNewCollection = "### New request\nGET https://\n";
const QByteArray kBru = "meta {\n  name: One\n}\n\nget {\n  url: https://x\n}\n";
const QByteArray kBlock = "\n# Duzizoda Voza \xE2\x80\x94 local secrets\nenvironments/prod.env\n";

// Every entry under the folder, hidden ones too, folders with a trailing slash.
QStringList tree(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out.append(QDir(folder).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : ""));
    }
    out.sort();
    return out;
}

QStringList names(const APICollectionFile& file) {
    QStringList out;
    for (const HTTPRequest& request : file.requests) out.append(request.name);
    return out;
}

// The test process has a data folder of its own: its Trash can be emptied so that items keep their names.
QString trash() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash"; }
bool inTrash(const QString& name) { return QFile::exists(trash() + "/files/" + name); }

// A workspace folder inside a scratch folder, so that anything written beside it shows.
struct Workspace {
    TempFolder outer;
    QString root = outer.mkdir("ws");
    APIService service;
    Workspace() {
        service.setRoot(root);
        service.reload();
    }
    QString file(const QString& relative) const { return root + "/" + relative; }
    QString write(const QString& relative, const QByteArray& bytes) const { return outer.write("ws/" + relative, bytes); }
    const APICollectionFile& only() const { return service.collections().at(0); }
};

} // namespace

TEST(APIServiceCollectionTest, CreateWritesTheStarterFileOnceUnderASafeName) {
    Workspace ws;
    const auto url = ws.service.createCollection(QStringLiteral("Users"));
    ASSERT_EQ(url, ws.file("Users/Users.http"));
    EXPECT_EQ(readBytes(*url), kNewCollection);
    EXPECT_EQ(ws.only().url, *url);
    EXPECT_EQ(names(ws.only()), QStringList{"New request"});

    ws.write("Users/Users.http", "### Mine\nPOST https://kept\n");
    EXPECT_EQ(ws.service.createCollection(QStringLiteral("Users")), *url);
    EXPECT_EQ(readBytes(*url), QByteArray("### Mine\nPOST https://kept\n"));
    EXPECT_EQ(ws.service.createCollection(QStringLiteral("a/b:c")), ws.file("abc/abc.http"));
    EXPECT_FALSE(ws.service.createCollection(QString()));
    EXPECT_FALSE(APIService().createCollection(QStringLiteral("x")));

    // Names never reach outside the workspace or hide the file.
    EXPECT_EQ(FileNameSanitizer::sanitizeFileName(QStringLiteral(" \t.. .hidden\u00a0")), QStringLiteral("hidden"));
    QSignalSpy failed(&ws.service, &APIService::operationFailed);
    for (const char* name : {".", "..", "/", "\\", "???"}) EXPECT_FALSE(ws.service.createCollection(name)) << name;
    EXPECT_FALSE(ws.service.createEnvironment(QStringLiteral(".."), true));
    EXPECT_EQ(failed.count(), 6);
    EXPECT_EQ(ws.service.createCollection(QStringLiteral("../evil")), ws.file("evil/evil.http"));
    EXPECT_EQ(ws.service.createEnvironment(QStringLiteral("../../x"), false), ws.file("environments/x.env"));
    EXPECT_EQ(tree(ws.outer.path()), (QStringList{"ws/", "ws/Users/", "ws/Users/Users.http", "ws/abc/", "ws/abc/abc.http",
                                                  "ws/environments/", "ws/environments/x.env", "ws/evil/", "ws/evil/evil.http"}));
}

TEST(APIServiceRequestTest, AddDuplicateRenameAndDeleteRewriteTheFile) {
    Workspace ws;
    const QString url = ws.write("api.http", "### A\nGET https://a\n\n### B\nGET https://b\n\n### C\nGET https://c\n");
    ws.service.reload();
    const HTTPRequest b = ws.only().requests[1];
    const auto copy = ws.service.duplicate(b, url);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->id, b.id);
    EXPECT_EQ(names(ws.only()), (QStringList{"A", "B", "B copy", "C"}));
    EXPECT_EQ(ws.service.duplicate(*copy, url)->name, QStringLiteral("B copy copy"));
    EXPECT_EQ(ws.service.addRequest(QString(), url)->name, QStringLiteral("New request"));
    ws.service.reload();  // as the folder watcher would after the write
    EXPECT_EQ(ws.service.addRequest(QStringLiteral("Get user"), url)->name, QStringLiteral("Get user"));
    EXPECT_TRUE(ws.service.rename(ws.only().requests[0], QStringLiteral("A2"), url));
    EXPECT_TRUE(ws.service.deleteRequest(ws.only().requests[2], url));
    EXPECT_EQ(QString::fromUtf8(readBytes(url)), QStringLiteral("### A2\nGET https://a\n\n### B\nGET https://b\n\n"
                                                                "### B copy copy\nGET https://b\n\n### C\nGET https://c\n\n"
                                                                "### New request\nGET https://\n\n\n### Get user\nGET https://\n"));
    // What was written reads back as what the list shows, ids included.
    const QList<HTTPRequest> shown = ws.only().requests;
    ws.service.reload();
    EXPECT_EQ(ws.only().requests, shown);
    EXPECT_FALSE(ws.service.duplicate(HTTPRequest{}, url));
    EXPECT_FALSE(ws.service.addRequest(QStringLiteral("x"), ws.file("none.http")));

    // The last request gone: the file stays, empty, and the rescan no longer lists it.
    const QString one = ws.write("one.http", "### Only\nGET https://x\n");
    ws.service.reload();
    EXPECT_TRUE(ws.service.deleteRequest(ws.service.collections().at(1).requests[0], one));
    EXPECT_EQ(readBytes(one), QByteArray());
    ws.service.reload();
    EXPECT_EQ(ws.service.collections().size(), 1);
}

TEST(APIServiceRequestTest, NothingIsAcceptedThatCouldNotReachTheDisk) {
    Workspace ws;
    const QString bru = ws.write("one.bru", kBru);  // a .bru file holds a single request
    const QString url = ws.write("api.http", "### A\nGET https://a\n");
    ws.service.reload();
    EXPECT_FALSE(ws.service.addRequest(QStringLiteral("Two"), bru));
    EXPECT_FALSE(ws.service.duplicate(ws.service.collections().at(1).requests[0], bru));
    EXPECT_EQ(readBytes(bru), kBru);

    HTTPRequest edited = ws.only().requests[0];
    edited.url = QStringLiteral("https://edited");
    ASSERT_TRUE(QFile::remove(url) && QDir().mkdir(url));  // the file became a folder: no write can succeed
    QSignalSpy failed(&ws.service, &APIService::operationFailed);
    EXPECT_FALSE(ws.service.update(edited, url));
    EXPECT_EQ(failed.count(), 1);
    EXPECT_TRUE(ws.service.lastError().contains(QStringLiteral("api.http")));
    EXPECT_EQ(ws.only().requests[0].url, QStringLiteral("https://edited"));
}

// A .http file has no way to write a line break into a name or a header, nor a body line that
// starts with "###": written, they would read back as other requests and the rest would be lost.
TEST(APIServiceRequestTest, WhatATextRequestFileCannotHoldIsNotSavedAndSaysWhy) {
    Workspace ws;
    const QByteArray original = "### A\nPOST https://a\nContent-Type: text/plain\n\nhello\n\n### B\nGET https://b\n";
    const QString url = ws.write("api.http", original);
    ws.service.reload();
    const HTTPRequest stored = ws.only().requests[0];
    const QList<std::function<void(HTTPRequest&)>> edits = {
        [](HTTPRequest& r) { r.body = QStringLiteral("# Notes\n### Heading\nmore"); },
        [](HTTPRequest& r) { r.name = QStringLiteral("two\nlines"); },
        [](HTTPRequest& r) { r.url = QStringLiteral("https://a/\nGET https://c"); },
        [](HTTPRequest& r) { r.headers.append(KeyValueItem{.key = QStringLiteral("X-A"), .value = QStringLiteral("1\n2")}); },
        [](HTTPRequest& r) { r.headers.append(KeyValueItem{.key = QStringLiteral("X-A\nB"), .value = QStringLiteral("1"), .enabled = false}); },
    };
    for (qsizetype i = 0; i < edits.size(); ++i) {
        SCOPED_TRACE(i);
        HTTPRequest edited = stored;
        edits[i](edited);
        QSignalSpy failed(&ws.service, &APIService::operationFailed);
        EXPECT_FALSE(ws.service.update(edited, url));
        EXPECT_EQ(failed.count(), 1);
        EXPECT_TRUE(ws.service.lastError().contains(QStringLiteral("api.http"))) << ws.service.lastError().toStdString();
        EXPECT_EQ(readBytes(url), original);
    }

    // A body line that only holds "###" further in, or a request of a format that can hold them, is written.
    HTTPRequest edited = stored;
    edited.body = QStringLiteral("see ### here\n ### indented");
    EXPECT_TRUE(ws.service.update(edited, url));
    ws.service.reload();
    EXPECT_EQ(ws.only().requests.size(), 2);
    EXPECT_EQ(ws.only().requests[0].body, edited.body);

    const QString bru = ws.write("one.bru", kBru);
    ws.service.reload();
    for (const APICollectionFile& file : ws.service.collections()) {
        if (file.url != bru) continue;
        HTTPRequest one = file.requests[0];
        one.bodyKind = BodyKind::text;
        one.body = QStringLiteral("# Notes\n### Heading\nmore");
        EXPECT_TRUE(ws.service.update(one, bru));
    }
}

TEST(APIServiceRequestTest, AnEditNeverWritesOverAChangeMadeOutside) {
    ScriptedPrompter prompter;
    Workspace ws;
    const QByteArray original = "### Echo JSON\nPOST https://e/echo\nContent-Type: application/json\n\n{\"a\":1}\n\n"
                                "### Other\nGET https://e/other\n";
    const QString url = ws.write("api.http", original);
    ws.service.reload();
    HTTPRequest echo = ws.only().requests[0];

    // Outside: a header for the request being edited, another request renamed. No rescan yet.
    QByteArray outside = original;
    outside.replace("application/json\n", "application/json\nX-Outside: 1\n").replace("### Other", "### Renamed");
    ws.write("api.http", outside);
    echo.url = QStringLiteral("https://e/echo2");
    EXPECT_TRUE(ws.service.update(echo, url));
    QByteArray merged = outside;
    merged.replace("https://e/echo\n", "https://e/echo2\n");
    EXPECT_EQ(readBytes(url), merged);
    EXPECT_EQ(names(ws.only()), (QStringList{"Echo JSON", "Renamed"}));
    EXPECT_EQ(ws.only().requests[0].headers.size(), 2);
    EXPECT_TRUE(prompter.asked.isEmpty());

    // Both sides changed the same line: the user is asked; keeping the disk's version drops the edit.
    const HTTPRequest mine = ws.only().requests[0];
    QByteArray theirs = merged;
    theirs.replace("https://e/echo2", "https://e/theirs");
    ws.write("api.http", theirs);
    HTTPRequest edit = mine;
    edit.url = QStringLiteral("https://e/mine");
    prompter.answers = {1};
    EXPECT_FALSE(ws.service.update(edit, url));
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].buttons.first(), QStringLiteral("Overwrite"));
    EXPECT_EQ(readBytes(url), theirs);
    EXPECT_EQ(ws.only().requests[0].url, QStringLiteral("https://e/theirs"));
    EXPECT_EQ(ws.only().requests[0].id, mine.id);
    // Overwriting puts the edit over the disk's version.
    ws.write("api.http", merged);
    prompter.answers = {0};
    EXPECT_TRUE(ws.service.update(edit, url));
    EXPECT_TRUE(readBytes(url).contains("POST https://e/mine\n"));
}

// A change on disk that cannot be read as text (another program wrote it in Latin-1) cannot be
// merged: it is not written over, and the failure says so.
TEST(APIServiceRequestTest, AChangeOnDiskThatCannotBeReadIsNotWrittenOver) {
    ScriptedPrompter prompter;
    Workspace ws;
    const QString url = ws.write("api.http", "### Caf\xC3\xA9\nGET https://e/1\n");
    ws.service.reload();
    HTTPRequest edit = ws.only().requests[0];
    const QByteArray outside = "### Caf\xE9\nGET https://e/1\nX-Outside: 1\n";
    ws.write("api.http", outside);
    edit.url = QStringLiteral("https://e/2");
    EXPECT_FALSE(ws.service.update(edit, url));
    EXPECT_EQ(readBytes(url), outside);
    EXPECT_TRUE(ws.service.lastError().contains("changed on disk")) << ws.service.lastError().toStdString();
    EXPECT_TRUE(prompter.asked.isEmpty());
}

TEST(LineMergeTest, KeepsWhatEachSideChangedAndRefusesWhatBothChanged) {
    const QString base = QStringLiteral("a\nb\nc\nd\n");
    struct Case {
        QString mine, theirs;
        std::optional<QString> merged;
    };
    const QList<Case> cases{
        {"a\nB\nc\nd\n", "a\nb\nc\nD\n", QString("a\nB\nc\nD\n")},
        {"a\nB\nc\nd\n", "a\nb\nx\nc\nd\n", QString("a\nB\nx\nc\nd\n")},     // added right after the changed line
        {"a\nB\nc\nd\n", "a\nx\nb\nc\nd\n", QString("a\nx\nB\nc\nd\n")},     // and right before it
        {"a\nc\nd\n", "a\nc\nd\n", QString("a\nc\nd\n")},                     // the same change on both sides
        {"a\nB\nc\nd\n", "a\nX\nc\nd\n", std::nullopt},
        {"a\nb\nc\nd\ne\n", "a\nb\nc\nd\nf\n", std::nullopt},
        {"a\nB\nc\nd\n", "a\r\nb\r\nc\r\nd\r\n", std::nullopt},           // every line changed there
        {"a\nb\nc\nd\n", "x", QString("x")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LineMerge::merge(base, c.mine, c.theirs), c.merged) << c.mine.toStdString() << " / " << c.theirs.toStdString();
}

TEST(APIServiceCollectionTest, RenameMovesTheFileAndTheFolderMadeForIt) {
    Workspace ws;
    ws.write("x/x.http", kNewCollection);
    ws.write("k/k.http", kNewCollection);
    ws.write("k/.DS_Store", "");
    ws.write("api.rest", kNewCollection);
    ws.write("sub/one.bru", kBru);
    ws.service.reload();
    const auto idIn = [&](const QString& relative) {
        for (const APICollectionFile& file : ws.service.collections())
            if (file.url == ws.file(relative) && !file.requests.isEmpty()) return file.requests[0].id;
        return QUuid();
    };
    const QUuid moved = idIn("x/x.http");
    ASSERT_FALSE(moved.isNull());
    EXPECT_TRUE(ws.service.renameCollection(ws.file("x/x.http"), QStringLiteral("y")));
    EXPECT_EQ(idIn("y/y.http"), moved) << "a request being edited must still find its file, folder moved and all";
    EXPECT_TRUE(ws.service.renameCollection(ws.file("k/k.http"), QStringLiteral("z")));
    EXPECT_TRUE(ws.service.renameCollection(ws.file("api.rest"), QStringLiteral("api")));
    EXPECT_TRUE(ws.service.renameCollection(ws.file("sub/one.bru"), QStringLiteral("two")));
    EXPECT_FALSE(ws.service.renameCollection(ws.file("api.http"), QStringLiteral("???")));
    ws.write("y/taken.http", "### Taken\nGET https://t\n");
    EXPECT_FALSE(ws.service.renameCollection(ws.file("y/y.http"), QStringLiteral("taken")));  // never overwrites
    EXPECT_EQ(tree(ws.root), (QStringList{"api.http", "k/", "k/.DS_Store", "k/z.http", "sub/", "sub/two.bru", "y/",
                                          "y/taken.http", "y/y.http"}));
    EXPECT_EQ(readBytes(ws.file("y/y.http")), kNewCollection);
}

TEST(APIServiceCollectionTest, DeleteTakesOnlyAnEmptyCollectionFolderAlongNeverTheRoot) {
    ASSERT_TRUE(QDir(trash()).removeRecursively());
    Workspace ws;
    ws.service.createCollection(QStringLiteral("Gone"));
    ws.service.createCollection(QStringLiteral("Kept"));
    ws.write("Kept/.hidden", "");
    ws.write("reqs/a.http", kNewCollection);
    ws.service.reload();
    QSignalSpy failed(&ws.service, &APIService::operationFailed);
    EXPECT_TRUE(ws.service.deleteCollection(ws.file("Gone/Gone.http")));
    EXPECT_TRUE(ws.service.deleteCollection(ws.file("Kept/Kept.http")));
    EXPECT_TRUE(ws.service.deleteCollection(ws.file("reqs/a.http")));  // a folder of the user's own stays
    EXPECT_EQ(failed.count(), 0);
    EXPECT_EQ(tree(ws.root), (QStringList{"Kept/", "Kept/.hidden", "reqs/"}));
    EXPECT_TRUE(inTrash("Gone"));
    EXPECT_TRUE(ws.service.collections().isEmpty());

    // A root named like its only file: renaming or deleting the file leaves the root in place.
    TempFolder outer;
    const QString root = outer.mkdir("solo");
    outer.write("solo/solo.http", kNewCollection);
    APIService service;
    service.setRoot(root);
    service.reload();
    EXPECT_TRUE(service.deleteCollection(root + "/solo.http"));
    EXPECT_TRUE(inTrash("solo.http"));
    EXPECT_EQ(tree(outer.path()), QStringList{"solo/"});
    outer.write("solo/solo.http", kNewCollection);
    EXPECT_TRUE(service.renameCollection(root + "/solo.http", QStringLiteral("other")));
    EXPECT_EQ(tree(outer.path()), (QStringList{"solo/", "solo/other.http"}));
    EXPECT_FALSE(service.deleteCollection(root));
    EXPECT_FALSE(service.deleteCollection(outer.path() + "/elsewhere.http"));
    EXPECT_FALSE(service.deleteCollection(outer.write("solo/notes.txt", "")));
    EXPECT_TRUE(QFile::exists(root + "/notes.txt"));
    EXPECT_TRUE(QFile::exists(root + "/other.http"));
}

TEST(APIServiceEnvironmentTest, SecretsEnvironmentIsWrittenIgnoredOnceAndMadeActive) {
    Workspace ws;
    const auto url = ws.service.createEnvironment(QStringLiteral("prod"), true);
    ASSERT_EQ(url, ws.file("environments/prod.env"));
    const QByteArray secrets = "# Secrets \xE2\x80\x94 keep out of git\n# api_token=...\n";
    EXPECT_EQ(readBytes(*url), secrets);
    EXPECT_EQ(readBytes(ws.file(".gitignore")), kBlock);
    EXPECT_EQ(ws.service.activeEnvironment(), QStringLiteral("prod"));
    ws.service.createEnvironment(QStringLiteral("prod"), true);
    EXPECT_EQ(readBytes(ws.file(".gitignore")), kBlock);
    // A name git would read as a pattern is escaped.
    ws.service.createEnvironment(QStringLiteral("[x]"), true);
    EXPECT_EQ(readBytes(ws.file(".gitignore")), kBlock + QByteArray(kBlock).replace("prod", "\\[x]"));

    const struct { QByteArray before, after; } cases[] = {
        {"  environments/prod.env  \n", "  environments/prod.env  \n"},
        {"a\r\nenvironments/prod.env\r\n", "a\r\nenvironments/prod.env\r\n"},
        {"node_modules", "node_modules\n" + kBlock},
        {"\xff\xfe not text\n", "\xff\xfe not text\n" + kBlock},
    };
    for (const auto& c : cases) {
        Workspace other;
        other.write(".gitignore", c.before);
        other.service.createEnvironment(QStringLiteral("prod"), true);
        EXPECT_EQ(readBytes(other.file(".gitignore")), c.after) << c.before.toStdString();
    }
}

TEST(APIServiceEnvironmentTest, PlainEnvironmentKeepsAnExistingFileAndBecomesActive) {
    Workspace ws;
    ws.write("environments/dev.env", "A=1\n");
    ws.write("environments/alpha.env", "B=2\n");
    ws.service.reload();
    EXPECT_EQ(ws.service.createEnvironment(QStringLiteral("dev"), false), ws.file("environments/dev.env"));
    EXPECT_EQ(readBytes(ws.file("environments/dev.env")), QByteArray("A=1\n"));
    EXPECT_EQ(ws.service.environmentValues(), (QMap<QString, QString>{{"A", "1"}}));
    EXPECT_FALSE(QFile::exists(ws.file(".gitignore")));
}

TEST(APIServiceCollectionTest, AFileMovedOutsideKeepsItsRequestsSoAnEditStillReachesIt) {
    Workspace ws;
    const QByteArray text = "### One\nGET https://e/one\n\n### Two\nGET https://e/two\n";
    ws.write("a/a.http", text);
    ws.write("b.bru", kBru);
    ws.service.reload();
    const auto find = [&](const QString& relative) -> const APICollectionFile* {
        for (const APICollectionFile& file : ws.service.collections())
            if (file.url == ws.file(relative)) return &file;
        return nullptr;
    };
    ASSERT_TRUE(find("a/a.http") && find("b.bru"));
    HTTPRequest two = find("a/a.http")->requests[1];
    const QUuid one = find("b.bru")->requests[0].id;

    // Renamed in a terminal or the file tree: only the changed paths are looked at again.
    ASSERT_TRUE(QFile::rename(ws.file("a/a.http"), ws.file("a/moved.http")));
    ws.service.reload(QSet<QString>{"a/a.http", "a/moved.http"});
    ASSERT_TRUE(find("a/moved.http"));
    EXPECT_EQ(find("a/moved.http")->requests[1].id, two.id);
    two.url = QStringLiteral("https://e/two2");
    EXPECT_TRUE(ws.service.update(two, ws.file("a/moved.http")));
    EXPECT_EQ(readBytes(ws.file("a/moved.http")), QByteArray(text).replace("e/two\n", "e/two2\n"));

    // A whole folder moved, seen by a full rescan.
    ASSERT_TRUE(QDir(ws.root).rename("a", "c"));
    ASSERT_TRUE(QDir(ws.root).mkdir("d") && QFile::rename(ws.file("b.bru"), ws.file("d/b.bru")));
    ws.service.reload();
    ASSERT_TRUE(find("c/moved.http") && find("d/b.bru"));
    EXPECT_EQ(find("c/moved.http")->requests[1].id, two.id);
    EXPECT_EQ(find("d/b.bru")->requests[0].id, one);

    // A copy is another file: one of the two keeps the ids, never both.
    ASSERT_TRUE(QFile::copy(ws.file("c/moved.http"), ws.file("c/copy.http")));
    ws.service.reload();
    ASSERT_TRUE(find("c/copy.http") && find("c/moved.http"));
    EXPECT_EQ(find("c/moved.http")->requests[1].id, two.id);
    EXPECT_NE(find("c/copy.http")->requests[1].id, two.id);

    // Two files of one text moved at once: neither can be told from the other, so neither keeps ids.
    ASSERT_TRUE(QFile::remove(ws.file("c/moved.http")));
    ws.service.reload();
    const QUuid copied = find("c/copy.http")->requests[0].id;
    ws.write("c/twin.http", readBytes(ws.file("c/copy.http")));
    ws.service.reload();
    const QUuid twin = find("c/twin.http")->requests[0].id;
    ASSERT_TRUE(QFile::rename(ws.file("c/copy.http"), ws.file("c/copy2.http")) &&
                QFile::rename(ws.file("c/twin.http"), ws.file("c/twin2.http")));
    ws.service.reload();
    ASSERT_TRUE(find("c/copy2.http") && find("c/twin2.http"));
    for (const QUuid& id : {find("c/copy2.http")->requests[0].id, find("c/twin2.http")->requests[0].id})
        EXPECT_TRUE(id != copied && id != twin);
}
