// Reading a response from a connection's bytes, whole or split anywhere, and the query text of URLs.
#include <gtest/gtest.h>

#include "API/HTTPResponseReader.h"
#include "API/URLQuery.h"
#include "RequestBuilders.h"

namespace {

using namespace Qt::StringLiterals;
using State = HTTPResponseReader::State;
using Failure = HTTPResponseReader::Failure;

struct Read {
    State state;
    Failure failure;
    int status;
    QByteArray body;
    int heads = 0;
};

// Feeds the bytes in pieces of the given size (0: all at once), then, unless done, the close.
Read readAll(const QByteArray& bytes, qsizetype piece = 0, bool head = false) {
    Read out{};
    HTTPResponseReader reader(head, {[&] { return ++out.heads, true; }, [&](const QByteArray& b) { return out.body += b, true; }});
    const qsizetype step = piece > 0 ? piece : bytes.size();
    for (qsizetype i = 0; i < bytes.size() && reader.state() < State::done; i += step) reader.feed(bytes.mid(i, step));
    if (reader.state() < State::done) reader.closed();
    return {reader.state(), reader.failure(), reader.status(), out.body, out.heads};
}

} // namespace

TEST(HTTPResponseReader, ChunksInterimAnswersAndLineEndsReadTheSameWhereverTheBytesSplit) {
    const QByteArray chunked = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n"
                               "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\nX-Fold: a\r\n b\r\n\r\n"
                               "5;ext=1\r\nhello\r\nA\r\n, world!!!\r\n0\r\nX-Trailer: t\r\n\r\nnext";
    for (qsizetype piece : {0, 1, 2, 3, 7}) {
        SCOPED_TRACE(piece);
        const Read read = readAll(chunked, piece);
        EXPECT_EQ(read.state, State::done);
        EXPECT_EQ(read.status, 200);
        EXPECT_EQ(read.body, "hello, world!!!");
        EXPECT_EQ(read.heads, 1);
    }
    HTTPResponseReader folded(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    folded.feed("HTTP/1.0 201 Made\nX-Fold: a\n\tb\nZ: one letter\ncontent-length: 2\n\nok");
    EXPECT_EQ(folded.state(), State::done);
    EXPECT_EQ(folded.field("X-FOLD"), "a b");
    EXPECT_EQ(folded.field("z"), "one letter");
    EXPECT_EQ(folded.announcedLength(), 0);  // all of it already read

    // Read up to the close; nothing to read for HEAD, 204 and 304 whatever the fields say.
    EXPECT_EQ(readAll("HTTP/1.0 200 OK\r\n\r\nuntil close", 4).body, "until close");
    for (const char* bytes : {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n",
                              "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n"}) {
        const Read read = readAll(bytes, 0, QByteArray(bytes).contains(" 200 "));
        EXPECT_EQ(read.state, State::done) << bytes;
        EXPECT_TRUE(read.body.isEmpty()) << bytes;
    }
}

TEST(HTTPResponseReader, BrokenAnswersFailWithTheirReason) {
    EXPECT_EQ(readAll("garbage\r\n\r\n").failure, Failure::noResponse);
    EXPECT_EQ(readAll("HTTP/1.1 200 OK\r\nX: 1\r\n").failure, Failure::noResponse);  // closed inside the head
    EXPECT_EQ(readAll("HTTP/1.1 2000 OK\r\n\r\n").failure, Failure::noResponse);
    EXPECT_EQ(readAll("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nshort").failure, Failure::cutShort);
    EXPECT_EQ(readAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n").failure, Failure::cutShort);
    for (const char* bytes : {"HTTP/1.1 200 OK\r\nContent-Length: 1, 2\r\n\r\nx", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
                              "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
                              "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabX\r\n"})
        EXPECT_EQ(readAll(bytes).failure, Failure::badFraming) << bytes;
    // A header block that never ends stops at the limit, without waiting for the close.
    HTTPResponseReader endless(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    endless.feed("HTTP/1.1 200 OK\r\n");
    const QByteArray line = "X: " + QByteArray(1000, 'x') + "\r\n";
    while (endless.state() == State::head) endless.feed(line);
    EXPECT_EQ(endless.failure(), Failure::headTooLarge);
}

// A connection that ends anywhere before a framed body's last byte is a response cut short,
// however the bytes before the end were split.
TEST(HTTPResponseReader, AnEndBeforeTheLastByteIsNeverAResponse) {
    for (const QByteArray whole : {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3;x=1\r\nabc\r\n0\r\nT: 1\r\n\r\n"_ba,
                                   "HTTP/1.1 103 Early Hints\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"_ba}) {
        for (qsizetype cut = 0; cut < whole.size(); ++cut) {
            for (qsizetype piece : {1, 2, 7, 0}) {
                const Read read = readAll(whole.left(cut), piece);
                EXPECT_EQ(read.state, State::failed) << cut << " " << piece;
                EXPECT_NE(read.failure, Failure::none) << cut << " " << piece;
            }
        }
        EXPECT_EQ(readAll(whole, 1).state, State::done);
    }
}

// A server that sends interim answers and nothing else is stopped once they pass the size of one
// header block, and a long run of them in one piece is read through once.
TEST(HTTPResponseReader, EndlessInterimAnswersAreRefused) {
    const QByteArray interim = "HTTP/1.1 102 Processing\r\n\r\n";
    HTTPResponseReader many(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    many.feed(interim.repeated(20000) + "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(many.state(), State::done);
    EXPECT_LE(many.headBytesScanned(), 2 * 20001 * interim.size());

    HTTPResponseReader endless(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    for (int i = 0; i < 1000 && endless.state() == State::head; ++i) endless.feed(interim.repeated(100));
    EXPECT_EQ(endless.state(), State::failed);
    EXPECT_EQ(endless.failure(), Failure::headTooLarge);
}

// Trailer fields after the last chunk are held to the size of a header block: a server that
// sends them without end is refused, not read until the whole send times out.
TEST(HTTPResponseReader, EndlessTrailerFieldsAreRefused) {
    const QByteArray start = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n";
    EXPECT_EQ(readAll(start + "X: 1\r\nY: 2\r\n\r\n", 5).state, State::done);

    HTTPResponseReader endless(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    endless.feed(start);
    const QByteArray piece = QByteArray("X: y\r\n").repeated(100) + "Z: " + QByteArray(500, 'z') + "\r\n";
    qsizetype fed = 0;
    for (; fed < 4 * HTTPResponseReader::kMaxHeadBytes && endless.state() == State::body; fed += piece.size()) endless.feed(piece);
    EXPECT_EQ(endless.state(), State::failed);
    EXPECT_EQ(endless.failure(), Failure::headTooLarge);
    EXPECT_LE(fed, HTTPResponseReader::kMaxHeadBytes + piece.size());
}

// A header block that comes a few bytes at a time costs what it would cost in one piece.
TEST(HTTPResponseReader, AHeaderBlockInSmallPiecesIsScannedOnce) {
    QByteArray head = "HTTP/1.1 200 OK\r\n";
    while (head.size() < 64 * 1024) head += "X: y\r\n";
    head += "Content-Length: 2\r\n\r\nok";
    HTTPResponseReader reader(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    for (qsizetype i = 0; i < head.size(); i += 3) reader.feed(head.mid(i, 3));
    ASSERT_EQ(reader.state(), State::done);
    EXPECT_LE(reader.headBytesScanned(), 2 * head.size());
}

// What hostile or careless servers send: sizes that are no plain hex or decimal number, lengths
// that disagree, and control characters inside the header block.
TEST(HTTPResponseReader, HostileFramingAndFieldsAreRefusedOrMadeHarmless) {
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const QByteArray& size : QByteArrayList{"0x5", "+5", "-5", " ", "5 5", "10000000000000000", "fffffffffffffffff", "5\0"_ba})
        EXPECT_EQ(readAll(chunked + size + "\r\nhello\r\n0\r\n\r\n").failure, Failure::badFraming) << size.toHex().constData();
    // The largest size that fits is taken at its word, and the close that comes first cuts it short.
    EXPECT_EQ(readAll(chunked + "fffffffffffffff\r\nhello").failure, Failure::cutShort);
    EXPECT_EQ(readAll(chunked + "5;name=\"v\"\r\nhello\r\n0\r\nX-Trailer: 1\r\n\r\n").body, "hello");

    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    for (const QByteArray& length : QByteArrayList{"0x5", "5.0", "5 5", "99999999999999999999", "", "5, 6"})
        EXPECT_EQ(readAll(ok + "Content-Length: " + length + "\r\n\r\nhello").failure, Failure::badFraming) << length.constData();
    EXPECT_EQ(readAll(ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello!").failure, Failure::badFraming);
    EXPECT_EQ(readAll(ok + "Content-Length: 5\r\nContent-Length: 5\r\n\r\nhello").body, "hello");
    EXPECT_EQ(readAll(ok + "Content-Length: 5\r\n\r\nhello and more").body, "hello");  // the rest is no part of it
    // Unreadable framing is no header block to act on (a redirect in it is not followed).
    EXPECT_EQ(readAll(ok + "Location: /x\r\nContent-Length: 1, 2\r\n\r\nx").heads, 0);

    for (const QByteArray& line : QByteArrayList{"HTTP/1.1 OK\r\n", "HTTP/1.1 20 OK\r\n", "HTTP/1.1 -200 OK\r\n", "HTTP/1.1 2x0 OK\r\n",
                                  "HTTP/1.1 200OK\r\n", "HTTP/1.1\r\n", "http/1.1 200 OK\r\n", "\r\n"})
        EXPECT_EQ(readAll(line + "Content-Length: 0\r\n\r\n").failure, Failure::noResponse) << line.constData();

    // A bare CR or a NUL inside a field could end it early for one reader and not another: each
    // reads as a blank, within the field where it stands.
    HTTPResponseReader reader(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    reader.feed("HTTP/1.1 200 OK\r\nX-A: a\rb\r\nX-B: c\0d\r\nContent-Length: 0\r\n\r\n"_ba);
    ASSERT_EQ(reader.state(), State::done);
    EXPECT_EQ(reader.field("X-A"), "a b");
    EXPECT_EQ(reader.field("X-B"), "c d");
    EXPECT_EQ(reader.fields().size(), 3);

    // A line begun by one blank continues the field before it.
    HTTPResponseReader folded(false, {[] { return true; }, [](const QByteArray&) { return true; }});
    folded.feed("HTTP/1.1 200 OK\r\nX-A: a\r\n b\r\n\tc\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(folded.field("X-A"), "a b c");
}

TEST(URLQuery, RowsAreAppendedBeforeTheFragmentAsWrittenOrEncoded) {
    KeyValueItem written = builders::row("d", "x+y#frag");
    written.setWrittenQuery("d=x+y#frag");
    const KeyValueItem typed = builders::row("n", "a b&c");
    EXPECT_EQ(URLQuery::compose("http://h/p", {written, typed}), "http://h/p?d=x+y&n=a%20b%26c#frag");
    EXPECT_EQ(URLQuery::compose("http://h/p?a=1#top", {typed}), "http://h/p?a=1&n=a%20b%26c#top");
    EXPECT_EQ(URLQuery::compose("http://h/p?", {typed}), "http://h/p?n=a%20b%26c");
    EXPECT_EQ(URLQuery::compose("http://h/p?a&", {typed}), "http://h/p?a&n=a%20b%26c");
    written.value = "changed";
    EXPECT_EQ(URLQuery::piece(written), "d=changed");
    EXPECT_EQ(URLQuery::wireText("http://h/a b?q=é&r=%41%&s=%0a%"), "http://h/a%20b?q=%C3%A9&r=%41%25&s=%0a%25");
}
