#include "Platform/TextEquivalence.h"

#include <algorithm>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace TextEquivalence {

namespace {
const icu::Normalizer2& nfd() {
    UErrorCode status = U_ZERO_ERROR;
    return *icu::Normalizer2::getNFDInstance(status);
}

char32_t codePointAt(const QString& s, qsizetype i) {
    const char16_t c = s[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode()))
        return QChar::surrogateToUcs4(c, s[i + 1].unicode());
    return c;
}

// Whether normalisation never reaches across offset i: the text on either side normalises alone.
bool boundaryAt(const QString& s, qsizetype i) {
    if (i <= 0 || i >= s.size()) return true;
    if (QChar::isLowSurrogate(s[i].unicode()) && QChar::isHighSurrogate(s[i - 1].unicode())) return false;
    return nfd().hasBoundaryBefore(UChar32(codePointAt(s, i)));
}

icu::UnicodeString normalizedSlice(const QString& s, qsizetype from, qsizetype to) {
    const icu::UnicodeString slice(false, reinterpret_cast<const char16_t*>(s.utf16()) + from, int32_t(to - from));
    UErrorCode status = U_ZERO_ERROR;
    return nfd().normalize(slice, status);
}
} // namespace

bool canonicallyEqual(const QString& a, const QString& b) {
    if (a == b) return true;
    qsizetype prefix = 0, suffix = 0;
    return canonicallyEqual(a, b, &prefix, &suffix);
}

bool canonicallyEqual(const QString& a, const QString& b, qsizetype* samePrefix, qsizetype* sameSuffix) {
    // Only the stretch between the common prefix and suffix can differ; widen it to normalisation
    // boundaries and compare that alone, so a keystroke in a large file stays cheap.
    const qsizetype shorter = qMin(a.size(), b.size());
    const char16_t* pa = reinterpret_cast<const char16_t*>(a.utf16());
    const char16_t* pb = reinterpret_cast<const char16_t*>(b.utf16());
    qsizetype prefix = qBound<qsizetype>(0, *samePrefix, shorter);
    prefix = std::mismatch(pa + prefix, pa + shorter, pb + prefix).first - pa;
    qsizetype suffix = qBound<qsizetype>(0, *sameSuffix, shorter - prefix);
    while (suffix < shorter - prefix && pa[a.size() - 1 - suffix] == pb[b.size() - 1 - suffix]) ++suffix;
    *samePrefix = prefix;
    *sameSuffix = suffix;
    if (prefix == shorter && a.size() == b.size()) return true;
    // Two different ASCII characters where the texts first part: ASCII decomposes to itself and no
    // mark reorders across it, so the decompositions part there too (a large edit of a clean text
    // is told apart without decomposing all of it).
    if (prefix < shorter && pa[prefix] < 0x80 && pb[prefix] < 0x80) return false;
    while (prefix > 0 && !(boundaryAt(a, prefix) && boundaryAt(b, prefix))) --prefix;
    while (suffix > 0 && !(boundaryAt(a, a.size() - suffix) && boundaryAt(b, b.size() - suffix))) --suffix;
    return normalizedSlice(a, prefix, a.size() - suffix) == normalizedSlice(b, prefix, b.size() - suffix);
}

bool replacementKeepsEqual(const QString& text, qsizetype at, qsizetype length, QStringView with) {
    at = qBound<qsizetype>(0, at, text.size());
    length = qBound<qsizetype>(0, length, text.size() - at);
    if (QStringView(text).sliced(at, length) == with) return true;
    // Normalisation reaches across no boundary, and one at least two units away from the replaced
    // stretch is a boundary of both texts alike: the stretch between the nearest two decides.
    qsizetype from = qMax<qsizetype>(0, at - 2);
    while (from > 0 && !boundaryAt(text, from)) --from;
    qsizetype to = qMin(text.size(), at + length + 2);
    while (to < text.size() && !boundaryAt(text, to)) ++to;
    const QString before = text.mid(from, to - from);
    QString after = before;
    after.replace(at - from, length, with.toString());
    return canonicallyEqual(before, after);
}

} // namespace TextEquivalence
