#include "Editor/RegexHighlighter.h"

#include <QtGlobal>
#include <algorithm>

namespace {

// See ranges(): how far around the range the word passes may look for the edges of a word.
constexpr qsizetype kLongestWord = 4096;
// See delimitedPass(): how far before a range the scan for strings and comments may start.
constexpr qsizetype kLookBack = 128 * 1024;
// See checkQuoteFreeTail(): how far back from an edit's end it looks for a quote.
constexpr qsizetype kTailLook = 16 * 1024;
// What a search past the range asks to read at a time (see SyntaxHighlighter::readUpTo). A text kept
// with a gap at the last edit moves everything from there to the furthest unit asked for, and back
// at the next key: so a step asks for little more than the scan goes on to read.
constexpr qsizetype kReadStep = 2 * 1024;

// The shared patterns are ours and known to compile; failing to is a broken build, not a user error.
RegularExpression mustCompile(const QString& pattern) {
    std::optional<RegularExpression> compiled = RegularExpression::compile(pattern);
    if (!compiled) qFatal("built-in highlight pattern does not compile: %s", qPrintable(pattern));
    return *compiled;
}

const RegularExpression& funcRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(\b([A-Za-z_][A-Za-z0-9_]*)\s*(?=\())"));
    return re;
}
const RegularExpression& attrRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(@[A-Za-z_][A-Za-z0-9_]*)"));
    return re;
}
const RegularExpression& numberRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(\b\d+(?:\.\d+)?(?:[eE][+-]?\d+)?\b)"));
    return re;
}
const RegularExpression& hashCommentRegex() {
    static const RegularExpression re = mustCompile(QStringLiteral(R"(#[^\n]*)"));
    return re;
}
std::optional<RegularExpression> wordListRegex(const QStringList& words) {
    if (words.isEmpty()) return std::nullopt;
    return RegularExpression::compile(QStringLiteral("\\b(") + words.join(u'|') + QStringLiteral(")\\b"));
}

bool isQuote(char16_t c) { return c == u'"' || c == u'\'' || c == u'`'; }

// A character a match of the word passes may hold (see RegexHighlighter::ranges()).
bool inWord(QChar c) {
    return !c.isSpace() && (c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'.' || c == u'+' || c == u'-');
}
// A character of a called name.
bool inCallName(QChar c) { return c == u'_' || (c.unicode() < 128 && c.isLetterOrNumber()); }

} // namespace

RegexHighlighter::RegexHighlighter(QStringList keywords, QStringList types, std::optional<QString> lineComment,
                                   bool supportsBlockComment, bool supportsHashComment, Delimiting delimiting)
    : keywords_(std::move(keywords)),
      types_(std::move(types)),
      lineComment_(std::move(lineComment)),
      supportsBlockComment_(supportsBlockComment),
      supportsHashComment_(supportsHashComment),
      delimiting_(delimiting),
      keywordRegex_(wordListRegex(keywords_)),
      typeRegex_(wordListRegex(types_)),
      lineCommentRegex_(lineComment_ ? RegularExpression::compile(RegularExpression::escapedPattern(*lineComment_) +
                                                                  QStringLiteral("[^\\n]*"))
                                     : std::nullopt) {}

void RegexHighlighter::noteEdit(const TextEdit& edit) {
    editNoted_ = true;
    shiftFor(edit);
    shiftQuoteFreeTail(edit);
    shiftWordMatches(edit);
}

