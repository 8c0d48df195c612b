// The in-memory history of sends: order, limit, copies and clearing.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "API/ResponseHistory.h"
#include "Printers.h"

namespace {

HTTPRequest namedRequest(const QString& name, const QString& url = QStringLiteral("{{base}}/x")) {
    HTTPRequest r;
    r.name = name;
    r.method = HTTPMethod::patch;
    r.url = url;
    return r;
}

HTTPResponse responseWith(int status, const QByteArray& body = "b") {
    HTTPResponse response;
    response.status = status;
    response.statusText = QStringLiteral("S%1").arg(status);
    response.body = body;
    response.size = body.size();
    response.duration = 0.25;
    return response;
}

} // namespace

TEST(ResponseHistory, RecordsNewestFirstWithCopies) {
    ResponseHistory history;
    QSignalSpy changed(&history, &ResponseHistory::entriesChanged);
    HTTPRequest r = namedRequest("First");
    history.record(r, "http://h/x", responseWith(200, "one"));
    history.record(r, "http://h/x", responseWith(201, "two"));
    EXPECT_EQ(changed.count(), 2);

    ASSERT_EQ(history.entries().size(), 2);
    const ResponseHistoryEntry newest = history.entries()[0];
    const ResponseHistoryEntry oldest = history.entries()[1];
    EXPECT_NE(newest.id, oldest.id);
    EXPECT_GE(newest.timestamp, oldest.timestamp);
    // The resolved URL given, not the request's.
    EXPECT_EQ(newest, (ResponseHistoryEntry{newest.id, newest.timestamp, "First", HTTPMethod::patch, "http://h/x", 201, "S201", 0.25, 3}));
    EXPECT_EQ(history.response(oldest.id)->body, "one");
    EXPECT_EQ(history.response(newest.id)->body, "two");

    // Later edits of the request leave the snapshots alone.
    r.name = "Edited";
    r.url = "http://other/";
    EXPECT_EQ(history.request(oldest.id)->name, "First");
    EXPECT_EQ(history.request(oldest.id)->url, "{{base}}/x");
    EXPECT_EQ(history.request(oldest.id)->id, r.id);
}

TEST(ResponseHistory, KeepsTheLatestFiftyAndForgetsTheRest) {
    ResponseHistory history;
    QList<QUuid> ids;
    for (int i = 0; i < ResponseHistory::maxEntries + 1; ++i) {
        history.record(namedRequest(QString::number(i)), "u", responseWith(200 + i));
        ids << history.entries().front().id;
    }
    ASSERT_EQ(history.entries().size(), 50);
    EXPECT_EQ(history.entries().front().requestName, "50");
    EXPECT_EQ(history.entries().back().requestName, "1");
    EXPECT_FALSE(history.response(ids[0]) || history.request(ids[0]));
    EXPECT_EQ(history.response(ids[1])->status, 201);

    QSignalSpy changed(&history, &ResponseHistory::entriesChanged);
    history.clear();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(history.entries().isEmpty());
    for (const QUuid& id : ids) EXPECT_FALSE(history.response(id) || history.request(id));
}

TEST(ResponseHistory, LargeBodiesAreKeptWithinABoundNewestFirst) {
    ResponseHistory history;
    // The same large download sent again and again: every send holds a body of its own.
    const qsizetype large = 40LL * 1024 * 1024;
    const auto held = [&] {
        qint64 bytes = 0;
        for (const ResponseHistoryEntry& e : history.entries()) bytes += history.response(e.id)->body.size();
        return bytes;
    };
    for (int i = 0; i < ResponseHistory::maxEntries; ++i) {
        history.record(namedRequest(QString::number(i)), "u", responseWith(200, QByteArray(large, 'x')));
        ASSERT_LE(held(), ResponseHistory::maxBodyBytes);
    }
    EXPECT_EQ(history.entries().front().requestName, QString::number(ResponseHistory::maxEntries - 1));
    EXPECT_GE(history.entries().size(), ResponseHistory::maxBodyBytes / large);

    // Small answers after them push the large ones out only as far as the bound needs.
    for (int i = 0; i < 10; ++i) history.record(namedRequest("small"), "u", responseWith(200, "s"));
    EXPECT_GE(history.entries().size(), 10 + ResponseHistory::maxBodyBytes / large - 1);
}
