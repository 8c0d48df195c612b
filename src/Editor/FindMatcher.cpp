#include "Editor/FindMatcher.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <numeric>
#include <vector>

#include "Editor/ParallelChunks.h"
#include "Platform/Lines.h"

namespace FindMatcher {

namespace {

thread_local qsizetype unitsSearched = 0;
thread_local qsizetype matchesKept = 0;

// Every search below goes through here, so that its cost is counted on the thread that pays it.
RegularExpression::Outcome searchIn(const RegularExpression& expression, const QString& text, TextRange region,
                                    const std::function<void(TextRange)>& visit) {
    unitsSearched += region.length;
    return expression.forEachMatchIn(text, region, 0, visit);
}

} // namespace

qsizetype unitsSearchedHere() { return unitsSearched; }
qsizetype matchesKeptHere() { return matchesKept; }

Result matches(const RegularExpression& expression, const QString& text) {
    Result result;
    unitsSearched += text.size();
    const RegularExpression::Outcome outcome = expression.forEachMatch(text, 0, [&](TextRange r) {
        if (r.length > 0) result.matches.append(r);
    });
    if (outcome != RegularExpression::Outcome::completed) {
        result.matches.clear();
        result.stopped = true;
    }
    return result;
}

qsizetype literalReach(qsizetype queryLength) {
    return 6 * queryLength + 4;
}

namespace {

using MatchIt = QList<TextRange>::const_iterator;

// The first of `matches` that starts at `at` or later.
MatchIt startingFrom(const QList<TextRange>& matches, qsizetype at) {
    return std::lower_bound(matches.begin(), matches.end(), at,
                            [](const TextRange& m, qsizetype x) { return m.location < x; });
}

// True when a search that found `matches` stood at `at` on its way: `at` lies inside none of them.
bool stoodAt(const QList<TextRange>& matches, qsizetype at) {
    const MatchIt next = startingFrom(matches, at);
    return next == matches.begin() || std::prev(next)->end() <= at;
}

// The search of `text` from `at` on, a window at a time: appends what it finds to `out` until it
// stands at `from` or later where the search that found `other` stood too (offsets there `shift`
// less), or at `until` or later. Returns where it stands; nothing when it was stopped.
std::optional<qsizetype> searchUntilInStep(const RegularExpression& expression, qsizetype reach, const QString& text,
                                           qsizetype at, qsizetype from, qsizetype until,
                                           const QList<TextRange>& other, qsizetype shift, Result& out,
                                           const ReadUpTo& readUpTo) {
    qsizetype limit = qMax(from, at);
    for (;;) {
        const qsizetype end = qMin(text.size(), limit + reach);
        if (readUpTo) readUpTo(end);
        // An attempt that starts before `limit` reads no further than `end`: its result stands.
        const qsizetype accepted = end == text.size() ? end : limit;
        qsizetype next = accepted;
        const RegularExpression::Outcome outcome =
            searchIn(expression, text, {at, end - at}, [&](TextRange r) {
                if (r.location >= accepted || r.length == 0) return;
                out.matches.append(r);
                next = qMax(next, r.end());
            });
        if (outcome != RegularExpression::Outcome::completed) return std::nullopt;
        at = next;
        if (at >= text.size() || at >= until || stoodAt(other, at - shift)) return at;
        limit = at + 4 * reach;
    }
}

// What a search that could not finish reports, as matches() does.
const Result kStopped{{}, true};

} // namespace

Result matchesAfterEdit(const RegularExpression& expression, qsizetype reach, const QList<TextRange>& before,
                        const QString& text, const EditSpan& edit, const ReadUpTo& readUpTo) {
    const TextRange replaced = edit.replaced();
    const qsizetype inserted = edit.insertedLength(text.size());
    const qsizetype delta = inserted - replaced.length;

    // The search resumes where the whole search of the old text stood (never inside one of its
    // matches) so far before the edit that no attempt from there on read the old text's change.
    qsizetype at = qMax<qsizetype>(0, replaced.location - reach);
    const MatchIt kept = startingFrom(before, at);
    if (kept != before.begin() && std::prev(kept)->end() > at) at = std::prev(kept)->end();
    Result result;
    result.matches.reserve(before.size() + 16);
    std::copy(before.begin(), kept, std::back_inserter(result.matches));

    // Past the edit by more than one attempt reads, where the old search stood, both go on alike.
    const std::optional<qsizetype> stood = searchUntilInStep(expression, reach, text, at, replaced.location + inserted + reach,
                                                             text.size(), before, delta, result, readUpTo);
    if (!stood) return kStopped;
    for (MatchIt it = startingFrom(before, *stood - delta); it != before.end(); ++it)
        result.matches.append({it->location + delta, it->length});
    return result;
}

namespace {

// Escapes followed by a letter or digit that match no line terminator: digits, word characters,
// horizontal space, tab, bell, escape; boundaries and anchors; back references.
bool isSafeEscape(char16_t c) {
    return QStringView(u"dwhtaebBAzZk123456789").contains(QChar(c));
}

} // namespace

bool staysWithinALine(QStringView pattern) {
    bool inSet = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i].unicode();
        const char16_t next = i + 1 < pattern.size() ? pattern[i + 1].unicode() : 0;
        if (Lines::isBreak(c)) return false;
        if (c == u'\\') {
            if (next == 0 || Lines::isBreak(next)) return false;
            if (QChar::isLetterOrNumber(next) && !isSafeEscape(next)) return false;
            ++i;
            continue;
        }
        if (inSet) {
            if (c == u']') inSet = false;
            else if (c == u'[') return false;  // nested sets and named classes
            else if (c == u'-' && next != u']' && pattern[i - 1] != u'[') {
                // A range of literal characters that holds no line terminator.
                const char16_t low = pattern[i - 1].unicode();
                if (next == 0 || next == u'\\' || (i >= 2 && pattern[i - 2] == u'\\')) return false;
                if (low <= 0x0d && next >= 0x0a) return false;
                if (low <= 0x85 && next >= 0x85) return false;
                if (low <= 0x2029 && next >= 0x2028) return false;
            }
            continue;
        }
        if (c == u'[') {
            if (next == u'^' || next == u']' || next == u'[' || next == u':') return false;  // a negated set holds them
            inSet = true;
        } else if (c == u'(' && next == u'?') {
            // Flags that let "." reach a line end or change what the pattern's characters mean.
            for (qsizetype k = i + 2; k < pattern.size() && (QChar::isLetter(pattern[k].unicode()) || pattern[k] == u'-'); ++k)
                if (pattern[k] == u's' || pattern[k] == u'x' || pattern[k] == u'w') return false;
            if (i + 2 < pattern.size() && pattern[i + 2] == u'#') return false;
        }
    }
    return !inSet;
}