void RegexHighlighter::shiftWordMatches(const TextEdit& edit) {
    if (!wordMatches_) return;
    WordMatches& words = *wordMatches_;
    const qsizetype start = edit.startChar;
    const qsizetype oldEnd = qMax(edit.oldEndChar, start);
    const qsizetype newEnd = qMax(edit.newEndChar, start);
    const qsizetype delta = newEnd - oldEnd;
    // A match reads at most one unit around itself (a word boundary, a call's parenthesis): text
    // after the stretch, and text before it that leaves the unit before it alone, change none.
    if (start > words.callsTo) return;
    if (oldEnd < words.from) {
        words.from += delta;
        words.to += delta;
        words.callsTo += delta;
        for (QList<Span>& pass : words.passes)
            for (Span& span : pass) span.range.location += delta;
        if (words.changedFrom >= 0) {
            words.changedFrom += delta;
            words.changedTo += delta;
        }
        return;
    }
    // Across the stretch's edges its matches are not known to hold: searched afresh at the next look.
    if (start < words.from || oldEnd > words.to) {
        wordMatches_.reset();
        return;
    }
    for (QList<Span>& pass : words.passes) {
        QList<Span> kept;
        kept.reserve(pass.size());
        for (Span span : pass) {
            if (span.range.end() <= start) {
                kept.append(span);
            } else if (span.range.location >= oldEnd) {
                span.range.location += delta;
                kept.append(span);
            }
        }
        pass = std::move(kept);
    }
    const auto map = [&](qsizetype y) { return y < start ? y : y >= oldEnd ? y + delta : newEnd; };
    words.changedFrom = words.changedFrom < 0 ? start : qMin(map(words.changedFrom), start);
    words.changedTo = words.changedTo < 0 ? newEnd : qMax(map(words.changedTo), newEnd);
    words.to += delta;
    words.callsTo += delta;
}

void RegexHighlighter::forgetAll() {
    stringPoints_.clear();
    blockCommentPoints_.clear();
    lineCommentSeen_ = {};
    hashCommentSeen_ = {};
    lineSeen_ = {};
    quoteFreeTail_ = {};
    wordMatches_.reset();
}

void RegexHighlighter::shiftQuoteFreeTail(const TextEdit& edit) {
    QuoteFreeTail& tail = quoteFreeTail_;
    if (tail.from < 0) return;
    const qsizetype start = edit.startChar;
    const qsizetype oldEnd = qMax(edit.oldEndChar, start);
    const qsizetype newEnd = qMax(edit.newEndChar, start);
    const qsizetype delta = newEnd - oldEnd;
    // Unchanged text after the edit moves with it; what the edit put in is not known yet.
    const auto map = [&](qsizetype y) { return y < start ? y : y >= oldEnd ? y + delta : newEnd; };
    const qsizetype from = tail.from < start ? tail.from : tail.from >= oldEnd ? tail.from + delta : start;
    qsizetype uncheckedFrom = tail.uncheckedFrom;
    qsizetype uncheckedTo = tail.uncheckedTo;
    if (uncheckedFrom < uncheckedTo) {
        uncheckedFrom = map(uncheckedFrom);
        uncheckedTo = map(uncheckedTo);
    }
    if (newEnd > from) {
        uncheckedFrom = uncheckedFrom < uncheckedTo ? qMin(uncheckedFrom, start) : start;
        uncheckedTo = qMax(uncheckedTo, newEnd);
    }
    tail = {from, uncheckedFrom, uncheckedTo};
}

void RegexHighlighter::checkQuoteFreeTail(const QString& text) {
    QuoteFreeTail& tail = quoteFreeTail_;
    if (tail.from > text.size()) tail = {};
    if (tail.from < 0 || tail.uncheckedFrom >= tail.uncheckedTo) return;
    // Past the last quote the edits put in, the tail holds none still. An edit spanning most of a
    // text without quotes (a Replace All) is looked at only near its end: the tail then starts where
    // the look stopped, which is still true, only less.
    const qsizetype from = qBound<qsizetype>(0, tail.uncheckedFrom, text.size());
    const qsizetype to = qBound<qsizetype>(from, tail.uncheckedTo, text.size());
    const qsizetype floor = qMax(from, to - kTailLook);
    readUpTo(to);
    qsizetype i = to;
    while (i > floor && !isQuote(text[i - 1].unicode())) --i;
    scanned_ += to - i;
    if (i > floor || floor > from) tail.from = qMax(tail.from, i);
    tail.uncheckedFrom = tail.uncheckedTo = 0;
}

