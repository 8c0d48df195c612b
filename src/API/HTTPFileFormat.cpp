#include "API/HTTPFileFormat.h"

#include "API/FormatText.h"
#include "API/HTTPClient.h"
#include "API/RequestSource.h"
#include "API/RowMerge.h"
#include "API/URLQuery.h"

#include <QRegularExpression>

using FormatText::Line;

// How a .http text was read: its lines, its sections and, for each request, the lines that held
// each part. Kept with the parsed requests so that saving can reuse the text.
struct HTTPFileLayout {
    struct Section {
        int first = 0, last = 0;  // lines [first, last)
        int slot = -1;            // index of its request; -1 when it holds none
        int nameLine = -1;        // the "###" line
        int requestLine = -1;
        QString version{};          // a protocol version written after the URL
        QList<int> headerLines{};   // every line of the header region
        QList<int> headerRows{};    // the row each of them was read as, or -1
        int blankLine = -1;       // the blank line that ends the headers
    };
    QString text;
    QList<Line> lines;
    QList<Section> sections;
    QList<HTTPRequest> parsed;  // by slot: the values each request was read as
    QString eol;
    bool byteOrderMark = false;  // the file starts with one; text holds what follows it

    QStringView content(int line) const { return FormatText::content(text, lines[line]); }
    QString terminator(int line) const {
        return text.mid(lines[line].contentEnd, lines[line].end - lines[line].contentEnd);
    }
    QString sectionText(const Section& s) const {
        const qsizetype start = lines[s.first].start;
        return text.mid(start, lines[s.last - 1].end - start);
    }
};

namespace HTTPFileFormat {

namespace {

using FormatText::trimmed;

// --- query strings -------------------------------------------------------------------------

bool hasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (text[i].isSurrogate()) {
            return true;
        }
    }
    return false;
}

// Percent-encodes a query key or value. "&", "=" and "#" are encoded too, so a row holding them
// reads back as the same row, and "+", which servers read as a space; so a row reads back as it
// is sent (URLQuery::queryEncoded). {{name}} references stay as written so they can be substituted.
QString percentEncoded(const QString& text) {
    if (hasLoneSurrogate(text)) return text;
    static const QByteArray kept = "!$'()*,-./:;?@_~";
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        if (const qsizetype ref = FormatText::variableReferenceLength(text, i)) {
            out += text.mid(i, ref);
            i += ref;
            continue;
        }
        const qsizetype len = text[i].isHighSurrogate() ? 2 : 1;
        for (const char byte : text.mid(i, len).toUtf8()) {
            const auto c = static_cast<unsigned char>(byte);
            if (isalnum(c) && c < 0x80) {
                out += QChar(c);
            } else if (kept.contains(char(c))) {
                out += QChar(c);
            } else {
                out += QStringLiteral("%%1").arg(int(c), 2, 16, QChar(u'0')).toUpper();
            }
        }
        i += len;
    }
    return out;
}

void splitQuery(const QString& urlText, QString& url, QList<KeyValueItem>& params) {
    const qsizetype question = urlText.indexOf(u'?');
    if (question < 0) {
        url = urlText;
        return;
    }
    url = urlText.left(question);
    for (const QString& piece : urlText.mid(question + 1).split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype eq = piece.indexOf(u'=');
        QStringList parts = eq < 0 ? QStringList{piece} : QStringList{piece.left(eq), piece.mid(eq + 1)};
        parts.removeAll(QString());
        if (parts.isEmpty()) continue;
        KeyValueItem row{.key = FormatText::percentDecoded(parts[0], false),
                         .value = parts.size() > 1 ? FormatText::percentDecoded(parts[1], false) : QString()};
        row.setWrittenQuery(piece);  // sent and written back so while the row is unchanged
        params.append(row);
    }
}

