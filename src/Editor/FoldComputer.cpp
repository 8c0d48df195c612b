#include "Editor/FoldComputer.h"

#include <array>
#include <vector>

namespace FoldComputer {

namespace {

enum Kind : unsigned char { plain, lineBreak, quote, slash, opener, closer };

// One lookup per ASCII unit keeps the scan, which runs after every keystroke, a single tight pass.
constexpr std::array<Kind, 128> makeTable() {
    std::array<Kind, 128> kind{};
    kind[u'\n'] = kind[u'\r'] = lineBreak;
    kind[u'"'] = kind[u'\''] = kind[u'`'] = quote;
    kind[u'/'] = slash;
    kind[u'('] = kind[u'['] = kind[u'{'] = opener;
    kind[u')'] = kind[u']'] = kind[u'}'] = closer;
    return kind;
}
constexpr std::array<Kind, 128> kTable = makeTable();

inline Kind kindOf(char16_t c) {
    if (c < 128) return kTable[c];
    return (c == 0x85 || c == 0x2028 || c == 0x2029) ? lineBreak : plain;
}

char16_t closerOf(char16_t c) { return c == u'(' ? u')' : c == u'[' ? u']' : u'}'; }

struct Open {
    char16_t closer;
    qsizetype line;
};

} // namespace

QList<FoldRegion> regions(QStringView text) {
    QList<FoldRegion> out;
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    std::vector<qsizetype> lineStart{0};
    std::vector<Open> stack;
    char16_t inString = 0;
    bool inComment = false;

    // Start of the terminator that ends line `line` (its successor's start minus the terminator).
    const auto terminatorStart = [&](qsizetype line) {
        const qsizetype next = lineStart[size_t(line + 1)];
        return (next >= 2 && s[next - 1] == u'\n' && s[next - 2] == u'\r') ? next - 2 : next - 1;
    };

    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        const Kind kind = kindOf(c);
        if (kind == lineBreak) {
            if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') ++i;
            lineStart.push_back(i + 1);
            inComment = false;  // a quoted run stays open across lines
            continue;
        }
        if (kind == plain || inComment) continue;
        if (inString) {
            if (c == inString) inString = 0;
            continue;
        }
        switch (kind) {
        case quote: inString = c; break;
        case slash:
            if (i + 1 < n && s[i + 1] == u'/') {
                inComment = true;
                ++i;
            }
            break;
        case opener: stack.push_back({closerOf(c), qsizetype(lineStart.size()) - 1}); break;
        case closer: {
            if (stack.empty() || stack.back().closer != c) break;  // a stray closer changes nothing
            const qsizetype opened = stack.back().line;
            stack.pop_back();
            const qsizetype line = qsizetype(lineStart.size()) - 1;
            if (opened >= line) break;
            const qsizetype from = terminatorStart(opened);
            const qsizetype to = lineStart[size_t(line)];
            out.append(FoldRegion{lineStart[size_t(opened)], TextRange{from, to - from}});
            break;
        }
        default: break;
        }
    }
    return out;
}

} // namespace FoldComputer
