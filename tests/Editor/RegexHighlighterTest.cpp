// The regular-expression highlighter: passes, precedence, range filtering and each language's lists.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <algorithm>

#include "Editor/ExactText.h"
#include "Editor/HighlighterFactory.h"
#include "Editor/HighlighterRule.h"
#include "HighlightTestSupport.h"
#include "TextShapes.h"
#include "WorkBounds.h"

namespace {

using Span = SyntaxHighlighter::Span;
using highlight_test::paint;
using highlight_test::texts;

QList<Span> highlight(CodeLanguage language, const QString& text) {
    return HighlighterFactory::regex(language)->ranges(text, TextRange{0, text.size()});
}

std::optional<TokenRole> paintedAt(CodeLanguage language, const QString& text, const QString& needle) {
    const qsizetype at = text.indexOf(needle);
    EXPECT_GE(at, 0) << needle.toStdString();
    return paint(highlight(language, text), text.size())[size_t(at)];
}

} // namespace

TEST(RegexHighlighter, EmptyTextYieldsNothingInAnyLanguage) {
    for (CodeLanguage l : CodeLanguages::allCases()) EXPECT_TRUE(highlight(l, QString()).isEmpty());
}

TEST(RegexHighlighter, EachLanguagesWordsNumbersStringsAndComments) {
    using L = CodeLanguage;
    using R = TokenRole;
    const QString swift = "@MainActor func load  (count: Int) { let s: String = \"\"; return 42 }";
    const QString json = "{\"a\": true, \"b\": nullx, \"c\": [false, null], # x\n// y\n}";
    const QString css = "a { color: rgb(1, 2, 3); } /* c */ // no\n#id @media { if }";
    const QString ts = "interface X { a: string; b: Promise<number> } // t";
    const QString strings = R"(a = "say \"hi\"" + 'it\'s' + `tick` + "two
lines" + "open)";
    const struct {
        CodeLanguage language;
        QString text;
        TokenRole role;
        QStringList expected;
    } cases[] = {
        {L::swift, swift, R::function, {"load"}},
        {L::swift, swift, R::number, {"42"}},
        {L::swift, swift, R::type, {"Int", "String"}},
        {L::swift, swift, R::keyword, {"func", "let", "return"}},
        {L::swift, swift, R::attribute, {"@MainActor"}},
        {L::swift, "letter Integer", R::keyword, {}},  // whole words only
        {L::swift, "letter Integer", R::type, {}},
        {L::javascript, strings, R::string, {R"("say \"hi\"")", R"('it\'s')", "`tick`", "\"two\nlines\""}},
        {L::go, "3.14e-2 1.2.3 x1 0x1F 7E+10", R::number, {"3.14e-2", "1.2", "3", "7E+10"}},
        {L::json, json, R::keyword, {"true", "false", "null"}},
        {L::json, json, R::comment, {}},
        {L::json, json, R::type, {}},
        {L::python, "def f(self): return None", R::keyword, {"def", "self", "return", "None"}},
        {L::shell, "if true; then echo hi; fi", R::keyword, {"if", "true", "then", "echo", "fi"}},
        {L::css, css, R::comment, {"/* c */"}},
        {L::css, css, R::function, {"rgb"}},
        {L::css, css, R::attribute, {"@media"}},
        {L::css, css, R::keyword, {}},
        {L::rust, "fn main() -> Result<Vec<i32>, String> { let mut v: usize = 0; }", R::type,
         {"Result", "Vec", "i32", "String", "usize"}},
        {L::go, "func f(b []byte) (int64, error) { return 0, nil }", R::type, {"byte", "int64", "error"}},
        {L::typescript, ts, R::type, {"string", "Promise", "number"}},
        {L::typescript, ts, R::keyword, {"interface"}},
        {L::typescript, ts, R::comment, {"// t"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(texts(highlight(c.language, c.text), c.text, c.role), c.expected)
            << CodeLanguages::rawValue(c.language).toStdString() << " " << int(c.role) << ": " << c.text.toStdString();
}

TEST(RegexHighlighter, PassesComeInPrecedenceOrderSoKeywordsBeatCallSyntax) {
    const QString text = "if (x) {}";
    const QList<Span> spans = highlight(CodeLanguage::swift, text);
    ASSERT_EQ(spans.size(), 2);
    EXPECT_EQ(spans[0], (Span{{0, 2}, TokenRole::function}));
    EXPECT_EQ(spans[1], (Span{{0, 2}, TokenRole::keyword}));
    EXPECT_EQ(paintedAt(CodeLanguage::swift, text, "if"), TokenRole::keyword);
}

TEST(RegexHighlighter, StringsWinOverCodeAndLineCommentsWinOverStrings) {
    const QString text = "let url = \"http://host\"\nlet n = \"if 42\"";
    const QList<Span> spans = highlight(CodeLanguage::swift, text);
    EXPECT_EQ(texts(spans, text, TokenRole::string), (QStringList{"\"http://host\"", "\"if 42\""}));
    EXPECT_EQ(texts(spans, text, TokenRole::comment), QStringList{"//host\""});
    EXPECT_EQ(paintedAt(CodeLanguage::swift, text, "http"), TokenRole::string);
    EXPECT_EQ(paintedAt(CodeLanguage::swift, text, "host"), TokenRole::comment);
    EXPECT_EQ(paintedAt(CodeLanguage::swift, text, "if 42"), TokenRole::string);
    EXPECT_EQ(paintedAt(CodeLanguage::swift, text, "42"), TokenRole::string);

    const QString commented = "x = 1 /* \"quoted\" */";
    EXPECT_EQ(paintedAt(CodeLanguage::swift, commented, "quoted"), TokenRole::comment);
}

TEST(RegexHighlighter, OffsetsAreUtf16Units) {
    const QString text = QStringLiteral("\"\U0001F600\" 42");  // the emoji is two units
    const QList<Span> spans = highlight(CodeLanguage::swift, text);
    ASSERT_EQ(spans.size(), 2);
    EXPECT_EQ(spans[0], (Span{{5, 2}, TokenRole::number}));
    EXPECT_EQ(spans[1], (Span{{0, 4}, TokenRole::string}));
}

TEST(RegexHighlighter, KeepsOnlySpansTouchingTheRequestedRange) {
    const QString text = "/* one\ntwo */ x = 1\n/* early */\nlet y = 2\n";
    auto highlighter = HighlighterFactory::regex(CodeLanguage::swift);
    // Range: the line "let y = 2" only.
    const qsizetype start = text.indexOf("let");
    const QList<Span> spans = highlighter->ranges(text, TextRange{start, 10});
    EXPECT_EQ(texts(spans, text, TokenRole::keyword), QStringList{"let"});
    EXPECT_EQ(texts(spans, text, TokenRole::number), QStringList{"2"});
    EXPECT_TRUE(texts(spans, text, TokenRole::comment).isEmpty());

    // A block comment that starts before the range and ends inside it comes back whole.
    const QList<Span> second = highlighter->ranges(text, TextRange{text.indexOf("two"), 3});
    EXPECT_EQ(texts(second, text, TokenRole::comment), QStringList{"/* one\ntwo */"});

    // A span ending exactly where the range starts does not touch it.
    const QList<Span> after = highlighter->ranges(text, TextRange{text.indexOf(" x ="), 1});
    EXPECT_TRUE(after.isEmpty());
    EXPECT_TRUE(highlighter->ranges(text, TextRange{start, 0}).isEmpty());

    // Line comments on the later lines of a range whose first line is empty.
    const QString blankFirst = "\nx // one\n# two\n";
    EXPECT_EQ(texts(highlighter->ranges(blankFirst, TextRange{0, blankFirst.size()}), blankFirst, TokenRole::comment),
              QStringList{"// one"});
    EXPECT_EQ(texts(HighlighterFactory::regex(CodeLanguage::python)->ranges(blankFirst, TextRange{0, blankFirst.size()}),
                    blankFirst, TokenRole::comment),
              QStringList{"# two"});
}

TEST(RegexHighlighter, IgnoresTheEdit) {
    const QString text = "func f() { return 1 } // done";
    auto highlighter = HighlighterFactory::regex(CodeLanguage::swift);
    const TextEdit edit{3, 3, 4, {0, 3}, {0, 3}, {0, 4}};
    EXPECT_EQ(highlighter->ranges(text, edit, TextRange{0, text.size()}),
              highlighter->ranges(text, TextRange{0, text.size()}));
}

TEST(RegexHighlighter, HashCommentsRunToLineEndEvenInsideStrings) {
    for (CodeLanguage l : {CodeLanguage::python, CodeLanguage::shell, CodeLanguage::yaml}) {
        const QString text = "x = \"a # b\"\n# whole\ny = 'c' // not\n";
        const QList<Span> spans = highlight(l, text);
        EXPECT_EQ(texts(spans, text, TokenRole::comment), (QStringList{"# b\"", "# whole"}))
            << CodeLanguages::rawValue(l).toStdString();
        EXPECT_EQ(paintedAt(l, text, " b"), TokenRole::comment);
        EXPECT_EQ(paintedAt(l, text, "\"a"), TokenRole::string);
    }
}

TEST(RegexHighlighter, MarkupAndPlainGetOnlyTheSharedPasses) {
    const QString text = "if x: print(\"s\") 12 @at /* c */ // d # e";
    for (CodeLanguage l : {CodeLanguage::markdown, CodeLanguage::html, CodeLanguage::plain}) {
        const QList<Span> spans = highlight(l, text);
        for (const Span& s : spans)
            EXPECT_TRUE(s.role == TokenRole::function || s.role == TokenRole::attribute ||
                        s.role == TokenRole::number || s.role == TokenRole::string)
                << CodeLanguages::rawValue(l).toStdString();
        EXPECT_EQ(spans.size(), 4);
    }
}

TEST(RegexHighlighter, HugeStringsAndCommentsStayWhole) {
    const QString body(1000000, u'x');
    const QString text = "let a = \"" + body + "\" /*" + body + "*/ 7";
    const QList<Span> spans = highlight(CodeLanguage::swift, text);
    EXPECT_EQ(texts(spans, text, TokenRole::string).value(0).size(), body.size() + 2);
    EXPECT_EQ(texts(spans, text, TokenRole::comment).value(0).size(), body.size() + 4);
    EXPECT_EQ(texts(spans, text, TokenRole::number), QStringList{"7"});
}

TEST(RegexHighlighter, StringPassMatchesThePlainAlternationExactly) {
    // The built-in string pattern is written in unrolled form; it must find what the plain alternation finds.
    const auto plain = RegularExpression::compile(R"("(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*'|`(?:\\.|[^`\\])*`)");
    ASSERT_TRUE(plain);
    const QString alphabet = QStringLiteral("\"'`\\\\ab\n\r\U0001F600");
    QRandomGenerator rng(12345);
    auto plainText = HighlighterFactory::regex(CodeLanguage::plain);
    for (int round = 0; round < 500; ++round) {
        QString text;
        const int length = int(rng.bounded(1, 40));
        for (int i = 0; i < length; ++i) text += alphabet[int(rng.bounded(alphabet.size()))];
        QList<TextRange> viaHighlighter;
        for (const Span& s : plainText->ranges(text, TextRange{0, text.size()}))
            if (s.role == TokenRole::string) viaHighlighter << s.range;
        ASSERT_EQ(viaHighlighter, plain->matches(text)) << text.toStdString();
    }
}

TEST(HighlighterFactory, EveryLanguageGetsAHighlighter) {
    for (CodeLanguage l : CodeLanguages::allCases()) {
        auto h = HighlighterFactory::make(l);
        ASSERT_TRUE(h) << CodeLanguages::rawValue(l).toStdString();
        // In HTML an assignment is only text, which stays uncoloured: give it an element instead.
        const QString text = l == CodeLanguage::html ? QStringLiteral("<p id=\"x\">1</p>") : QStringLiteral("x = 1");
        EXPECT_FALSE(h->ranges(text, TextRange{0, text.size()}).isEmpty());
    }
}

TEST(HighlighterRule, ATextPastTheLimitIsColouredWithoutASyntaxTree) {
    for (const qsizetype size : {qsizetype(0), HighlighterRule::kTreeLimit, HighlighterRule::kTreeLimit + 1}) {
        const bool tree = size <= HighlighterRule::kTreeLimit;
        EXPECT_EQ(HighlighterRule::allowsTree(size), tree);
        const std::unique_ptr<SyntaxHighlighter> made = HighlighterRule::make(CodeLanguage::javascript, size);
        EXPECT_EQ(dynamic_cast<RegexHighlighter*>(made.get()) == nullptr, tree) << size;
        // A language with no grammar gets the same either way.
        EXPECT_NE(dynamic_cast<RegexHighlighter*>(HighlighterRule::make(CodeLanguage::shell, size).get()), nullptr);
    }
}

namespace {

// The passes run over the whole text, keeping the spans that touch range: the result a range must match.
QList<Span> wholeTextReference(const RegexHighlighter& h, const QString& text, TextRange range) {
    QList<Span> spans;
    const auto pass = [&](const QString& pattern, int group, TokenRole role) {
        const std::optional<RegularExpression> re = RegularExpression::compile(pattern);
        ASSERT_TRUE(re.has_value()) << pattern.toStdString();
        re->forEachMatch(text, group, [&](TextRange r) {
            if (r.intersects(range) || range.containsLocation(r.location)) spans.append(Span{r, role});
        });
    };
    pass(R"(\b([A-Za-z_][A-Za-z0-9_]*)\s*(?=\())", 1, TokenRole::function);
    if (h.typeRegex()) pass(h.typeRegex()->pattern(), 0, TokenRole::type);
    if (h.keywordRegex()) pass(h.keywordRegex()->pattern(), 0, TokenRole::keyword);
    pass(R"(@[A-Za-z_][A-Za-z0-9_]*)", 0, TokenRole::attribute);
    pass(R"(\b\d+(?:\.\d+)?(?:[eE][+-]?\d+)?\b)", 0, TokenRole::number);
    pass(R"("(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*'|`(?:\\.|[^`\\])*`)", 0, TokenRole::string);
    if (h.lineComment()) pass(RegularExpression::escapedPattern(*h.lineComment()) + R"([^\n]*)", 0, TokenRole::comment);
    if (h.supportsHashComment()) pass(R"(#[^\n]*)", 0, TokenRole::comment);
    if (h.supportsBlockComment()) pass(R"(/\*[\s\S]*?\*/)", 0, TokenRole::comment);
    return spans;
}

QString randomText(QRandomGenerator& random, int pieces) {
    static const QStringList alphabet = {
        "a", "if", "let", "Int", "fn", "foo", "(", ")", " ", " ", "\n", "\n", "\t", "\r", "\"", "\"", "'", "`",
        "\\", "/", "*", "//", "/*", "*/", "#", "@x", "1", "2.5e3", "x1", "\u2028", "\u00a0", "\x0b", "\u0085",
        QString(QChar(0xD800)), QString::fromUtf8("😀"), "é"};
    QString out;
    for (int i = 0; i < pieces; ++i) out += alphabet[random.bounded(int(alphabet.size()))];
    return out;
}

TextRange randomRange(QRandomGenerator& random, qsizetype size) {
    const qsizetype location = random.bounded(int(size + 1));
    return {location, random.bounded(int(qMin<qsizetype>(size - location, 3000) + 1))};
}

} // namespace

TEST(RegexHighlighter, AnyRangeEqualsTheWholeTextPassesThereAcrossCallsAndEdits) {
    QRandomGenerator random(1234);
    for (CodeLanguage language : {CodeLanguage::swift, CodeLanguage::python, CodeLanguage::css}) {
        for (int round = 0; round < 12; ++round) {
            const std::unique_ptr<RegexHighlighter> made = HighlighterFactory::regex(language);
            RegexHighlighter& h = *made;
            // Long enough that remembered resume points come into play; some with long runs that hold
            // no quote or comment opener, where points are laid between attempts.
            // And one long line, where the passes must not start at the line's start for every range.
            QString text = round % 4 == 3 ? QString("foo bar 12\n").repeated(8000) + randomText(random, 300) +
                                                QString("x y\n").repeated(9000) + randomText(random, 300)
                                          : randomText(random, round % 2 ? 40'000 : 600);
            if (round % 4 == 1) text.remove(u'\n');
            for (int call = 0; call < 16; ++call) {
                std::optional<TextEdit> edit;
                if (call % 3 == 2) {  // an edit somewhere, handed over with the call or noted before it
                    const TextRange replaced = randomRange(random, text.size());
                    const TextEdit e = highlight_test::replace(text, replaced.location, replaced.length,
                                                               randomText(random, random.bounded(6)));
                    if (call % 2) h.noteEdit(e); else edit = e;
                }
                const TextRange range = randomRange(random, text.size());
                ASSERT_EQ(h.ranges(text, edit, range), wholeTextReference(h, text, range))
                    << "language " << int(language) << " round " << round << " call " << call;
            }
        }
    }
}

TEST(RegexHighlighter, ARangeCostsWhatItsOwnLinesCostNotTheWholeText) {
    // Far below the range, a run of unclosed comment openers: a whole-text search retries each of
    // them to the end of the text, which takes minutes. The range must not wait for it.
    const QString text = "func f() { return \"s\" } /* note */\n" + QString("/*").repeated(100'000);
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    const QList<Span> spans = h->ranges(text, TextRange{0, 35});
    EXPECT_EQ(texts(spans, text, TokenRole::comment), QStringList{"/* note */"});
    EXPECT_EQ(texts(spans, text, TokenRole::string), QStringList{"\"s\""});
}

TEST(RegexHighlighter, ResumePointsInLongRunsNeverFallInsideAMatch) {
    // A string and a block comment each tens of thousands of units long, then a long run with no
    // attempt in it; ranges far on first, so that points are laid along the way, then ranges inside.
    const QString text = "x\n\"" + QString("a b\n").repeated(20000) + "\" /*" + QString("c d\n").repeated(20000) +
                         "*/ " + QString("e f\n").repeated(20000) + "\"end\"";
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    for (const TextRange range : {TextRange{text.size() - 20, 20}, TextRange{40000, 50}, TextRange{120000, 50},
                                  TextRange{200000, 50}, TextRange{3, 10}})
        ASSERT_EQ(h->ranges(text, range), wholeTextReference(*h, text, range)) << range.location;
}

TEST(RegexHighlighter, PointsShiftedPastEditsColourAsAWholeTextPass) {
    // Long texts with few strings and comments; ranges far on, then edits before them (quotes and
    // comment marks typed and taken away), then ranges after the edits again.
    QRandomGenerator random(99);
    static const QStringList inserts = {"\"", "'", "/*", "*/", "x", "\n", "\\", "`", "ab\"cd\"", ""};
    for (CodeLanguage language : {CodeLanguage::swift, CodeLanguage::css}) {
        for (int round = 0; round < 6; ++round) {
            const auto made = HighlighterFactory::regex(language);
            QString text;
            for (int i = 0; i < 40; ++i)
                text += QString("w %1\n").arg(i).repeated(random.bounded(200, 900)) + randomText(random, 3);
            for (int call = 0; call < 40; ++call) {
                if (call % 2) {
                    const qsizetype at = random.bounded(int(text.size() + 1));
                    const qsizetype removed = qMin<qsizetype>(text.size() - at, random.bounded(3));
                    made->noteEdit(highlight_test::replace(text, at, removed, inserts[random.bounded(int(inserts.size()))]));
                    if (random.bounded(3) == 0) continue;  // several edits before the next look
                }
                const qsizetype at = random.bounded(int(text.size() + 1));
                const TextRange range{at, qMin<qsizetype>(text.size() - at, 400)};
                ASSERT_EQ(made->ranges(text, range), wholeTextReference(*made, text, range))
                    << "language " << int(language) << " round " << round << " call " << call;
            }
        }
    }
}

// A text kept with a gap at its last edit is whole only as far as it was asked for: strings and
// comments running far past the range are read on only after asking (a sanitizer build reports a
// read of the gap), and the colours are those of a whole-text pass.
TEST(RegexHighlighter, ATextReadOnlyAsFarAsAskedColoursAsAWholeTextPass) {
    QRandomGenerator random(5);
    static const QStringList inserts = {"\"", "'", "/*", "*/", "x", "\n", ""};
    const auto made = HighlighterFactory::regex(CodeLanguage::swift);
    QString model;
    for (int i = 0; i < 40; ++i)
        model += QString("w %1\n").arg(i).repeated(random.bounded(200, 900)) + randomText(random, 3);
    ExactText text(model);
    made->setReader([&](qsizetype end) { text.through(end); });
    for (int call = 0; call < 60; ++call) {
        const qsizetype at = random.bounded(int(model.size() + 1));
        const qsizetype removed = qMin<qsizetype>(model.size() - at, random.bounded(3));
        const QString inserted = inserts[random.bounded(int(inserts.size()))];
        text.replace({at, removed}, inserted);
        made->noteEdit(highlight_test::replace(model, at, removed, inserted));
        const TextRange range{at, qMin<qsizetype>(model.size() - at, 400)};
        ASSERT_EQ(made->ranges(text.through(range.end()), range), wholeTextReference(*made, model, range)) << call;
    }
}

TEST(RegexHighlighter, ACommentClosedFarPastARangeOfATextReadOnlyAsFarAsAskedEndsWhereItDoes) {
    // The closer lies far past all the look asked for at first: the search for it asks for more.
    QString model = "/* open\n" + QString("w 1\n").repeated(10'000) + "*/\n" + QString("let x = 1\n").repeated(100);
    ExactText text(model);
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    h->setReader([&](qsizetype end) { text.through(end); });
    text.replace({4, 0}, "x");  // the gap sits near the start
    h->noteEdit(highlight_test::replace(model, 4, 0, "x"));
    const TextRange range{100, 400};
    EXPECT_EQ(h->ranges(text.through(range.end()), range), wholeTextReference(*h, model, range));
}

TEST(RegexHighlighter, TwoEditsBeforeALookColourAsAWholeTextPass) {
    // Points laid over a text of paired strings; then a closing quote goes, which pairs every quote
    // after it the other way, and before anything is coloured a letter is typed near the start.
    const QString run = QString("w 1\n").repeated(5000);
    QString text = "a\n" + run + "\"s1\"" + run + "\"s2\"" + run + "\"s3\"" + run;
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    h->ranges(text, TextRange{text.size() - 10, 10});
    const qsizetype closer = text.indexOf("s1\"") + 2;
    text.remove(closer, 1);
    h->noteEdit(TextEdit{closer, closer + 1, closer, {}, {}, {}});
    text.insert(1, u'x');
    h->noteEdit(TextEdit{1, 1, 2, {}, {}, {}});
    for (const qsizetype at : {qsizetype(3), closer + 500, closer + 30000, text.size() / 2, text.size() - 30000})
        ASSERT_EQ(h->ranges(text, TextRange{at, 300}), wholeTextReference(*h, text, TextRange{at, 300})) << at;
}

TEST(RegexHighlighter, WordPassesNearTheRangeEqualTheWholeTextPassesInTextOfWordsOnly) {
    // A call whose name ends the range and whose parenthesis comes lines below; words, numbers and
    // attributes running into the range from either side; nothing but words around them.
    const QString words = QString("alpha 12 beta.gamma @attr x-y+z\n").repeated(2000);
    const QString text = words + "call \n\n  \t\n(1.5e-3) if @main " + words + "tail";
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    const qsizetype call = text.indexOf("call");
    for (const TextRange range : {TextRange{0, call + 4}, TextRange{call + 2, 3}, TextRange{call - 7, 9},
                                  TextRange{call + 5, 40}, TextRange{text.size() / 2, 1}, TextRange{text.size() - 3, 3}})
        ASSERT_EQ(h->ranges(text, range), wholeTextReference(*h, text, range)) << range.location;
    EXPECT_EQ(texts(h->ranges(text, TextRange{0, call + 4}), text, TokenRole::function), QStringList{"call"});
}

TEST(RegexHighlighter, QuotesTypedIntoATextWithoutAnyColourAsAWholeTextPass) {
    // A text with no quote, its points laid to the end; then quotes, escapes and line breaks typed
    // and taken away, several edits now and then before a look.
    QRandomGenerator random(7);
    static const QStringList inserts = {"\"", "'", "`", "\\", "\\\n", "x", "\n", "a'b", ""};
    for (int round = 0; round < 4; ++round) {
        const auto h = HighlighterFactory::regex(CodeLanguage::swift);
        QString text = QString("w %1 x\n").repeated(3000 + round * 1000);
        h->ranges(text, TextRange{text.size(), 0});
        for (int call = 0; call < 60; ++call) {
            const qsizetype at = call % 4 == 0 ? text.size() - random.bounded(40) : random.bounded(int(text.size() + 1));
            const qsizetype removed = qMin<qsizetype>(text.size() - qMax<qsizetype>(at, 0), random.bounded(3));
            h->noteEdit(highlight_test::replace(text, qMax<qsizetype>(at, 0), removed,
                                                inserts[random.bounded(int(inserts.size()))]));
            if (random.bounded(3) == 0) continue;
            const qsizetype from = qBound<qsizetype>(0, at - 100, text.size());
            const TextRange range{from, qMin<qsizetype>(text.size() - from, 600)};
            ASSERT_EQ(h->ranges(text, range), wholeTextReference(*h, text, range)) << "round " << round << " call " << call;
        }
    }
}

TEST(RegexHighlighter, AnEditSpanningMostOfAQuoteFreeTextColoursAsAWholeTextPass) {
    // A Replace All is one edit from its first match to its last: a string it puts near the start of
    // that span is still one for the looks after it, wherever they are.
    for (const qsizetype quoteAt : {qsizetype(10), qsizetype(60'000), qsizetype(139'990)}) {
        const auto h = HighlighterFactory::regex(CodeLanguage::swift);
        QString text = QString("w %1 x\n").repeated(30'000);
        h->ranges(text, TextRange{text.size(), 0});
        QString span = QString("v %1 y\n").repeated(20'000);
        span[quoteAt] = span[quoteAt + 5] = u'"';
        h->noteEdit(highlight_test::replace(text, 1000, span.size(), span));
        for (const qsizetype from : {qsizetype(0), 1000 + quoteAt - 50, text.size() - 3000, qsizetype(150'000)}) {
            const TextRange range{from, qMin<qsizetype>(text.size() - from, 2000)};
            ASSERT_EQ(h->ranges(text, range), wholeTextReference(*h, text, range)) << quoteAt << " " << from;
        }
    }
}

TEST(RegexHighlighter, TheLookForTheLastQuoteAnEditPutInIsCountedAndStaysNearTheEdit) {
    // A screen at the top of a text whose only quote opens at its start and never closes: how far
    // its look reads, before an edit far below it, at the first look after it, and at the next.
    const auto topLook = [](qsizetype at, qsizetype removed, const QString& inserted) {
        const auto h = HighlighterFactory::regex(CodeLanguage::swift);
        QString text = u'"' + QString("w %1 x\n").repeated(30'000);
        h->ranges(text, TextRange{text.size(), 0});
        h->ranges(text, TextRange{0, 2000});
        const qsizetype before = h->lastScanLength();
        h->noteEdit(highlight_test::replace(text, at, removed, inserted));
        h->ranges(text, TextRange{0, 2000});
        const qsizetype first = h->lastScanLength();
        h->ranges(text, TextRange{0, 2000});
        return std::tuple{before, first, h->lastScanLength()};
    };
    // Each pass (strings, block comments) follows the chain toward the points an edit left only a
    // little past the screen: two spacings of the points.
    constexpr qsizetype kReach = 2000 + 32 * 1024;
    // A key far below that is no quote: the first look meets the points past it; after that the
    // tail after the quote still holds none, and the look for the quote's closer stops where it did.
    const auto [key, firstAfterKey, afterKey] = topLook(100'000, 0, QStringLiteral("x"));
    EXPECT_LE(firstAfterKey, key + 2 * kReach);
    EXPECT_LE(afterKey, key + 64) << key;
    // A Replace All over most of the text, quotes only near its start: the look for its last quote
    // reads back from its end, a bounded stretch, and that reading counts.
    QString span = QString("v %1 y\n").repeated(20'000);
    span[10] = u'"';
    const auto [replace, afterReplace, again] = topLook(1000, span.size(), span);
    EXPECT_GT(afterReplace - replace, 2 * (kReach - 2000) + span.size() / 16);
    EXPECT_LT(afterReplace - replace, 2 * kReach + span.size() / 4);
}

namespace {

// What a keystroke and a scroll in the middle of a text of this shape and size cost the highlighter,
// in units read, once the screen before them has been coloured.
struct LookCost {
    qsizetype keystroke = 0;
    qsizetype scroll = 0;
    qsizetype quote = 0;  // a quote typed, which pairs every later quote the other way
    qsizetype farLook = 0;  // then a look at the end of the text, with nothing coloured between
    qsizetype pageAfterQuote = 0;  // a page down after a quote, before any scan went further
};

LookCost lookCost(text_shapes::Shape shape, qsizetype units) {
    QString text = text_shapes::make(shape, units);
    const auto h = HighlighterFactory::regex(shape == text_shapes::Shape::code ? CodeLanguage::javascript
                                                                              : CodeLanguage::plain);
    // A screen: whole lines from the middle on, or a piece of the one long line.
    const qsizetype lineStart = text.lastIndexOf(u'\n', text.size() / 2) + 1;
    const qsizetype from = lineStart > 0 ? lineStart : text.size() / 2;
    const qsizetype to = qMin(text.size(), from + 4000);
    const TextRange screen{from, to - from};
    // As the editor does once a text is open: the resume points are laid through all of it.
    h->ranges(text, TextRange{text.size(), 0});
    h->ranges(text, screen);
    LookCost cost;
    h->ranges(text, highlight_test::replace(text, from + 1, 0, "x"), screen);
    cost.keystroke = h->lastScanLength();
    h->ranges(text, TextRange{to, qMin<qsizetype>(text.size() - to, 4000)});
    cost.scroll = h->lastScanLength();
    h->ranges(text, highlight_test::replace(text, from + 2, 0, "'"), screen);
    cost.quote = h->lastScanLength();
    h->ranges(text, TextRange{text.size() - 4000, 4000});
    cost.farLook = h->lastScanLength();
    // A quote typed on the first screen of a text newly opened, then a page down.
    const auto fresh = HighlighterFactory::regex(CodeLanguage::plain);
    fresh->ranges(text, TextRange{0, 4000});
    fresh->ranges(text, highlight_test::replace(text, 10, 0, "'"), TextRange{0, 4000});
    fresh->ranges(text, TextRange{4000, 4000});
    cost.pageAfterQuote = fresh->lastScanLength();
    return cost;
}

} // namespace

TEST(RegexHighlighter, AKeystrokeOrAScrollReadsAsMuchInALargeTextAsInASmallOneOfAnyShape) {
    // Texts made only of letters, digits, spaces and line breaks once let the word passes run from
    // the start of the text to its end.
    work_bounds::compareSizes(1024 * 1024, 8 * 1024 * 1024, lookCost, [](const LookCost& small, const LookCost& large) {
        work_bounds::expectFlat(small.keystroke, large.keystroke);
        work_bounds::expectFlat(small.scroll, large.scroll);
        work_bounds::expectFlat(small.quote, large.quote);
        // However far below the quote, a look starts its scan a bounded way back, for strings and
        // for block comments each.
        EXPECT_LE(qMax(small.farLook, large.farLook), 256 * 1024);
        work_bounds::expectFlat(small.pageAfterQuote, large.pageAfterQuote, 256 * 1024);
    });
}

namespace {

// What the looks after an edit over most of a text (a Replace All, or its undo) read: the screen at
// the top, the step the editor then lays resume points over, and a key typed on that screen.
struct WideEditCost {
    qsizetype screen = 0;
    qsizetype layingStep = 0;
    qsizetype key = 0;
};

WideEditCost wideEditCost(text_shapes::Shape shape, qsizetype units) {
    QString text = text_shapes::make(shape, units);
    const auto h = HighlighterFactory::regex(shape == text_shapes::Shape::code ? CodeLanguage::javascript
                                                                              : CodeLanguage::plain);
    const TextRange screen{0, qMin<qsizetype>(4000, text.size())};
    h->ranges(text, TextRange{text.size(), 0});
    h->ranges(text, screen);
    // The points past the edit are left to be met again, all of them near the end of the text.
    const qsizetype from = 1000, to = text.size() - 1000;
    h->noteEdit(highlight_test::replace(text, from, to - from, text.mid(from, to - from)));
    WideEditCost cost;
    h->ranges(text, screen);
    cost.screen = h->lastScanLength();
    constexpr qsizetype kStep = 256 * 1024;
    h->ranges(text, TextRange{from + kStep, 0});
    cost.layingStep = h->lastScanLength();
    h->ranges(text, highlight_test::replace(text, 500, 0, "z"), screen);
    cost.key = h->lastScanLength();
    return cost;
}

} // namespace

TEST(RegexHighlighter, LooksAfterAnEditOverMostOfATextReadAsMuchInALargeTextAsInASmallOne) {
    // Points left to be met again far past the range were looked for at every look, up to where
    // they are, whatever the range.
    work_bounds::compareSizes(1024 * 1024, 8 * 1024 * 1024, wideEditCost, [](const WideEditCost& small, const WideEditCost& large) {
        work_bounds::expectFlat(small.screen, large.screen);
        // A step of each pass (strings, block comments), however long the text; and the step is
        // counted, read on the way to meeting the points or not.
        work_bounds::expectFlat(small.layingStep, large.layingStep, 2 * 256 * 1024 + 64 * 1024);
        EXPECT_GE(small.layingStep, 256 * 1024);
        work_bounds::expectFlat(small.key, large.key);
    });
}

TEST(RegexHighlighter, KeysTypedOnAScreenKeepThePointsPastThemForALookFarBelow) {
    // The points past a key lie up to a point spacing past it, often past the screen: unless a look
    // meets them, the next key drops them, and a look far below starts afresh a long way back.
    QString text = text_shapes::make(text_shapes::Shape::wordList, 2 * 1024 * 1024);
    const auto h = HighlighterFactory::regex(CodeLanguage::plain);
    h->ranges(text, TextRange{text.size(), 0});
    const TextRange screen{1024 * 1024, 4000};
    h->ranges(text, screen);
    for (const qsizetype at : {screen.location + 3000, screen.location + 3001})
        h->ranges(text, highlight_test::replace(text, at, 0, "z"), screen);
    h->ranges(text, TextRange{screen.location + 600 * 1024, 4000});
    EXPECT_LE(h->lastScanLength(), 48 * 1024);
}

namespace {

// Resume points gone through one at a time while keys are typed at one place in the middle of a text
// whose points are laid through all of it, and while a key goes to another place: the points past
// the edit move along with it, however many there are.
struct PointWork {
    qsizetype typing = 0;
    qsizetype elsewhere = 0;
};

PointWork pointWork(text_shapes::Shape shape, qsizetype units) {
    QString text = text_shapes::make(shape, units);
    const auto h = HighlighterFactory::regex(shape == text_shapes::Shape::code ? CodeLanguage::javascript
                                                                              : CodeLanguage::plain);
    const qsizetype from = text.size() / 2;
    const TextRange screen{from, qMin<qsizetype>(4000, text.size() - from)};
    h->ranges(text, TextRange{text.size(), 0});
    h->ranges(text, screen);
    PointWork work;
    for (int key = 0; key < 8; ++key) {
        h->ranges(text, highlight_test::replace(text, from + key, 0, "x"), screen);
        work.typing += h->lastPointsMoved();
    }
    // Back over them, then a key a screen further on.
    for (int key = 8; key > 0; --key) {
        h->ranges(text, highlight_test::replace(text, from + key - 1, 1, ""), screen);
        work.typing += h->lastPointsMoved();
    }
    h->ranges(text, highlight_test::replace(text, from + 4000, 0, "x"), screen);
    work.elsewhere = h->lastPointsMoved();
    return work;
}

} // namespace

TEST(RegexHighlighter, KeysTypedMoveNoMoreResumePointsInALargerText) {
    work_bounds::compareSizes(1024 * 1024, 8 * 1024 * 1024, pointWork, [](const PointWork& small, const PointWork& large) {
        EXPECT_EQ(small.typing, large.typing);
        EXPECT_EQ(small.elsewhere, large.elsewhere);
    });
}

TEST(RegexHighlighter, AStrayQuoteFarAboveLeavesAScreenOfCodeColouredAsItWas) {
    // A whole-text scan pairs every quote after a stray one the other way. A screen far below it,
    // looked at with nothing coloured between, keeps the colours its own code gives it.
    QString text = QString("let a = f('x', \"y\"); /* z */\n").repeated(40'000);
    const auto h = HighlighterFactory::regex(CodeLanguage::javascript);
    const qsizetype from = text.lastIndexOf(u'\n', text.size() - 10'000) + 1;
    const TextRange screen{from, 4000};
    const auto shown = [&](const QList<Span>& spans, qsizetype at) {
        const auto roles = paint(spans, text.size());
        return std::vector(roles.begin() + at, roles.begin() + at + screen.length);
    };
    const auto before = shown(wholeTextReference(*h, text, screen), from);
    h->ranges(text, TextRange{text.size(), 0});
    h->ranges(text, highlight_test::replace(text, 10, 0, "'"), TextRange{0, 2000});
    EXPECT_EQ(shown(h->ranges(text, TextRange{from + 1, screen.length}), from + 1), before);
}

TEST(RegexHighlighter, ALineCommentStaysOnItsLineWhenTheNextLookStartsRightAfterItsBreak) {
    // The first look stops at the comment line's break; the next starts on the line below it.
    const QString text = "// note\nlet x = 1\n";
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    h->ranges(text, TextRange{7, 1});
    const qsizetype x = text.indexOf(u'x');
    EXPECT_EQ(texts(h->ranges(text, TextRange{x, 3}), text, TokenRole::comment), QStringList{});
}

TEST(RegexHighlighter, ACommentTypedEarlierOnTheLineOfALookedAtRangeColoursIt) {
    // The first look read the line up to the range and found no comment; the key goes before that.
    for (const char* introducer : {"// ", "# "}) {
        QString text = "let x = 1 + 2 + 3 + 4\nlet y = 5\n";
        const auto h = HighlighterFactory::regex(introducer[0] == '#' ? CodeLanguage::python : CodeLanguage::swift);
        const qsizetype three = text.indexOf(u'3');
        h->ranges(text, TextRange{three, 5});
        const TextEdit edit = highlight_test::replace(text, 4, 0, introducer);
        EXPECT_EQ(texts(h->ranges(text, edit, TextRange{three + 3, 5}), text, TokenRole::comment),
                  QStringList{text.mid(4, text.indexOf(u'\n') - 4)}) << introducer;
    }
    // And one broken up: a look of one unit saw the introducer at the line start, the key splits it.
    QString text = "//x\nlet y = 1\n";
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    h->ranges(text, TextRange{0, 1});
    const TextEdit edit = highlight_test::replace(text, 1, 0, "x");
    EXPECT_EQ(texts(h->ranges(text, edit, TextRange{0, 5}), text, TokenRole::comment), QStringList{});
}

TEST(RegexHighlighter, AnotherTextGivenWithoutAnEditColoursAsAFreshOne) {
    // What the first look learned of its line (no break in it up to where it looked) does not
    // hold for the other text.
    const QString first = "let value = 1 + 2 + 3 + 4 + 5";
    const QString other = "// note\nlet x = 1 + 2 + 3 + 4";
    const auto h = HighlighterFactory::regex(CodeLanguage::swift);
    h->ranges(first, TextRange{20, 3});
    const TextRange range{other.indexOf(u'x'), 9};
    EXPECT_EQ(h->ranges(other, range), HighlighterFactory::regex(CodeLanguage::swift)->ranges(other, range));
    EXPECT_EQ(texts(h->ranges(other, range), other, TokenRole::comment), QStringList{});
}

namespace {

// What a key typed in the middle of a screen of a text makes the highlighter do: how far past the
// key it asks for the text (a text kept with a gap at the last edit moves everything between the two,
// there and back at the next key), and how much the word passes search again.
struct KeyReach {
    qsizetype readPastKey = 0;
    qsizetype wordsSearched = 0;
    qsizetype screen = 0;
};

QList<Span> wordSpans(const QList<Span>& spans) {
    QList<Span> words;
    for (const Span& span : spans)
        if (span.role != TokenRole::string && span.role != TokenRole::comment) words.append(span);
    return words;
}

KeyReach keyReach(text_shapes::Shape shape, qsizetype units) {
    QString text = text_shapes::make(shape, units);
    const auto h = HighlighterFactory::regex(shape == text_shapes::Shape::code ? CodeLanguage::javascript
                                                                              : CodeLanguage::plain);
    qsizetype furthest = 0;
    h->setReader([&](qsizetype end) { furthest = qMax(furthest, end); });
    const qsizetype lineStart = text.lastIndexOf(u'\n', text.size() / 2) + 1;
    const qsizetype from = lineStart > 0 ? lineStart : text.size() / 2;
    TextRange screen{from, qMin<qsizetype>(6000, text.size() - from)};
    h->ranges(text, screen);
    KeyReach reach;
    reach.screen = screen.length;
    for (int key = 0; key < 4; ++key) {
        const qsizetype at = from + screen.length / 2 + key;
        furthest = 0;
        const TextEdit typed = highlight_test::replace(text, at, 0, "x");
        screen.length += 1;
        // The words as a highlighter looking at this text for the first time finds them.
        const auto fresh = HighlighterFactory::regex(shape == text_shapes::Shape::code ? CodeLanguage::javascript
                                                                                      : CodeLanguage::plain);
        EXPECT_EQ(wordSpans(h->ranges(text, typed, screen)), wordSpans(fresh->ranges(text, screen))) << key;
        reach.readPastKey = qMax(reach.readPastKey, furthest - at);
        reach.wordsSearched = qMax(reach.wordsSearched, h->lastWordScanLength());
    }
    return reach;
}

} // namespace

TEST(RegexHighlighter, AKeyReadsTheTextNoFurtherPastItThanTheScreenNeedsInALargerText) {
    // The shapes whose lines are long, and two of short lines.
    using text_shapes::Shape;
    for (const Shape shape : {Shape::prose, Shape::minified, Shape::wordList, Shape::code}) {
        SCOPED_TRACE(text_shapes::name(shape));
        const KeyReach small = keyReach(shape, 4 * 1024 * 1024);
        const KeyReach large = keyReach(shape, 40 * 1024 * 1024);
        // The screen, the longest word after it, and a small step more.
        for (const KeyReach& reach : {small, large}) EXPECT_LE(reach.readPastKey, reach.screen + 4096 + 4096 + 1);
        EXPECT_LE(large.readPastKey, small.readPastKey + 1024);
    }
}

TEST(RegexHighlighter, AKeySearchesTheWordsAroundItNotTheWholeScreenAgain) {
    work_bounds::compareSizes(1024 * 1024, 8 * 1024 * 1024, keyReach, [](const KeyReach& small, const KeyReach& large) {
        for (const KeyReach& reach : {small, large}) {
            EXPECT_GT(reach.screen, 4000);
            EXPECT_LE(reach.wordsSearched, 200);
        }
    });
}

TEST(RegexHighlighter, EditsOnAScreenLookedAtAgainColourAsAWholeTextPass) {
    // Whatever the keys bring or take away around the words they touch (a parenthesis after white
    // space, a break, a dot in a number, an '@', a quote), the screen looked at again after each edit
    // is coloured as the whole-text passes colour it.
    QRandomGenerator random(77);
    static const QStringList inserts = {"x", "1", ".", "e", "+", "-", "@", "(", " ", "\n", "_", "'", "\"", "if",
                                        "Int", "#", "//", "/*", "*/", "é", "\t", ""};
    for (CodeLanguage language : {CodeLanguage::swift, CodeLanguage::python, CodeLanguage::plain}) {
        for (int round = 0; round < 6; ++round) {
            const std::unique_ptr<RegexHighlighter> h = HighlighterFactory::regex(language);
            QString text = randomText(random, 2500);
            if (round % 2) text.remove(u'\n');
            const qsizetype from = random.bounded(int(text.size() / 2));
            TextRange screen{from, qMin<qsizetype>(1500, text.size() - from)};
            h->ranges(text, screen);
            for (int call = 0; call < 40; ++call) {
                // One to three edits before each look, mostly on the screen, now and then near its edges.
                const int edits = 1 + random.bounded(3);
                for (int e = 0; e < edits; ++e) {
                    const qsizetype at = qBound<qsizetype>(0, screen.location - 8 + random.bounded(int(screen.length + 16)),
                                                           text.size());
                    const qsizetype removed = qMin<qsizetype>(text.size() - at, random.bounded(3));
                    const QString inserted = inserts[random.bounded(int(inserts.size()))];
                    const qsizetype delta = inserted.size() - removed;
                    h->noteEdit(highlight_test::replace(text, at, removed, inserted));
                    if (at < screen.location) screen.location = qMax<qsizetype>(0, screen.location + delta);
                    else if (at <= screen.end()) screen.length = qMax<qsizetype>(0, screen.length + delta);
                    screen.length = qMin(screen.length, text.size() - screen.location);
                }
                ASSERT_EQ(h->ranges(text, std::nullopt, screen), wholeTextReference(*h, text, screen))
                    << "language " << int(language) << " round " << round << " call " << call;
            }
        }
    }
}