QString queryPart(const HTTPRequest& request) {
    QStringList pieces;
    for (const KeyValueItem& row : request.params)
        if (row.enabled && !row.key.isEmpty())
            pieces.append(row.writtenQuery().value_or(percentEncoded(row.key) + u'=' + percentEncoded(row.value)));
    if (pieces.isEmpty()) return {};
    return (request.url.contains(u'?') ? u'&' : u'?') + pieces.join(u'&');
}

QString requestLineText(const HTTPRequest& request, const QString& version) {
    QString line = HTTPMethods::rawValue(request.method) + u' ' + request.url + queryPart(request);
    if (!version.isEmpty()) line += u' ' + version;
    return line;
}

// --- rows and bodies -----------------------------------------------------------------------

bool isTokenChar(QChar c) {
    return (c.unicode() < 0x80 && c.isLetterOrNumber()) || QStringView(u"!#$%&'*+-.^_`|~").contains(c);
}

// "# Name: value" (or "// Name: value") in the header region is a header switched off.
std::optional<KeyValueItem> disabledHeader(QStringView line) {
    QStringView rest;
    if (line.startsWith(u"//")) {
        rest = line.mid(2);
    } else if (line.startsWith(u'#')) {
        rest = line.mid(1);
    } else {
        return std::nullopt;
    }
    if (rest.startsWith(u'#') || rest.startsWith(u'/')) return std::nullopt;
    const qsizetype colon = rest.indexOf(u':');
    if (colon < 0) return std::nullopt;
    const QStringView key = trimmed(rest.left(colon));
    if (key.isEmpty() || !std::all_of(key.begin(), key.end(), isTokenChar)) return std::nullopt;
    return KeyValueItem{.key = key.toString(), .value = trimmed(rest.mid(colon + 1)).toString(), .enabled = false};
}

// The row a line of the header region reads as, if any.
std::optional<KeyValueItem> headerRow(QStringView line) {
    if (line.startsWith(u'#') || line.startsWith(u"//")) return disabledHeader(line);
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0) return std::nullopt;
    const QStringView key = trimmed(line.left(colon));
    if (key.isEmpty()) return std::nullopt;
    return KeyValueItem{.key = key.toString(), .value = trimmed(line.mid(colon + 1)).toString()};
}

std::optional<QString> headerText(const KeyValueItem& row) {
    if (row.key.isEmpty()) return std::nullopt;
    const QString text = row.key + QStringLiteral(": ") + row.value;
    return row.enabled ? text : QStringLiteral("# ") + text;
}

BodyKind guessBodyKind(const QList<KeyValueItem>& headers, const QString& body) {
    if (body.isEmpty()) return BodyKind::none;
    QString type;
    for (const KeyValueItem& row : headers) {
        if (row.key.toLower() == QLatin1String("content-type")) {
            type = row.value.toLower();
            break;
        }
    }
    if (type.contains(QLatin1String("json"))) return BodyKind::json;
    if (type.contains(QLatin1String("urlencoded")) || type.contains(QLatin1String("form-data"))) return BodyKind::form;
    const QStringView start = FormatText::trimmedWithNewlines(body);
    return start.startsWith(u'{') || start.startsWith(u'[') ? BodyKind::json : BodyKind::text;
}

bool isContentType(const KeyValueItem& row) { return row.key.toLower() == QLatin1String("content-type"); }

// The reader trims names, URLs and header values of white space.
bool blankAtEnds(const QString& text) { return FormatText::trimmed(text).size() != text.size(); }

// The headers as written. The file keeps no body kind of its own: it is read from the Content-Type
// header or guessed from the body. A kind neither would give is named by a Content-Type row of the
// kind's own type, the one the request is sent with anyway.
QList<KeyValueItem> writtenHeaders(const HTTPRequest& request) {
    if (!request.hasBody() || guessBodyKind(request.headers, request.body) == request.bodyKind ||
        std::any_of(request.headers.begin(), request.headers.end(), isContentType))
        return request.headers;
    QList<KeyValueItem> headers = request.headers;
    headers.append(KeyValueItem{.key = QStringLiteral("Content-Type"), .value = HTTPClient::defaultContentType(request.bodyKind)});
    return headers;
}

