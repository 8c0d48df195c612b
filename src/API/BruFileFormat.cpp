#include "API/BruFileFormat.h"

#include "API/AuthConfig.h"
#include "API/FormBody.h"
#include "API/FormatText.h"
#include "API/RequestSource.h"
#include "API/RowMerge.h"

#include <algorithm>

using FormatText::trimmed;

// How a .bru text was read: its blocks and which of them gave each part of the request.
struct BruFileLayout {
    struct Block {
        QString name;
        qsizetype start = 0, nameEnd = 0;
        qsizetype open = 0;      // the "{"
        qsizetype bodyEnd = 0;   // the closing "}", or the end of the text
        qsizetype end = 0;       // past the closing "}"
        bool closed = false;
        bool lineStyle = false;  // indented lines closed by a "}" line, as the format's own tool writes
    };
    QString text;
    QString eol;
    QList<Block> blocks;
    int meta = -1, method = -1, headers = -1, params = -1, body = -1;
    std::optional<QString> bodyMode;  // the method block's "body:" and "auth:" values
    std::optional<QString> authMode;
    std::optional<KeyValueItem> authRow;  // the Authorization header an auth block stands for
    bool queryInUrl = false;              // the URL line repeats the enabled parameters as its query
    HTTPRequest parsed;                   // the values the request was read as
};

namespace BruFileFormat {

namespace {

using Block = BruFileLayout::Block;

// --- blocks --------------------------------------------------------------------------------

bool isNameChar(QChar c) { return c.isLetter() || c.isNumber() || c == u'_' || c == u':' || c == u'-'; }

// A "{" alone at the end of its line opens a block of indented lines that ends at the first line
// holding only "}"; anything else is closed by counting braces.
std::optional<qsizetype> closingLine(QStringView text, qsizetype open) {
    const qsizetype lineEnd = text.indexOf(u'\n', open);
    if (lineEnd < 0 || !FormatText::trimmedWithNewlines(text.mid(open + 1, lineEnd - open - 1)).isEmpty()) return std::nullopt;
    for (qsizetype start = lineEnd + 1; start < text.size();) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) end = text.size();
        const QStringView line = FormatText::trimmedEnd(text.mid(start, end - start).chopped(
            end > start && text[end - 1] == u'\r' ? 1 : 0));
        if (line == u"}") return start;
        if (!line.isEmpty() && !FormatText::isWhitespace(line[0])) return std::nullopt;  // not indented
        start = end + 1;
    }
    return std::nullopt;
}

QList<Block> scanBlocks(QStringView text) {
    QList<Block> blocks;
    const qsizetype n = text.size();
    qsizetype p = 0;
    while (p < n) {
        if (text[p].isSpace()) {
            ++p;
            continue;
        }
        if (text[p] == u'/' && p + 1 < n && text[p + 1] == u'/') {
            p = text.indexOf(u'\n', p);
            if (p < 0) break;
            continue;
        }
        const qsizetype nameStart = p;
        while (p < n && isNameChar(text[p])) ++p;
        if (p == nameStart) {
            ++p;
            continue;
        }
        Block block;
        block.name = text.mid(nameStart, p - nameStart).toString();
        block.start = nameStart;
        block.nameEnd = p;
        qsizetype q = p;
        while (q < n && text[q].isSpace()) ++q;
        if (q >= n) break;
        if (text[q] != u'{') {
            p = q;
            continue;
        }
        if (q == n - 1) break;
        block.open = q;
        if (const auto line = closingLine(text, q)) {
            block.lineStyle = true;
            block.bodyEnd = *line;
        } else {
            int depth = 1;
            qsizetype i = q + 1;
            for (; i < n; ++i) {
                if (text[i] == u'{') ++depth;
                if (text[i] == u'}' && --depth == 0) break;
            }
            block.bodyEnd = i;
        }
        block.closed = block.bodyEnd < n;
        block.end = block.closed ? block.bodyEnd + 1 : n;
        blocks.append(block);
        p = block.end;
    }
    return blocks;
}

int firstBlock(const QList<Block>& blocks, const std::function<bool(const QString&)>& matches) {
    for (int i = 0; i < blocks.size(); ++i)
        if (matches(blocks[i].name)) return i;
    return -1;
}
int firstBlockNamed(const QList<Block>& blocks, const QString& name) {
    return firstBlock(blocks, [&](const QString& n) { return n == name; });
}

