// Texts nested thousands of levels deep: colouring what is shown costs what a shallow text's does,
// and gives the colours a look at the whole text gives there.
#include <gtest/gtest.h>

#include <QTest>

#include "Editor/ExactText.h"
#include "Editor/HighlighterFactory.h"
#include "Editor/ParseWorker.h"
#include "Editor/TreeSitterHighlighter.h"
#include "HighlightTestSupport.h"
#include "SyntaxTree/Grammars.h"

namespace {

using highlight_test::paint;

std::unique_ptr<TreeSitterHighlighter> highlighter(CodeLanguage language) {
    std::unique_ptr<SyntaxHighlighter> made = HighlighterFactory::treeSitter(language);
    auto* tree = dynamic_cast<TreeSitterHighlighter*>(made.get());
    EXPECT_NE(tree, nullptr);
    made.release();
    return std::unique_ptr<TreeSitterHighlighter>(tree);
}

struct Nested {
    CodeLanguage language;
    QString (*text)(int depth);
};

QString jsonObjects(int depth) {
    return QStringLiteral("{\"key\": ").repeated(depth) + QStringLiteral("\"v\\n\"") + QString(depth, u'}');
}
QString jsonArrayLines(int depth) {
    return QStringLiteral("[1, \"s\",\n").repeated(depth) + QStringLiteral("true\n") + QStringLiteral("]\n").repeated(depth);
}
QString scriptFunctions(int depth) {
    return QStringLiteral("function f(a) { // c\n  g(a, 'x', 1, `t${a}`);\n").repeated(depth) + QStringLiteral("}\n").repeated(depth);
}
QString scriptParens(int depth) { return QStringLiteral("x = ") + QStringLiteral("f(1, ").repeated(depth) + QString(depth, u')') + u';'; }
QString pythonCalls(int depth) { return QStringLiteral("x = ") + QStringLiteral("f(\"s\", 2, ").repeated(depth) + QString(depth, u')') + u'\n'; }
QString htmlDivs(int depth) { return QStringLiteral("<div class=\"c\">t ").repeated(depth) + QStringLiteral("</div>").repeated(depth); }

const std::vector<Nested> kShapes = {
    {CodeLanguage::json, jsonObjects},           {CodeLanguage::json, jsonArrayLines},
    {CodeLanguage::javascript, scriptFunctions}, {CodeLanguage::typescript, scriptParens},
    {CodeLanguage::python, pythonCalls},         {CodeLanguage::html, htmlDivs},
    {CodeLanguage::go, [](int depth) { return QStringLiteral("func f() {\n").repeated(1) + QStringLiteral("{ x := \"s\"\n").repeated(depth) + QStringLiteral("}\n").repeated(depth + 1); }},
};

} // namespace

// The query once went down through every level above what is shown, starting a pattern at each: a
// screen of JSON 100,000 objects deep took minutes and gigabytes.
TEST(DeepNesting, ColouringWhatIsShownWalksAsFewLevelsInADeepTextAsInAShallowOne) {
    for (const Nested& shape : kShapes) {
        std::vector<qsizetype> walked;
        for (const int depth : {100, 3000}) {
            const QString text = shape.text(depth);
            std::unique_ptr<TreeSitterHighlighter> h = highlighter(shape.language);
            const qsizetype middle = text.size() / 2;
            const QList<SyntaxHighlighter::Span> spans = h->ranges(text, TextRange{middle - 100, 200});
            EXPECT_FALSE(spans.isEmpty()) << text.left(40).toStdString();
            walked.push_back(h->lastLevelsWalked());
        }
        EXPECT_EQ(walked[1], walked[0]) << shape.text(2).toStdString();
        EXPECT_LE(walked[1], 8) << shape.text(2).toStdString();
    }
}

// Every stretch, however short and wherever it lies, is coloured as a look at the whole text
// colours it: a pattern that holds the stretch in a node above it still counts.
TEST(DeepNesting, AShortStretchIsColouredAsTheWholeTextColoursIt) {
    for (const Nested& shape : kShapes) {
        const QString text = shape.text(60);
        std::unique_ptr<TreeSitterHighlighter> h = highlighter(shape.language);
        const auto whole = paint(h->ranges(text, TextRange{0, text.size()}), text.size());
        for (qsizetype at = 0; at + 3 < text.size(); at += 7) {
            for (const qsizetype length : {1, 3}) {
                const auto part = paint(h->ranges(text, TextRange{at, length}), text.size());
                for (qsizetype i = at; i < at + length; ++i)
                    ASSERT_EQ(part[size_t(i)], whole[size_t(i)]) << text.left(40).toStdString() << " at " << i;
            }
        }
    }
}

namespace {

// The levels the caller's quick parse of a key walks, typed at the deepest line of JSON `depth`
// levels deep, a level a line.
qsizetype levelsWalkedForAKeyAtTheBottom(int depth, bool closed = true) {
    // Unclosed, the deepest line is the last: the lines around the key reach the end of the text.
    QString text = closed ? jsonArrayLines(depth) : QStringLiteral("[1, \"s\",\n").repeated(depth) + QStringLiteral("true\n");
    ExactText now(text);
    ParseWorker worker(highlighter(CodeLanguage::json)->language());
    worker.reset(text, 1);
    // The deadline only bounds a hang.
    EXPECT_TRUE(QTest::qWaitFor([&] { return worker.latest().valid; }, 120000));
    const qsizetype at = text.indexOf(QStringLiteral("true"));
    const TextEdit edit = highlight_test::replace(text, at, 0, QStringLiteral("1"));
    now.replace({at, 0}, QStringLiteral("1"));
    worker.edit(edit, QStringLiteral("1"), 2, {at - 2000, 4000}, &now);
    // Too deep to cut the lines around the key between tokens: no guess here, the thread colours it.
    EXPECT_EQ(worker.unitsParsedHere(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return worker.latest().revision == 2; }, 120000));
    return worker.levelsWalkedHere();
}

} // namespace

// The guess at a key's colours cut the lines around it between tokens, found by walking down from
// the root: a level a line, 200,000 levels for each key in a deep JSON file.
TEST(DeepNesting, AKeysQuickColoursWalkNoDeeperInADeeperText) {
    const qsizetype shallow = levelsWalkedForAKeyAtTheBottom(8000);
    const qsizetype deep = levelsWalkedForAKeyAtTheBottom(40000);
    EXPECT_LE(deep, shallow);
    EXPECT_LE(deep, 2 * ParseWorker::kLevelsHere);
    EXPECT_LE(levelsWalkedForAKeyAtTheBottom(40000, false), 2 * ParseWorker::kLevelsHere);
}

// The query starts as many levels above what is shown as its patterns nest, told from its own
// source: brackets in its comments and strings do not count.
TEST(DeepNesting, TheQueryStartsAsManyLevelsAboveTheRangeAsItsPatternsNest) {
    const std::unique_ptr<TreeSitterHighlighter> h = TreeSitterHighlighter::fromQuerySource(tree_sitter_json(), R"q(
; ((((((((( not a pattern
((string) @string (#not-match? @string "\"\\(\\(\\(\\("))
(pair key: (_) @string.special.key)
)q");
    ASSERT_NE(h, nullptr);
    const QString text = jsonObjects(500);
    EXPECT_FALSE(h->ranges(text, TextRange{text.size() / 2, 30}).isEmpty());
    EXPECT_EQ(h->lastLevelsWalked(), 2);
}
