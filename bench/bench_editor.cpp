// One keystroke in the middle of a big JavaScript file, with everything that follows it: the
// document update, fold regions, highlighting of the visible lines and the caret report. And a
// 200 MB plain text opened, typed into and paged through.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <algorithm>
#include <ctime>
#include <optional>
#include <thread>
#include <vector>

#include "../tests/support/GeneratedCode.h"
#include "Editor/EditorController.h"
#include "Editor/FoldComputer.h"
#include "Editor/FindState.h"
#include "Platform/ResourceBundle.h"
#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/InputEdit.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Parser.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "Workspace/EditorDocument.h"

#include "ThreadCpu.h"
#include "WidgetBenchMain.h"

namespace {

QString generatedJavaScript(qsizetype bytes) { return generated_code::helperFunctions(bytes); }

// `findQuery`, when there is one, is searched for in the find bar while typing.
void typeInTheMiddle(benchmark::State& state, const QString& findQuery = {}, bool regex = false) {
    // The document owns its text alone, as one read from a file does.
    EditorDocument document(QStringLiteral("/nonexistent/big.js"), generatedJavaScript(state.range(0) * 1024 * 1024));
    FindState find;
    EditorController controller;
    CodeEditorView view(&document, &find, &controller);
    view.resize(900, 700);
    view.show();
    if (!findQuery.isEmpty()) {
        find.setUseRegex(regex);
        find.setQuery(findQuery);
        view.setShowFind(true);
    }
    QApplication::processEvents();
    while (find.counting()) QApplication::processEvents();  // the keystrokes come after the count
    CodeEditorCoordinator& editor = *view.coordinator();
    editor.showAll();  // a long text would otherwise still be going into the display
    const qsizetype middle = editor.text().toExact(view.document()->findBlockByNumber(view.document()->blockCount() / 2).position());
    editor.setSelection({middle, 0}, true);
    QApplication::processEvents();

    std::vector<double> times, cpuTimes;
    for (auto _ : state) {
        QElapsedTimer clock;
        const double cpuBefore = threadCpuMs();
        clock.start();
        editor.userChange(editor.selection(), QStringLiteral("x"), true);
        QApplication::processEvents();  // the caret report and the view update queued by the edit
        const double ms = clock.nsecsElapsed() / 1e6;
        cpuTimes.push_back(threadCpuMs() - cpuBefore);
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["worst_ms"] = times.back();
    // The UI thread's own work, without the time other processes took the core from it.
    state.counters["worst_cpu_ms"] = cpuTimes.back();
    state.counters["lines"] = view.document()->blockCount();
    if (!findQuery.isEmpty()) state.counters["matches"] = find.matchCount();
}

void keystroke(benchmark::State& state) { typeInTheMiddle(state); }
// With the find bar open on a word found twice in every few lines.
void keystrokeWithFindOpen(benchmark::State& state) { typeInTheMiddle(state, QStringLiteral("total")); }
// The same with a regular expression, which every edit searches for in the whole text again.
void keystrokeWithRegexFindOpen(benchmark::State& state) { typeInTheMiddle(state, QStringLiteral("t[a-z]+l"), true); }

// Runs f on a thread of its own, as the editor parses: the nodes the bare runtime frees then do
// not pile up in the UI thread's allocator, whose next large allocation would gather them all up.
template <class F>
void onItsOwnThread(F&& f) {
    std::thread(std::forward<F>(f)).join();
}

// From a keystroke until the visible lines are coloured for the new text (the parse runs off the
// UI thread), beside the bare runtime's incremental reparse of the same edit in the same run, and
// until those colours are final where a guess came first (exact_*). Each
// key types the next character of keys at the start of the middle line, or after the first `after`
// past it; `assisted`, as typed (closing brackets may come with it).
void coloursAfterTyping(benchmark::State& state, const QString& keys, bool assisted, const QString& after = {}) {
    const QString text = generatedJavaScript(state.range(0) * 1024 * 1024);
    EditorDocument document(QStringLiteral("/nonexistent/big.js"), text);
    FindState find;
    EditorController controller;
    CodeEditorView view(&document, &find, &controller);
    view.resize(900, 700);
    view.show();
    CodeEditorCoordinator& editor = *view.coordinator();
    const auto settle = [&] {
        // Blocks until the parse's signal arrives: a spinning wait would take the parser's core.
        while (!editor.coloursSettled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents();
    };
    settle();
    editor.showAll();  // a long text would otherwise still be going into the display
    qsizetype middle = editor.text().toExact(view.document()->findBlockByNumber(view.document()->blockCount() / 2).position());
    if (!after.isEmpty()) middle = editor.text().text().indexOf(after, middle) + after.size();
    const qsizetype lineStart = editor.text().text().lastIndexOf(u'\n', middle - 1) + 1;
    editor.setSelection({middle, 0}, true);
    settle();

    // The bare runtime on the same text and the same kind of edit.
    std::optional<SyntaxTree::Parser> parser;
    QString bare = editor.text().text();
    const auto view16 = [&] { return std::u16string_view(reinterpret_cast<const char16_t*>(bare.utf16()), size_t(bare.size())); };
    std::shared_ptr<SyntaxTree::MutableTree> tree;
    onItsOwnThread([&] {
        parser.emplace();
        parser->setLanguage(tree_sitter_javascript());
        tree = parser->parse(view16());
    });
    const qsizetype row = view.document()->findBlock(int(editor.toDisplay(middle))).blockNumber();
    std::vector<double> times, exactTimes, bareTimes;
    std::vector<int> turns;  // of the event loop, between the key and its colours
    std::vector<double> cpuTimes;  // the UI thread's own, between the key and its colours
    for (auto _ : state) {
        QElapsedTimer clock;
        const double cpuBefore = threadCpuMs();
        clock.start();
        const QChar key = keys[bareTimes.size() % keys.size()];
        if (assisted) editor.userChange(editor.selection(), key, true);
        else editor.plainChange(editor.selection(), key);
        turns.push_back(0);
        for (; !editor.coloursShown(); ++turns.back()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents();
        const double ms = clock.nsecsElapsed() / 1e6;
        cpuTimes.push_back(threadCpuMs() - cpuBefore);
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
        settle();
        exactTimes.push_back(clock.nsecsElapsed() / 1e6);

        const qsizetype at = middle + qsizetype(bareTimes.size());
        const qsizetype column = at - lineStart;
        bare.insert(at, key);
        onItsOwnThread([&] {
            QElapsedTimer bareClock;
            bareClock.start();
            tree->edit(SyntaxTree::InputEdit(uint32_t(at * 2), uint32_t(at * 2), uint32_t(at * 2 + 2),
                                             SyntaxTree::Point(uint32_t(row), uint32_t(column * 2)),
                                             SyntaxTree::Point(uint32_t(row), uint32_t(column * 2)),
                                             SyntaxTree::Point(uint32_t(row), uint32_t(column * 2 + 2))));
            tree = parser->reparse(*tree, view16());
            bareTimes.push_back(bareClock.nsecsElapsed() / 1e6);
        });
    }
    onItsOwnThread([&] {
        tree.reset();
        parser.reset();
    });
    std::sort(times.begin(), times.end());
    std::sort(exactTimes.begin(), exactTimes.end());
    std::sort(bareTimes.begin(), bareTimes.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["worst_ms"] = times.back();
    state.counters["exact_median_ms"] = exactTimes[exactTimes.size() / 2];
    state.counters["exact_worst_ms"] = exactTimes.back();
    state.counters["bare_reparse_median_ms"] = bareTimes[bareTimes.size() / 2];
    state.counters["bare_reparse_worst_ms"] = bareTimes.back();
    state.counters["worst_turns"] = *std::max_element(turns.begin(), turns.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    state.counters["cpu_median_ms"] = cpuTimes[cpuTimes.size() / 2];
}

void coloursAfterKeystroke(benchmark::State& state) { coloursAfterTyping(state, QStringLiteral("x"), true); }
// A call typed in a function, before its closing parenthesis: most keys leave the statement wrong.
void coloursAfterUnfinishedKeystroke(benchmark::State& state) {
    coloursAfterTyping(state, QStringLiteral("foo(a, "), false, QStringLiteral("console.log(`total ${total}`, "));
}

// The fold scan alone, as it runs when a file opens.
void foldScan(benchmark::State& state) {
    const QString text = generatedJavaScript(state.range(0) * 1024 * 1024);
    for (auto _ : state) benchmark::DoNotOptimize(FoldComputer::regions(text));
}

// A plain text of about 200 MB opened as a user meets it: how soon its first lines are shown, then
// every turn of the event loop while the rest goes into the display (the end key pressed at once),
// then typing at the top and in the middle, paging down, and a word typed into the find bar. A pause the user could feel is one turn
// of the loop; the worst of each is reported.
void largePlainText(benchmark::State& state) {
    QString text;
    text.reserve(201'000'000);
    for (int i = 0; text.size() < 200'000'000; ++i)
        text += QStringLiteral("line %1 of some plain text with words to wrap and to read, the quick brown fox\n").arg(i);
    const auto turn = [] {
        QElapsedTimer clock;
        clock.start();
        QApplication::processEvents();
        return clock.nsecsElapsed() / 1e6;
    };
    for (auto _ : state) {
        EditorDocument document(QStringLiteral("/nonexistent/big.txt"), text);
        text = QString();  // the document's copy is the only one, as one read from a file
        FindState find;
        EditorController controller;
        QElapsedTimer clock;
        clock.start();
        CodeEditorView view(&document, &find, &controller);
        view.resize(900, 700);
        view.show();
        QApplication::processEvents();
        const double openMs = clock.nsecsElapsed() / 1e6;
        CodeEditorCoordinator& editor = *view.coordinator();
        // The end key at once: the window goes on turning until the caret gets there.
        QElapsedTimer endKey;
        endKey.start();
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(&view, &end);
        const double endKeyMs = endKey.nsecsElapsed() / 1e6;
        double worstFill = 0, endArrivedMs = 0;
        while (!editor.isFullyShown() || endArrivedMs == 0) {
            worstFill = std::max(worstFill, turn());
            if (endArrivedMs == 0 && editor.selection().location == editor.text().size())
                endArrivedMs = clock.nsecsElapsed() / 1e6;
        }
        const double filledMs = clock.nsecsElapsed() / 1e6;

        // Typing near the top, then in the middle, where the most text lies either side of the caret.
        std::vector<double> jumps;
        const auto typeAt = [&](qsizetype at) {
            std::vector<double> keys;
            editor.setSelection({at, 0});
            QElapsedTimer jump;
            jump.start();
            QApplication::processEvents();  // the view scrolls there and colours what it shows
            jumps.push_back(jump.nsecsElapsed() / 1e6);
            for (int i = 0; i < 50; ++i) {
                QElapsedTimer key;
                key.start();
                editor.userChange(editor.selection(), QStringLiteral("x"), true);
                QApplication::processEvents();
                keys.push_back(key.nsecsElapsed() / 1e6);
            }
            std::sort(keys.begin(), keys.end());
            return keys;
        };
        const std::vector<double> keys = typeAt(20);
        const std::vector<double> middleKeys = typeAt(editor.text().size() / 2);
        double worstPage = 0;
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer page;
            page.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QApplication::sendEvent(&view, &press);
            QApplication::processEvents();
            worstPage = std::max(worstPage, page.nsecsElapsed() / 1e6);
        }
        // A word typed into the find bar, a letter at a time: every letter searches all of the text.
        view.setShowFind(true);
        double worstFindKey = 0;
        const QString word = QStringLiteral("brown");
        for (qsizetype i = 1; i <= word.size(); ++i) {
            QElapsedTimer key;
            key.start();
            find.setQuery(word.first(i));
            QApplication::processEvents();
            worstFindKey = std::max(worstFindKey, key.nsecsElapsed() / 1e6);
        }
        state.counters["find_key_worst_ms"] = worstFindKey;
        state.counters["find_matches"] = find.matchCount();
        state.SetIterationTime(openMs / 1000);
        state.counters["open_ms"] = openMs;
        state.counters["all_shown_ms"] = filledMs;
        state.counters["worst_fill_turn_ms"] = worstFill;
        state.counters["end_key_ms"] = endKeyMs;
        state.counters["end_key_arrives_ms"] = endArrivedMs;
        state.counters["key_median_ms"] = keys[keys.size() / 2];
        state.counters["key_worst_ms"] = keys.back();
        state.counters["jump_to_middle_ms"] = jumps.back();
        state.counters["middle_key_median_ms"] = middleKeys[middleKeys.size() / 2];
        state.counters["middle_key_worst_ms"] = middleKeys.back();
        state.counters["page_down_worst_ms"] = worstPage;
        state.counters["lines"] = view.document()->blockCount();
    }
}

} // namespace

BENCHMARK(largePlainText)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(foldScan)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
// Enough keystrokes for the typed line to grow past the view's width and wrap.
BENCHMARK(keystroke)->Arg(1)->Arg(10)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(keystrokeWithFindOpen)->Arg(1)->Arg(10)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(keystrokeWithRegexFindOpen)->Arg(1)->Arg(10)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(coloursAfterKeystroke)->Arg(1)->Arg(10)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(coloursAfterUnfinishedKeystroke)->Arg(1)->Arg(10)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