// The lines inside a block: for the indented form those between the braces' lines, otherwise
// every piece of the text between the braces.
QList<FormatText::Line> blockLines(QStringView text, const Block& block) {
    const qsizetype from = block.lineStyle ? text.indexOf(u'\n', block.open) + 1 : block.open + 1;
    QList<FormatText::Line> lines;
    if (block.lineStyle && from >= block.bodyEnd) return lines;
    for (FormatText::Line line : FormatText::splitLines(text.mid(from, block.bodyEnd - from))) {
        line.start += from;
        line.contentEnd += from;
        line.end += from;
        lines.append(line);
    }
    if (block.lineStyle && !lines.isEmpty()) lines.removeLast();  // the empty piece before the "}" line
    return lines;
}

// --- key-value lines -----------------------------------------------------------------------

struct Pair {
    QString key, value;
    bool enabled = true;
    qsizetype start = 0, end = 0;            // the pair's lines, without the last line end
    qsizetype valueStart = 0, valueEnd = 0;
};
struct Segment {
    qsizetype start = 0, end = 0;
    int pair = -1;  // index into pairs, or -1 for other lines
};
struct Dict {
    QList<Pair> pairs;
    QList<Segment> segments;

    std::optional<QString> value(const QString& key) const {  // the last enabled one wins
        for (qsizetype i = pairs.size() - 1; i >= 0; --i)
            if (pairs[i].enabled && pairs[i].key == key) return pairs[i].value;
        return std::nullopt;
    }
    const Pair* find(const QString& key) const {
        for (qsizetype i = pairs.size() - 1; i >= 0; --i)
            if (pairs[i].enabled && pairs[i].key == key) return &pairs[i];
        return nullptr;
    }
};

QString dedented(const QStringList& lines) {
    qsizetype indent = -1;
    for (const QString& line : lines) {
        if (trimmed(line).isEmpty()) continue;
        qsizetype i = 0;
        while (i < line.size() && FormatText::isWhitespace(line[i])) ++i;
        indent = indent < 0 ? i : std::min(indent, i);
    }
    QStringList out;
    for (const QString& line : lines) out.append(trimmed(line).isEmpty() ? QString() : line.mid(std::max<qsizetype>(indent, 0)));
    return out.join(u'\n');
}

Dict readDict(QStringView text, const Block& block) {
    Dict dict;
    const QList<FormatText::Line> lines = blockLines(text, block);
    for (qsizetype li = 0; li < lines.size(); ++li) {
        const FormatText::Line& line = lines[li];
        const QStringView content = FormatText::content(text, line);
        const QStringView t = trimmed(content);
        dict.segments.append({line.start, line.contentEnd, -1});
        if (t.isEmpty() || t.startsWith(u"//")) continue;

        const qsizetype te = line.start + (t.data() - content.data()) + t.size();
        qsizetype k = line.start + (t.data() - content.data());
        Pair pair;
        if (text[k] == u'~') {
            pair.enabled = false;
            ++k;
        }
        qsizetype colon = -1;
        if (k < te && text[k] == u'"') {
            // A quoted key may hold spaces, colons and escaped quotes.
            qsizetype j = k + 1;
            QString key;
            for (; j < te && text[j] != u'"'; ++j) {
                if (text[j] == u'\\' && j + 1 < te) ++j;
                key += text[j];
            }
            if (j < te) {
                ++j;
                while (j < te && FormatText::isWhitespace(text[j])) ++j;
                if (j >= te || text[j] != u':') continue;
                colon = j;
                pair.key = key;
            }
        }
        if (colon < 0) {
            colon = text.mid(k, te - k).indexOf(u':');
            if (colon < 0) continue;
            colon += k;
            pair.key = trimmed(text.mid(k, colon - k)).toString();
        }
        if (pair.key.isEmpty()) continue;
        const QStringView rawValue = text.mid(colon + 1, te - colon - 1);
        const QStringView value = trimmed(rawValue);
        pair.valueStart = value.isEmpty() ? te : colon + 1 + (value.data() - rawValue.data());
        pair.valueEnd = pair.valueStart + value.size();
        pair.value = value.toString();
        pair.start = line.start;
        pair.end = line.contentEnd;
        if (value == u"'''") {
            // A multi-line value runs to a line starting with ''' and loses its common indentation.
            for (qsizetype m = li + 1; m < lines.size(); ++m) {
                if (!trimmed(FormatText::content(text, lines[m])).startsWith(u"'''")) continue;
                QStringList valueLines;
                for (qsizetype v = li + 1; v < m; ++v) valueLines.append(FormatText::content(text, lines[v]).toString());
                pair.value = dedented(valueLines);
                pair.end = pair.valueEnd = lines[m].contentEnd;
                li = m;
                break;
            }
        }
        dict.segments.last() = {pair.start, pair.end, int(dict.pairs.size())};
        dict.pairs.append(pair);
    }
    return dict;
}