// --- reading -------------------------------------------------------------------------------

// Lines before the request line that other tools give a meaning and that never start a request:
// variables ("@name = value"), pre-request scripts ("< path", "< {% ... %}") and imports or runs of
// other requests. Returns the line after what is skipped, or i when line i starts no such thing.
int skipBeforeRequestLine(const HTTPFileLayout& layout, int i, int last) {
    const QStringView t = trimmed(layout.content(i));
    if (t.isEmpty() || t.startsWith(u'#') || t.startsWith(u"//") || t.startsWith(u'@') || t.startsWith(u"run ") ||
        t.startsWith(u"import "))
        return i + 1;
    if (!t.startsWith(u'<')) return i;
    if (t.endsWith(u"{%")) {
        for (int j = i + 1; j < last; ++j)
            if (trimmed(layout.content(j)).startsWith(u"%}")) return j + 1;
        return last;
    }
    return i + 1;
}

std::optional<HTTPRequest> parseSection(const HTTPFileLayout& layout, HTTPFileLayout::Section& section) {
    HTTPRequest request;
    request.name = QStringLiteral("Request");
    int i = section.first;
    if (layout.content(i).startsWith(u"###")) {
        QStringView rest = layout.content(i);
        while (rest.startsWith(u'#')) rest = rest.mid(1);
        if (const QStringView name = trimmed(rest); !name.isEmpty()) request.name = name.toString();
        section.nameLine = i++;
    }
    for (int next; i < section.last && (next = skipBeforeRequestLine(layout, i, section.last)) != i;) i = next;
    if (i >= section.last) return std::nullopt;

    const QStringView line = trimmed(layout.content(i));
    const qsizetype space = line.indexOf(u' ');
    if (space < 0) return std::nullopt;
    const auto method = HTTPMethods::fromRawValue(line.left(space).toString().toUpper());
    if (!method) return std::nullopt;
    request.method = *method;
    QString urlText = trimmed(line.mid(space + 1)).toString();
    static const QRegularExpression versioned(QStringLiteral("^(.*\\S)[ \\t]+(HTTP/[0-9]+(?:\\.[0-9]+)?)$"));
    if (const auto match = versioned.match(urlText); match.hasMatch()) {
        section.version = match.captured(2);
        urlText = match.captured(1);
    }
    section.requestLine = i++;

    for (; i < section.last; ++i) {
        const QStringView header = layout.content(i);
        if (trimmed(header).isEmpty()) {
            section.blankLine = i++;
            break;
        }
        const std::optional<KeyValueItem> row = headerRow(header);
        section.headerLines.append(i);
        section.headerRows.append(row ? int(request.headers.size()) : -1);
        if (row) request.headers.append(*row);
    }

    if (section.blankLine >= 0) {
        QStringList bodyLines;
        for (; i < section.last; ++i) bodyLines.append(layout.content(i).toString());
        request.body = FormatText::trimmedWithNewlines(bodyLines.join(u'\n')).toString();
    }
    request.bodyKind = guessBodyKind(request.headers, request.body);
    splitQuery(urlText, request.url, request.params);
    return request;
}

// --- writing -------------------------------------------------------------------------------

// The line end to put after text. A line whose content ends with a carriage return (the last line
// of a file, ended by nothing) would lose it to a line feed put after it, the two reading as one
// line end: it is ended by a carriage return and a line feed instead, so its content stays.
QString lineEndAfter(QStringView text, const QString& eol) {
    return text.endsWith(u'\r') && eol == QLatin1String("\n") ? QStringLiteral("\r\n") : eol;
}

QString freshBlock(const HTTPRequest& request) {
    QString block = QStringLiteral("### ") + request.name + u'\n' + requestLineText(request, {}) + u'\n';
    for (const KeyValueItem& row : writtenHeaders(request))
        if (auto text = headerText(row)) block += *text + u'\n';
    if (request.hasBody()) block += u'\n' + request.body;
    return block;
}

