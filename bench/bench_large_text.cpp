// Find and regular-expression highlighting on texts far larger than a screen: what a search of the
// whole text costs, how soon a runaway pattern is stopped, and what colouring one screen costs in a
// very large text.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "Editor/FindMatcher.h"
#include "Editor/FindState.h"
#include "Editor/HighlighterFactory.h"
#include "Editor/RegexHighlighter.h"

namespace {

const QString& numberedLines() {  // 2,000,000 lines, about 46 MB
    static const QString text = [] {
        QString out;
        out.reserve(48'000'000);
        for (int i = 0; i < 2'000'000; ++i) out += QStringLiteral("line %1 foo bar baz\n").arg(i);
        return out;
    }();
    return text;
}

// `inPieces`: a literal query searched a piece at a time on several threads, as the find bar does.
void find(benchmark::State& state, const QString& query, bool regex, const QString& text, bool inPieces = false) {
    FindState find;
    find.setUseRegex(regex);
    find.setQuery(query);
    const std::optional<RegularExpression> pattern = find.makeRegex();
    FindMatcher::Result result;
    for (auto _ : state) {
        result = inPieces ? FindMatcher::literalMatches(*pattern, FindMatcher::literalReach(query.size()), text)
                          : FindMatcher::matches(*pattern, text);
        benchmark::DoNotOptimize(result.matches.data());
    }
    state.counters["matches"] = double(result.matches.size());
    state.counters["stopped"] = result.stopped ? 1 : 0;
}

// Every match must be found: 2,000,000 for both.
void BM_FindLiteral46MB(benchmark::State& state) { find(state, QStringLiteral("foo"), false, numberedLines()); }
void BM_FindLiteralInPieces46MB(benchmark::State& state) {
    find(state, QStringLiteral("foo"), false, numberedLines(), true);
}
void BM_FindPattern46MB(benchmark::State& state) {
    find(state, QStringLiteral("[a-z]+ \\d+ foo"), true, numberedLines());
}
// Exponential backtracking on one line: stopped, and soon.
void BM_FindRunawayStops(benchmark::State& state) {
    find(state, QStringLiteral("(a+)+$"), true, QString(40, u'a') + QStringLiteral("b\n"));
}
BENCHMARK(BM_FindLiteral46MB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FindLiteralInPieces46MB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FindPattern46MB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FindRunawayStops)->Unit(benchmark::kMillisecond)->Iterations(3);

// About 200 MB of plain text with the things the plain highlighter colours: calls, numbers, quoted
// words and apostrophes that pair up across lines.
const QString& largePlainText() {
    static const QString text = [] {
        QString out;
        out.reserve(201'000'000);
        for (int i = 0; out.size() < 200'000'000; ++i)
            out += QStringLiteral("Entry %1: it's call(%1) with \"a quoted %1\" and `ticks` @tag 3.5e2\n").arg(i);
        return out;
    }();
    return text;
}

// One screen (60 lines) coloured after scrolling a page further, deep in the text, with remembered
// resume points from the screens before. The first screen of a highlighter is timed separately.
void BM_RegexHighlightScreen200MB(benchmark::State& state) {
    const QString& text = largePlainText();
    const auto highlighter = HighlighterFactory::regex(CodeLanguage::plain);
    constexpr qsizetype kLine = 80;
    qsizetype at = text.size() / 2;
    at = text.indexOf(u'\n', at) + 1;
    for (auto _ : state) {
        const QList<SyntaxHighlighter::Span> spans = highlighter->ranges(text, TextRange{at, 60 * kLine});
        benchmark::DoNotOptimize(spans.data());
        at = text.indexOf(u'\n', at + 60 * kLine) + 1;
    }
}
BENCHMARK(BM_RegexHighlightScreen200MB)->Unit(benchmark::kMicrosecond);

// The first screen halfway into the text, with nothing remembered yet.
void BM_RegexHighlightFirstScreenHalfway200MB(benchmark::State& state) {
    const QString& text = largePlainText();
    const qsizetype at = text.indexOf(u'\n', text.size() / 2) + 1;
    for (auto _ : state) {
        const auto highlighter = HighlighterFactory::regex(CodeLanguage::plain);
        benchmark::DoNotOptimize(highlighter->ranges(text, TextRange{at, 60 * 80}).data());
    }
}
BENCHMARK(BM_RegexHighlightFirstScreenHalfway200MB)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