Result matchesAfterLineEdit(const RegularExpression& expression, const QList<TextRange>& before, const QString& text,
                            const EditSpan& edit, const ReadUpTo& readUpTo) {
    const TextRange replaced = edit.replaced();
    const qsizetype delta = edit.insertedLength(text.size()) - replaced.length;
    const QStringView view(text);
    qsizetype readTo = 0;
    const auto nextLine = [&](qsizetype at) {
        for (; at < view.size(); ++at) {
            if (readUpTo && at + 2 > readTo) readUpTo(readTo = at + 64 * 1024);
            if (Lines::isBreak(view[at].unicode())) break;
        }
        return at + Lines::terminatorLength(view, at);
    };
    // No match holds a line end and no attempt reads more than one unit past one: matches outside
    // the lines next to the edited ones are as they were, and a search from a line start finds what
    // the whole search finds from there.
    qsizetype from = Lines::lineStart(view, replaced.location);
    if (from > 0) from = Lines::lineStart(view, from - 1);
    const qsizetype to = nextLine(nextLine(replaced.location + replaced.length + delta));
    Result result;
    result.matches.reserve(before.size() + 16);
    const MatchIt kept = startingFrom(before, from);
    std::copy(before.begin(), kept, std::back_inserter(result.matches));
    const RegularExpression::Outcome outcome = searchIn(expression, text, {from, to - from}, [&](TextRange r) {
        if (r.length > 0) result.matches.append(r);
    });
    if (outcome != RegularExpression::Outcome::completed) return kStopped;
    for (MatchIt it = startingFrom(before, to - delta); it != before.end(); ++it)
        result.matches.append({it->location + delta, it->length});
    return result;
}

namespace {

// The ASCII text a pattern made only of plain and escaped characters matches (as escapedPattern()
// writes a query); absent for anything else (a word boundary, a class, a non-ASCII character).
std::optional<QString> asciiLiteral(const QString& pattern) {
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        QChar c = pattern[i];
        if (c == u'\\') {
            if (i + 1 >= pattern.size() || pattern[i + 1].isLetterOrNumber()) return std::nullopt;
            c = pattern[++i];
        } else if (QStringView(u"^$.|?*+()[]{}").contains(c)) {
            return std::nullopt;
        }
        if (c.unicode() >= 0x80) return std::nullopt;
        out += c;
    }
    if (out.isEmpty()) return std::nullopt;
    return out;
}


