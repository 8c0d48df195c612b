// Highlighting and find-matching throughput of the editor model on a generated source file.
#include <benchmark/benchmark.h>

#include "Editor/FindState.h"
#include "Editor/HighlighterFactory.h"

namespace {

QString sourceOfLines(int lines) {
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("    let value%1 = compute(\"item %1\", 3.5e2) // note %1\n").arg(i);
    return text;
}

// The regular-expression highlighter rescans the whole text; the visible range is only a filter.
void BM_RegexHighlighterVisibleRange(benchmark::State& state) {
    const QString text = sourceOfLines(int(state.range(0)));
    auto highlighter = HighlighterFactory::regex(CodeLanguage::swift);
    for (auto _ : state) benchmark::DoNotOptimize(highlighter->ranges(text, TextRange{0, 4000}));
    state.SetItemsProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_RegexHighlighterVisibleRange)->Arg(1000)->Arg(10000);

void BM_FindMatchesLiteralQuery(benchmark::State& state) {
    const QString text = sourceOfLines(int(state.range(0)));
    FindState find;
    find.setQuery(QStringLiteral("value"));
    const auto pattern = find.makeRegex();
    for (auto _ : state) benchmark::DoNotOptimize(pattern->matches(text));
    state.SetItemsProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_FindMatchesLiteralQuery)->Arg(10000);

} // namespace

BENCHMARK_MAIN();