QList<KeyValueItem> rowsOf(const Dict& dict) {
    QList<KeyValueItem> rows;
    for (const Pair& pair : dict.pairs) rows.append(KeyValueItem{.key = pair.key, .value = pair.value, .enabled = pair.enabled});
    return rows;
}

// --- bodies --------------------------------------------------------------------------------

// The text inside a block: the indented form loses two spaces of indentation per line.
QString readText(QStringView text, const Block& block) {
    if (!block.lineStyle) {
        QString raw = text.mid(block.open + 1, block.bodyEnd - block.open - 1).toString();
        raw.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        return FormatText::trimmedWithNewlines(raw).toString();
    }
    QStringList lines;
    for (const FormatText::Line& line : blockLines(text, block)) {
        QStringView content = FormatText::content(text, line);
        for (int i = 0; i < 2 && content.startsWith(u' '); ++i) content = content.mid(1);
        lines.append(content.toString());
    }
    return FormatText::trimmedWithNewlines(lines.join(u'\n')).toString();
}

bool isDictBody(const QString& blockName) {
    return blockName == QLatin1String("body:form-urlencoded") || blockName == QLatin1String("body:multipart-form");
}

// A form block holds one field per line, disabled ones too; the model holds them as a form body.
QString formText(QStringView text, const Block& block) {
    const Dict dict = readDict(text, block);
    if (dict.pairs.isEmpty()) return readText(text, block);  // written as plain text
    return FormBody::body(rowsOf(dict));
}

BodyKind kindOf(const QString& blockName, const QString& body) {
    QStringList pieces = blockName.split(u':', Qt::SkipEmptyParts);
    const QString suffix = pieces.isEmpty() ? QString() : pieces.last();
    if (suffix == QLatin1String("json") || suffix == QLatin1String("graphql")) return BodyKind::json;
    if (suffix == QLatin1String("text")) return BodyKind::text;
    if (suffix == QLatin1String("form-urlencoded") || suffix == QLatin1String("multipart-form")) return BodyKind::form;
    if (suffix == QLatin1String("none") || suffix.isEmpty()) return body.isEmpty() ? BodyKind::none : BodyKind::text;
    return body.startsWith(u'{') || body.startsWith(u'[') ? BodyKind::json : BodyKind::text;
}

// The method block's "body:" mode names the body block the request sends.
struct BodyMode {
    const char* mode;
    const char* block;
};
constexpr BodyMode kBodyModes[] = {
    {"none", ""},
    {"json", "body:json"},
    {"text", "body:text"},
    {"xml", "body:xml"},
    {"sparql", "body:sparql"},
    {"graphql", "body:graphql"},
    {"formUrlEncoded", "body:form-urlencoded"},
    {"form-urlencoded", "body:form-urlencoded"},
    {"multipartForm", "body:multipart-form"},
    {"multipart-form", "body:multipart-form"},
    {"file", "body:file"},
};

std::optional<QString> blockForMode(const QString& mode) {
    for (const BodyMode& entry : kBodyModes)
        if (mode == QLatin1String(entry.mode)) return QString::fromLatin1(entry.block);
    return std::nullopt;
}

QString modeForBlock(const QString& blockName) {
    for (const BodyMode& entry : kBodyModes)
        if (blockName == QLatin1String(entry.block)) return QString::fromLatin1(entry.mode);
    return {};
}

QString defaultBodyBlock(BodyKind kind) {
    switch (kind) {
    case BodyKind::json: return QStringLiteral("body:json");
    case BodyKind::form: return QStringLiteral("body:form-urlencoded");
    default: return QStringLiteral("body:text");
    }
}

QString modeWord(const HTTPRequest& request) {
    switch (request.bodyKind) {
    case BodyKind::none: return QStringLiteral("none");
    case BodyKind::json: return QStringLiteral("json");
    case BodyKind::text: return QStringLiteral("text");
    case BodyKind::form: return QStringLiteral("formUrlEncoded");
    }
    return {};
}

// --- URL query -----------------------------------------------------------------------------

QString enabledQuery(const QList<KeyValueItem>& params) {
    QStringList pieces;
    for (const KeyValueItem& row : params)
        if (row.enabled && !row.key.isEmpty()) pieces.append(row.key + u'=' + row.value);
    return pieces.join(u'&');
}

// The URL as the file writes it: the format's own tool repeats the enabled parameters there.
QString urlLine(const HTTPRequest& request, bool queryInUrl) {
    const QString query = enabledQuery(request.params);
    if (!queryInUrl || query.isEmpty()) return request.url;
    return request.url + (request.url.contains(u'?') ? u'&' : u'?') + query;
}

