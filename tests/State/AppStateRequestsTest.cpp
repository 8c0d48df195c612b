#include <gtest/gtest.h>

#include "API/LoopbackServer.h"
#include "AppState.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"

using namespace testing_support;
using loopback::LoopbackServer;

namespace {
// A folder holding one request file, opened.
struct AppStateRequests : ::testing::Test {
    TempFolder dir;
    AppState state;

    const APICollectionFile* open(const QByteArray& requests) {
        dir.write("proj/api.http", requests);
        state.openFolder(dir.file("proj"));
        // The folder is scanned for request files on another thread.
        if (!waitUntil([&] { return !state.api().isScanning(); })) ADD_FAILURE() << "the scan never ended";
        return file();
    }
    const APICollectionFile* file() {
        for (const auto& f : state.api().collections())
            if (f.url.endsWith("/api.http")) return &f;
        ADD_FAILURE() << "no api.http";
        return nullptr;
    }
};
} // namespace

TEST_F(AppStateRequests, EditsReachTheFileAcrossRescans) {
    const APICollectionFile* file = open("### First\nGET https://example.com/one\n\n### Second\nGET https://example.com/two\n");
    ASSERT_TRUE(file);
    state.openRequest(file->requests[1], *file);

    HTTPRequest edited = state.activeRequest()->request;
    edited.url = "https://example.com/edited";
    state.updateActiveRequest(edited);
    EXPECT_TRUE(readBytes(dir.file("proj/api.http")).contains("https://example.com/edited"));

    // The program's own write is seen by the watcher, which rescans; later edits must still land.
    state.api().reload();
    edited.url = "https://example.com/again";
    state.updateActiveRequest(edited);
    const QByteArray bytes = readBytes(dir.file("proj/api.http"));
    EXPECT_TRUE(bytes.contains("https://example.com/again"));
    EXPECT_TRUE(bytes.contains("https://example.com/one"));
}

TEST_F(AppStateRequests, TheActiveRequestFollowsItsFileOnlyWhenTheFileChanged) {
    const APICollectionFile* file = open("### First\nGET https://example.com/one\n");
    ASSERT_TRUE(file);
    HTTPRequest older = file->requests[0];
    older.url = "https://example.com/older";
    state.history().record(older, older.url, HTTPResponse{});
    state.openRequest(file->requests[0], *file);
    state.replay(state.history().entries().first().id);
    state.api().reload();  // nothing changed on disk: the replayed version stays shown
    EXPECT_EQ(state.activeRequest()->request.url, "https://example.com/older");

    dir.write("proj/api.http", "### First\nGET https://example.com/one\nX-Outside: 1\n");
    state.api().reload();
    ASSERT_EQ(state.activeRequest()->request.headers.size(), 1);
    EXPECT_EQ(state.activeRequest()->request.url, "https://example.com/one");
}

TEST_F(AppStateRequests, ResponsesBelongToTheRequestThatWasSent) {
    LoopbackServer server;
    server.respondWith({418, "I'm a teapot", {}, "short and stout"});
    const APICollectionFile file = *open(QString("### A\nGET %1\n\n### B\nGET %2\n").arg(server.url("/a"), server.url("/b")).toUtf8());

    state.openRequest(file.requests[0], file);
    state.sendActiveRequest();
    state.sendActiveRequest();
    EXPECT_TRUE(state.isSending());
    state.openRequest(file.requests[1], file);  // the answers arrive under another request
    ASSERT_TRUE(waitUntil([&] { return !state.isSending(); }));
    EXPECT_FALSE(state.lastResponse().has_value());
    ASSERT_EQ(state.history().entries().size(), 2);

    state.sendActiveRequest();
    ASSERT_TRUE(waitUntil([&] { return !state.isSending(); }));
    ASSERT_TRUE(state.lastResponse().has_value());
    EXPECT_EQ(state.lastResponse()->status, 418);
    EXPECT_EQ(state.history().entries().size(), 3);
}

