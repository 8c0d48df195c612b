#include "Editor/FindMatcher.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <iterator>
#include <numeric>
#include <vector>

#include "Platform/ParallelChunks.h"
#include "Editor/UnitScan.h"
#include "Platform/Lines.h"

namespace FindMatcher {

namespace {

thread_local qsizetype unitsSearched = 0;
thread_local qsizetype matchesKept = 0;
std::atomic<qsizetype> placesKept{0};

// A whole-text search's result, its places counted.
Result kept(Result result) {
    placesKept.fetch_add(result.matches.size(), std::memory_order_relaxed);
    return result;
}

// Every search below goes through here, so that its cost is counted on the thread that pays it.
RegularExpression::Outcome searchIn(const RegularExpression& expression, const QString& text, TextRange region,
                                    const std::function<void(TextRange)>& visit) {
    unitsSearched += region.length;
    return expression.forEachMatchIn(text, region, 0, visit);
}

} // namespace

qsizetype unitsSearchedHere() { return unitsSearched; }
qsizetype matchesKeptHere() { return matchesKept; }
qsizetype placesKeptAnywhere() { return placesKept.load(std::memory_order_relaxed); }

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
    return kept(std::move(result));
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

namespace {

// Counts a plain ASCII query the way a search from a line start finds it: leftmost matches that do
// not overlap. Regions handed to it start at line starts, so no match runs into them from before.
class AsciiCounter {
public:
    AsciiCounter(const QString& literal, bool foldCase, const QString& text)
        : literal_(foldCase ? literal.toLower() : literal), foldCase_(foldCase), units_(QStringView(text).utf16()),
          size_(text.size()) {}

    // The matches in [from, to), and every unit there or-ed into `seen`.
    qsizetype count(qsizetype from, qsizetype to, char16_t& seen) const {
        unitsSearched += to - from;
        const char16_t first = literal_.front().unicode(), last = literal_.back().unicode();
        if (literal_.size() == 1) return UnitScan::countEither(units_ + from, to - from, first, upper(first), seen);
        // The first and the last unit of the query compared together, then the rest where both are.
        qsizetype n = 0, next = from;  // where the next match may start
        const qsizetype length = literal_.size();
        UnitScan::forEachPair(units_ + from, to - from, size_ - from, first, upper(first), length - 1, last, upper(last),
                              seen, [&](qsizetype i) {
                                  const qsizetype at = from + i;
                                  if (at < next || !matchesRestAt(at)) return;
                                  ++n;
                                  next = at + length;
                              });
        return n;
    }

private:
    bool matchesRestAt(qsizetype at) const {
        for (qsizetype k = 1; k < literal_.size(); ++k) {
            char16_t u = units_[at + k];
            if (foldCase_ && u >= u'A' && u <= u'Z') u += u'a' - u'A';
            if (u != literal_[k].unicode()) return false;
        }
        return true;
    }

    char16_t upper(char16_t c) const { return foldCase_ ? QChar::toUpper(c) : c; }

    QString literal_;  // lower-case when case is folded
    bool foldCase_;
    const char16_t* units_;
    qsizetype size_;
};

// Where the text is cut into pieces of about `piece` units: at line starts, where a search from
// there finds what the whole search finds. Starts with 0 and ends with the text's size.
std::vector<qsizetype> lineCuts(QStringView text, qsizetype piece) {
    std::vector<qsizetype> cuts{0};
    for (qsizetype at = piece; at < text.size(); at = cuts.back() + piece) {
        const qsizetype lineEnd = text.indexOf(u'\n', at);
        if (lineEnd < 0 || lineEnd + 1 >= text.size()) break;
        cuts.push_back(lineEnd + 1);
    }
    cuts.push_back(text.size());
    return cuts;
}

} // namespace

std::optional<Result> literalCount(const RegularExpression& limited, const QString& text, qsizetype piece) {
    const std::optional<QString> literal = asciiLiteral(limited.pattern());
    if (!literal || std::any_of(literal->begin(), literal->end(), [](QChar c) { return Lines::isBreak(c.unicode()); }))
        return std::nullopt;
    // A literal never backtracks: its time limit would only cost a call at every position.
    RegularExpression expression = limited;
    expression.setTimeLimit(0);
    const bool foldCase = expression.isCaseInsensitive();
    const AsciiCounter ascii(*literal, foldCase, text);
    const std::vector<qsizetype> cuts = lineCuts(text, qMax<qsizetype>(1, piece));
    const int pieces = int(cuts.size()) - 1;
    std::vector<qsizetype> counts(pieces, 0);
    std::vector<char> completed(pieces, 1);
    ParallelChunks::run(pieces, ParallelChunks::threadCount(), [&](int, int k) {
        qsizetype n = 0;
        // Blocks small enough to be read again from the cache when one holds a character past
        // ASCII (seldom in code) and case is folded: its lines holding one are then searched by the
        // expression, which folds them as a whole search does. A match of one character cannot
        // cross a block's edge; a longer query's blocks are whole lines.
        constexpr qsizetype kBlock = 4096;
        for (qsizetype at = cuts[k], end; at < cuts[k + 1]; at = end) {
            end = cuts[k + 1];
            if (at + kBlock < end && literal->size() == 1) {
                end = at + kBlock;
            } else if (at + kBlock < end) {
                const qsizetype lineEnd = QStringView(text).sliced(at + kBlock, end - at - kBlock).indexOf(u'\n');
                if (lineEnd >= 0) end = at + kBlock + lineEnd + 1;
            }
            char16_t seen = 0;
            const qsizetype found = ascii.count(at, end, seen);
            if (!foldCase || seen < 0x80) {
                n += found;
                continue;
            }
            const auto countRun = [&](qsizetype from, qsizetype to) {
                char16_t ignored = 0;
                n += ascii.count(from, to, ignored);
            };
            if (splitForLiteral(expression, *literal, text, {at, end - at}, countRun, [&](TextRange r) {
                    if (r.length > 0) ++n;
                }) != RegularExpression::Outcome::completed) {
                completed[k] = 0;
                break;
            }
        }
        counts[k] = n;
    });
    if (std::find(completed.begin(), completed.end(), 0) != completed.end()) return kStopped;
    Result result;
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
        return kept(std::move(result));
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
    return kept(std::move(result));
}

std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate) {
    return expression.expandAt(text, match, replacementTemplate);
}

} // namespace FindMatcher