// The first unit at or after `from` that is not ASCII; `to` when there is none before it.
qsizetype firstNonAscii(QStringView text, qsizetype from, qsizetype to) {
    const char16_t* units = text.utf16();
    // Four units at a time while none of them is past ASCII.
    for (; from + 4 <= to; from += 4) {
        quint64 four;
        std::memcpy(&four, units + from, sizeof four);
        if (four & 0xff80ff80ff80ff80ULL) break;
    }
    while (from < to && units[from] < 0x80) ++from;
    return from;
}

// Splits a region for a search of the ASCII literal: `ascii(from, to)` for the runs where comparing
// units means what the expression means (always when case counts; otherwise over ASCII text, where
// folding case is ASCII's own), and the expression over the lines holding other characters, which
// may fold to ASCII ones.
template <class Ascii, class Visit>
RegularExpression::Outcome splitForLiteral(const RegularExpression& expression, const QString& literal, const QString& text,
                                           TextRange region, Ascii&& ascii, Visit&& visit) {
    const QStringView view(text);
    const bool foldCase = expression.isCaseInsensitive();
    const bool spansLines = std::any_of(literal.begin(), literal.end(), [](QChar c) { return Lines::isBreak(c.unicode()); });
    qsizetype at = region.location;
    while (at < region.end()) {
        const qsizetype other = foldCase ? firstNonAscii(view, at, region.end()) : region.end();
        if (other == region.end()) {
            unitsSearched += other - at;
            ascii(at, other);
            break;
        }
        if (spansLines) return searchIn(expression, text, {at, region.end() - at}, visit);
        const qsizetype lineStart = qMax(at, Lines::lineStart(view, other));
        qsizetype lineEnd = other;
        while (lineEnd < region.end() && !Lines::isBreak(view[lineEnd].unicode())) ++lineEnd;
        lineEnd = qMin(region.end(), lineEnd + Lines::terminatorLength(view, lineEnd));
        unitsSearched += lineStart - at;
        ascii(at, lineStart);
        const RegularExpression::Outcome outcome = searchIn(expression, text, {lineStart, lineEnd - lineStart}, visit);
        if (outcome != RegularExpression::Outcome::completed) return outcome;
        at = lineEnd;
    }
    return RegularExpression::Outcome::completed;
}

// searchIn() of an expression that is an ASCII literal, found by comparing units where it can.
template <class Visit>
RegularExpression::Outcome searchLiteralIn(const RegularExpression& expression, const std::optional<QString>& literal,
                                           const QString& text, TextRange region, Visit&& visit) {
    if (!literal) return searchIn(expression, text, region, visit);
    const Qt::CaseSensitivity cs = expression.isCaseInsensitive() ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const auto ascii = [&](qsizetype from, qsizetype to) {
        const QStringView slice = QStringView(text).sliced(from, to - from);
        for (qsizetype at = slice.indexOf(*literal, 0, cs); at >= 0; at = slice.indexOf(*literal, at + literal->size(), cs))
            visit({from + at, literal->size()});
    };
    return splitForLiteral(expression, *literal, text, region, ascii, visit);
}

} // namespace

QList<TextRange> matchesIn(const RegularExpression& expression, const QString& text, TextRange region, qsizetype most) {
    QList<TextRange> found;
    (void)searchLiteralIn(expression, asciiLiteral(expression.pattern()), text, region, [&](TextRange r) {
        if (r.length <= 0 || (most >= 0 && found.size() >= most)) return;
        found.append(r);
        ++matchesKept;
    });
    return found;
}

