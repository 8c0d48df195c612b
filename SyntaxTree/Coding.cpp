#include "SyntaxTree/Coding.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "SyntaxTree/Unicode.h"

namespace SyntaxTree::Coding {

namespace {

// Just enough of a JSON value for the records above.
struct Value {
    enum Type { null, boolean, number, string, array, object } type = null;
    std::string text;  // number lexeme or string contents (UTF-8)
    std::vector<Value> elements;
    std::map<std::string, Value> members;
};

class Reader {
public:
    explicit Reader(std::string_view json) : json_(json) {}

    Value document() {
        Value value = read();
        skipSpace();
        if (pos_ != json_.size()) fail();
        return value;
    }

private:
    [[noreturn]] void fail() const { throw DecodingError{DecodingError::dataCorrupted, {}}; }

    void skipSpace() {
        while (pos_ < json_.size() && (json_[pos_] == ' ' || json_[pos_] == '\n' || json_[pos_] == '\r' || json_[pos_] == '\t'))
            ++pos_;
    }
    bool consume(char c) {
        skipSpace();
        if (pos_ < json_.size() && json_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!consume(c)) fail();
    }
    bool literal(std::string_view word) {
        if (json_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    Value read() {
        if (++depth_ > 64) fail();
        skipSpace();
        if (pos_ >= json_.size()) fail();
        Value value;
        const char c = json_[pos_];
        if (c == '{') {
            ++pos_;
            value.type = Value::object;
            if (!consume('}')) {
                do {
                    skipSpace();
                    std::string key = readString();
                    expect(':');
                    value.members[key] = read();
                } while (consume(','));
                expect('}');
            }
        } else if (c == '[') {
            ++pos_;
            value.type = Value::array;
            if (!consume(']')) {
                do value.elements.push_back(read());
                while (consume(','));
                expect(']');
            }
        } else if (c == '"') {
            value.type = Value::string;
            value.text = readString();
        } else if (literal("true") || literal("false")) {
            value.type = Value::boolean;
        } else if (literal("null")) {
            value.type = Value::null;
        } else {
            const size_t start = pos_;
            while (pos_ < json_.size() && std::string_view("+-0123456789.eE").find(json_[pos_]) != std::string_view::npos)
                ++pos_;
            if (pos_ == start) fail();
            value.type = Value::number;
            value.text = std::string(json_.substr(start, pos_ - start));
        }
        --depth_;
        return value;
    }

    unsigned hex4() {
        if (pos_ + 4 > json_.size()) fail();
        unsigned code = 0;
        const auto [end, error] = std::from_chars(json_.data() + pos_, json_.data() + pos_ + 4, code, 16);
        if (error != std::errc() || end != json_.data() + pos_ + 4) fail();
        pos_ += 4;
        return code;
    }

    std::string readString() {
        if (pos_ >= json_.size() || json_[pos_] != '"') fail();
        ++pos_;
        std::u16string units;
        std::string out;
        auto flushUnits = [&] {
            out += Unicode::toUtf8(units);
            units.clear();
        };
        while (true) {
            if (pos_ >= json_.size()) fail();
            const char c = json_[pos_++];
            if (c == '"') break;
            if (c != '\\') {
                flushUnits();
                out += c;
                continue;
            }
            if (pos_ >= json_.size()) fail();
            const char e = json_[pos_++];
            switch (e) {
            case '"': case '\\': case '/': flushUnits(); out += e; break;
            case 'b': flushUnits(); out += '\b'; break;
            case 'f': flushUnits(); out += '\f'; break;
            case 'n': flushUnits(); out += '\n'; break;
            case 'r': flushUnits(); out += '\r'; break;
            case 't': flushUnits(); out += '\t'; break;
            case 'u': units += char16_t(hex4()); break;
            default: fail();
            }
        }
        flushUnits();
        return out;
    }

    std::string_view json_;
    size_t pos_ = 0;
    int depth_ = 0;
};

const Value& member(const Value& record, const std::string& key) {
    if (record.type != Value::object) throw DecodingError{DecodingError::typeMismatch, key};
    const auto found = record.members.find(key);
    if (found == record.members.end()) throw DecodingError{DecodingError::keyNotFound, key};
    return found->second;
}

uint32_t unsignedValue(const Value& value, const std::string& key) {
    uint32_t result = 0;
    const char* begin = value.text.data();
    const char* end = begin + value.text.size();
    if (value.type != Value::number) throw DecodingError{DecodingError::typeMismatch, key};
    const auto [stop, error] = std::from_chars(begin, end, result);
    if (error != std::errc() || stop != end) throw DecodingError{DecodingError::typeMismatch, key};
    return result;
}

const std::vector<Value>& pair(const Value& value, const std::string& key) {
    if (value.type != Value::array || value.elements.size() != 2) throw DecodingError{DecodingError::typeMismatch, key};
    return value.elements;
}

Point point(const Value& record) {
    const uint32_t row = unsignedValue(member(record, "row"), "row");
    const uint32_t column = unsignedValue(member(record, "column"), "column");
    return Point(row, column);
}

TSRange tsRange(const Value& record) {
    const std::vector<Value>& points = pair(member(record, "points"), "points");
    const std::vector<Value>& bytes = pair(member(record, "bytes"), "bytes");
    const PointRange pointRange{point(points[0]), point(points[1])};
    const ByteRange byteRange{unsignedValue(bytes[0], "bytes"), unsignedValue(bytes[1], "bytes")};
    if (pointRange.lower > pointRange.upper) throw DecodingError{DecodingError::dataCorrupted, "points"};
    if (byteRange.lower > byteRange.upper) throw DecodingError{DecodingError::dataCorrupted, "bytes"};
    return TSRange(pointRange, byteRange);
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

std::string encode(const Point& point) {
    return "{\"row\":" + std::to_string(point.row) + ",\"column\":" + std::to_string(point.column) + "}";
}

std::string encode(const TSRange& range) {
    return "{\"points\":[" + encode(range.points.lower) + "," + encode(range.points.upper) + "],\"bytes\":[" +
           std::to_string(range.bytes.lower) + "," + std::to_string(range.bytes.upper) + "]}";
}

std::string encode(const NamedRange& range) {
    std::string components;
    for (const std::string& component : range.nameComponents) {
        if (!components.empty()) components += ',';
        components += quoted(component);
    }
    return "{\"nameComponents\":[" + components + "],\"tsRange\":" + encode(range.tsRange) + "}";
}

Point decodePoint(std::string_view json) { return point(Reader(json).document()); }

TSRange decodeTSRange(std::string_view json) { return tsRange(Reader(json).document()); }

NamedRange decodeNamedRange(std::string_view json) {
    const Value record = Reader(json).document();
    const Value& names = member(record, "nameComponents");
    if (names.type != Value::array) throw DecodingError{DecodingError::typeMismatch, "nameComponents"};
    std::vector<std::string> components;
    for (const Value& name : names.elements) {
        if (name.type != Value::string) throw DecodingError{DecodingError::typeMismatch, "nameComponents"};
        components.push_back(name.text);
    }
    return NamedRange(std::move(components), tsRange(member(record, "tsRange")));
}

} // namespace SyntaxTree::Coding
