#include "Views/Navigation/LineMatcher.h"

#include <QStringDecoder>
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Views/Navigation/SearchText.h"

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c | 0x20) : c; }
bool isLowerLetter(char c) { return c >= 'a' && c <= 'z'; }
bool isLineBreak(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x85 || c == 0x2028 || c == 0x2029; }

// Non-ASCII characters whose case folding, or its composed form, holds an ASCII character ("ß"
// folds to "ss", "İ" to "i" and a dot above, the Kelvin sign composes to "K"; "é" stays "é"). Only these
// can make folded text hold ASCII that the raw bytes do not: on a line without them, an ASCII
// query can only match where the bytes match, ignoring ASCII case. Each character is looked at
// the first time it is met, by any thread: a table of all of them would cost a first search
// tens of milliseconds for characters most trees never hold.
class AsciiMakers {
public:
    bool contains(char32_t c) const {
        if (c >= 0x110000) return false;
        std::atomic<quint32>& word = known_[c / 16];
        const int shift = int(c % 16) * 2;
        quint32 state = (word.load(std::memory_order_relaxed) >> shift) & 3;
        if (state == kUnknown) {
            state = foldsToAscii(c) ? kYes : kNo;
            word.fetch_or(state << shift, std::memory_order_relaxed);
        }
        return state == kYes;
    }

private:
    static constexpr quint32 kUnknown = 0, kNo = 1, kYes = 2;

    // Composition joins a letter to its accent again whatever stands around it, and never makes
    // ASCII but from a character alone: what folding gives and what the character composes to
    // tell it all.
    static bool foldsToAscii(char32_t c) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
        if (U_FAILURE(status)) return true;  // unknown: fold the line
        icu::UnicodeString s{static_cast<UChar32>(c)};
        s.foldCase(U_FOLD_CASE_DEFAULT);
        const auto holdsAscii = [](const icu::UnicodeString& text) {
            for (int32_t i = 0; i < text.length(); ++i)
                if (text.charAt(i) < 0x80) return true;
            return false;
        };
        if (holdsAscii(s)) return true;
        s = nfc->normalize(s, status);
        return U_FAILURE(status) || holdsAscii(s);
    }

    // Two bits per character: not looked at yet, no, yes. Zero pages cost nothing until touched.
    mutable std::atomic<quint32> known_[0x110000 / 16] = {};
};

const AsciiMakers& asciiMakers() {
    static const AsciiMakers set;
    return set;
}

// One character of valid UTF-8; returns its length.
int decode(const unsigned char* p, char32_t& c) {
    if (p[0] < 0xe0) {
        c = char32_t(p[0] & 0x1f) << 6 | (p[1] & 0x3f);
        return 2;
    }
    if (p[0] < 0xf0) {
        c = char32_t(p[0] & 0x0f) << 12 | char32_t(p[1] & 0x3f) << 6 | (p[2] & 0x3f);
        return 3;
    }
    c = char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3f) << 12 | char32_t(p[2] & 0x3f) << 6 | (p[3] & 0x3f);
    return 4;
}

// The text as the file reader decoded it: a byte-order mark stays U+FEFF wherever it is.
QString decodeKeepingMarks(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

bool equalFolded(const char* text, const char* lowerNeedle, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i)
        if (lowerAscii(text[i]) != lowerNeedle[i]) return false;
    return true;
}

// Offset of the first line feed, carriage return or byte above 0x7f from i on, or size.
qsizetype nextSpecial(const char* d, qsizetype i, qsizetype size) {
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const unsigned mask = unsigned(_mm_movemask_epi8(v)) |
                              unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (mask) return i + std::countr_zero(mask);
    }
#endif
    for (; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(d[i]);
        if (c == '\n' || c == '\r' || c >= 0x80) return i;
    }
    return size;
}

qsizetype countLineFeeds(const char* d, qsizetype size) {
    qsizetype count = 0, i = 0;
#ifdef __SSE2__
    // Each byte lane counts its line feeds, up to 255 blocks at a time, then the lanes are summed
    // (a bit count per block would be a library call on processors without one of their own).
    const __m128i lf = _mm_set1_epi8('\n');
    while (i + 16 <= size) {
        __m128i lanes = _mm_setzero_si128();
        for (int block = 0; block < 255 && i + 16 <= size; ++block, i += 16)
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i)), lf));
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
    }
