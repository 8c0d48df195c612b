#include "API/EnvironmentFile.h"

#include "API/FormatText.h"
#include "Platform/TextFile.h"

namespace EnvironmentFile {

namespace {

QStringView withoutByteOrderMark(QStringView text) {
    return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
}

// A strict JSON reader that keeps the source text of numbers. Nested values are rebuilt as
// compact text, so only their whitespace changes.
class JsonReader {
public:
    explicit JsonReader(QStringView text) : text_(text) {}

    std::optional<QMap<QString, QString>> topLevelObject() {
        skipSpace();
        if (!at(u'{')) return std::nullopt;
        ++pos_;
        QMap<QString, QString> members;
        skipSpace();
        if (at(u'}')) {
            ++pos_;
        } else {
            while (true) {
                QString key, raw;
                skipSpace();
                if (!string(key, raw)) return std::nullopt;
                skipSpace();
                if (!at(u':')) return std::nullopt;
                ++pos_;
                skipSpace();
                QString value;
                if (at(u'"')) {
                    if (!string(value, raw)) return std::nullopt;
                } else {
                    if (!compactValue(value)) return std::nullopt;
                    if (value == QLatin1String("null")) value.clear();
                }
                members.insert(key, value);
                skipSpace();
                if (at(u',')) {
                    ++pos_;
                    continue;
                }
                if (!at(u'}')) return std::nullopt;
                ++pos_;
                break;
            }
        }
        skipSpace();
        if (pos_ != text_.size()) return std::nullopt;
        return members;
    }

private:
    // Deeper nesting is refused rather than risking the stack.
    static constexpr int kMaxDepth = 512;

    bool at(char16_t c) const { return pos_ < text_.size() && text_[pos_] == c; }

    void skipSpace() {
        while (pos_ < text_.size()) {
            const char16_t c = text_[pos_].unicode();
            if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r') return;
            ++pos_;
        }
    }

    bool unicodeEscape(char16_t& unit) {  // after "\u"
        if (pos_ + 4 > text_.size()) return false;
        int v = 0;
        for (int k = 0; k < 4; ++k) {
            const int d = FormatText::hexDigitValue(text_[pos_ + k]);
            if (d < 0) return false;
            v = v * 16 + d;
        }
        pos_ += 4;
        unit = char16_t(v);
        return true;
    }

    // A string at pos_: its decoded value and its source text, quotes included.
    bool string(QString& decoded, QString& raw) {
        if (!at(u'"')) return false;
        const qsizetype start = pos_++;
        decoded.clear();
        while (pos_ < text_.size()) {
            const char16_t c = text_[pos_++].unicode();
            if (c == u'"') {
                raw = text_.mid(start, pos_ - start).toString();
                return QStringView(decoded).isValidUtf16();
            }
            if (c < 0x20) return false;
            if (c != u'\\') {
                decoded += QChar(c);
                continue;
            }
            if (pos_ >= text_.size()) return false;
            const char16_t e = text_[pos_++].unicode();
            switch (e) {
            case u'"': decoded += u'"'; break;
            case u'\\': decoded += u'\\'; break;
            case u'/': decoded += u'/'; break;
            case u'b': decoded += u'\b'; break;
            case u'f': decoded += u'\f'; break;
            case u'n': decoded += u'\n'; break;
            case u'r': decoded += u'\r'; break;
            case u't': decoded += u'\t'; break;
            case u'u': {
                char16_t unit = 0;
                if (!unicodeEscape(unit)) return false;
                decoded += QChar(unit);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    bool number(QString& out) {
        const qsizetype start = pos_;
        auto digits = [&] {
            const qsizetype from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'9') ++pos_;
            return pos_ > from;
        };
        if (at(u'-')) ++pos_;
        if (at(u'0')) {
            ++pos_;
        } else if (!digits()) {
            return false;
        }
        if (at(u'.')) {
            ++pos_;
            if (!digits()) return false;
        }
        if (at(u'e') || at(u'E')) {
            ++pos_;
            if (at(u'+') || at(u'-')) ++pos_;
            if (!digits()) return false;
        }
        out += text_.mid(start, pos_ - start);
        return true;
    }

    bool literal(QStringView word, QString& out) {
        if (!text_.mid(pos_).startsWith(word)) return false;
        pos_ += word.size();
        out += word;
        return true;
    }

    bool container(QString& out, char16_t open, char16_t close, bool object) {
        if (++depth_ > kMaxDepth) return false;
        ++pos_;
        out += QChar(open);
        skipSpace();
        if (at(close)) {
            ++pos_;
            out += QChar(close);
            --depth_;
            return true;
        }
        while (true) {
            skipSpace();
            if (object) {
                QString key, raw;
                if (!string(key, raw)) return false;
                out += raw;
                skipSpace();
                if (!at(u':')) return false;
                ++pos_;
                out += u':';
                skipSpace();
            }
            if (!compactValue(out)) return false;
            skipSpace();
            if (at(u',')) {
                ++pos_;
                out += u',';
                continue;
            }
            if (!at(close)) return false;
            ++pos_;
            out += QChar(close);
            --depth_;
            return true;
        }
    }

    bool compactValue(QString& out) {
        if (pos_ >= text_.size()) return false;
        switch (text_[pos_].unicode()) {
        case u'{': return container(out, u'{', u'}', true);
        case u'[': return container(out, u'[', u']', false);
        case u'"': {
            QString decoded, raw;
            if (!string(decoded, raw)) return false;
            out += raw;
            return true;
        }
        case u't': return literal(u"true", out);
        case u'f': return literal(u"false", out);
        case u'n': return literal(u"null", out);
        default: return number(out);
        }
    }

    QStringView text_;
    qsizetype pos_ = 0;
    int depth_ = 0;
};

} // namespace

std::optional<QMap<QString, QString>> parseJson(const QString& text) {
    return JsonReader(withoutByteOrderMark(text)).topLevelObject();
}

QMap<QString, QString> parseLines(const QString& text) {
    const QStringView all = withoutByteOrderMark(text);
    QMap<QString, QString> values;
    // A CRLF file reads like an LF file: a carriage return would otherwise end every value.
    for (const FormatText::Line& line : FormatText::splitLines(all)) {
        const QStringView content = FormatText::trimmed(FormatText::content(all, line));
        if (content.isEmpty() || content.startsWith(u'#')) continue;
        const qsizetype equals = content.indexOf(u'=');
        if (equals < 0) continue;
        QStringView value = FormatText::trimmed(content.mid(equals + 1));
        if (value.size() >= 2 && value.front() == value.back() && (value.front() == u'"' || value.front() == u'\''))
            value = value.mid(1, value.size() - 2);
        values.insert(FormatText::trimmed(content.left(equals)).toString(), value.toString());
    }
    return values;
}

std::optional<APIEnvironment> read(const QString& path) {
    const TextFile::ReadResult file = TextFile::readUtf8(path);
    if (!file.text) return std::nullopt;
    const QString fileName = path.section(u'/', -1);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString name = dot < 0 ? fileName : fileName.left(dot);
    if (fileName.mid(dot + 1).compare(QLatin1String("json"), Qt::CaseInsensitive) == 0 && dot >= 0) {
        auto values = parseJson(*file.text);
        if (!values) return std::nullopt;
        return APIEnvironment{name, std::move(*values)};
    }
    return APIEnvironment{name, parseLines(*file.text)};
}

} // namespace EnvironmentFile
