#include "Views/SourceControl/DiffParser.h"

#include <QStringList>
#include <array>
#include <charconv>
#include <limits>

namespace {

// git's file header lines, and its extended header lines (renames, copies, modes, binary files):
// none of them is a line of either file, so none takes a number.
constexpr std::array kHeaderPrefixes{
    "diff ",         "index ",          "--- ",        "+++ ",        "new file ",
    "deleted file ", "old mode ",       "new mode ",   "similarity index ", "dissimilarity index ",
    "rename from ",  "rename to ",      "copy from ",  "copy to ",    "Binary files ",
    "GIT binary patch"};

bool isHeader(const QString& line) {
    for (const char* prefix : kHeaderPrefixes)
        if (line.startsWith(QLatin1String(prefix))) return true;
    return false;
}

// A decimal integer with an optional sign and nothing else.
std::optional<qint64> readInteger(QStringView text) {
    const QByteArray bytes = text.toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+') ++begin;  // from_chars takes "-" but not "+"
    if (begin == end || *begin == '+') return std::nullopt;
    qint64 value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

void increment(qint64& counter) {
    if (counter < std::numeric_limits<qint64>::max()) ++counter;
}

struct Range {
    std::optional<qint64> start;
    std::optional<qint64> count;  // absent: git leaves out a count of 1; unreadable stays absent too
    bool countReadable = true;
};

Range readRange(QStringView piece) {
    Range range;
    const QStringView rest = piece.mid(1);
    const qsizetype comma = rest.indexOf(u',');
    range.start = readInteger(comma < 0 ? rest : rest.left(comma));
    if (comma >= 0) {
        range.count = readInteger(rest.mid(comma + 1));
        range.countReadable = range.count && *range.count >= 0;
    }
    return range;
}

} // namespace

QList<DiffLine> DiffParser::parse(const QString& text) {
    const QStringList lines = text.split(u'\n');
    QList<DiffLine> out;
    out.reserve(lines.size());

    qint64 oldNo = 0;
    qint64 newNo = 0;
    // Inside a hunk: how many lines of each side are still to come. Body lines are read by
    // their prefix only while the hunk lasts, so a removed "-- x" is not taken for a header.
    bool inHunk = false;
    bool countsKnown = true;
    qint64 oldLeft = 0;
    qint64 newLeft = 0;

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const bool last = i + 1 == lines.size();

        if (line.startsWith(QLatin1String("@@"))) {
            // Only the ranges between the two "@@" marks count; the section text after them is
            // the enclosing function's header and may hold anything.
            QStringView ranges = QStringView(line).mid(2);
            const qsizetype close = ranges.indexOf(QLatin1String("@@"));
            if (close >= 0) ranges = ranges.left(close);
            Range oldRange;
            Range newRange;
            for (QStringView piece : ranges.split(u' ', Qt::SkipEmptyParts)) {
                if (piece.startsWith(u'-')) oldRange = readRange(piece);
                else if (piece.startsWith(u'+')) newRange = readRange(piece);
            }
            // A start that does not read keeps the counter where it was.
            if (oldRange.start && *oldRange.start > std::numeric_limits<qint64>::min()) oldNo = *oldRange.start - 1;
            if (newRange.start && *newRange.start > std::numeric_limits<qint64>::min()) newNo = *newRange.start - 1;
            inHunk = true;
            countsKnown = oldRange.countReadable && newRange.countReadable;
            oldLeft = oldRange.count.value_or(1);
            newLeft = newRange.count.value_or(1);
            out.append({DiffLineKind::hunk, std::nullopt, std::nullopt, line});
            continue;
        }

        const bool body = line.startsWith(u'+') || line.startsWith(u'-') || line.startsWith(u' ') ||
                          line.startsWith(u'\\') || (line.isEmpty() && !last);
        if (inHunk && body) {
            if (line.startsWith(u'\\')) {
                // "\ No newline at end of file" belongs to no side.
                out.append({DiffLineKind::context, std::nullopt, std::nullopt, line});
                continue;
            }
            if (line.startsWith(u'+')) {
                increment(newNo);
                --newLeft;
                out.append({DiffLineKind::added, std::nullopt, newNo, line.mid(1)});
            } else if (line.startsWith(u'-')) {
                increment(oldNo);
                --oldLeft;
                out.append({DiffLineKind::removed, oldNo, std::nullopt, line.mid(1)});
            } else {
                increment(oldNo);
                increment(newNo);
                --oldLeft;
                --newLeft;
                out.append({DiffLineKind::context, oldNo, newNo, line.mid(1)});
            }
            if (countsKnown && oldLeft <= 0 && newLeft <= 0) inHunk = false;
            continue;
        }
        inHunk = false;

        if (isHeader(line)) {
            out.append({DiffLineKind::header, std::nullopt, std::nullopt, line});
        } else if (line.startsWith(u'\\') || (last && line.isEmpty())) {
            // The no-newline marker after a hunk, and the empty piece after the final line feed.
            out.append({DiffLineKind::context, std::nullopt, std::nullopt, line});
        } else if (line.startsWith(u'+')) {
            increment(newNo);
            out.append({DiffLineKind::added, std::nullopt, newNo, line.mid(1)});
        } else if (line.startsWith(u'-')) {
            increment(oldNo);
            out.append({DiffLineKind::removed, oldNo, std::nullopt, line.mid(1)});
        } else {
            increment(oldNo);
            increment(newNo);
            out.append({DiffLineKind::context, oldNo, newNo, line.startsWith(u' ') ? line.mid(1) : line});
        }
    }
    return out;
}
