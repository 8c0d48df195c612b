#include "Platform/FilePath.h"

namespace FilePath {

namespace {
constexpr char16_t kRawBase = 0xdc00;
bool isRawByte(char16_t c) { return c >= kRawBase + 0x80 && c <= kRawBase + 0xff; }

// Length of the valid UTF-8 sequence at p (at most left bytes), or 0 when there is none.
int validSequence(const unsigned char* p, qsizetype left) {
    const unsigned char b = p[0];
    const auto continuation = [&](int i) { return i < left && (p[i] & 0xc0) == 0x80; };
    if (b < 0x80) return 1;
    if (b >= 0xc2 && b <= 0xdf) return continuation(1) ? 2 : 0;
    if (b >= 0xe0 && b <= 0xef) {
        if (!continuation(1) || !continuation(2)) return 0;
        if (b == 0xe0 && p[1] < 0xa0) return 0;   // overlong
        if (b == 0xed && p[1] >= 0xa0) return 0;  // a surrogate
        return 3;
    }
    if (b >= 0xf0 && b <= 0xf4) {
        if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
        if (b == 0xf0 && p[1] < 0x90) return 0;  // overlong
        if (b == 0xf4 && p[1] >= 0x90) return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}
} // namespace

QString decode(QByteArrayView native) {
    if (native.isValidUtf8()) return QString::fromUtf8(native);
    QString out;
    out.reserve(native.size());
    const auto* p = reinterpret_cast<const unsigned char*>(native.data());
    for (qsizetype i = 0; i < native.size();) {
        const int length = validSequence(p + i, native.size() - i);
        if (length == 0) {
            out += QChar(char16_t(kRawBase + p[i]));
            ++i;
        } else {
            out += QString::fromUtf8(native.sliced(i, length));
            i += length;
        }
    }
    return out;
}

QByteArray encode(QStringView path) {
    if (!hasRawBytes(path)) return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 3);
    qsizetype from = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < path.size() && QChar::isLowSurrogate(path[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (!isRawByte(c)) continue;
        out += path.sliced(from, i - from).toUtf8();
        out += char(c - kRawBase);
        from = i + 1;
    }
    out += path.sliced(from).toUtf8();
    return out;
}

bool hasRawBytes(QStringView path) {
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < path.size() && QChar::isLowSurrogate(path[i + 1].unicode())) ++i;
        else if (isRawByte(c)) return true;
    }
    return false;
}

} // namespace FilePath