// Takes the repeated parameters off the URL so they are not sent twice.
bool takeQueryOffUrl(QString& url, const QList<KeyValueItem>& params) {
    const QString query = enabledQuery(params);
    const qsizetype question = url.indexOf(u'?');
    if (question < 0) return query.isEmpty();
    if (query.isEmpty()) return false;
    if (url.mid(question + 1) == query) {
        url.truncate(question);
        return true;
    }
    if (url.endsWith(u'&' + query)) {
        url.chop(query.size() + 1);
        return true;
    }
    return false;
}

// Whether the URL written as line reads back as the request's own URL.
bool urlReadsBack(QString line, const HTTPRequest& request) {
    takeQueryOffUrl(line, request.params);
    return line == request.url;
}

// --- writing -------------------------------------------------------------------------------

QString quotedKey(const QString& key) {
    bool plain = !key.startsWith(u'~') && !key.startsWith(u'/') && !key.startsWith(u'@') && !key.startsWith(u'\'');
    for (QChar c : key)
        if (c.isSpace() || c == u':' || c == u'"' || c == u'\\' || c == u'{' || c == u'}') plain = false;
    if (plain) return key;
    QString escaped = key;
    escaped.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    return u'"' + escaped + u'"';
}

QString formattedValue(const QString& value, const QString& eol) {
    if (!value.contains(u'\n')) return value;
    QStringList lines;
    for (const QString& line : value.split(u'\n')) lines.append(line.isEmpty() ? line : QStringLiteral("    ") + line);
    return QStringLiteral("'''") + eol + lines.join(eol) + eol + QStringLiteral("  '''");
}

std::optional<QString> rowLine(const KeyValueItem& row, const QString& eol) {
    if (row.key.isEmpty()) return std::nullopt;
    return QStringLiteral("  ") + (row.enabled ? QString() : QStringLiteral("~")) + quotedKey(row.key) + QStringLiteral(": ") +
           formattedValue(row.value, eol);
}

QStringList rowLines(const QList<KeyValueItem>& rows, const QString& eol) {
    QStringList lines;
    for (const KeyValueItem& row : rows)
        if (auto line = rowLine(row, eol)) lines.append(*line);
    return lines;
}

QStringList textLines(const QString& body) {
    QStringList lines;
    for (const QString& line : body.split(u'\n')) lines.append(line.isEmpty() ? line : QStringLiteral("  ") + line);
    return lines;
}

QStringList formLines(const QString& body, const QString& eol) { return rowLines(FormBody::fields(body), eol); }

// The fields of an edited form body written over its block: other lines stay where they were,
// fields read the same keep their text, changed ones are rewritten in place.
QStringList mergedFormLines(const QString& text, const Block& block, const QString& body, const QString& eol) {
    QList<KeyValueItem> fields = FormBody::fields(body);
    const Dict dict = readDict(text, block);
    QList<RowMerge::Entry> entries;
    QList<KeyValueItem*> readFields;  // the pairs' rows, in order
    for (const Segment& segment : dict.segments) {
        std::optional<KeyValueItem> row;
        if (segment.pair >= 0) {
            const Pair& pair = dict.pairs[segment.pair];
            row = KeyValueItem{.key = pair.key, .value = pair.value, .enabled = pair.enabled};
        }
        entries.append({text.mid(segment.start, segment.end - segment.start), row});
    }
    for (RowMerge::Entry& entry : entries)
        if (entry.row) readFields.append(&*entry.row);
    // A field is the read field it reads the same as, else the next one of its key, else new.
    QList<bool> used(readFields.size(), false), matched(fields.size(), false);
    for (const bool sameValue : {true, false}) {
        qsizetype from = 0;
        for (qsizetype f = 0; f < fields.size(); ++f) {
            if (matched[f]) continue;
            for (qsizetype i = from; i < readFields.size(); ++i) {
                if (used[i] || readFields[i]->key != fields[f].key || (sameValue && !readFields[i]->sameContent(fields[f]))) continue;
                used[i] = matched[f] = true;
                fields[f].id = readFields[i]->id;
                from = i + 1;
                break;
            }
        }
    }
    return RowMerge::merge(entries, fields, [&eol](const KeyValueItem& row) { return rowLine(row, eol); });
}

QString blockText(const QString& name, const QStringList& lines, const QString& eol) {
    return name + QStringLiteral(" {") + eol + (lines.isEmpty() ? QString() : lines.join(eol) + eol) + u'}';
}

