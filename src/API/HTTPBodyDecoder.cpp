#include "API/HTTPBodyDecoder.h"

#include <zlib.h>

struct HTTPBodyDecoder::Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open) inflateEnd(&z);
    }
};

std::optional<HTTPBodyDecoder::Coding> HTTPBodyDecoder::codingFor(const QByteArray& contentEncoding) {
    const QByteArray name = contentEncoding.trimmed().toLower();
    if (name.isEmpty() || name == "identity") return Coding::identity;
    if (name == "gzip" || name == "x-gzip") return Coding::gzip;
    if (name == "deflate") return Coding::deflate;
    return std::nullopt;
}

HTTPBodyDecoder::HTTPBodyDecoder(Coding coding, qint64 limit) : coding_(coding), limit_(limit) {}

HTTPBodyDecoder::~HTTPBodyDecoder() = default;

bool HTTPBodyDecoder::fail(const QString& why) {
    problem_ = why;
    return false;
}

void HTTPBodyDecoder::reserve(qint64 bytes) {
    if (coding_ == Coding::identity) body_.reserve(qsizetype(qBound<qint64>(0, bytes, limit_)));
}

bool HTTPBodyDecoder::feed(const QByteArray& piece) {
    if (tooLarge_ || !problem_.isEmpty()) return false;
    if (piece.isEmpty()) return true;
    if (coding_ == Coding::identity) {
        if (body_.size() + piece.size() > limit_) {
            tooLarge_ = true;
            return false;
        }
        body_ += piece;
        return true;
    }
    return inflate(piece);
}

bool HTTPBodyDecoder::inflate(const QByteArray& piece) {
    if (ignoreRest_) return true;
    qsizetype used = 0;
    while (used < piece.size()) {
        if (!stream_ || ended_) {
            // gzip allows several members one after another; what follows a deflate stream is junk.
            if (ended_ && coding_ == Coding::deflate) return fail(QStringLiteral("data after the end of the deflate stream"));
            // Padding after the last gzip member (some servers add zeros) is no new member.
            if (ended_ && uchar(piece[used]) != 0x1f) {
                ignoreRest_ = true;
                return true;
            }
            stream_ = std::make_unique<Stream>();
            // deflate is meant to carry a zlib header; some servers send the bare stream instead.
            const auto first = uchar(piece[used]);
            const bool bare = coding_ == Coding::deflate && (first & 0x0f) != 8;
            if (inflateInit2(&stream_->z, coding_ == Coding::gzip ? 16 + MAX_WBITS : bare ? -MAX_WBITS : MAX_WBITS) != Z_OK)
                return fail(QStringLiteral("out of memory"));
            stream_->open = true;
            ended_ = false;
        }
        started_ = true;
        z_stream& z = stream_->z;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData() + used));
        z.avail_in = uInt(piece.size() - used);
        int result = Z_OK;
        // Output in bounded steps, checked against the limit after each one.
        do {
            constexpr qsizetype step = 64 * 1024;
            const qsizetype before = body_.size();
            body_.resize(before + step);
            z.next_out = reinterpret_cast<Bytef*>(body_.data() + before);
            z.avail_out = uInt(step);
            result = ::inflate(&z, Z_NO_FLUSH);
            body_.resize(before + step - qsizetype(z.avail_out));
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return fail(QString::fromLatin1(z.msg ? z.msg : "invalid compressed data"));
            if (body_.size() > limit_) {
                tooLarge_ = true;
                body_.clear();
                return false;
            }
        } while (result == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
        used = piece.size() - qsizetype(z.avail_in);
        if (result == Z_STREAM_END) ended_ = true;
        else if (z.avail_in > 0) return fail(QStringLiteral("invalid compressed data"));
    }
    return true;
}

bool HTTPBodyDecoder::finish() {
    if (tooLarge_ || !problem_.isEmpty()) return false;
    if (coding_ != Coding::identity && started_ && !ended_) return fail(QStringLiteral("the compressed data ends early"));
    return true;
}