// The section of a request as edited: untouched lines keep their exact text.
QString patchedSection(const HTTPFileLayout& layout, const HTTPFileLayout::Section& section, const HTTPRequest& request) {
    const HTTPRequest& parsed = layout.parsed[section.slot];
    if (request.sameContent(parsed)) return layout.sectionText(section);

    struct Out {
        QString content;
        QString terminator;  // empty for new lines, which take the file's line end
    };
    QList<Out> out;
    auto keep = [&](int line) { out.append({layout.content(line).toString(), layout.terminator(line)}); };
    auto add = [&](const QString& text) { out.append({text, {}}); };

    if (request.name != parsed.name) {
        add(QStringLiteral("### ") + request.name);
    } else if (section.nameLine >= 0) {
        keep(section.nameLine);
    }
    for (int i = section.nameLine >= 0 ? section.nameLine + 1 : section.first; i < section.requestLine; ++i) keep(i);

    if (request.method != parsed.method || request.url != parsed.url || queryPart(request) != queryPart(parsed)) {
        add(requestLineText(request, section.version));
    } else {
        keep(section.requestLine);
    }

    const QList<KeyValueItem> headers = writtenHeaders(request);
    if (sameRows(headers, parsed.headers)) {
        for (int line : section.headerLines) keep(line);
    } else {
        QList<RowMerge::Entry> entries;
        for (qsizetype k = 0; k < section.headerLines.size(); ++k) {
            const int row = section.headerRows[k];
            entries.append({layout.content(section.headerLines[k]).toString(),
                            row >= 0 ? std::optional(parsed.headers[row]) : std::nullopt});
        }
        for (const QString& text : RowMerge::merge(entries, headers, headerText)) add(text);
    }

    if (request.body == parsed.body && request.bodyKind == parsed.bodyKind) {
        if (section.blankLine >= 0)
            for (int i = section.blankLine; i < section.last; ++i) keep(i);
    } else {
        // Blank lines after the old body still separate this section from the next one.
        int tail = section.last;
        if (section.blankLine >= 0)
            while (tail > section.blankLine + 1 && trimmed(layout.content(tail - 1)).isEmpty()) --tail;
        // The empty line after the file's last line break stays last: a new body goes above it,
        // so the file still ends with a line break.
        const bool blankEndsFile = section.blankLine >= 0 && layout.terminator(section.blankLine).isEmpty();
        if (section.blankLine >= 0 && !(blankEndsFile && request.hasBody())) {
            keep(section.blankLine);
        } else if (request.hasBody()) {
            add({});
        }
        if (request.hasBody())
            for (const QString& bodyLine : request.body.split(u'\n')) add(bodyLine);
        if (section.blankLine >= 0)
            for (int i = tail; i < section.last; ++i) keep(i);
        if (blankEndsFile && request.hasBody()) keep(section.blankLine);
    }

    QString text;
    const QString lastTerminator = layout.terminator(section.last - 1);
    for (qsizetype k = 0; k < out.size(); ++k) {
        text += FormatText::withLineEnding(out[k].content, layout.eol);
        if (k + 1 < out.size()) {
            text += out[k].terminator.isEmpty() ? lineEndAfter(text, layout.eol) : out[k].terminator;
        } else {
            text += lastTerminator;
        }
    }
    return text;
}

const HTTPFileLayout::Section* sectionOfSlot(const HTTPFileLayout& layout, int slot) {
    for (const auto& section : layout.sections)
        if (section.slot == slot) return &section;
    return nullptr;
}

std::shared_ptr<const HTTPFileLayout> layoutOf(const HTTPRequest& request) {
    return request.source ? request.source->httpFile : nullptr;
}

// Joins the pieces of a file: new blocks are set off by a blank line, kept text is not touched.
class Assembler {
public:
    explicit Assembler(QString eol) : eol_(std::move(eol)) {}