qsizetype RegexHighlighter::findOnward(const QString& text, QStringView needle, qsizetype from, qsizetype to) const {
    for (qsizetype start = from; start < to;) {
        const qsizetype end = qMin(to, start + kReadStep);
        readUpTo(end);
        const qsizetype found = QStringView(text).first(end).indexOf(needle, start);
        if (found >= 0 || end >= to) return found;
        start = end - needle.size() + 1;
    }
    return -1;
}

qsizetype RegexHighlighter::lineStartOf(const QString& text, qsizetype offset) {
    // Known: no LF in [lineStart, checkedTo), and one right before lineStart unless the search gave up.
    LineSeen& seen = lineSeen_;
    const qsizetype floor = qMax<qsizetype>(0, offset - kLookBack);
    if (seen.lineStart < 0 || offset < seen.lineStart || seen.checkedTo < floor) {
        const qsizetype lf = QStringView(text).sliced(floor, offset - floor).lastIndexOf(u'\n');
        seen.lineStart = lf < 0 ? floor : floor + lf + 1;
        seen.checkedTo = offset;
        scanned_ += offset - seen.lineStart;
    } else if (offset > seen.checkedTo) {
        // Read backwards from offset: only as far as the last LF before it.
        const qsizetype lf = QStringView(text).sliced(seen.checkedTo, offset - seen.checkedTo).lastIndexOf(u'\n');
        if (lf >= 0) seen.lineStart = seen.checkedTo + lf + 1;
        scanned_ += offset - (lf >= 0 ? seen.lineStart - 1 : seen.checkedTo);
        seen.checkedTo = offset;
    }
    return qMax(seen.lineStart, floor);
}

qsizetype RegexHighlighter::firstIntroducer(IntroducerSeen& seen, QStringView introducer, const QString& text,
                                            qsizetype lineStart, qsizetype before) {
    if (seen.lineStart != lineStart) seen = {lineStart, lineStart, -1};
    if (seen.found < 0 && seen.scannedTo < before) {
        const qsizetype from = qMax(lineStart, seen.scannedTo - introducer.size() + 1);
        const qsizetype lf = QStringView(text).sliced(from, before - from).indexOf(u'\n');
        const qsizetype to = lf < 0 ? before : from + lf;
        const qsizetype at = QStringView(text).sliced(from, qMin(text.size(), to + introducer.size() - 1) - from).indexOf(introducer);
        scanned_ += to - from;
        seen.found = at < 0 ? -1 : from + at;
        seen.scannedTo = at < 0 ? to : seen.found + introducer.size();
    }
    return seen.found >= 0 && seen.found < before ? seen.found : -1;
}

void RegexHighlighter::shiftFor(const TextEdit& edit) {
    const qsizetype start = edit.startChar;
    const qsizetype oldEnd = qMax(edit.oldEndChar, start);
    const qsizetype newEnd = qMax(edit.newEndChar, start);
    stringPoints_.edit(start, oldEnd, newEnd);
    blockCommentPoints_.edit(start, oldEnd, newEnd);
    // What was looked at before the edit still reads the same.
    for (IntroducerSeen* seen : {&lineCommentSeen_, &hashCommentSeen_}) {
        if (start < seen->lineStart) *seen = {};
        else if (seen->found >= 0 && start >= seen->found + 2) continue;
        else if (start < seen->scannedTo) *seen = {seen->lineStart, qMax(seen->lineStart, start - 1), -1};
    }
    if (start < lineSeen_.lineStart) lineSeen_ = {};
    else lineSeen_.checkedTo = qMin(lineSeen_.checkedTo, start);
}