QString freshFile(const HTTPRequest& request) {
    const QString eol = QStringLiteral("\n");
    QString text = QStringLiteral("meta {\n  name: ") + formattedValue(request.name, eol) + QStringLiteral("\n  type: http\n  seq: 1\n}\n\n");
    text += blockText(HTTPMethods::rawValue(request.method).toLower(),
                      {QStringLiteral("  url: ") + formattedValue(urlLine(request, true), eol),
                       QStringLiteral("  body: ") + modeWord(request), QStringLiteral("  auth: none")},
                      eol) + eol;
    if (!request.params.isEmpty()) text += eol + blockText(QStringLiteral("params:query"), rowLines(request.params, eol), eol) + eol;
    if (!request.headers.isEmpty()) text += eol + blockText(QStringLiteral("headers"), rowLines(request.headers, eol), eol) + eol;
    if (request.hasBody()) {
        const QString name = defaultBodyBlock(request.bodyKind);
        text += eol + blockText(name, isDictBody(name) ? formLines(request.body, eol) : textLines(request.body), eol) + eol;
    }
    return text;
}

// Rewrites the file a request was read from, touching only what the request changed.
class FileEditor {
public:
    explicit FileEditor(const BruFileLayout& layout) : layout_(layout), eol_(layout.eol) {}

    void replace(qsizetype start, qsizetype end, const QString& text) { edits_.append({start, end, text}); }
    void insert(qsizetype at, const QString& text) { edits_.append({at, at, text}); }

    void setPair(int blockIndex, const QString& key, const QString& value) { pairs_[blockIndex].append({key, value}); }

    // The block's lines rewritten in the indented form, which no brace inside a value can end early.
    void setLines(int blockIndex, QStringList lines) {
        const Block& block = layout_.blocks[blockIndex];
        for (QString& line : lines) {
            QStringList physical = line.split(u'\n');
            for (QString& part : physical)
                if (!trimmed(part).isEmpty() && !FormatText::isWhitespace(part[0])) part.prepend(QStringLiteral("  "));
            line = physical.join(u'\n');
        }
        // The block now ends at a "}" line; its name at the start of a line keeps an earlier
        // block from reading on to that line.
        if (!block.lineStyle && block.start > 0 && layout_.text[block.start - 1] != u'\n') insert(block.start, eol_);
        // An unclosed block stays unclosed: a closing line added here could end an earlier block.
        replace(block.open + 1, block.bodyEnd, eol_ + (lines.isEmpty() ? QString() : lines.join(eol_) + eol_));
        if (block.closed) {
            const qsizetype lineEnd = layout_.text.indexOf(u'\n', block.end);
            const QStringView rest = QStringView(layout_.text).mid(block.end, (lineEnd < 0 ? layout_.text.size() : lineEnd) - block.end);
            if (!FormatText::trimmedWithNewlines(rest).isEmpty()) insert(block.end, eol_);  // "}" alone on its line
        }
    }

    void addBlockAfter(int blockIndex, const QString& name, const QStringList& lines) {
        const Block& block = layout_.blocks[blockIndex];
        // An unclosed block runs to the end of the text, so the new one goes before it.
        if (block.closed) {
            insert(block.end, eol_ + eol_ + blockText(name, lines, eol_));
        } else {
            insert(block.start, blockText(name, lines, eol_) + eol_ + eol_);
        }
    }

    // Rows of a block rewritten around the lines that are not rows.
    QStringList mergedRows(int blockIndex, const QList<KeyValueItem>& readRows, const QList<KeyValueItem>& rows) const {
        const Dict dict = readDict(layout_.text, layout_.blocks[blockIndex]);
        QList<RowMerge::Entry> entries;
        for (const Segment& segment : dict.segments) {
            entries.append({layout_.text.mid(segment.start, segment.end - segment.start),
                            segment.pair >= 0 && segment.pair < readRows.size() ? std::optional(readRows[segment.pair]) : std::nullopt});
        }
        return RowMerge::merge(entries, rows, [this](const KeyValueItem& row) { return rowLine(row, eol_); });
    }

    QString result() {
        for (auto it = pairs_.cbegin(); it != pairs_.cend(); ++it) applyPairs(it.key(), it.value());
        // Insertions at a position go before a replacement starting there.
        std::stable_sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) {
            return a.start != b.start ? a.start < b.start : (a.start == a.end && b.start != b.end);
        });
        QString out;
        qsizetype pos = 0;
        for (const Edit& edit : edits_) {
            if (edit.start < pos) continue;  // overlapping edits never arise; never write one twice
            out += QStringView(layout_.text).mid(pos, edit.start - pos);
            out += edit.text;
            pos = edit.end;
        }
        out += QStringView(layout_.text).mid(pos);
        return out;
    }

