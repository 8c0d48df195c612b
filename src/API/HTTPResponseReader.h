#pragma once
// Reads one HTTP/1.x response from the bytes of a connection as they arrive: the status line and
// header fields of the final response (interim 1xx answers are passed over), then the body by
// its framing (a length, chunks, or up to the end of the connection). Holds the header block
// only; body bytes are handed on as they come.
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

class HTTPResponseReader {
public:
    using Fields = QList<std::pair<QByteArray, QByteArray>>;
    enum class State { head, body, done, failed };
    enum class Failure {
        none,          // reading stopped because the sink said so
        noResponse,    // the bytes are no HTTP response, or the connection ended before its header block did
        headTooLarge,  // the header block passed kMaxHeadBytes
        badFraming,    // an unreadable Content-Length or chunk
        cutShort,      // the connection ended before the body did
    };

    // The largest header block read, and the most all interim answers together may take.
    static constexpr qsizetype kMaxHeadBytes = 1024 * 1024;

    // head is called once the final response's header block and framing are known, body with
    // each piece of the body as it comes; a false return from either stops reading (the reader
    // then fails with no failure of its own).
    struct Handlers {
        std::function<bool()> head;
        std::function<bool(const QByteArray&)> body;
    };
    // A response to HEAD has no body whatever its fields say.
    HTTPResponseReader(bool headRequest, Handlers handlers);

    // Takes the next bytes received. Returns the state after them.
    State feed(QByteArray data);
    // The connection ended: a body read up to the end is complete, anything else is cut short.
    State closed();

    State state() const { return state_; }
    Failure failure() const { return failure_; }
    int status() const { return status_; }
    const Fields& fields() const { return fields_; }
    // The value of the first field of that name, any case; empty when absent.
    QByteArray field(QByteArrayView name) const;
    // The body length the framing announces; -1 when it is not known ahead.
    qint64 announcedLength() const { return framing_ == Framing::length ? remaining_ : -1; }
    // Header bytes looked through so far, for the work a header block costs.
    qsizetype headBytesScanned() const { return headBytesScanned_; }

private:
    enum class Framing { none, length, chunked, untilClose };
    enum class ChunkState { size, data, dataEnd, trailer };

    bool readHead();
    void startBody();
    void readChunks(QByteArray& data);
    State fail(Failure why);

    bool headRequest_;
    Handlers handlers_;
    State state_ = State::head;
    Failure failure_ = Failure::none;
    QByteArray buffer_;  // header bytes, or an unfinished chunk-size or trailer line
    qsizetype headScanned_ = 0;  // where the search for the header block's end goes on
    qsizetype headBytesScanned_ = 0;
    qsizetype interimBytes_ = 0;  // of all interim answers so far
    qsizetype trailerBytes_ = 0;  // of the trailer fields after the last chunk
    int status_ = 0;
    Fields fields_;
    Framing framing_ = Framing::none;
    qint64 remaining_ = 0;  // of the body (length) or of the current chunk
    ChunkState chunk_ = ChunkState::size;
};