QList<SyntaxHighlighter::Span> RegexHighlighter::ranges(const QString& text, const std::optional<TextEdit>& edit,
                                                        TextRange range) {
    if (edit) noteEdit(*edit);
    scanned_ = 0;
    wordsScanned_ = 0;
    if (!editNoted_ && (text.constData() != seenData_ || text.size() != seenSize_)) forgetAll();
    editNoted_ = false;
    checkQuoteFreeTail(text);
    seenData_ = text.constData();
    seenSize_ = text.size();
    // Only the part of range inside the text can be touched by a span.
    const qsizetype rangeEnd = qBound<qsizetype>(0, range.end(), text.size());
    range.location = qBound<qsizetype>(0, range.location, rangeEnd);
    range.length = rangeEnd - range.location;
    readUpTo(rangeEnd + kLongestWord + 1);

    // The word passes search only around the range. A whole-text search gives the same matches from
    // any place none of its matches runs over, and none runs over white space or a character that is
    // not a word character, '@', '.', '+' or '-' (a call's white space before its parenthesis aside,
    // which no match can start in): so they start after the last such character before the range,
    // and end at the first one after it, once past the white space a call may still run over.
    // Neither scan goes further than a word could reasonably be long: beyond that, a word of that
    // length that crosses the bound is what may be coloured otherwise.
    const auto parts = [&](qsizetype i) { return inWord(text[i]); };
    const qsizetype wordsLimitBefore = qMax<qsizetype>(0, range.location - kLongestWord);
    qsizetype wordsFrom = range.location;
    while (wordsFrom > wordsLimitBefore && parts(wordsFrom - 1)) --wordsFrom;
    const qsizetype wordsLimitAfter = qMin(text.size(), range.end() + kLongestWord);
    qsizetype wordsTo = range.end();
    while (wordsTo < wordsLimitAfter && parts(wordsTo)) ++wordsTo;
    // A call's name in the range may be followed by white space that runs past it: the call pass
    // looks on to the parenthesis, when one follows.
    qsizetype callsTo = wordsTo;
    qsizetype spaceFrom = wordsTo;
    while (spaceFrom > range.location && text[spaceFrom - 1].isSpace()) --spaceFrom;
    if (spaceFrom > range.location && inCallName(text[spaceFrom - 1])) {
        qsizetype next = wordsTo;
        while (next < wordsLimitAfter && text[next].isSpace()) ++next;
        scanned_ += next - wordsTo;
        if (next < text.size() && text[next] == u'(') callsTo = next;
    }

    QList<Span> spans;
    const auto pass = [&](const RegularExpression& re, int group, TokenRole role, qsizetype from, qsizetype to) {
        scanned_ += to - from;
        re.forEachMatchIn(text, TextRange{from, to - from}, group, [&](TextRange r) {
            if (r.intersects(range) || range.containsLocation(r.location)) spans.append(Span{r, role});
        });
    };
    // A comment runs from its introducer to the end of its line, so the passes start at the first
    // introducer of the range's first line, which is all of them on a long line. On a line longer
    // than the scans look back (or on), what they see of it counts as the line.
    const bool any = range.length > 0;
    const qsizetype firstBreak = QStringView(text).sliced(range.location, range.length).indexOf(u'\n');
    const qsizetype firstLineEnd = firstBreak < 0 ? -1 : range.location + firstBreak;
    const auto lineEndAfterRange = [&] {
        const qsizetype reach = qMin(text.size(), range.end() + kLookBack);
        const qsizetype lf = findOnward(text, u"\n", range.end(), reach);
        const qsizetype end = lf < 0 ? reach : lf;
        readUpTo(qMin(text.size(), end + 1));  // the pass over the last line reads its terminator
        scanned_ += end - range.end();
        return end;
    };
    const auto commentPass = [&](const RegularExpression& re, IntroducerSeen& seen, QStringView introducer) {
        const qsizetype at = firstIntroducer(seen, introducer, text, lineStartOf(text, range.location),
                                             firstLineEnd < 0 ? range.end() : firstLineEnd);
        qsizetype from = firstLineEnd;  // where the pass goes on, over the range's later lines
        if (at >= 0) {
            from = firstLineEnd >= 0 ? firstLineEnd : lineEndAfterRange();
            const TextRange r{at, from - at};
            if (r.intersects(range) || range.containsLocation(at)) spans.append(Span{r, TokenRole::comment});
        }
        if (from < 0 || from >= range.end()) return;
        pass(re, 0, TokenRole::comment, from, qMin(text.size(), lineEndAfterRange() + 1));
    };

    // Order is precedence, lowest first: the caller paints later spans over earlier ones. An empty
    // range is touched by no span: it only lays the resume points of strings and comments.
    if (any) {
        for (const QList<Span>& matches : wordMatches(text, wordsFrom, wordsTo, callsTo).passes)
            for (const Span& span : matches)
                if (span.range.intersects(range) || range.containsLocation(span.range.location)) spans.append(span);
    }
    // Taken in turn, the string scan finds the comments as well.
    delimitedPass(Delimited::string, text, range, spans);
    if (delimiting_ == Delimiting::apart) {
        if (any && lineCommentRegex_) commentPass(*lineCommentRegex_, lineCommentSeen_, *lineComment_);
        if (any && supportsHashComment_) commentPass(hashCommentRegex(), hashCommentSeen_, u"#");
        if (supportsBlockComment_) delimitedPass(Delimited::blockComment, text, range, spans);
    }
    const qsizetype moved = stringPoints_.moved() + blockCommentPoints_.moved();
    pointsMoved_ = moved - pointsMovedBefore_;
    pointsMovedBefore_ = moved;
    return spans;
}

