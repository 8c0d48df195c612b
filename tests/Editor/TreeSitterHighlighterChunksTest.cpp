// A range queried in chunks on several threads must give exactly what one cursor over the whole
// range gives: same captures (none lost or doubled at a cut, predicates and all) in the same order.
// Cuts are put where a capture is most likely to straddle them: inside strings, comments, template
// literals and every other kind of token, in every shipped language.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <string>

#include "Editor/HighlighterFactory.h"
#include "Platform/ParallelChunks.h"
#include "Editor/TreeSitterHighlighter.h"
#include "Platform/ResourceBundle.h"
#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Parser.h"
#include "SyntaxTree/PredicateContext.h"
#include "SyntaxTree/Query.h"
#include "SyntaxTree/QueryCursor.h"

namespace {

using Span = SyntaxHighlighter::Span;

std::u16string_view units(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
}

// The reference: one cursor over the range through the layer's full match objects, each capture of
// a match whose predicates hold, longest first and equal lengths by position.
QList<Span> oneCursor(const SyntaxTree::Query& query, const SyntaxTree::MutableTree& tree, const QString& text,
                      TextRange range) {
    const qsizetype from = std::clamp<qsizetype>(range.location, 0, text.size());
    const qsizetype to = std::clamp<qsizetype>(range.end(), from, text.size());
    QList<Span> spans;
    if (to == from) return spans;
    const auto cursor = query.execute(*tree.rootNode(), tree);
    cursor->setRange(SyntaxTree::Utf16Range{from, to - from});
    const auto context = SyntaxTree::PredicateContext(SyntaxTree::borrowedTextProvider(units(text))).cachingContext();
    while (const std::optional<SyntaxTree::QueryMatch> match = cursor->next()) {
        if (!match->predicates().empty() && !match->allowed(context)) continue;
        for (const SyntaxTree::QueryCapture& capture : match->captures) {
            const std::optional<TokenRole> role = TreeSitterHighlighter::role(capture.name());
            const SyntaxTree::Utf16Range r = capture.node.range();
            if (role && r.length > 0 && r.end() <= text.size()) spans.append(Span{{r.location, r.length}, *role});
        }
    }
    std::stable_sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return a.range.length != b.range.length ? a.range.length > b.range.length : a.range.location < b.range.location;
    });
    return spans;
}

// Empty when equal, else the first difference: the lists run to thousands of spans.
std::string difference(const QList<Span>& actual, const QList<Span>& expected) {
    const auto describe = [](const QList<Span>& list, qsizetype i) {
        if (i >= list.size()) return std::string("nothing");
        const Span& s = list[i];
        return std::to_string(s.range.location) + "+" + std::to_string(s.range.length) + " role " +
               std::to_string(int(s.role));
    };
    for (qsizetype i = 0; i < std::max(actual.size(), expected.size()); ++i)
        if (i >= actual.size() || i >= expected.size() || !(actual[i] == expected[i]))
            return "at " + std::to_string(i) + " of " + std::to_string(expected.size()) + ": " + describe(actual, i) +
                   " instead of " + describe(expected, i);
    return {};
}

QString readFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(f.readAll());
}

struct Language {
    CodeLanguage language;
    const TSLanguage* (*grammar)();
    const char* sample;  // followed by cuts-<sample> where it exists: constructs that straddle cuts
};

std::ostream& operator<<(std::ostream& os, const Language& l) { return os << l.sample; }
std::string testName(const ::testing::TestParamInfo<Language>& info) {
    return CodeLanguages::rawValue(info.param.language).toStdString();
}

class HighlightChunks : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override {
        const Language& l = GetParam();
        const QString samples = QStringLiteral(BRIMEL_SOURCE_DIR "/tests/Editor/samples/");
        text = readFile(samples + QLatin1String(l.sample));
        if (QFile::exists(samples + "cuts-" + l.sample)) text += readFile(samples + "cuts-" + l.sample);
        text += text;  // a second copy puts every construct at a new depth in the tree
        highlighter.reset(static_cast<TreeSitterHighlighter*>(HighlighterFactory::treeSitter(l.language).release()));
        ASSERT_NE(highlighter, nullptr);
        const QString scm = readFile(*ResourceBundle::resource(CodeLanguages::rawValue(l.language), "scm"));
        const QByteArray source = scm.toUtf8();
        query = SyntaxTree::Query::create(l.grammar(), std::string_view(source.constData(), size_t(source.size())));
        SyntaxTree::Parser parser;
        parser.setLanguage(l.grammar());
        tree = parser.parse(units(text));
        ASSERT_NE(tree, nullptr);
    }

    // A cut just inside every string, comment, template literal, interpolation and attribute, and
    // one every stride units besides.
    std::vector<qsizetype> cuts(qsizetype stride) const {
        std::vector<qsizetype> at;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (QStringLiteral("\"'`/#$@{<-*").contains(c)) at.push_back(i + 1);
            if (i % stride == 0) at.push_back(i);
        }
        std::sort(at.begin(), at.end());
        at.erase(std::unique(at.begin(), at.end()), at.end());
        return at;
    }

    QString text;
    std::unique_ptr<TreeSitterHighlighter> highlighter;
    std::shared_ptr<SyntaxTree::Query> query;
    std::shared_ptr<SyntaxTree::MutableTree> tree;
};