    void addKept(const QString& piece) {
        if (!text_.isEmpty()) {
            endLine();
            if (last_ != Piece::kept) blankLine();
        }
        text_ += piece;
        last_ = Piece::kept;
    }
    // A section of other text, set off like a new block.
    void addInserted(const QString& piece) {
        if (!text_.isEmpty()) {
            endLine();
            blankLine();
        }
        text_ += piece;
        last_ = Piece::inserted;
    }
    void addFresh(const QString& block) {
        const QString piece = FormatText::withLineEnding(block, eol_);
        if (!text_.isEmpty()) {
            if (last_ == Piece::fresh) {
                text_ += eol_ + eol_;
            } else {
                endLine();
                blankLine();
            }
        }
        text_ += piece;
        last_ = Piece::fresh;
    }
    // A file that ended with a line end keeps ending with one.
    QString finish(bool endWithLineEnd) {
        if (endWithLineEnd && last_ != Piece::kept && !text_.isEmpty()) endLine();
        return text_;
    }

private:
    enum class Piece { none, kept, inserted, fresh };
    void endLine() {
        if (!text_.endsWith(u'\n')) text_ += lineEndAfter(text_, eol_);
    }
    void blankLine() {
        QStringView before = QStringView(text_).chopped(1);
        if (before.endsWith(u'\r')) before.chop(1);
        if (!before.isEmpty() && !before.endsWith(u'\n')) text_ += eol_;
    }
    QString eol_;
    QString text_;
    Piece last_ = Piece::none;
};

} // namespace

const QSet<QString>& fileExtensions() {
    static const QSet<QString> extensions{QStringLiteral("http"), QStringLiteral("rest")};
    return extensions;
}

const RequestFileFormat& format() {
    static const RequestFileFormat descriptor{fileExtensions(), &parse, &serialize, &cannotHold};
    return descriptor;
}

std::optional<QString> cannotHold(const HTTPRequest& request) {
    // The format has no escapes: a line break ends the line it is in, and a line starting with
    // "###" starts a request.
    const auto broken = [](const QString& text) { return text.contains(u'\n'); };
    if (broken(request.name)) return QStringLiteral("its name holds a line break");
    if (request.name.isEmpty()) return QStringLiteral("it has no name");
    if (blankAtEnds(request.name)) return QStringLiteral("its name starts or ends with a blank");
    if (broken(request.url)) return QStringLiteral("its URL holds a line break");
    if (blankAtEnds(request.url)) return QStringLiteral("its URL starts or ends with a blank");
    // The query is read from the first "?", even one inside the fragment.
    if (const qsizetype hash = request.url.indexOf(u'#'); hash >= 0 && request.url.indexOf(u'?', hash) >= 0)
        return QStringLiteral("its URL has a “?” after its “#”, which would read back as a query");
    for (const KeyValueItem& row : request.headers) {
        if (row.key.isEmpty()) {
            // A value typed before its key: the line would read back as no header at all.
            if (!row.value.isEmpty()) return QStringLiteral("the header with the value “%1” has no name").arg(row.value);
            continue;
        }
        if (broken(row.key) || broken(row.value))
            return QStringLiteral("the header “%1” holds a line break").arg(row.key.section(u'\n', 0, 0));
        if (blankAtEnds(row.value)) return QStringLiteral("the value of the header “%1” starts or ends with a blank").arg(row.key);
        // The line is split at its first colon, and a switched-off row is a comment that only
        // reads back as a row while its key is a plain token. Plain keys (nearly all) need no trial.
        if (!row.key.startsWith(u'#') && std::all_of(row.key.begin(), row.key.end(), isTokenChar)) continue;
        const std::optional<KeyValueItem> reread = headerRow(*headerText(row));
        if (reread && reread->key == row.key && reread->enabled == row.enabled) continue;
        if (row.key.contains(u':')) return QStringLiteral("the key of the header “%1” holds a “:”").arg(row.key);
        return QStringLiteral("the key of the header “%1” would read back as another line").arg(row.key);
    }
    // The request line holds switched-on rows only.
    for (const KeyValueItem& row : request.params) {
        if (!row.enabled && !row.key.isEmpty())
            return QStringLiteral("its query parameter “%1” is switched off, which the request line cannot hold").arg(row.key);
        if (row.key.isEmpty() && !row.value.isEmpty())
            return QStringLiteral("the query parameter with the value “%1” has no name").arg(row.value);
    }
    // A switched-off Content-Type row still decides the kind the body reads back as, while the
    // request is sent with the type of its own kind.
    if (request.hasBody()) {
        const QList<KeyValueItem> headers = writtenHeaders(request);
        const bool typed = std::any_of(headers.begin(), headers.end(), [](const KeyValueItem& r) { return r.enabled && isContentType(r); });
        if (!typed && guessBodyKind(headers, request.body) != request.bodyKind)
            return QStringLiteral("its body would read back as another kind: a switched-off Content-Type header names another type");
    }
    if (request.hasBody())
        for (const QStringView line : QStringView(request.body).split(u'\n'))
            if (line.startsWith(u"###")) return QStringLiteral("a line of its body starts with “###”");
    // The query the URL holds is read back into rows: what the request line sends must not change
    // by it (a lone "?", empty pieces, a fragment inside the query).
    if (request.url.contains(u'?') || request.url.contains(u'#')) {
        const auto sent = [](const HTTPRequest& r) { return URLQuery::compose(r.url, HTTPClient::activeRows(r.params)); };
        const QList<HTTPRequest> back = parse(freshBlock(request));
        if (back.size() != 1 || sent(back[0]) != sent(request))
            return QStringLiteral("its URL would be sent as “%1” when read back").arg(back.isEmpty() ? QString() : sent(back[0]));
    }
    return std::nullopt;
}