private:
    struct Edit {
        qsizetype start, end;
        QString text;
    };

    // Values of an indented block are replaced where they stand; a block in any other form is
    // rewritten whole in the indented form, since a changed brace would move its end.
    void applyPairs(int blockIndex, const QList<QPair<QString, QString>>& updates) {
        const Block& block = layout_.blocks[blockIndex];
        const Dict dict = readDict(layout_.text, block);
        if (block.lineStyle) {
            for (const auto& [key, value] : updates) {
                const QString formatted = formattedValue(value, eol_);
                if (const Pair* pair = dict.find(key)) {
                    replace(pair->valueStart, pair->valueEnd, formatted);
                } else {
                    insert(block.open + 1, eol_ + QStringLiteral("  ") + quotedKey(key) + QStringLiteral(": ") + formatted);
                }
            }
            return;
        }
        QStringList lines;
        QList<QPair<QString, QString>> added;
        for (const auto& [key, value] : updates) {
            const Pair* pair = dict.find(key);
            if (!pair) added.append({key, value});
        }
        for (const auto& [key, value] : added) lines.append(QStringLiteral("  ") + quotedKey(key) + QStringLiteral(": ") + formattedValue(value, eol_));
        for (const Segment& segment : dict.segments) {
            QString text = layout_.text.mid(segment.start, segment.end - segment.start);
            if (segment.pair >= 0) {
                const Pair& pair = dict.pairs[segment.pair];
                for (const auto& [key, value] : updates)
                    if (dict.find(key) == &pair) text = QStringLiteral("  ") + quotedKey(key) + QStringLiteral(": ") + formattedValue(value, eol_);
            }
            lines.append(text);
        }
        setLines(blockIndex, lines);
    }

    const BruFileLayout& layout_;
    QString eol_;
    QList<Edit> edits_;
    QMap<int, QList<QPair<QString, QString>>> pairs_;
};

bool hasEnabledAuthorization(const QList<KeyValueItem>& rows) {
    return std::any_of(rows.begin(), rows.end(), [](const KeyValueItem& row) {
        return row.enabled && row.key.toLower() == QLatin1String("authorization");
    });
}

QString editedFile(const BruFileLayout& layout, const HTTPRequest& request) {
    const HTTPRequest& parsed = layout.parsed;
    FileEditor editor(layout);

    if (request.name != parsed.name) {
        if (layout.meta >= 0) {
            editor.setPair(layout.meta, QStringLiteral("name"), request.name);
        } else {
            editor.insert(0, blockText(QStringLiteral("meta"),
                                       {QStringLiteral("  name: ") + formattedValue(request.name, layout.eol),
                                        QStringLiteral("  type: http"), QStringLiteral("  seq: 1")},
                                       layout.eol) + layout.eol + layout.eol);
        }
    }
    const Block& method = layout.blocks[layout.method];
    if (request.method != parsed.method) editor.replace(method.start, method.nameEnd, HTTPMethods::rawValue(request.method).toLower());
    // A URL whose own query reads like the parameters' would lose it when read back: the
    // parameters are then repeated after it, as the format's own tool writes them.
    const bool queryInUrl = layout.queryInUrl || !urlReadsBack(urlLine(request, false), request);
    if (urlLine(request, queryInUrl) != urlLine(parsed, layout.queryInUrl))
        editor.setPair(layout.method, QStringLiteral("url"), urlLine(request, queryInUrl));

    // The Authorization row read from an auth block stays in that block while it is unchanged.
    auto withoutAuthRow = [&](QList<KeyValueItem> rows, bool& found) {
        found = false;
        if (!layout.authRow) return rows;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows[i].id == layout.authRow->id && rows[i].sameContent(*layout.authRow)) {
                rows.removeAt(i);
                found = true;
                break;
            }
        }
        return rows;
    };
    bool authKept = false, unused = false;
    const QList<KeyValueItem> headers = withoutAuthRow(request.headers, authKept);
    const QList<KeyValueItem> readHeaders = withoutAuthRow(parsed.headers, unused);
    const bool authChanged = layout.authRow && !authKept;
    const bool authAdded = hasEnabledAuthorization(headers) && !hasEnabledAuthorization(readHeaders) && layout.authMode;
    // Authentication is now carried by the headers, so the auth block must no longer apply.
    if ((authChanged || authAdded) && layout.authMode != QStringLiteral("none"))
        editor.setPair(layout.method, QStringLiteral("auth"), QStringLiteral("none"));

    if (!sameRows(request.params, parsed.params)) {
        if (layout.params >= 0) {
            editor.setLines(layout.params, editor.mergedRows(layout.params, parsed.params, request.params));
        } else if (!request.params.isEmpty()) {
            editor.addBlockAfter(layout.method, QStringLiteral("params:query"), rowLines(request.params, layout.eol));
        }
    }
    if (!sameRows(headers, readHeaders)) {
        if (layout.headers >= 0) {
            editor.setLines(layout.headers, editor.mergedRows(layout.headers, readHeaders, headers));
        } else if (!headers.isEmpty()) {
            editor.addBlockAfter(layout.params >= 0 ? layout.params : layout.method, QStringLiteral("headers"),
                                 rowLines(headers, layout.eol));
        }
    }

    if (request.body != parsed.body || request.bodyKind != parsed.bodyKind) {
        if (!request.hasBody()) {
            if (layout.bodyMode != QStringLiteral("none") && (layout.bodyMode || layout.body >= 0))
                editor.setPair(layout.method, QStringLiteral("body"), QStringLiteral("none"));
        } else {
            // Blocks of other body kinds stay, as the format's own tool keeps them.
            // The block read keeps the body while its name still reads as the body's kind.
            const bool sameBlock =
                layout.body >= 0 && kindOf(layout.blocks[layout.body].name, FormatText::trimmedWithNewlines(request.body).toString()) ==
                                        request.bodyKind;
            const int target = sameBlock
                                   ? layout.body
                                   : firstBlockNamed(layout.blocks, defaultBodyBlock(request.bodyKind));
            const QString name = target >= 0 ? layout.blocks[target].name : defaultBodyBlock(request.bodyKind);
            QStringList lines = textLines(request.body);
            if (isDictBody(name)) {
                lines = target >= 0 ? mergedFormLines(layout.text, layout.blocks[target], request.body, layout.eol)
                                    : formLines(request.body, layout.eol);
            }
            if (target >= 0) {
                editor.setLines(target, lines);
            } else {
                const int anchor = layout.headers >= 0 ? layout.headers : layout.params >= 0 ? layout.params : layout.method;
                editor.addBlockAfter(anchor, name, lines);
            }
            const QString mode = modeForBlock(name);
            if (!mode.isEmpty() && layout.bodyMode != mode) editor.setPair(layout.method, QStringLiteral("body"), mode);
        }
    }
    return editor.result();
}