TEST_P(HighlightChunks, CutsAnywhereGiveExactlyTheSpansOfOneCursor) {
    const TextRange whole{0, text.size()};
    const QList<Span> expected = oneCursor(*query, *tree, text, whole);
    ASSERT_GT(expected.size(), 50);
    EXPECT_EQ(difference(highlighter->spans(*tree, text, whole, {}, 1), expected), "") << "without cuts";
    for (const qsizetype stride : {7, 61, 997}) {
        const std::vector<qsizetype> at = cuts(stride);
        EXPECT_EQ(difference(highlighter->spans(*tree, text, whole, at, 1), expected), "") << "stride " << stride;
        EXPECT_EQ(difference(highlighter->spans(*tree, text, whole, at, 3), expected), "")
            << "stride " << stride << ", three threads";
    }
}

// Part of the text: captures of matches that reach before or past the range are kept, once.
TEST_P(HighlightChunks, APartOfTheTextInChunksKeepsTheCapturesReachingOutside) {
    for (const TextRange range : {TextRange{text.size() / 3 + 5, text.size() / 3}, TextRange{17, 400},
                                  TextRange{text.size() - 333, 1000}}) {
        const QList<Span> expected = oneCursor(*query, *tree, text, range);
        EXPECT_EQ(difference(highlighter->spans(*tree, text, range, cuts(43), 4), expected), "")
            << range.location << "+" << range.length;
    }
}

// Large enough for the highlighter to choose chunks and threads itself.
TEST_P(HighlightChunks, ALargeTextHighlightedWholeEqualsOneCursor) {
    QString large;
    while (large.size() < 300'000) large += text;
    SyntaxTree::Parser parser;
    parser.setLanguage(GetParam().grammar());
    const auto largeTree = parser.parse(units(large));
    ASSERT_NE(largeTree, nullptr);
    EXPECT_EQ(difference(highlighter->ranges(large, TextRange{0, large.size()}),
                         oneCursor(*query, *largeTree, large, TextRange{0, large.size()})),
              "");
}

INSTANTIATE_TEST_SUITE_P(Languages, HighlightChunks,
                         ::testing::Values(Language{CodeLanguage::javascript, tree_sitter_javascript, "sample.js"},
                                           Language{CodeLanguage::typescript, tree_sitter_typescript, "sample.ts"},
                                           Language{CodeLanguage::python, tree_sitter_python, "sample.py"},
                                           Language{CodeLanguage::rust, tree_sitter_rust, "sample.rs"},
                                           Language{CodeLanguage::css, tree_sitter_css, "sample.css"},
                                           Language{CodeLanguage::go, tree_sitter_go, "sample.go"},
                                           Language{CodeLanguage::swift, tree_sitter_swift, "sample.swift"},
                                           Language{CodeLanguage::html, tree_sitter_html, "sample.html"},
                                           Language{CodeLanguage::json, tree_sitter_json, "sample.json"}),
                         testName);

} // namespace

// A text lent whole only as far as asked: a capture whose pattern reads its text, starting in the
// range and running on past it, is asked for to its end and no further.
TEST(TreeSitterHighlighterReading, ACaptureReadByItsPatternIsAskedForToItsEndAndNoFurther) {
    const std::unique_ptr<TreeSitterHighlighter> highlighter(
        static_cast<TreeSitterHighlighter*>(HighlighterFactory::treeSitter(CodeLanguage::javascript).release()));
    ASSERT_NE(highlighter, nullptr);
    const QString text = QStringLiteral("let a = 1;\nconst x = new SomeLongTypeName();\nlet b = 2;\n");
    SyntaxTree::Parser parser;
    parser.setLanguage(highlighter->language());
    const std::shared_ptr<SyntaxTree::MutableTree> tree = parser.parse(units(text));
    ASSERT_NE(tree, nullptr);
    const qsizetype name = text.indexOf(QStringLiteral("SomeLong"));
    const qsizetype nameEnd = text.indexOf(u'(', name);
    qsizetype asked = 0;
    highlighter->setReader([&](qsizetype end) { asked = std::max(asked, end); });
    const QList<Span> spans = highlighter->spans(*tree, text, {0, name + 4}, {}, 1);
    EXPECT_EQ(asked, nameEnd);
    EXPECT_TRUE(std::any_of(spans.cbegin(), spans.cend(), [&](const Span& s) { return s.range.location == name; }));
}