QList<HTTPRequest> parse(const QString& text, const QList<HTTPRequest>& previous) {
    auto layout = std::make_shared<HTTPFileLayout>();
    layout->byteOrderMark = text.startsWith(QChar(0xFEFF));
    layout->text = layout->byteOrderMark ? text.mid(1) : text;
    layout->lines = FormatText::splitLines(layout->text);
    layout->eol = FormatText::dominantLineEnding(layout->text);

    int start = 0;
    const int count = int(layout->lines.size());
    for (int i = 0; i < count; ++i) {
        if (i > start && layout->content(i).startsWith(u"###")) {
            layout->sections.append({.first = start, .last = i});
            start = i;
        }
    }
    layout->sections.append({.first = start, .last = count});

    QList<HTTPRequest> requests;
    for (auto& section : layout->sections) {
        if (auto request = parseSection(*layout, section)) {
            section.slot = int(layout->parsed.size());
            layout->parsed.append(*request);
            requests.append(*request);
        }
    }
    keepRequestIds(requests, previous);
    layout->parsed = requests;  // with the ids kept, so that rows are still told apart by id
    for (int slot = 0; slot < requests.size(); ++slot)
        requests[slot].source = std::make_shared<RequestSource>(RequestSource{.httpFile = layout, .slot = slot});
    return requests;
}

QString serializeRequest(const HTTPRequest& request) {
    if (const auto layout = layoutOf(request)) {
        if (const auto* section = sectionOfSlot(*layout, request.source->slot)) return patchedSection(*layout, *section, request);
    }
    return freshBlock(request);
}

