// What the collection panel's buttons cost the window's thread.
#include <gtest/gtest.h>

#include "API/WorkspaceScanner.h"
#include "AppState.h"
#include "TestSupport.h"
#include "Views/HTTP/CollectionActions.h"

using testing_support::TempFolder;
using testing_support::waitUntil;

// The Rescan button reads the request files elsewhere: the window's thread reads none of their
// bytes, and what changed on disk is still found.
TEST(CollectionActions, RescanReadsNoFileOnTheWindowsThread) {
    TempFolder dir;
    const QByteArray requests = QByteArray("### R\nGET https://example.com/" + QByteArray(2000, 'p') + "\n\n").repeated(20);
    for (int i = 0; i < 6; ++i) dir.write(QString("c%1/c%1.http").arg(i), requests);
    AppState app;
    app.openFolder(dir.path());
    ASSERT_TRUE(waitUntil([&] { return !app.api().isScanning(); }));
    ASSERT_EQ(app.api().collections().size(), 6);

    dir.write("later/later.http", requests);
    const quint64 before = WorkspaceScanner::bytesReadHere();
    CollectionActions(app).rescan();
    ASSERT_TRUE(waitUntil([&] { return !app.api().isScanning(); }));
    EXPECT_EQ(WorkspaceScanner::bytesReadHere() - before, 0u);
    EXPECT_EQ(app.api().collections().size(), 7);
}
