#include "API/LineMerge.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace LineMerge {

namespace {

constexpr int kMaxTraceCells = 1 << 24;

// Lines with their line feed; a last line without one stays as it is.
QList<QStringView> splitKeepingEnds(const QString& text) {
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n') continue;
        lines.append(QStringView(text).mid(start, i + 1 - start));
        start = i + 1;
    }
    if (start < text.size()) lines.append(QStringView(text).mid(start));
    return lines;
}

// For each line of a, the index of the line of b it is kept as, or -1 (a shortest edit script,
// found greedily by diagonals; lines are compared as numbers).
std::vector<int> matches(const std::vector<int>& a, const std::vector<int>& b) {
    const int n = int(a.size()), m = int(b.size());
    std::vector<int> out(n, -1);
    int lo = 0;
    while (lo < n && lo < m && a[lo] == b[lo]) out[lo] = lo, ++lo;
    int hiA = n, hiB = m;
    while (hiA > lo && hiB > lo && a[hiA - 1] == b[hiB - 1]) out[--hiA] = --hiB;
    const int N = hiA - lo, M = hiB - lo, max = N + M;
    if (N == 0 || M == 0) return out;

    std::vector<int> v(2 * max + 3, 0);
    std::vector<std::vector<int>> trace;
    const int off = max + 1;
    int found = -1;
    for (int d = 0; d <= max && found < 0; ++d) {
        // Texts this different are not worth the memory: only their common ends are kept.
        if (double(d + 1) * double(v.size()) > double(kMaxTraceCells)) return out;
        trace.push_back(v);
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[off + k - 1] < v[off + k + 1])) ? v[off + k + 1] : v[off + k - 1] + 1;
            int y = x - k;
            while (x < N && y < M && a[lo + x] == b[lo + y]) ++x, ++y;
            v[off + k] = x;
            if (x >= N && y >= M) {
                found = d;
                break;
            }
        }
    }
    // Walk back through the recorded fronts, noting the diagonal runs.
    int x = N, y = M;
    for (int d = found; d > 0; --d) {
        const std::vector<int>& prev = trace[d];
        const int k = x - y;
        const bool down = k == -d || (k != d && prev[off + k - 1] < prev[off + k + 1]);
        const int prevK = down ? k + 1 : k - 1;
        const int prevX = prev[off + prevK], prevY = prevX - prevK;
        const int startX = down ? prevX : prevX + 1;
        while (x > startX && y > (down ? prevY + 1 : prevY)) out[lo + --x] = lo + --y;
        x = prevX, y = prevY;
    }
    while (x > 0 && y > 0) out[lo + --x] = lo + --y;
    return out;
}

bool sameLines(const QList<QStringView>& a, qsizetype aFrom, qsizetype aTo, const QList<QStringView>& b, qsizetype bFrom,
               qsizetype bTo) {
    if (aTo - aFrom != bTo - bFrom) return false;
    for (qsizetype i = 0; i < aTo - aFrom; ++i)
        if (a[aFrom + i] != b[bFrom + i]) return false;
    return true;
}

struct Range {
    const QList<QStringView>* lines;
    qsizetype from, to;
    qsizetype size() const { return to - from; }
    bool operator==(const Range& o) const { return sameLines(*lines, from, to, *o.lines, o.from, o.to); }
    Range head(qsizetype n) const { return {lines, from, from + n}; }
    Range tail(qsizetype n) const { return {lines, to - n, to}; }
};

void append(QString& out, const Range& r) {
    for (qsizetype i = r.from; i < r.to; ++i) out += (*r.lines)[i];
}

// A region both sides changed. It still merges when one side only added lines before or after
// the base's lines, whatever the other side did to them.
bool resolve(QString& out, const Range& base, const Range& mine, const Range& theirs) {
    if (mine == base) return append(out, theirs), true;
    if (theirs == base || theirs == mine) return append(out, mine), true;
    // Lines added at one place by both sides have no order between them.
    if (base.size() == 0) return false;
    for (const auto& [added, other] : {std::pair{theirs, mine}, std::pair{mine, theirs}}) {
        if (added.size() <= base.size()) continue;
        const qsizetype extra = added.size() - base.size();
        if (added.head(base.size()) == base) {  // lines added after
            append(out, other);
            append(out, added.tail(extra));
            return true;
        }
        if (added.tail(base.size()) == base) {  // lines added before
            append(out, added.head(extra));
            append(out, other);
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<QString> merge(const QString& base, const QString& mine, const QString& theirs) {
    if (mine == base || mine == theirs) return theirs;
    if (theirs == base) return mine;
    const QList<QStringView> b = splitKeepingEnds(base), m = splitKeepingEnds(mine), t = splitKeepingEnds(theirs);
    QHash<QStringView, int> ids;
    auto numbered = [&](const QList<QStringView>& lines) {
        std::vector<int> out;
        out.reserve(lines.size());
        for (QStringView line : lines) {
            auto it = ids.constFind(line);
            if (it == ids.constEnd()) it = ids.insert(line, int(ids.size()));
            out.push_back(*it);
        }
        return out;
    };
    const std::vector<int> nb = numbered(b), nm = numbered(m), nt = numbered(t);
    const std::vector<int> toMine = matches(nb, nm), toTheirs = matches(nb, nt);

    QString out;
    qsizetype i = 0, j = 0, k = 0;
    const qsizetype nB = b.size();
    while (i < nB || j < m.size() || k < t.size()) {
        if (i < nB && toMine[i] == j && toTheirs[i] == k) {
            out += b[i];
            ++i, ++j, ++k;
            continue;
        }
        // The region up to the next base line both sides kept.
        qsizetype next = i;
        while (next < nB && (toMine[next] < 0 || toTheirs[next] < 0)) ++next;
        const qsizetype mineEnd = next < nB ? toMine[next] : m.size();
        const qsizetype theirsEnd = next < nB ? toTheirs[next] : t.size();
        if (!resolve(out, {&b, i, next}, {&m, j, mineEnd}, {&t, k, theirsEnd})) return std::nullopt;
        i = next, j = mineEnd, k = theirsEnd;
    }
    return out;
}

} // namespace LineMerge