const RegexHighlighter::WordMatches& RegexHighlighter::wordMatches(const QString& text, qsizetype from, qsizetype to,
                                                                  qsizetype callsTo) {
    const std::array<const RegularExpression*, 5> patterns{&funcRegex(), typeRegex_ ? &*typeRegex_ : nullptr,
                                                           keywordRegex_ ? &*keywordRegex_ : nullptr, &attrRegex(),
                                                           &numberRegex()};
    static constexpr std::array<TokenRole, 5> roles{TokenRole::function, TokenRole::type, TokenRole::keyword,
                                                    TokenRole::attribute, TokenRole::number};
    const auto search = [&](size_t pass, qsizetype searchFrom, qsizetype searchTo, QList<Span>& into) {
        if (!patterns[pass] || searchTo <= searchFrom) return;
        scanned_ += searchTo - searchFrom;
        wordsScanned_ += searchTo - searchFrom;
        patterns[pass]->forEachMatchIn(text, TextRange{searchFrom, searchTo - searchFrom}, pass == 0 ? 1 : 0,
                                       [&](TextRange r) { into.append(Span{r, roles[pass]}); });
    };
    const auto parts = [&](qsizetype i) { return inWord(text[i]); };

    WordMatches* words = wordMatches_ ? &*wordMatches_ : nullptr;
    if (words && (words->from != from || words->to != to || words->callsTo != callsTo)) words = nullptr;
    if (words && words->changedFrom >= 0) {
        // Around what changed, out to characters no match runs over (see ranges()); and back over the
        // white space a call's name may stand before its parenthesis with, when a name stands there.
        qsizetype again = qBound(from, words->changedFrom, to);
        qsizetype floor = qMax(from, again - kLongestWord);
        while (again > floor && parts(again - 1)) --again;
        bool bounded = again == from || again > floor;
        qsizetype space = again;
        while (space > from && text[space - 1].isSpace()) --space;
        scanned_ += again - space;
        if (space < again && space > from && inCallName(text[space - 1])) {
            again = space;
            floor = qMax(from, again - kLongestWord);
            while (again > floor && parts(again - 1)) --again;
            bounded = bounded && (again == from || again > floor);
        }
        qsizetype againTo = qBound(from, words->changedTo, to);
        const qsizetype ceiling = qMin(to, againTo + kLongestWord);
        while (againTo < ceiling && parts(againTo)) ++againTo;
        qsizetype callsAgainTo = againTo;
        qsizetype next = againTo;
        while (next < callsTo && text[next].isSpace()) ++next;
        if (next < text.size() && text[next] == u'(') callsAgainTo = next;
        scanned_ += next - againTo;
        // A word longer than the walks look, or changes over much of the stretch: all of it again.
        bounded = bounded && (againTo == to || againTo < ceiling);
        if (!bounded || 2 * (callsAgainTo - again) > callsTo - from) {
            words = nullptr;
        } else {
            for (size_t pass = 0; pass < words->passes.size(); ++pass) {
                QList<Span>& matches = words->passes[pass];
                const qsizetype end = pass == 0 ? callsAgainTo : againTo;
                const auto first = std::find_if(matches.cbegin(), matches.cend(),
                                                [&](const Span& span) { return span.range.end() > again; });
                const auto last = std::find_if(first, matches.cend(),
                                               [&](const Span& span) { return span.range.location >= end; });
                QList<Span> merged = matches.first(first - matches.cbegin());
                search(pass, again, end, merged);
                merged += matches.sliced(last - matches.cbegin());
                matches = std::move(merged);
            }
        }
    }
    if (!words) {
        wordMatches_ = WordMatches{from, to, callsTo, {}, -1, -1};
        words = &*wordMatches_;
        for (size_t pass = 0; pass < words->passes.size(); ++pass)
            search(pass, from, pass == 0 ? callsTo : to, words->passes[pass]);
    }
    words->changedFrom = words->changedTo = -1;
    return *words;
}

