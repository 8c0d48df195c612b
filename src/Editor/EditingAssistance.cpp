#include "Editor/EditingAssistance.h"

#include "Platform/Lines.h"

namespace EditingAssistance {

namespace {

const QString kExtraIndent = QStringLiteral("    ");

// The opener's closer; 0 when c opens nothing.
char16_t closerFor(QChar c) {
    switch (c.unicode()) {
    case u'(': return u')';
    case u'[': return u']';
    case u'{': return u'}';
    case u'"': return u'"';
    case u'\'': return u'\'';
    case u'`': return u'`';
    default: return 0;
    }
}

bool isCloser(QChar c) {
    return c == u')' || c == u']' || c == u'}' || c == u'"' || c == u'\'' || c == u'`';
}

bool isQuote(QChar c) { return c == u'"' || c == u'\'' || c == u'`'; }

// Spaces and tabs only: what the editor copies as indentation.
bool isIndent(QChar c) { return c == u' ' || c == u'\t'; }

// Horizontal whitespace: space separators and the tab, no line breaks.
bool isBlankChar(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

char32_t codePointAt(const QString& text, qsizetype i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[i + 1]);
    return c.unicode();
}

Decision allow() { return {}; }

Decision edit(TextRange range, QString text, TextRange selection) {
    Decision d;
    d.kind = Decision::Kind::edit;
    d.edit = {range, std::move(text), selection};
    return d;
}

Decision newline(const QString& text, TextRange range, CodeLanguage language, const QString& lineEnding) {
    const qsizetype loc = range.location;
    const Lines::Range line = Lines::containing(text, loc);
    qsizetype indentEnd = line.start;
    while (indentEnd < line.contentEnd && isIndent(text[indentEnd])) ++indentEnd;
    const QString indent = text.mid(line.start, indentEnd - line.start);

    QChar last;
    for (qsizetype i = qMin(loc, line.contentEnd) - 1; i >= line.start; --i) {
        if (!text[i].isSpace()) {
            last = text[i];
            break;
        }
    }
    const bool colonIndents = language == CodeLanguage::python || language == CodeLanguage::yaml;
    const bool extra = last == u'{' || last == u'(' || last == u'[' || (colonIndents && last == u':');
    const bool nextCloses = loc < text.size() && text[loc] == u'}';

    if (last == u'{' && nextCloses) {
        const QString inner = lineEnding + indent + kExtraIndent;
        const qsizetype caret = loc + inner.size();
        return edit(range, inner + lineEnding + indent, {caret, 0});
    }
    const QString inserted = lineEnding + indent + (extra ? kExtraIndent : QString());
    return edit(range, inserted, {loc + inserted.size(), 0});
}

} // namespace

Decision filter(const QString& text, TextRange range, const QString& replacement, CodeLanguage language,
                const QString& lineEnding) {
    const qsizetype loc = range.location;
    const bool hasNext = loc < text.size();
    const QChar next = hasNext ? text[loc] : QChar();

    if (replacement == QStringLiteral("\n")) return newline(text, range, language, lineEnding);

    if (replacement.size() == 1) {
        const QChar c = replacement[0];
        if (isCloser(c) && hasNext && next == c && range.length == 0) {
            Decision d;
            d.kind = Decision::Kind::moveCaret;
            d.caret = loc + 1;
            return d;
        }
        if (const char16_t closer = closerFor(c)) {
            if (range.length > 0)
                return edit(range, c + text.mid(loc, range.length) + QChar(closer), {loc + 1, range.length});
            if (isQuote(c) && hasNext && QChar::isLetterOrNumber(codePointAt(text, loc))) return allow();
            return edit(range, QString(c) + QChar(closer), {loc + 1, 0});
        }
    }

    if (replacement.isEmpty() && range.length == 1 && hasNext) {
        const char16_t closer = closerFor(next);
        if (closer && loc + 1 < text.size() && text[loc + 1] == QChar(closer))
            return edit({loc, 2}, QString(), {loc, 0});
    }
    return allow();
}

std::optional<OwnEdit> toggleComment(const QString& text, TextRange selection, CodeLanguage language) {
    const QString prefix = CodeLanguages::lineCommentPrefix(language);
    if (prefix.isEmpty()) return std::nullopt;

    // The lines touched: a selection ending right after a line break does not reach the next line.
    const qsizetype selStart = qBound<qsizetype>(0, selection.location, text.size());
    const qsizetype selEnd = qBound<qsizetype>(selStart, selection.end(), text.size());
    const qsizetype start = Lines::containing(text, selStart).start;
    const Lines::Range lastLine = Lines::containing(text, selEnd > selStart ? selEnd - 1 : selStart);

    QList<Lines::Range> lines;
    for (qsizetype at = start;;) {
        const Lines::Range line = Lines::containing(text, at);
        lines.append(line);
        if (line.start >= lastLine.start || line.end == line.contentEnd) break;
        at = line.end;
    }

    const auto content = [&](const Lines::Range& l) { return QStringView(text).mid(l.start, l.contentEnd - l.start); };
    const auto trimmedStart = [](QStringView s) {
        qsizetype i = 0;
        while (i < s.size() && isBlankChar(s[i])) ++i;
        return s.mid(i);
    };
    const auto isBlank = [&](QStringView s) {
        for (QChar c : s)
            if (!isBlankChar(c)) return false;
        return true;
    };

    bool anyNonBlank = false;
    bool allCommented = true;
    for (const Lines::Range& l : lines) {
        if (isBlank(content(l))) continue;
        anyNonBlank = true;
        if (!trimmedStart(content(l)).startsWith(prefix)) allCommented = false;
    }
    const bool remove = anyNonBlank && allCommented;

    QString out;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const Lines::Range& l = lines[k];
        const QStringView line = content(l);
        if (isBlank(line)) {
            out += line;
        } else if (remove) {
            QString rewritten = line.toString();
            const qsizetype at = rewritten.indexOf(prefix);
            if (at >= 0) {
                const qsizetype after = at + prefix.size();
                rewritten.remove(at, prefix.size() + (after < rewritten.size() && rewritten[after] == u' ' ? 1 : 0));
            }
            out += rewritten;
        } else {
            qsizetype indent = 0;
            while (indent < line.size() && isIndent(line[indent])) ++indent;
            out += line.left(indent);
            out += prefix;
            out += u' ';
            out += line.mid(indent);
        }
        // Each line keeps its own terminator; the last line's stays outside the replaced range.
        if (k + 1 < lines.size()) out += QStringView(text).mid(l.contentEnd, l.end - l.contentEnd);
    }
    const TextRange replaced{start, lines.back().contentEnd - start};
    return OwnEdit{replaced, out, {start, out.size()}};
}

qsizetype lineStartOffset(const QString& text, qint64 line) {
    qsizetype start = 0;
    for (qint64 current = 1; current < line;) {
        qsizetype i = start;
        while (i < text.size() && !Lines::isBreak(text[i].unicode())) ++i;
        if (i >= text.size()) break;  // no such line: stay on the last one
        start = i + Lines::terminatorLength(text, i);
        ++current;
    }
    return start;
}

} // namespace EditingAssistance
