#include "API/HTTPResponseReader.h"

#include <optional>

namespace {

// Where the header block ends (just past its empty line), or -1, looking from `from` on. Bare LF
// line ends count too.
qsizetype headEnd(const QByteArray& bytes, qsizetype from) {
    for (qsizetype i = bytes.indexOf('\n', from); i >= 0; i = bytes.indexOf('\n', i + 1)) {
        qsizetype next = i + 1;
        if (next < bytes.size() && bytes[next] == '\r') ++next;
        if (next < bytes.size() && bytes[next] == '\n') return next + 1;
    }
    return -1;
}

QByteArray withoutCR(QByteArray line) { return line.endsWith('\r') ? line.chopped(1) : line; }

// A number written in the given base and nothing else (no sign, blank, "0x" or NUL), small
// enough for a qint64; -1 otherwise.
qint64 plainNumber(QByteArrayView digits, int base) {
    if (digits.isEmpty() || digits.size() > 15) return -1;
    qint64 n = 0;
    for (char c : digits) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : base;
        if (digit >= base) return -1;
        n = n * base + digit;
    }
    return n;
}

// A NUL or a CR that ends no line would end a field early for some readers and not for others:
// each reads as a blank.
void blankStrayControls(QByteArray& head) {
    for (qsizetype i = 0; i < head.size(); ++i)
        if (head[i] == '\0' || (head[i] == '\r' && (i + 1 == head.size() || head[i + 1] != '\n'))) head[i] = ' ';
}

// "HTTP/1.1 200 OK": the status code, or -1.
int statusOf(const QByteArray& line) {
    if (!line.startsWith("HTTP/") || line.size() < 12) return -1;
    const qsizetype space = line.indexOf(' ');
    if (space < 0 || space + 4 > line.size()) return -1;
    const QByteArray code = line.mid(space + 1, 3);
    if (space + 4 < line.size() && line[space + 4] != ' ') return -1;
    bool ok = false;
    const int status = code.toInt(&ok);
    return ok && status >= 100 && status <= 999 && code[0] != '+' ? status : -1;
}

} // namespace

HTTPResponseReader::HTTPResponseReader(bool headRequest, Handlers handlers)
    : headRequest_(headRequest), handlers_(std::move(handlers)) {}

QByteArray HTTPResponseReader::field(QByteArrayView name) const {
    for (const auto& [n, v] : fields_)
        if (QByteArrayView(n).compare(name, Qt::CaseInsensitive) == 0) return v;
    return {};
}

HTTPResponseReader::State HTTPResponseReader::fail(Failure why) {
    state_ = State::failed;
    failure_ = why;
    buffer_.clear();
    return state_;
}

HTTPResponseReader::State HTTPResponseReader::feed(QByteArray data) {
    if (state_ == State::head) {
        buffer_ += data;
        if (!readHead()) return state_;
        data = std::exchange(buffer_, {});
        startBody();
        if (state_ == State::failed) return state_;
        if (!handlers_.head()) return fail(Failure::none);
    }
    if (state_ != State::body || data.isEmpty()) return state_;
    switch (framing_) {
    case Framing::length:
        if (data.size() > remaining_) data.truncate(remaining_);  // what follows the body is no part of it
        remaining_ -= data.size();
        if (!handlers_.body(data)) return fail(Failure::none);
        if (remaining_ == 0) state_ = State::done;
        break;
    case Framing::untilClose:
        if (!handlers_.body(data)) return fail(Failure::none);
        break;
    case Framing::chunked: readChunks(data); break;
    case Framing::none: state_ = State::done; break;
    }
    return state_;
}

HTTPResponseReader::State HTTPResponseReader::closed() {
    if (state_ == State::head) return fail(Failure::noResponse);
    if (state_ == State::body) {
        if (framing_ != Framing::untilClose) return fail(Failure::cutShort);
        state_ = State::done;
    }
    return state_;
}