namespace {

// Where the dot of a pattern stops.
bool isLineTerminator(char16_t c) {
    return c == 0x0a || c == 0x0b || c == 0x0c || c == 0x0d || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// One attempt of the string pattern
//   "[^"\\]*(?:\\.[^"\\]*)*"|'[^'\\]*(?:\\.[^'\\]*)*'|`[^`\\]*(?:\\.[^`\\]*)*`
// at the quote at s: the quote, then other characters or a backslash and any character but a line
// terminator, then the same quote; a quoted run may span lines. The end of the match, or absent;
// horizon gets one past the last character the attempt depended on, read one past the last it read.
// Text from tailFrom on is known to hold no quote: an attempt that gets there runs out of text.
template <typename ReadUpTo>
std::optional<qsizetype> quotedAt(const QChar* t, qsizetype n, qsizetype s, qsizetype& horizon, qsizetype& read,
                                  qsizetype tailFrom, ReadUpTo readUpTo) {
    const char16_t quote = t[s].unicode();
    qsizetype i = s + 1;
    for (; i < n && i < tailFrom;) {
        readUpTo(i + 2);
        const char16_t c = t[i].unicode();
        if (c == quote) {
            horizon = i + 1;
            read = i + 1;
            return i + 1;
        }
        if (c != u'\\') {
            ++i;
        } else if (i + 1 < n && isLineTerminator(t[i + 1].unicode())) {
            horizon = i + 2;
            read = i + 2;
            return std::nullopt;
        } else {
            i += 2;
        }
    }
    read = qMin(i, n);
    horizon = n + 1;  // ran out of text: text added at the end could still close it
    return std::nullopt;
}

} // namespace

// The matches of the string pattern, or of the block-comment pattern /\*[\s\S]*?\*/ (the shortest run
// from a slash-star to the next star-slash), exactly as a search of the whole text finds them, but
// scanned from a remembered point instead of the start: the matches of a whole-text search are a
// chain in which each search resumes where the previous match ended, so resuming at a point of that
// chain gives the same matches after it.
void RegexHighlighter::delimitedPass(Delimited kind, const QString& text, TextRange range, QList<Span>& spans) {
    constexpr qsizetype kPointSpacing = 16 * 1024;
    ResumePoints& points = kind == Delimited::string ? stringPoints_ : blockCommentPoints_;
    using ResumePoint = ResumePoints::Point;
    const QChar* t = text.constData();
    const qsizetype n = text.size();
    // Asks for the text a step at a time as the scans go past what was asked for so far.
    qsizetype readTo = 0;
    const auto readable = [&](qsizetype end) {
        if (end <= readTo) return;
        readTo = qMin(n, qMax(end, readTo + kReadStep));
        readUpTo(readTo);
    };

    const auto remember = [&](qsizetype position, qsizetype horizon) {
        // New points go after the confirmed ones, before any candidate still ahead.
        if (position - points.lastConfirmed() < kPointSpacing) return;
        if (points.hasCandidates() && points.at(points.confirmed()).position <= position) return;
        points.addConfirmed(ResumePoint{position, horizon});
    };

    // Follows the chain from `from`: up to stop, keeping the matches that touch range; or, when
    // settling, only until the candidates an edit left are met (and so all hold) or passed by.
    // Nor does a string or comment run further past the range than that: one that would is taken
    // to run out of text, so an opener typed above a long text without a closer is not followed to
    // its end at every look.
    const qsizetype reach = qMin(n, range.end() + kLookBack);

    // Taken in turn, the string scan also stops at the comments, which hide the quotes in them.
    const bool inTurn = kind == Delimited::string && delimiting_ == Delimiting::inTurn;
    const char16_t lineFirst = inTurn && lineComment_ && !lineComment_->isEmpty() ? lineComment_->at(0).unicode() : 0;
    const bool hash = inTurn && supportsHashComment_;
    const bool block = inTurn && supportsBlockComment_;
    // Whether an attempt may start at a character: a cheap look, made over whole blocks at a time.
    const auto mayOpen = [&](char16_t c) {
        return isQuote(c) || (inTurn && ((lineFirst && c == lineFirst) || (hash && c == u'#') || (block && c == u'/')));
    };
    enum class Opens { nothing, string, lineComment, blockComment };
    const auto opensAt = [&](qsizetype i) {
        const char16_t c = t[i].unicode();
        if (isQuote(c)) return Opens::string;
        if (!inTurn) return Opens::nothing;
        if (hash && c == u'#') return Opens::lineComment;
        if (lineFirst && c == lineFirst) {
            readable(i + lineComment_->size());
            if (QStringView(text).sliced(i).startsWith(*lineComment_)) return Opens::lineComment;
        }
        if (block && c == u'/' && i + 1 < n) {
            readable(i + 2);
            if (t[i + 1] == u'*') return Opens::blockComment;
        }
        return Opens::nothing;
    };

    // A scan started afresh (fresh) lays no points: it is not known to be on the chain.
    const auto follow = [&](ResumePoint from, qsizetype stop, bool settling, bool fresh) {
        qsizetype p = from.position;
        qsizetype horizon = from.horizon;
        qsizetype noCloserFrom = n + 1;  // a block comment opened at or after this cannot close
        qsizetype looked = p;            // one past the last character read
        bool met = false;                // settled: the chain met the candidates
        while (p < stop) {
            // The chain runs through every place from p to the next attempt: a candidate there is
            // met, one left behind was never on it.
            points.dropCandidatesBefore(p);
            if (settling && !points.hasCandidates()) {
                met = true;
                break;
            }
            // Settling looks for the candidates only a little past the range: far enough to meet
            // the points past a key typed in it, not to where an edit over most of the text left
            // them, near its end (laying points meets those later, a step a turn).
            const qsizetype limit =
                settling ? qMin(qMin(n, stop + 2 * kPointSpacing), points.at(points.confirmed()).position) : stop;

            // The next place an attempt can start, before limit.
            qsizetype s = p;
            if (kind == Delimited::string) {
                // Most text holds no quote: look at whole blocks first, which the compiler vectorises.
                constexpr qsizetype kBlock = 32;
                for (; s + kBlock <= limit; s += kBlock) {
                    readable(s + kBlock);
                    bool any = false;
                    for (qsizetype k = 0; k < kBlock; ++k) any |= mayOpen(t[s + k].unicode());
                    if (any) break;
                }
                readable(qMin(limit, s + kBlock));
                while (s < limit && opensAt(s) == Opens::nothing) ++s;
                if (s == n && (quoteFreeTail_.from < 0 || p < quoteFreeTail_.from)) quoteFreeTail_ = {p, 0, 0};
            } else {
                s = findOnward(text, u"/*", p, qMin(n, limit + 1));
                if (s < 0 || s >= limit) s = limit;
            }
            looked = qMax(looked, s);
            if (settling && points.at(points.confirmed()).position <= s) {
                // Met: the text after it is what it was, and so is the chain from there on.
                points.confirmCandidates(horizon);
                met = true;
                break;
            }
            // Every place from p to the next attempt lies on the chain as well: a long run without
            // one still gets points, so an edit inside it resumes close by rather than at its start.
            if (!fresh) {
                for (qsizetype q = qMax(p, points.lastConfirmed() + kPointSpacing); q < s; q += kPointSpacing)
                    remember(q, horizon);
                remember(s, horizon);
            }
            if (s >= stop) break;

            qsizetype reached = 0;
            std::optional<qsizetype> end;
            qsizetype read = 0;
            const Opens opens = kind == Delimited::string ? opensAt(s) : Opens::blockComment;
            const TokenRole found = opens == Opens::string ? TokenRole::string : TokenRole::comment;
            if (opens == Opens::string) {
                end = quotedAt(t, n, s, reached, read, qMin(reach, quoteFreeTail_.from < 0 ? n : quoteFreeTail_.from),
                               readable);
            } else if (opens == Opens::lineComment) {
                // To the end of its line; on a line longer than the scans look on, as far as they do.
                const qsizetype lf = findOnward(text, u"\n", s, reach);
                end = lf >= 0 ? lf : qMax(reach, s + 1);
                reached = lf >= 0 ? lf + 1 : n + 1;
                read = lf >= 0 ? lf + 1 : *end;
            } else if (s + 2 < noCloserFrom) {
                const qsizetype closer = s + 2 < reach ? findOnward(text, u"*/", s + 2, reach) : -1;
                if (closer >= 0) {
                    end = closer + 2;
                    reached = closer + 2;
                    read = closer + 2;
                } else {
                    noCloserFrom = s + 2;
                    reached = n + 1;
                    read = qMax(s + 2, reach);  // the search for a closer stops there
                }
            } else {
                reached = n + 1;
                read = s + 2;
            }
            horizon = qMax(horizon, reached);
            looked = qMax(looked, qMin(read, n));
            if (end) {
                const TextRange r{s, *end - s};
                if (!settling && (r.intersects(range) || range.containsLocation(s))) spans.append(Span{r, found});
                p = *end;
            } else {
                p = s + 1;
            }
        }
        scanned_ += looked - from.position;
        if (settling && !met && p >= n) points.dropCandidates();  // the chain ended before meeting any
    };

    // Candidates are settled first, but only as far as the range: an edit that changes how every
    // later quote pairs would otherwise have each keystroke follow the chain to the end of the text.
    // What lies further is settled when a range reaches it (an edit meanwhile drops those
    // candidates, and the chain is followed there from the last point that holds).
    // A range looks back no further than kLookBack for where the chain stands: past that (a quote
    // typed far above, nothing coloured between), the scan starts afresh at a line start there, as
    // though no string or comment ran over it. An empty range lays points, and follows the chain
    // however far.
    const qsizetype lookFrom = range.length > 0 ? range.location - kLookBack : 0;
    if (points.hasCandidates()) {
        const ResumePoint settleFrom = points.confirmedAtOrBefore(points.at(points.confirmed()).position);
        if (settleFrom.position >= lookFrom) follow(settleFrom, range.end(), true, false);
    }
    ResumePoint from = points.confirmedAtOrBefore(range.location);
    const bool fresh = from.position < lookFrom;
    if (fresh) {
        // At a line start, unless the line is longer than a word may be.
        const qsizetype lf =
            QStringView(text).sliced(lookFrom, qMin(kLongestWord, range.location - lookFrom)).indexOf(u'\n');
        from.position = lf < 0 ? lookFrom : lookFrom + lf + 1;
        from.horizon = from.position;
    }
    follow(from, range.end(), false, fresh);
}