const QHash<QString, HTTPMethod>& methodBlocks() {
    static const QHash<QString, HTTPMethod> table = [] {
        QHash<QString, HTTPMethod> t;
        for (HTTPMethod method : HTTPMethods::allCases()) t.insert(HTTPMethods::rawValue(method).toLower(), method);
        return t;
    }();
    return table;
}

} // namespace

const QSet<QString>& fileExtensions() {
    static const QSet<QString> extensions{QStringLiteral("bru")};
    return extensions;
}

const RequestFileFormat& format() {
    static const RequestFileFormat descriptor{fileExtensions(), &parse, &serialize, &cannotHold};
    return descriptor;
}

std::optional<QString> cannotHold(const HTTPRequest& request) {
    // Key-value lines are trimmed and need a key, so the trial of writing and reading back is
    // the surest test of what the file keeps.
    const QList<HTTPRequest> back = parse(serialize({request}));
    if (back.size() != 1) return QStringLiteral("it would not read back as a request");
    const HTTPRequest& read = back[0];
    if (read.name != request.name) return QStringLiteral("its name would read back as “%1”").arg(read.name);
    if (read.url != request.url) return QStringLiteral("its URL would read back as “%1”").arg(read.url);
    const auto rowsDiffer = [](QList<KeyValueItem> a, QList<KeyValueItem> b) -> std::optional<QString> {
        // A row with neither key nor value holds nothing.
        const auto blank = [](const KeyValueItem& r) { return r.key.isEmpty() && r.value.isEmpty(); };
        a.removeIf(blank);
        b.removeIf(blank);
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (i < b.size() && a[i].sameContent(b[i])) continue;
            if (a[i].key.isEmpty()) return QStringLiteral("the row with the value “%1” has no name").arg(a[i].value);
            return QStringLiteral("the row “%1” would read back otherwise (blanks around a value are not kept)").arg(a[i].key);
        }
        if (a.size() != b.size()) return QStringLiteral("its rows would read back otherwise");
        return std::nullopt;
    };
    if (auto why = rowsDiffer(request.headers, read.headers)) return why;
    if (auto why = rowsDiffer(request.params, read.params)) return why;
    if (request.hasBody() != read.hasBody() || (request.hasBody() && read.bodyKind != request.bodyKind))
        return QStringLiteral("its body would read back as another kind");
    if (request.hasBody() && request.bodyKind == BodyKind::form) {
        if (auto why = rowsDiffer(FormBody::fields(request.body), FormBody::fields(read.body))) return why;
    } else if (request.hasBody() && read.body != FormatText::trimmedWithNewlines(request.body)) {
        return QStringLiteral("its body would read back otherwise");
    }
    return std::nullopt;
}