bool HTTPResponseReader::readHead() {
    // Answers read in this call are dropped from the buffer once, at the end: a run of many small
    // interim answers costs no more than one block of that size.
    qsizetype start = 0;
    const auto stop = [&](std::optional<Failure> why) {
        buffer_.remove(0, start);
        headScanned_ = qMax<qsizetype>(0, headScanned_ - start);
        if (why) fail(*why);
        return false;
    };
    for (;;) {
        // Fail early on bytes that can never start a response.
        const qsizetype prefix = qMin<qsizetype>(buffer_.size() - start, 5);
        if (QByteArrayView(buffer_).sliced(start, prefix) != QByteArrayView("HTTP/").first(prefix)) return stop(Failure::noResponse);
        const qsizetype end = headEnd(buffer_, qMax(start, headScanned_));
        if (end < 0) {
            // A block that arrives in many small pieces is scanned once, not once per piece; the
            // last two bytes may still begin its end.
            headBytesScanned_ += buffer_.size() - qMax(start, headScanned_);
            headScanned_ = qMax(start, buffer_.size() - 2);
            return stop(buffer_.size() - start > kMaxHeadBytes ? std::optional(Failure::headTooLarge) : std::nullopt);
        }
        headBytesScanned_ += end - qMax(start, headScanned_);
        headScanned_ = end;
        if (end - start > kMaxHeadBytes) return stop(Failure::headTooLarge);
        QByteArray head = buffer_.mid(start, end - start);
        start = end;
        blankStrayControls(head);
        const QList<QByteArray> lines = head.split('\n');
        status_ = statusOf(withoutCR(lines.first()));
        if (status_ < 0) return stop(Failure::noResponse);
        fields_.clear();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = withoutCR(lines[i]);
            if (line.isEmpty()) continue;
            // A line begun by a blank continues the previous field's value.
            if ((line[0] == ' ' || line[0] == '\t') && !fields_.isEmpty()) {
                fields_.last().second += ' ' + line.trimmed();
                continue;
            }
            const qsizetype colon = line.indexOf(':');
            if (colon > 0) fields_.append({line.left(colon), line.mid(colon + 1).trimmed()});
        }
        if (status_ >= 200 || status_ == 101) {
            stop(std::nullopt);
            return true;
        }
        // Interim answers (102 Processing, 103 Early Hints, a 100 Continue) come before the
        // response; a server that sends nothing else is stopped at the same size as one block.
        interimBytes_ += head.size();
        if (interimBytes_ > kMaxHeadBytes) return stop(Failure::headTooLarge);
    }
}

void HTTPResponseReader::startBody() {
    state_ = State::body;
    if (headRequest_ || status_ < 200 || status_ == 204 || status_ == 304) {
        framing_ = Framing::none;
        state_ = State::done;
        return;
    }
    const QByteArray transfer = field("Transfer-Encoding").trimmed().toLower();
    if (!transfer.isEmpty()) {
        framing_ = transfer.split(',').last().trimmed() == "chunked" ? Framing::chunked : Framing::untilClose;
        return;
    }
    std::optional<qint64> length;
    for (const auto& [name, value] : fields_) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) != 0) continue;
        for (const QByteArray& part : value.split(',')) {
            const qint64 n = plainNumber(part.trimmed(), 10);
            if (n < 0 || (length && *length != n)) {
                fail(Failure::badFraming);
                return;
            }
            length = n;
        }
    }
    framing_ = length ? Framing::length : Framing::untilClose;
    remaining_ = length.value_or(0);
    if (length == 0) state_ = State::done;
}

void HTTPResponseReader::readChunks(QByteArray& data) {
    constexpr qsizetype kMaxLine = 64 * 1024;
    qsizetype pos = 0;
    // The next line, joined to what an earlier piece left unfinished; false while it is incomplete.
    const auto takeLine = [&](QByteArray& line) {
        const qsizetype nl = data.indexOf('\n', pos);
        if (nl < 0) {
            buffer_ += QByteArrayView(data).sliced(pos);
            pos = data.size();
            if (buffer_.size() > kMaxLine) fail(Failure::badFraming);
            return false;
        }
        line = withoutCR(std::exchange(buffer_, {}).append(QByteArrayView(data).sliced(pos, nl - pos)));
        pos = nl + 1;
        return true;
    };
    while (pos < data.size() && state_ == State::body) {
        QByteArray line;
        switch (chunk_) {
        case ChunkState::size: {
            if (!takeLine(line)) break;
            const QByteArray hex = line.left(line.indexOf(';') < 0 ? line.size() : line.indexOf(';')).trimmed();
            remaining_ = plainNumber(hex, 16);
            if (remaining_ < 0) { fail(Failure::badFraming); return; }
            chunk_ = remaining_ == 0 ? ChunkState::trailer : ChunkState::data;
            break;
        }
        case ChunkState::data: {
            const qsizetype take = qMin<qint64>(remaining_, data.size() - pos);
            const bool whole = pos == 0 && take == data.size();
            if (!handlers_.body(whole ? data : data.mid(pos, take))) { fail(Failure::none); return; }
            pos += take;
            remaining_ -= take;
            if (remaining_ == 0) chunk_ = ChunkState::dataEnd;
            break;
        }
        case ChunkState::dataEnd:
            if (!takeLine(line)) break;
            if (!line.isEmpty()) { fail(Failure::badFraming); return; }
            chunk_ = ChunkState::size;
            break;
        case ChunkState::trailer: {
            // Trailer fields are not read, but they take no more than a header block may.
            const qsizetype from = pos;
            const bool whole = takeLine(line);
            trailerBytes_ += pos - from;
            if (trailerBytes_ > kMaxHeadBytes) { fail(Failure::headTooLarge); return; }
            if (whole && line.isEmpty()) state_ = State::done;
            break;
        }
        }
    }
}
