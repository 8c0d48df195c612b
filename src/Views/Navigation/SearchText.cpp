#include "Views/Navigation/SearchText.h"

#include <QTextBoundaryFinder>
#include <algorithm>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace SearchText {

namespace {
bool isBlank(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }
} // namespace

QString trimBlanks(const QString& text) { return preview(text, text.size()); }

QString preview(const QString& line, qsizetype limit) {
    qsizetype from = 0, to = line.size();
    while (from < to && isBlank(line[from])) ++from;
    while (to > from && isBlank(line[to - 1])) --to;
    qsizetype size = std::min(to - from, limit);
    if (size < to - from && size > 0 && line[from + size - 1].isHighSurrogate()) --size;  // never half a character
    return line.sliced(from, size);
}

QStringList graphemes(const QString& text) {
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        if (end > start) out.append(text.sliced(start, end - start));
        start = end;
    }
    return out;
}

QString folded(const QString& text) {
    icu::UnicodeString s(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
    s.foldCase(U_FOLD_CASE_DEFAULT);
    // Looked up once: the search calls this for many lines.
    static const icu::Normalizer2* const nfc = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
        return U_SUCCESS(status) ? n : nullptr;
    }();
    if (!nfc) return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString composed = nfc->normalize(s, status);
    const icu::UnicodeString& result = U_SUCCESS(status) ? composed : s;
    return QString(reinterpret_cast<const QChar*>(result.getBuffer()), result.length());
}

bool containsIgnoringCase(const QString& text, const QString& query) {
    return folded(text).contains(folded(query));
}

} // namespace SearchText