QList<HTTPRequest> parse(const QString& text, const QList<HTTPRequest>& previous) {
    auto layout = std::make_shared<BruFileLayout>();
    layout->text = text;
    layout->eol = FormatText::dominantLineEnding(text);
    layout->blocks = scanBlocks(text);
    const auto& blocks = layout->blocks;

    layout->method = firstBlock(blocks, [](const QString& name) { return methodBlocks().contains(name); });
    if (layout->method < 0) return {};
    HTTPRequest& request = layout->parsed;
    request.method = methodBlocks().value(blocks[layout->method].name);

    layout->meta = firstBlockNamed(blocks, QStringLiteral("meta"));
    request.name = layout->meta >= 0 ? readDict(text, blocks[layout->meta]).value(QStringLiteral("name")).value_or(QStringLiteral("Request"))
                                     : QStringLiteral("Request");

    const Dict methodDict = readDict(text, blocks[layout->method]);
    request.url = methodDict.value(QStringLiteral("url")).value_or(QString());
    layout->bodyMode = methodDict.value(QStringLiteral("body"));
    layout->authMode = methodDict.value(QStringLiteral("auth"));

    layout->headers = firstBlockNamed(blocks, QStringLiteral("headers"));
    if (layout->headers >= 0) request.headers = rowsOf(readDict(text, blocks[layout->headers]));
    layout->params = firstBlock(blocks, [](const QString& name) {
        return name == QLatin1String("params:query") || name == QLatin1String("query") || name == QLatin1String("params");
    });
    if (layout->params >= 0) request.params = rowsOf(readDict(text, blocks[layout->params]));
    // The block holds query text: an unchanged row is sent as it is written there.
    for (KeyValueItem& row : request.params) row.setWrittenQuery(row.key + u'=' + row.value);
    layout->queryInUrl = takeQueryOffUrl(request.url, request.params);

    // The body the method block's mode names; without a mode, the first body block.
    const auto modeBlock = layout->bodyMode ? blockForMode(*layout->bodyMode) : std::nullopt;
    if (modeBlock) {
        layout->body = modeBlock->isEmpty() ? -1 : firstBlockNamed(blocks, *modeBlock);
    } else {
        layout->body = firstBlock(blocks, [](const QString& name) { return name.startsWith(QLatin1String("body")); });
    }
    if (layout->body >= 0) {
        const Block& block = blocks[layout->body];
        request.body = isDictBody(block.name) ? formText(text, block) : readText(text, block);
        request.bodyKind = kindOf(block.name, request.body);
    }

    // Likewise the auth block: the one the mode names, else the first one.
    int auth = -1;
    if (layout->authMode) {
        if (*layout->authMode == QLatin1String("bearer") || *layout->authMode == QLatin1String("basic"))
            auth = firstBlockNamed(blocks, QStringLiteral("auth:") + *layout->authMode);
    } else {
        auth = firstBlock(blocks, [](const QString& name) { return name.startsWith(QLatin1String("auth:")); });
    }
    if (auth >= 0) {
        const Dict dict = readDict(text, blocks[auth]);
        const QString type = blocks[auth].name.mid(5);
        if (type == QLatin1String("bearer")) {
            const QString token = dict.value(QStringLiteral("token")).value_or(QString());
            if (!token.isEmpty()) layout->authRow = KeyValueItem{.key = QStringLiteral("Authorization"), .value = "Bearer " + token};
        } else if (type == QLatin1String("basic")) {
            layout->authRow = KeyValueItem{.key = QStringLiteral("Authorization"),
                                           .value = AuthConfig::basicValue(dict.value(QStringLiteral("username")).value_or(QString()),
                                                                           dict.value(QStringLiteral("password")).value_or(QString()))};
        }
        if (layout->authRow) request.headers.prepend(*layout->authRow);
    }

    QList<HTTPRequest> requests{request};
    keepRequestIds(requests, previous);
    request = requests[0];  // with the ids kept, so that rows are still told apart by id
    if (layout->authRow) layout->authRow->id = request.headers[0].id;
    requests[0].source = std::make_shared<RequestSource>(RequestSource{.bruFile = layout});
    return requests;
}

QString serialize(const QList<HTTPRequest>& requests) {
    if (requests.isEmpty()) return {};
    const HTTPRequest& request = requests.first();
    const auto layout = request.source ? request.source->bruFile : nullptr;
    if (!layout) return freshFile(request);
    if (request.sameContent(layout->parsed)) return layout->text;
    return editedFile(*layout, request);
}

} // namespace BruFileFormat
