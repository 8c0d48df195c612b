// Parsing speed of the binding layer on generated JavaScript: a full parse of the whole text, and
// the incremental reparse that follows one keystroke in the middle of it.
#include <benchmark/benchmark.h>

#include <string>

#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Node.h"
#include "SyntaxTree/Parser.h"

namespace {

// Varied, valid JavaScript repeated until the text holds at least `units` UTF-16 units.
std::u16string generatedJavaScript(size_t units) {
    std::u16string text;
    text.reserve(units + 1024);
    for (int i = 0; text.size() < units; ++i) {
        const std::u16string n = [&] {
            std::u16string s;
            for (char c : std::to_string(i)) s += char16_t(c);
            return s;
        }();
        text += u"// Block " + n + u": caf\u00e9 \u2014 totals\n";
        text += u"export class Account" + n + u" extends Base {\n";
        text += u"  constructor(owner, limit = " + n + u") {\n    super(owner);\n    this.limit = limit;\n"
                u"    this.entries = [];\n  }\n";
        text += u"  add(amount, note = `entry ${this.entries.length}`) {\n"
                u"    if (amount > this.limit || Number.isNaN(amount)) { throw new Error(\"too large: \" + amount); }\n"
                u"    this.entries.push({ amount, note, at: Date.now() });\n    return this;\n  }\n";
        text += u"  get total() { return this.entries.reduce((sum, e) => sum + e.amount, 0); }\n}\n";
        text += u"const pattern" + n + u" = /^[a-z]+\\d*$/gi;\n";
        text += u"async function load" + n + u"(url) {\n  const response = await fetch(url);\n"
                u"  return response.ok ? response.json() : null;\n}\n\n";
    }
    return text;
}


void BM_FullParse(benchmark::State& state) {
    const std::u16string text = generatedJavaScript(size_t(state.range(0)) << 20);
    SyntaxTree::Parser parser;
    parser.setLanguage(tree_sitter_javascript());
    for (auto _ : state) {
        auto tree = parser.parse(text);
        if (!tree || tree->rootNode()->hasError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(tree);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_IncrementalReparseAfterKeystroke(benchmark::State& state) {
    const std::u16string text = generatedJavaScript(size_t(state.range(0)) << 20);
    SyntaxTree::Parser parser;
    parser.setLanguage(tree_sitter_javascript());
    const auto base = parser.parse(text);

    // Type one letter into an identifier in the middle of the text.
    const size_t at = text.find(u"this.limit = limit", text.size() / 2) + 5;
    std::u16string edited = text;
    edited.insert(at, u"x");
    uint32_t row = 0;
    size_t lineStart = 0;
    for (size_t i = 0; i < at; ++i)
        if (text[i] == u'\n') row++, lineStart = i + 1;
    const SyntaxTree::Point start(row, uint32_t((at - lineStart) * 2));
    const SyntaxTree::InputEdit keystroke(uint32_t(at * 2), uint32_t(at * 2), uint32_t(at * 2 + 2), start, start,
                                          SyntaxTree::Point(row, start.column + 2));

    for (auto _ : state) {
        state.PauseTiming();
        auto tree = base->mutableCopy();
        state.ResumeTiming();
        tree->edit(keystroke);
        auto reparsed = parser.parse(*tree, edited);
        if (!reparsed || reparsed->rootNode()->hasError()) state.SkipWithError("reparse failed");
        benchmark::DoNotOptimize(reparsed);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(edited.size()));
}

} // namespace

// Sizes in MiB of source text; throughput counts one byte per character, as in the file.
BENCHMARK(BM_FullParse)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IncrementalReparseAfterKeystroke)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