#endif
    for (; i < size; ++i) count += d[i] == '\n';
    return count;
}

// Line breaks in ASCII text that starts and ends at line starts.
qsizetype countBreaks(const char* d, qsizetype size, bool hasCarriageReturns) {
    if (!hasCarriageReturns) return countLineFeeds(d, size);
    qsizetype count = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (d[i] == '\n') ++count;
        else if (d[i] == '\r') {
            ++count;
            if (i + 1 < size && d[i + 1] == '\n') ++i;
        }
    }
    return count;
}

QString asciiPreview(const char* d, qsizetype size) {
    qsizetype from = 0;
    while (from < size && (d[from] == ' ' || d[from] == '\t')) ++from;
    while (size > from && (d[size - 1] == ' ' || d[size - 1] == '\t')) --size;
    return QString::fromLatin1(d + from, std::min(size - from, SearchHit::kPreviewLength));
}

} // namespace

LineMatcher::LineMatcher(const QString& query) : wanted_(SearchText::folded(query)) {
    asciiNeedle_ = true;
    for (const QChar c : std::as_const(wanted_)) {
        if (isLineBreak(c.unicode())) impossible_ = true;
        if (c.unicode() >= 0x80) asciiNeedle_ = false;
    }
    if (asciiNeedle_) needle_ = wanted_.toLatin1();
}

qsizetype LineMatcher::firstNonAscii(const char* d, qsizetype size) {
    qsizetype i = 0;
#ifdef __SSE2__
    for (; i + 64 <= size; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 32));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 48));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, e)))) break;
    }
    for (; i + 16 <= size; i += 16) {
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i))));
        if (mask) return i + std::countr_zero(mask);
    }
#endif
    for (; i < size; ++i)
        if (static_cast<unsigned char>(d[i]) >= 0x80) return i;
    return size;
}

// First place at or after data where the bytes equal the needle, ignoring ASCII case.
qsizetype LineMatcher::find(const char* d, qsizetype size) const {
    const qsizetype m = needle_.size();
    if (m == 0) return 0;
    if (m > size) return -1;
    const char* nd = needle_.constData();
    const char first = nd[0], last = nd[m - 1];
    qsizetype i = 0;
#ifdef __SSE2__
    // Candidates are where both the first and the last needle byte fit; only those are compared.
    const __m128i firstValue = _mm_set1_epi8(first), lastValue = _mm_set1_epi8(last);
    const __m128i firstFold = _mm_set1_epi8(isLowerLetter(first) ? 0x20 : 0);
    const __m128i lastFold = _mm_set1_epi8(isLowerLetter(last) ? 0x20 : 0);
    for (; i + m - 1 + 16 <= size; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + m - 1));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstFold), firstValue),
                                                                 _mm_cmpeq_epi8(_mm_or_si128(b, lastFold), lastValue))));
        while (mask) {
            const int bit = std::countr_zero(mask);
            if (equalFolded(d + i + bit, nd, m)) return i + bit;
            mask &= mask - 1;
        }
    }
#endif
    for (; i + m <= size; ++i)
        if (lowerAscii(d[i]) == first && equalFolded(d + i, nd, m)) return i;
    return -1;
}

void LineMatcher::scan(QByteArrayView text, bool ascii, const QString& file, QList<SearchHit>& hits,
                       qsizetype limit) const {
    if (impossible_ || hits.size() >= limit) return;
    if (ascii) {
        // Folded ASCII text is ASCII: a query that is not cannot be in it.
        if (asciiNeedle_) scanAsciiText(text, file, hits, limit);
        return;
    }
    // (An empty query is in every line, the empty one after a final line break too.)
    if (asciiNeedle_ && !needle_.isEmpty()) scanMixedText(text, file, hits, limit);
    else scanLines(text, file, hits, limit);
}

