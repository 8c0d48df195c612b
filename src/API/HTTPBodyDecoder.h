#pragma once
// Undoes a response's gzip or deflate content coding piece by piece as the body arrives, and
// never holds more than a set number of decoded bytes: a small body that inflates without end
// stops at the limit instead of filling the memory.
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

class HTTPBodyDecoder {
public:
    enum class Coding { identity, gzip, deflate };

    // The coding named by a Content-Encoding value; none when the program cannot undo it.
    static std::optional<Coding> codingFor(const QByteArray& contentEncoding);

    HTTPBodyDecoder(Coding coding, qint64 limit);
    ~HTTPBodyDecoder();
    HTTPBodyDecoder(const HTTPBodyDecoder&) = delete;
    HTTPBodyDecoder& operator=(const HTTPBodyDecoder&) = delete;

    // Makes room for a body of this many bytes (as announced; at most the limit), so that an
    // unencoded body is copied once.
    void reserve(qint64 bytes);
    // Decodes the next piece of the received body. False once the data is invalid or the decoded
    // body passed the limit; nothing more is decoded after that.
    bool feed(const QByteArray& piece);
    // Checks that the coded data ended where the body ended.
    bool finish();

    bool tooLarge() const { return tooLarge_; }
    // Why decoding stopped, when it did for bad data.
    const QString& problem() const { return problem_; }
    const QByteArray& body() const { return body_; }
    QByteArray takeBody() { return std::move(body_); }

private:
    bool inflate(const QByteArray& piece);
    bool fail(const QString& why);

    struct Stream;
    Coding coding_;
    qint64 limit_;
    std::unique_ptr<Stream> stream_;
    QByteArray body_;
    bool tooLarge_ = false;
    bool ended_ = false;   // the coded stream reached its end
    bool started_ = false; // some coded data arrived
    bool ignoreRest_ = false;
    QString problem_;
};