TEST_F(AppStateRequests, ReplayOfADeletedRequestTakesNoEdits) {
    APICollectionFile file = *open("### Gone\nGET http://127.0.0.1:1/x\n\n### Kept\nGET http://127.0.0.1:1/y\n");
    state.openRequest(file.requests[0], file);
    state.sendActiveRequest();  // port 1 refuses: a status-0 response, still recorded
    ASSERT_TRUE(waitUntil([&] { return !state.isSending(); }));
    ASSERT_EQ(state.lastResponse()->status, 0);
    const QUuid entry = state.history().entries().first().id;

    ASSERT_TRUE(state.api().deleteRequest(file.requests[0], file.url));
    state.api().reload();
    file = *this->file();
    state.openRequest(file.requests[0], file);
    state.replay(entry);
    ASSERT_TRUE(state.activeRequest().has_value());
    EXPECT_TRUE(state.activeRequest()->detached);
    const QByteArray before = readBytes(dir.file("proj/api.http"));
    HTTPRequest edited = state.activeRequest()->request;
    edited.url = "http://changed";
    state.updateActiveRequest(edited);
    EXPECT_EQ(readBytes(dir.file("proj/api.http")), before);
}

TEST_F(AppStateRequests, EditsReachACollectionAfterItIsRenamed) {
    dir.mkdir("proj");
    state.openFolder(dir.file("proj"));
    const auto created = state.api().createCollection("abc");
    ASSERT_TRUE(created.has_value());
    state.openNewlyCreated(*created, "New request");
    ASSERT_TRUE(state.activeRequest().has_value());

    ASSERT_TRUE(state.api().renameCollection(*created, "Renamed Coll"));
    const QString moved = dir.file("proj/Renamed Coll/Renamed Coll.http");
    ASSERT_TRUE(state.activeRequest().has_value());
    EXPECT_EQ(state.activeRequest()->file.url, moved);

    HTTPRequest edited = state.activeRequest()->request;
    edited.url = "https://example.com/typed";
    state.updateActiveRequest(edited);
    EXPECT_TRUE(readBytes(moved).contains("GET https://example.com/typed")) << readBytes(moved).constData();
}

TEST_F(AppStateRequests, AnEditAfterAReplayChangesOnlyWhatWasEdited) {
    LoopbackServer server;
    server.respondWith({200, "OK", {}, "fine"});
    dir.write("proj/req.bru", QString("meta {\n  name: Req\n  type: http\n  seq: 1\n}\n\nget {\n  url: %1\n  body: none\n"
                                      "  auth: bearer\n}\n\nauth:bearer {\n  token: secret\n}\n")
                                  .arg(server.url("/a"))
                                  .toUtf8());
    state.openFolder(dir.file("proj"));
    ASSERT_TRUE(waitUntil([&] { return !state.api().isScanning(); }));
    ASSERT_EQ(state.api().collections().size(), 1);
    const APICollectionFile file = state.api().collections().first();
    state.openRequest(file.requests[0], file);
    state.sendActiveRequest();
    ASSERT_TRUE(waitUntil([&] { return !state.isSending(); }));
    const QUuid oldest = state.history().entries().first().id;

    // The user swaps the bearer token for an API key and adds a query parameter.
    HTTPRequest edited = state.activeRequest()->request;
    edited.headers = {KeyValueItem{.key = "x-api-key", .value = "k1"}};
    state.updateActiveRequest(edited);
    edited.params = {KeyValueItem{.key = "page", .value = "2"}};
    state.updateActiveRequest(edited);
    const QByteArray before = readBytes(dir.file("proj/req.bru"));
    ASSERT_TRUE(before.contains("x-api-key: k1"));
    ASSERT_TRUE(before.contains("params:query"));

    state.replay(oldest);
    HTTPRequest typed = state.activeRequest()->request;
    typed.url += "x";
    state.updateActiveRequest(typed);
    const QByteArray after = readBytes(dir.file("proj/req.bru"));
    EXPECT_TRUE(after.contains(server.url("/ax").toUtf8())) << after.constData();
    EXPECT_TRUE(after.contains("x-api-key: k1")) << after.constData();
    EXPECT_TRUE(after.contains("page: 2")) << after.constData();
    EXPECT_TRUE(after.contains("auth: none")) << after.constData();
    // Only the URL line differs from the file before the keystroke.
    EXPECT_EQ(QString(after).replace(server.url("/ax"), server.url("/a")), QString(before));
    // The editor now shows what the file holds.
    EXPECT_EQ(state.activeRequest()->request.headers.size(), 1);
    EXPECT_EQ(state.activeRequest()->request.params.size(), 1);
}