// The needle is looked for in the whole text at once; lines are found only around its matches.
void LineMatcher::scanAsciiText(QByteArrayView text, const QString& file, QList<SearchHit>& hits,
                                qsizetype limit) const {
    const char* d = text.data();
    const qsizetype n = text.size();
    const bool hasCarriageReturns = std::memchr(d, '\r', size_t(n)) != nullptr;
    qsizetype from = 0;  // a line start; every match before it is reported
    qsizetype line = 1;  // the number of the line at from
    for (;;) {
        const qsizetype found = find(d + from, n - from);
        if (found < 0) return;
        qsizetype start = from + found;
        while (start > from && d[start - 1] != '\n' && d[start - 1] != '\r') --start;
        qsizetype end = from + found + needle_.size();
        while (end < n && d[end] != '\n' && d[end] != '\r') ++end;
        line += countBreaks(d + from, start - from, hasCarriageReturns);
        hits.append({file, int(line), asciiPreview(d + start, end - start)});
        if (hits.size() >= limit || end == n) return;
        from = end + (d[end] == '\r' && end + 1 < n && d[end + 1] == '\n' ? 2 : 1);
        ++line;
    }
}

// Line by line, for text that holds other characters than ASCII.
void LineMatcher::scanLines(QByteArrayView text, const QString& file, QList<SearchHit>& hits, qsizetype limit) const {
    for (qsizetype start = 0, line = 1; start >= 0 && hits.size() < limit; ++line)
        start = scanLine(text, start, line, file, hits);
}

// For an ASCII query in text that holds other characters too: a line can hold the query only where
// its bytes do (ignoring ASCII case) or where it holds a character other than ASCII. Both are found
// in the whole text at once; only their lines are read one by one, and the lines between them are
// only counted.
void LineMatcher::scanMixedText(QByteArrayView text, const QString& file, QList<SearchHit>& hits,
                                qsizetype limit) const {
    const char* d = text.data();
    const qsizetype n = text.size();
    const bool hasCarriageReturns = std::memchr(d, '\r', size_t(n)) != nullptr;
    const auto matchFrom = [&](qsizetype from) {
        const qsizetype found = find(d + from, n - from);
        return found < 0 ? n : from + found;
    };
    const auto wideFrom = [&](qsizetype from) { return from + firstNonAscii(d + from, n - from); };
    qsizetype from = 0;  // a line start; every line before it is done
    qsizetype line = 1;  // the number of the line at from
    qsizetype match = matchFrom(0), wide = wideFrom(0);
    while (hits.size() < limit) {
        const qsizetype at = std::min(match, wide);
        if (at >= n) return;
        // Everything before at is ASCII: its line breaks are line feeds and carriage returns.
        qsizetype start = at;
        while (start > from && d[start - 1] != '\n' && d[start - 1] != '\r') --start;
        line += countBreaks(d + from, start - from, hasCarriageReturns);
        from = scanLine(text, start, line, file, hits);
        if (from < 0) return;
        ++line;
        if (match < from) match = matchFrom(from);
        if (wide < from) wide = wideFrom(from);
    }
}

qsizetype LineMatcher::scanLine(QByteArrayView text, qsizetype start, qsizetype line, const QString& file,
                                QList<SearchHit>& hits) const {
    const char* d = text.data();
    const auto* u = reinterpret_cast<const unsigned char*>(d);
    const qsizetype n = text.size();
    bool ascii = true, mayFoldToAscii = false;
    qsizetype end = start, breakLength = 0;
    while ((end = nextSpecial(d, end, n)) < n) {
        if (d[end] == '\n') {
            breakLength = 1;
            break;
        }
        if (d[end] == '\r') {
            breakLength = end + 1 < n && d[end + 1] == '\n' ? 2 : 1;
            break;
        }
        char32_t c = 0;
        const int length = decode(u + end, c);
        if (c == 0x85 || c == 0x2028 || c == 0x2029) {
            breakLength = length;
            break;
        }
        ascii = false;
        mayFoldToAscii = mayFoldToAscii || asciiMakers().contains(c);
        end += length;
    }
    const char* lineData = d + start;
    const qsizetype lineSize = end - start;
    if (ascii) {
        if (asciiNeedle_ && find(lineData, lineSize) >= 0) hits.append({file, int(line), asciiPreview(lineData, lineSize)});
    } else if (!asciiNeedle_ || mayFoldToAscii || find(lineData, lineSize) >= 0) {
        const QString lineText = decodeKeepingMarks(QByteArrayView(lineData, lineSize));
        if (SearchText::folded(lineText).contains(wanted_)) hits.append({file, int(line), SearchText::preview(lineText, SearchHit::kPreviewLength)});
    }
    return breakLength == 0 ? -1 : end + breakLength;
}