std::optional<Result> oneCharacterCount(const RegularExpression& limited, const QString& text, qsizetype piece) {
    const std::optional<QString> literal = asciiLiteral(limited.pattern());
    if (!literal || literal->size() != 1) return std::nullopt;
    RegularExpression expression = limited;
    expression.setTimeLimit(0);
    const char16_t unit = literal->front().unicode();
    const bool foldCase = expression.isCaseInsensitive();
    const char16_t lower = foldCase ? QChar::toLower(unit) : unit, upper = foldCase ? QChar::toUpper(unit) : unit;
    const char16_t* units = QStringView(text).utf16();
    // One unit's matches never overlap nor straddle a cut: pieces are counted apart.
    const int pieces = int((text.size() + piece - 1) / piece);
    std::vector<qsizetype> counts(pieces, 0);
    std::vector<char> completed(pieces, 1);
    ParallelChunks::run(pieces, ParallelChunks::threadCount(), [&](int, int k) {
        const qsizetype from = k * piece, to = qMin(text.size(), from + piece);
        qsizetype n = 0;
        const auto ascii = [&](qsizetype at, qsizetype end) {
            for (qsizetype i = at; i < end; ++i) n += (units[i] == lower) | (units[i] == upper);
        };
        // One read of each unit: a block is counted while it is checked for characters past ASCII,
        // and only a block holding one (seldom in code) is counted again by splitting it.
        constexpr qsizetype kBlock = 4096;
        for (qsizetype at = from; at < to; at += kBlock) {
            const qsizetype end = qMin(to, at + kBlock);
            unsigned found = 0;
            char16_t seen = 0;
            for (qsizetype i = at; i < end; ++i) {
                found += (units[i] == lower) | (units[i] == upper);
                seen |= units[i];
            }
            if (!foldCase || seen < 0x80) {
                unitsSearched += end - at;
                n += found;
            } else if (splitForLiteral(expression, *literal, text, {at, end - at}, ascii, [&](TextRange r) {
                           if (r.length > 0) ++n;
                       }) != RegularExpression::Outcome::completed) {
                completed[k] = 0;
                break;
            }
        }
        counts[k] = n;
    });
    Result result;
    if (std::find(completed.begin(), completed.end(), 0) != completed.end()) return kStopped;
    result.counted = std::accumulate(counts.begin(), counts.end(), qsizetype(0));
    return result;
}

Result literalMatches(const RegularExpression& limited, qsizetype reach, const QString& text, qsizetype piece) {
    // A literal never backtracks: its time limit would only cost a call at every position.
    RegularExpression expression = limited;
    expression.setTimeLimit(0);
    const std::optional<QString> literal = asciiLiteral(expression.pattern());
    const auto search = [&](TextRange region, auto&& visit) {
        return searchLiteralIn(expression, literal, text, region, visit);
    };
    const int threads = ParallelChunks::threadCount();
    if (threads < 2 || piece <= 0 || text.size() < 2 * piece) {
        Result result;
        if (search({0, text.size()}, [&](TextRange r) { if (r.length > 0) result.matches.append(r); }) !=
            RegularExpression::Outcome::completed)
            return kStopped;
        return result;
    }

    // Each piece is searched as if a search started at its start.
    const int pieces = int((text.size() + piece - 1) / piece);
    std::vector<QList<TextRange>> found(pieces);
    std::vector<char> completed(pieces, 0);
    ParallelChunks::run(pieces, threads, [&](int, int k) {
        const qsizetype from = k * piece, to = qMin(text.size(), from + piece);
        const qsizetype end = qMin(text.size(), to + reach);
        const qsizetype accepted = end == text.size() ? end : to;
        // Filled apart and moved in once: lists side by side would share cache lines between threads.
        QList<TextRange> own;
        completed[k] = search({from, end - from}, [&](TextRange r) {
            if (r.location < accepted && r.length > 0) own.append(r);
        }) == RegularExpression::Outcome::completed;
        found[k] = std::move(own);
    });

    Result result;
    qsizetype total = 0;
    for (const QList<TextRange>& own : found) total += own.size();
    result.matches.reserve(total + 16);
    qsizetype at = 0;  // where the whole search stands
    for (int k = 0; k < pieces; ++k) {
        if (!completed[k]) return kStopped;
        const QList<TextRange>& own = found[k];
        const qsizetype from = k * piece, to = qMin(text.size(), from + piece);
        // The search stands inside a match from the piece before: it goes on alone until it
        // stands where this piece's search stood.
        if (at > from) {
            const std::optional<qsizetype> stood = searchUntilInStep(expression, reach, text, at, at, to, own, 0, result, {});
            if (!stood) return kStopped;
            at = *stood;
            if (at >= to) continue;
        }
        const MatchIt first = startingFrom(own, at);
        std::copy(first, own.end(), std::back_inserter(result.matches));
        at = first != own.end() ? qMax(to, own.back().end()) : to;
    }
    return result;
}

std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate) {
    return expression.expandAt(text, match, replacementTemplate);
}

} // namespace FindMatcher
