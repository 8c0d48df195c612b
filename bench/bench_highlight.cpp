// The syntax-tree highlighter on large files: colouring the 60 visible lines after one keystroke
// (incremental reparse) and after a scroll (no edit), and whole-file highlighting throughput.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "Editor/HighlighterFactory.h"
#include "Editor/TreeSitterHighlighter.h"
#include "Platform/ResourceBundle.h"
#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Parser.h"

namespace {

constexpr int kVisibleLines = 60;

// A JavaScript file of at least megabytes MB, made of numbered copies of one realistic block.
QString sourceOfSize(int megabytes) {
    static const QString block = QStringLiteral(
        "// Block %1: load, filter and report.\n"
        "export async function load%1(url, { retries = 3, timeout = 2.5e3 } = {}) {\n"
        "  for (let attempt = 0; attempt < retries; attempt++) {\n"
        "    try {\n"
        "      const response = await fetch(`${url}?page=%1`, { signal: AbortSignal.timeout(timeout) });\n"
        "      if (!response.ok) throw new Error(\"status \" + response.status);\n"
        "      return await response.json();\n"
        "    } catch (err) {\n"
        "      console.warn('retry', attempt, err.message); /* keep going */\n"
        "    }\n"
        "  }\n"
        "  return null;\n"
        "}\n"
        "\n"
        "class Report%1 extends Base {\n"
        "  #rows = [];\n"
        "  add(row) { this.#rows.push({ ...row, id: %1, ok: row.count > 0x10 }); return this; }\n"
        "  get total() { return this.#rows.reduce((sum, r) => sum + r.count, 0); }\n"
        "}\n"
        "\n");
    QString text;
    const qsizetype target = qsizetype(megabytes) * 1024 * 1024;
    for (int i = 0; text.size() < target; ++i) text += block.arg(i);
    return text;
}

// The range of kVisibleLines lines starting at the line that holds offset.
TextRange visibleLines(const QString& text, qsizetype offset) {
    const qsizetype start = text.lastIndexOf(u'\n', qMax<qsizetype>(offset - 1, 0)) + 1;
    qsizetype end = start;
    for (int i = 0; i < kVisibleLines && end < text.size(); ++i) {
        const qsizetype nl = text.indexOf(u'\n', end);
        end = nl < 0 ? text.size() : nl + 1;
    }
    return {start, end - start};
}

TextEdit::Point pointAt(const QString& text, qsizetype offset) {
    const qsizetype lineStart = offset == 0 ? 0 : text.lastIndexOf(u'\n', offset - 1) + 1;
    return {text.left(offset).count(u'\n'), offset - lineStart};
}

const QString& source(int megabytes) {
    static const QString one = sourceOfSize(1);
    static const QString ten = sourceOfSize(10);
    return megabytes == 1 ? one : ten;
}

// One character typed, then deleted, in the middle of the file; each time the visible lines are coloured.
void BM_VisibleLinesAfterKeystroke(benchmark::State& state) {
    QString text = source(int(state.range(0)));
    auto highlighter = HighlighterFactory::treeSitter(CodeLanguage::javascript);
    const qsizetype at = text.indexOf(u'\n', text.size() / 2) + 1;
    const TextRange visible = visibleLines(text, at);
    highlighter->ranges(text, visible);

    bool typed = false;
    for (auto _ : state) {
        TextEdit edit;
        edit.startChar = at;
        edit.startPoint = pointAt(text, at);
        if (!typed) {
            edit.oldEndChar = at;
            edit.oldEndPoint = edit.startPoint;
            text.insert(at, u'x');
            edit.newEndChar = at + 1;
            edit.newEndPoint = {edit.startPoint.row, edit.startPoint.col + 1};
        } else {
            edit.oldEndChar = at + 1;
            edit.oldEndPoint = {edit.startPoint.row, edit.startPoint.col + 1};
            text.remove(at, 1);
            edit.newEndChar = at;
            edit.newEndPoint = edit.startPoint;
        }
        typed = !typed;
        benchmark::DoNotOptimize(highlighter->ranges(text, edit, visible));
    }
    if (!static_cast<TreeSitterHighlighter*>(highlighter.get())->lastParseWasIncremental())
        state.SkipWithError("the keystroke was not parsed incrementally");
}
BENCHMARK(BM_VisibleLinesAfterKeystroke)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// Scrolling: no edit, a different window each time.
void BM_VisibleLinesAfterScroll(benchmark::State& state) {
    const QString& text = source(int(state.range(0)));
    auto highlighter = HighlighterFactory::treeSitter(CodeLanguage::javascript);
    highlighter->ranges(text, TextRange{0, 1});
    qsizetype offset = 0;
    for (auto _ : state) {
        offset = (offset + 7919 * 40) % text.size();
        benchmark::DoNotOptimize(highlighter->ranges(text, visibleLines(text, offset)));
    }
}
BENCHMARK(BM_VisibleLinesAfterScroll)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// A fresh highlighter colouring a whole file: parse plus query over everything.
void BM_FullHighlightThroughput(benchmark::State& state) {
    const QString& text = source(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();  // compiling the query is not part of highlighting
        auto highlighter = HighlighterFactory::treeSitter(CodeLanguage::javascript);
        state.ResumeTiming();
        benchmark::DoNotOptimize(highlighter->ranges(text, TextRange{0, text.size()}));
    }
    // Bytes of the file as stored (UTF-8; the block is ASCII).
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_FullHighlightThroughput)->Arg(1)->Unit(benchmark::kMillisecond);

// The bare runtime parsing the same text, the measure the throughput above is held to.
void BM_BareParseThroughput(benchmark::State& state) {
    const QString& text = source(int(state.range(0)));
    SyntaxTree::Parser parser;
    parser.setLanguage(tree_sitter_javascript());
    const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    for (auto _ : state) benchmark::DoNotOptimize(parser.parse(view));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_BareParseThroughput)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ResourceBundle::setOverridePath(QStringLiteral(BRIMEL_BUNDLE_DIR));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
