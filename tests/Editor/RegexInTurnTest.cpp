// The regular-expression highlighter where it stands in for a syntax tree: strings and comments are
// read in turn, so neither starts inside the other, and the colours match the tree's.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "Editor/HighlighterFactory.h"
#include "Editor/HighlighterRule.h"
#include "HighlightTestSupport.h"
#include "TextShapes.h"
#include "WorkBounds.h"

namespace {

using Span = SyntaxHighlighter::Span;
using highlight_test::paint;

constexpr qsizetype kPastTree = HighlighterRule::kTreeLimit + 1;

// What a unit shows as: inside a string, inside a comment, or code.
enum class Shown { code, string, comment };

std::vector<Shown> shown(const QList<Span>& spans, qsizetype length) {
    std::vector<Shown> out;
    for (const std::optional<TokenRole>& role : paint(spans, length))
        out.push_back(role == TokenRole::string ? Shown::string : role == TokenRole::comment ? Shown::comment : Shown::code);
    return out;
}

std::string shownText(const std::vector<Shown>& units) {
    std::string out;
    for (Shown s : units) out += s == Shown::string ? 's' : s == Shown::comment ? 'c' : '.';
    return out;
}

} // namespace

TEST(RegexInTurn, AQuoteInACommentOrACommentMarkerInAStringColoursAsTheSyntaxTreeDoes) {
    const struct {
        CodeLanguage language;
        QString text;
    } cases[] = {
        {CodeLanguage::javascript,
         "// it won't work\nlet a = 1; /* don't \"x */ let b = \"c // d\" + 'e /* f' + `g # h` + \"i \\\" // j\";\n"
         "let z = 2;\n/* it's */ let y = 'k';\n"},
        {CodeLanguage::typescript, "// can't\nconst a: string = \"b /* c\"; // d's\nconst z = 2; // e\n"},
        {CodeLanguage::python, "# it won't work\na = \"b # c\" + 'd\\'s # e'  # f's\nz = 2\n"},
        {CodeLanguage::css, "/* it won't work */\na { content: \"b /* c\"; font: 'd'; }\nz { color: red; }\n"},
        {CodeLanguage::go, "// it won't work\nvar a = \"b // c\" + `d /* e` /* f's */\nvar z = 2\n"},
        {CodeLanguage::rust, "// it won't work\nlet a = \"b // c\"; /* d's */ let e = '\"';\nlet z = 2;\n"},
        {CodeLanguage::swift, "// it won't work\nlet a = \"b // c\" /* d's \"e */\nlet z = 2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CodeLanguages::rawValue(c.language).toStdString());
        const std::unique_ptr<SyntaxHighlighter> tree = HighlighterFactory::treeSitter(c.language);
        ASSERT_TRUE(tree);
        const std::unique_ptr<SyntaxHighlighter> large = HighlighterRule::make(c.language, kPastTree);
        ASSERT_NE(dynamic_cast<RegexHighlighter*>(large.get()), nullptr);
        const TextRange all{0, c.text.size()};
        EXPECT_EQ(shownText(shown(large->ranges(c.text, all), c.text.size())),
                  shownText(shown(tree->ranges(c.text, all), c.text.size())))
            << c.text.toStdString();
    }
}

TEST(RegexInTurn, HashCommentsPastTheTreeLimitKeepQuotesInCommentsAndHashesInStringsToThemselves) {
    const QString text = "# it won't work\na=\"b # c\" # d's\nz='e'\n";
    {
        const std::unique_ptr<SyntaxHighlighter> h = HighlighterRule::make(CodeLanguage::python, kPastTree);
        EXPECT_EQ(shownText(shown(h->ranges(text, TextRange{0, text.size()}), text.size())),
                  "ccccccccccccccc"
                  "..."
                  "sssssss"
                  ".ccccc"
                  "..."
                  "sss.");
    }
    // Without a grammar to agree with, "#" starts a comment wherever it stands, in a string too.
    for (CodeLanguage language : {CodeLanguage::shell, CodeLanguage::yaml}) {
        const std::unique_ptr<SyntaxHighlighter> h = HighlighterRule::make(language, 10);
        const QList<Span> spans = h->ranges(text, TextRange{0, text.size()});
        EXPECT_TRUE(std::any_of(spans.begin(), spans.end(), [](const Span& s) {
            return s.role == TokenRole::comment && s.range.location == 21;
        })) << CodeLanguages::rawValue(language).toStdString();
    }
}

namespace {

// The word passes and then one scan from the start of the text, where whatever opens first (a
// quote, a comment introducer) runs to its end, keeping the spans that touch range.
QList<Span> inTurnReference(const RegexHighlighter& h, const QString& text, TextRange range) {
    QList<Span> spans;
    const auto keep = [&](TextRange r, TokenRole role) {
        if (r.intersects(range) || range.containsLocation(r.location)) spans.append(Span{r, role});
    };
    const auto pass = [&](const QString& pattern, int group, TokenRole role) {
        const std::optional<RegularExpression> re = RegularExpression::compile(pattern);
        ASSERT_TRUE(re.has_value()) << pattern.toStdString();
        re->forEachMatch(text, group, [&](TextRange r) { keep(r, role); });
    };
    pass(R"(\b([A-Za-z_][A-Za-z0-9_]*)\s*(?=\())", 1, TokenRole::function);
    if (h.typeRegex()) pass(h.typeRegex()->pattern(), 0, TokenRole::type);
    if (h.keywordRegex()) pass(h.keywordRegex()->pattern(), 0, TokenRole::keyword);
    pass(R"(@[A-Za-z_][A-Za-z0-9_]*)", 0, TokenRole::attribute);
    pass(R"(\b\d+(?:\.\d+)?(?:[eE][+-]?\d+)?\b)", 0, TokenRole::number);

    const std::optional<RegularExpression> string =
        RegularExpression::compile(R"("(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*'|`(?:\\.|[^`\\])*`)");
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c == u'"' || c == u'\'' || c == u'`') {
            std::optional<TextRange> first;
            string->forEachMatchIn(text, TextRange{i, n - i}, 0, [&](TextRange r) {
                if (!first) first = r;
            });
            if (first && first->location == i) {
                keep(*first, TokenRole::string);
                i = first->end();
            } else {
                ++i;
            }
        } else if ((h.supportsHashComment() && c == u'#') ||
                   (h.lineComment() && QStringView(text).sliced(i).startsWith(*h.lineComment()))) {
            const qsizetype lf = text.indexOf(u'\n', i);
            const qsizetype end = lf < 0 ? n : lf;
            keep(TextRange{i, end - i}, TokenRole::comment);
            i = end;
        } else if (h.supportsBlockComment() && QStringView(text).sliced(i).startsWith(u"/*")) {
            const qsizetype close = text.indexOf(QStringLiteral("*/"), i + 2);
            if (close >= 0) {
                keep(TextRange{i, close + 2 - i}, TokenRole::comment);
                i = close + 2;
            } else {
                ++i;
            }
        } else {
            ++i;
        }
    }
    return spans;
}

QString randomCode(QRandomGenerator& random, int pieces) {
    static const QStringList alphabet = {"a", "if", "let", "Int", "foo", "(", ")", " ", " ", "\n", "\n", "\t", "\"",
                                         "\"", "'", "`", "\\", "/", "*", "//", "/*", "*/", "#", "@x", "1", "é",
                                         QString::fromUtf8("😀"), "\u2028"};
    QString out;
    for (int i = 0; i < pieces; ++i) out += alphabet[random.bounded(int(alphabet.size()))];
    return out;
}

} // namespace

TEST(RegexInTurn, AnyRangeEqualsAScanFromTheStartAcrossCallsAndEdits) {
    QRandomGenerator random(4321);
    for (CodeLanguage language : {CodeLanguage::javascript, CodeLanguage::python, CodeLanguage::css}) {
        for (int round = 0; round < 6; ++round) {
            const std::unique_ptr<RegexHighlighter> made =
                HighlighterFactory::regex(language, RegexHighlighter::Delimiting::inTurn);
            RegexHighlighter& h = *made;
            // Some long enough for resume points to come into play.
            QString text = randomCode(random, round % 2 ? 30'000 : 500);
            for (int call = 0; call < 12; ++call) {
                std::optional<TextEdit> edit;
                if (call % 3 == 2) {
                    const qsizetype at = random.bounded(int(text.size() + 1));
                    const qsizetype removed = random.bounded(int(qMin<qsizetype>(text.size() - at, 40) + 1));
                    const TextEdit e = highlight_test::replace(text, at, removed, randomCode(random, random.bounded(6)));
                    if (call % 2) h.noteEdit(e); else edit = e;
                }
                const qsizetype location = random.bounded(int(text.size() + 1));
                const TextRange range{location, random.bounded(int(qMin<qsizetype>(text.size() - location, 3000) + 1))};
                ASSERT_EQ(h.ranges(text, edit, range), inTurnReference(h, text, range))
                    << "language " << int(language) << " round " << round << " call " << call;
            }
        }
    }
}

namespace {

struct Cost {
    qsizetype keystroke = 0;
    qsizetype scroll = 0;
    qsizetype quote = 0;
    qsizetype comment = 0;  // a block comment opened, which turns every later quote over
};

Cost inTurnCost(text_shapes::Shape shape, qsizetype units) {
    QString text = text_shapes::make(shape, units);
    const std::unique_ptr<SyntaxHighlighter> h = HighlighterRule::make(CodeLanguage::javascript, kPastTree);
    const auto* regex = dynamic_cast<const RegexHighlighter*>(h.get());
    EXPECT_NE(regex, nullptr);
    if (!regex) return {};
    const qsizetype lineStart = text.lastIndexOf(u'\n', text.size() / 2) + 1;
    const qsizetype from = lineStart > 0 ? lineStart : text.size() / 2;
    const qsizetype to = qMin(text.size(), from + 4000);
    const TextRange screen{from, to - from};
    h->ranges(text, TextRange{text.size(), 0});
    h->ranges(text, screen);
    Cost cost;
    h->ranges(text, highlight_test::replace(text, from + 1, 0, "x"), screen);
    cost.keystroke = regex->lastScanLength();
    h->ranges(text, TextRange{to, qMin<qsizetype>(text.size() - to, 4000)});
    cost.scroll = regex->lastScanLength();
    h->ranges(text, highlight_test::replace(text, from + 2, 0, "'"), screen);
    cost.quote = regex->lastScanLength();
    h->ranges(text, highlight_test::replace(text, from + 3, 0, "/*"), screen);
    cost.comment = regex->lastScanLength();
    return cost;
}

} // namespace

TEST(RegexInTurn, AKeyAScrollAQuoteOrACommentOpenerReadAsMuchInALargeTextAsInASmallOne) {
    work_bounds::compareSizes(1024 * 1024, 8 * 1024 * 1024, inTurnCost, [](const Cost& small, const Cost& large) {
        SCOPED_TRACE(testing::Message() << "key " << large.keystroke << " scroll " << large.scroll << " quote "
                                        << large.quote << " comment " << large.comment);
        work_bounds::expectFlat(small.keystroke, large.keystroke);
        work_bounds::expectFlat(small.scroll, large.scroll);
        work_bounds::expectFlat(small.quote, large.quote);
        // An opener without a closer looks for one a bounded way on, and the scan goes on from it.
        work_bounds::expectFlat(small.comment, large.comment, 512 * 1024);
    });
}
