#pragma once
// Texts of the shapes people open besides code, for tests and benchmarks alike, the same for the same
// size: word lists, numeric columns, hex dumps, prose, CJK prose, a minified line, empty lines, and
// code; and JSON nested as deep as the text allows. Most are made only of letters, digits, white space and the few marks a word can hold, which
// is what lets a scan that runs "while a word could go on" run over all of them.
#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "GeneratedCode.h"

namespace text_shapes {

enum class Shape { code, wordList, numericColumns, hexDump, prose, cjk, minified, emptyLines, nested };

// The shapes every shape test goes through.
inline std::vector<Shape> all() {
    return {Shape::code,  Shape::wordList, Shape::numericColumns, Shape::hexDump,
            Shape::prose, Shape::cjk,      Shape::minified,       Shape::emptyLines};
}

// Those and deep nesting, which the benchmarks and the window measuring also take.
inline std::vector<Shape> measured() {
    std::vector<Shape> shapes = all();
    shapes.push_back(Shape::nested);
    return shapes;
}

inline const char* name(Shape shape) {
    switch (shape) {
    case Shape::code: return "code";
    case Shape::wordList: return "words";
    case Shape::numericColumns: return "numbers";
    case Shape::hexDump: return "hex";
    case Shape::prose: return "prose";
    case Shape::cjk: return "cjk";
    case Shape::minified: return "minified";
    case Shape::emptyLines: return "empty";
    case Shape::nested: return "nested";
    }
    return "";
}

// The file name the shape is opened under: code as JavaScript, nesting as JSON, the rest as plain text.
inline QString fileName(Shape shape) {
    if (shape == Shape::nested) return QStringLiteral("shape-nested.json");
    return shape == Shape::code ? QStringLiteral("shape.js") : QStringLiteral("shape-%1.txt").arg(name(shape));
}

namespace detail {

// The length of text in UTF-8, as it is saved.
inline qsizetype utf8Bytes(QStringView text) {
    qsizetype bytes = 0;
    for (const QChar c : text) bytes += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 || c.isSurrogate() ? 2 : 3;
    return bytes;
}

// A line repeated with a counter in it until the text is `bytes` long in UTF-8 (cut at a line's end).
template <typename LineOf>
QString repeatLines(qsizetype bytes, LineOf lineOf) {
    QString out;
    out.reserve(bytes + 256);
    for (qsizetype i = 0, size = 0; size < bytes; ++i) {
        const QString line = lineOf(i);
        out += line;
        size += utf8Bytes(line);
    }
    out.squeeze();
    return out;
}

} // namespace detail

// About `bytes` bytes of the shape, saved as UTF-8 (all but CJK prose are ASCII, a byte a unit).
inline QString make(Shape shape, qsizetype bytes) {
    static const QStringList words = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
                                      "india", "juliet", "kilo", "lima", "mike", "november", "oscar", "papa"};
    switch (shape) {
    case Shape::code: return generated_code::JavaScriptWriter(7).write(bytes);
    case Shape::wordList:
        return detail::repeatLines(bytes, [](qsizetype i) { return words[i % words.size()] + QString::number(i) + u'\n'; });
    case Shape::numericColumns:
        return detail::repeatLines(bytes, [](qsizetype i) {
            return QStringLiteral("%1 %2 %3.%4 -%5e+3\n").arg(i).arg(i * 7 % 1000, 6).arg(i % 97).arg(i % 10).arg(i % 13);
        });
    case Shape::hexDump:
        return detail::repeatLines(bytes, [](qsizetype i) {
            QString line = QStringLiteral("%1:").arg(i * 16, 8, 16, QChar(u'0'));
            for (int b = 0; b < 16; ++b) line += QStringLiteral(" %1").arg((i * 31 + b * 7) % 256, 2, 16, QChar(u'0'));
            return line + u'\n';
        });
    case Shape::prose:
        return detail::repeatLines(bytes, [](qsizetype i) {
            QString line;
            for (int w = 0; w < 12; ++w) line += words[(i * 5 + w * 3) % words.size()] + u' ';
            return line + QStringLiteral("went on %1 times but didn't stop.\n").arg(i % 50);
        });
    case Shape::cjk:
        return detail::repeatLines(bytes, [](qsizetype i) {
            return QStringLiteral("東京の天気は晴れで気温は二十度です%1今日は雨が降りません\n").arg(i % 10);
        });
    case Shape::minified: {
        QString code = generated_code::JavaScriptWriter(11).write(bytes);
        code.replace(u'\n', u' ');
        // Line comments would swallow the rest of the one line: the generator's become block comments.
        code.replace(QStringLiteral("// section"), QStringLiteral("/* section */ //"));
        code.remove(QStringLiteral("//"));
        return code;
    }
    case Shape::emptyLines: return QString(bytes, u'\n');
    case Shape::nested: {
        // An object holding an array on each line, each holding the next, up to a million levels deep
        // (13 bytes a level): as many such values as the size takes.
        QString out;
        out.reserve(bytes + 64);
        while (out.size() < bytes) {
            const qsizetype depth = std::clamp<qsizetype>((bytes - out.size()) / 13, 1, 1000000);
            for (qsizetype i = 0; i < depth; ++i) {
                out += QStringLiteral("{\"k\": [");
                out += QChar(u'0' + int(i % 10));
                out += QStringLiteral(",\n");
            }
            out += QStringLiteral("true\n");
            out += QStringLiteral("]}\n").repeated(depth);
        }
        return out;
    }
    }
    return {};
}

// A literal token of the shape, found about once to a few times a kilobyte wherever the text is cut,
// so that its count grows with the text, and what a Replace All puts in its place.
struct Replacing {
    QString query;
    QString replacement;
};

inline Replacing replacing(Shape shape) {
    switch (shape) {
    case Shape::code:
    case Shape::minified: return {QStringLiteral("items.length"), QStringLiteral("items.size")};
    case Shape::wordList: return {QStringLiteral("kilo"), QStringLiteral("kilogram")};
    case Shape::numericColumns: return {QStringLiteral("-7e+3"), QStringLiteral("-7.00e+03")};
    case Shape::hexDump: return {QStringLiteral("ff 06"), QStringLiteral("0xff 06")};
    case Shape::prose: return {QStringLiteral("on 7 times"), QStringLiteral("on seven times")};
    case Shape::cjk: return {QStringLiteral("です7今"), QStringLiteral("です七つ今")};
    // A line in every 1024 taken out of each run.
    case Shape::emptyLines: return {QString(1024, u'\n'), QString(1023, u'\n')};
    case Shape::nested: return {QStringLiteral("[7,"), QStringLiteral("[7.5,")};
    }
    return {};
}

} // namespace text_shapes
