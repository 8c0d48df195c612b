#include "Git/ProcessText.h"

#include <QStringDecoder>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <atomic>

namespace ProcessText {

QString decodeLossy(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // escaped byte B is U+DC00+B; only B >= 0x80 is ever escaped

// Length of the valid UTF-8 sequence at s[i], or 0 when there is none.
int validSequenceLength(const uchar* s, qsizetype i, qsizetype n) {
    const uchar b = s[i];
    int len = 0;
    char32_t cp = 0, min = 0;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) len = 3, cp = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07, min = 0x10000;
    if (len == 0 || i + len > n) return 0;
    for (int k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

std::atomic<qint64> g_decodedRuns{0};

QString decodeRun(const char* bytes, qsizetype size) {
    ++g_decodedRuns;
    return QString::fromUtf8(bytes, size);
}

bool isEscapedByte(char16_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

} // namespace

QString decodeExact(const QByteArray& bytes) {
    QStringDecoder strict(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = strict.decode(bytes);
    if (!strict.hasError()) return text;
    text.clear();
    text.reserve(bytes.size());
    const auto* s = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype n = bytes.size();
    // Valid stretches go through the converter whole: a listing with one bad name costs one pass.
    qsizetype run = 0;
    for (qsizetype i = 0; i < n;) {
        const int len = validSequenceLength(s, i, n);
        if (len > 0) {
            i += len;
            continue;
        }
        if (i > run) text += decodeRun(bytes.constData() + run, i - run);
        text += QChar(char16_t(kEscapeBase + s[i]));
        run = ++i;
    }
    if (n > run) text += decodeRun(bytes.constData() + run, n - run);
    return text;
}

qint64 decodedRuns() { return g_decodedRuns; }

QByteArray encodeExact(const QString& text) {
    QByteArray out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;  // a real character beyond the basic plane
            continue;
        }
        if (!isEscapedByte(c)) continue;
        out += QStringView(text).mid(start, i - start).toUtf8();
        out += char(c - kEscapeBase);
        start = i + 1;
    }
    if (start == 0) return text.toUtf8();
    out += QStringView(text).mid(start).toUtf8();
    return out;
}

QString visibleName(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate()) {
            out += QChar::ReplacementCharacter;
        } else if (u == u'\n') {
            out += QLatin1String("\\n");
        } else if (u == u'\r') {
            out += QLatin1String("\\r");
        } else if (u == u'\t') {
            out += QLatin1String("\\t");
        } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            out += QLatin1String("\\x") + QString::number(u, 16).toUpper().rightJustified(2, u'0');
        } else if (u == 0x2028 || u == 0x2029) {
            out += QLatin1String("\\u") + QString::number(u, 16);
        } else {
            out += c;
        }
    }
    return out;
}

bool isBlank(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

bool isWhitespaceOrNewline(QChar c) { return c.isSpace(); }

template <typename Pred>
static QString trimWith(const QString& text, Pred pred) {
    qsizetype start = 0, end = text.size();
    while (start < end && pred(text.at(start))) ++start;
    while (end > start && pred(text.at(end - 1))) --end;
    return text.mid(start, end - start);
}

QString trimBlanks(const QString& text) { return trimWith(text, isBlank); }

QString trimWhitespace(const QString& text) { return trimWith(text, isWhitespaceOrNewline); }

std::optional<QString> firstNonBlankLine(const QString& text) {
    for (const QString& piece : text.split(u'\n', Qt::SkipEmptyParts)) {
        QString trimmed = trimBlanks(piece);
        if (!trimmed.isEmpty()) return trimmed;
    }
    return std::nullopt;
}

QString leadingCharacters(const QString& text, qsizetype count) {
    if (count <= 0) return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype seen = 0;
    while (seen < count && finder.toNextBoundary() != -1) ++seen;
    return seen < count ? text : text.left(finder.position());
}

qsizetype characterCount(const QString& text, qsizetype limit) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype seen = 0;
    while (seen <= limit && finder.toNextBoundary() != -1) ++seen;
    return seen;
}

} // namespace ProcessText
