#include "Platform/Lines.h"

#include <algorithm>

namespace Lines {

qsizetype terminatorLength(QStringView text, qsizetype i) {
    if (i < 0 || i >= text.size()) return 0;
    const char16_t c = text[i].unicode();
    if (c == u'\r') return (i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
    return isBreak(c) ? 1 : 0;
}

bool hasBreak(QStringView text) {
    constexpr qsizetype kChunk = 4096;
    const char16_t* t = reinterpret_cast<const char16_t*>(text.data());
    for (qsizetype from = 0; from < text.size(); from += kChunk) {
        const qsizetype to = std::min(text.size(), from + kChunk);
        unsigned found = 0;
        // Or-ed over a chunk without a branch, which the compiler turns into vector code.
        for (qsizetype i = from; i < to; ++i) {
            const char16_t c = t[i];
            found |= unsigned(c == u'\n') | unsigned(c == u'\r') | unsigned(c == 0x85) | unsigned((c | 1) == 0x2029);
        }
        if (found) return true;
    }
    return false;
}

qsizetype breakCount(QStringView text) {
    if (text.isEmpty()) return 0;
    const char16_t* t = reinterpret_cast<const char16_t*>(text.data());
    qsizetype count = isBreak(t[0]);
    // Every terminator character, less each LF that ends a CR LF pair: branch-free, and summed in
    // 16 bits a block at a time so that the compiler keeps eight or more lanes in a vector register
    // (a whole-text edit counts hundreds of megabytes). A block adds at most one per character.
    constexpr qsizetype kBlock = 32768;
    for (qsizetype i = 1; i < text.size();) {
        const qsizetype end = std::min(i + kBlock, text.size());
        quint16 block = 0;
        for (qsizetype j = i; j < end; ++j) {
            const char16_t c = t[j];
            block += quint16((c == u'\n') + (c == u'\r') + (c == 0x85) + ((c | 1) == 0x2029)) -
                     quint16((c == u'\n') & (t[j - 1] == u'\r'));
        }
        count += block;
        i = end;
    }
    return count;
}

QList<Range> all(QStringView text) {
    QList<Range> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype t = terminatorLength(text, i);
        if (t == 0) {
            ++i;
            continue;
        }
        out.push_back({start, i, i + t});
        i += t;
        start = i;
    }
    out.push_back({start, text.size(), text.size()});
    return out;
}

qsizetype lineStart(QStringView text, qsizetype offset) {
    qsizetype i = qBound<qsizetype>(0, offset, text.size());
    while (i > 0) {
        const char16_t prev = text[i - 1].unicode();
        if (isBreak(prev)) break;
        --i;
    }
    // Between CR and LF is inside one terminator: the line starts after it.
    return i;
}

Range containing(QStringView text, qsizetype offset) {
    offset = qBound<qsizetype>(0, offset, text.size());
    // An offset between CR and LF belongs to the line the CR ends.
    if (offset > 0 && offset < text.size() && text[offset] == u'\n' && text[offset - 1] == u'\r') --offset;
    const qsizetype start = lineStart(text, offset);
    qsizetype i = offset;
    while (i < text.size() && !isBreak(text[i].unicode())) ++i;
    return {start, i, i + terminatorLength(text, i)};
}

} // namespace Lines