QString serialize(const QList<HTTPRequest>& requests) {
    // The file being rewritten is the one most of the requests were read from (on a tie, the
    // larger text: a request edited as text on its own brings a one-section layout along).
    std::shared_ptr<const HTTPFileLayout> file;
    {
        QHash<const HTTPFileLayout*, int> count;
        for (const HTTPRequest& request : requests) {
            const auto layout = layoutOf(request);
            if (!layout) continue;
            const int n = ++count[layout.get()];
            if (!file || n > count[file.get()] || (n == count[file.get()] && layout->sections.size() > file->sections.size()))
                file = layout;
        }
    }
    if (!file) {
        QStringList blocks;
        for (const HTTPRequest& request : requests) blocks.append(freshBlock(request));
        return blocks.join(QStringLiteral("\n\n"));
    }

    // Each section of the file is written by the first request still read from it.
    QList<qsizetype> owner(file->parsed.size(), -1);
    for (qsizetype i = 0; i < requests.size(); ++i) {
        if (layoutOf(requests[i]) != file) continue;
        const int slot = requests[i].source->slot;
        if (slot >= 0 && slot < owner.size() && owner[slot] < 0) owner[slot] = i;
    }
    // A request of this file edited as text on its own takes its own section's place.
    auto otherText = [&](qsizetype i) {
        const auto layout = layoutOf(requests[i]);
        return layout && layout != file;
    };
    for (qsizetype i = 0; i < requests.size(); ++i) {
        if (!otherText(i)) continue;
        for (int slot = 0; slot < owner.size(); ++slot) {
            if (owner[slot] >= 0 || file->parsed[slot].id != requests[i].id) continue;
            owner[slot] = i;
            break;
        }
    }
    // Text of another file, in this file's line ends.
    auto inserted = [&](const HTTPRequest& request) {
        QString piece = serializeRequest(request);
        return FormatText::withLineEnding(piece.replace(QStringLiteral("\r\n"), QStringLiteral("\n")), file->eol);
    };

    Assembler out(file->eol);
    QList<bool> written(requests.size(), false);
    qsizetype next = 0;
    auto writeOther = [&](qsizetype i) {
        written[i] = true;
        const HTTPRequest& request = requests[i];
        const auto layout = layoutOf(request);
        // A request read from other text (an edited raw view) brings its own section along;
        // a copy of one of this file's requests is written as a new block.
        if (layout && layout != file) {
            out.addInserted(inserted(request));
        } else {
            out.addFresh(freshBlock(request));
        }
    };
    QList<bool> owns(requests.size(), false);
    for (qsizetype k : owner)
        if (k >= 0) owns[k] = true;
    // New, copied and replacing requests follow the request before them in the list.
    auto writeFollowers = [&] {
        bool any = false;
        for (; next < requests.size() && !owns[next]; ++next) {
            if (written[next]) continue;
            writeOther(next);
            any = true;
        }
        return any;
    };
    // The blank lines that set a kept section off from the one after it end the file when every
    // section after it is gone; the file then ends as it did before.
    const HTTPFileLayout::Section* lastKept = nullptr;
    for (const auto& section : file->sections) {
        if (section.slot < 0) {
            out.addKept(file->sectionText(section));
            lastKept = &section;
            continue;
        }
        const qsizetype k = owner[section.slot];
        if (k < 0) {
            if (writeFollowers()) lastKept = nullptr;  // what stands in place of a removed section
            continue;
        }
        for (; next < k; ++next)
            if (!written[next]) writeOther(next);
        written[k] = true;
        if (otherText(k)) {
            out.addInserted(inserted(requests[k]));
            lastKept = nullptr;
        } else {
            out.addKept(patchedSection(*file, section, requests[k]));
            lastKept = &section;
        }
        next = std::max(next, k + 1);
        if (writeFollowers()) lastKept = nullptr;
    }
    for (qsizetype i = 0; i < requests.size(); ++i) {
        if (written[i]) continue;
        writeOther(i);
        lastKept = nullptr;
    }
    QString text = out.finish(file->text.endsWith(u'\n'));
    if (lastKept && lastKept != &file->sections.last()) {
        // Where the last line with content ends, before its line end.
        auto contentEnd = [](const QString& t) {
            qsizetype end = t.size();
            while (end > 0 && FormatText::isWhitespaceOrNewline(t[end - 1])) --end;
            while (end < t.size() && t[end] != u'\r' && t[end] != u'\n') ++end;
            return end;
        };
        text = text.left(contentEnd(text)) + file->text.mid(contentEnd(file->text));
    }
    return file->byteOrderMark ? QChar(0xFEFF) + text : text;
}

} // namespace HTTPFileFormat
