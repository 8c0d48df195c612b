// What the display's text document costs by itself, with none of the editor's code, for the edits
// the editor makes to it: taking a Replace All's matches back out one by one (how the editor undoes
// one) against the document's own undo of the same edits, and putting a long text in a line at a
// time. These are the floor under the editor's own figures in bench_text_shapes.
// Then the editor's Replace All and its undo made right after a long text opens, before the display
// holds all of it: the longest turn meanwhile, which must not grow with the text.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <ctime>
#include <memory>
#include <vector>

#include "../tests/support/TextShapes.h"
#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "Workspace/EditorDocument.h"

#include "SettleAfter.h"
#include "ThreadCpu.h"
#include "WidgetBenchMain.h"

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

// The word list's matches of the benchmark's query, and the text.
struct Sample {
    QString text;
    std::vector<int> ends;  // where each match of the query ends: the replacement's extra goes there
    QString extra;
};

Sample wordList(qsizetype megabytes) {
    const text_shapes::Replacing replacing = text_shapes::replacing(text_shapes::Shape::wordList);
    Sample sample{text_shapes::make(text_shapes::Shape::wordList, megabytes * kMegabyte), {},
                  replacing.replacement.mid(replacing.query.size())};
    for (qsizetype i = sample.text.indexOf(replacing.query); i >= 0; i = sample.text.indexOf(replacing.query, i + 1))
        sample.ends.push_back(int(i + replacing.query.size()));
    return sample;
}

// A display document as the editor's: a plain-text layout, no undo of its own.
std::unique_ptr<QTextDocument> displayOf(const QString& text) {
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    cursor.beginEditBlock();
    for (qsizetype from = 0; from < text.size(); from += 16 * 1024) cursor.insertText(text.mid(from, 16 * 1024));
    cursor.endEditBlock();
    return document;
}

// The replacement's extra put in after each match, from the last, in one edit block.
void replaceAll(QTextDocument& document, const Sample& sample) {
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (auto end = sample.ends.rbegin(); end != sample.ends.rend(); ++end) {
        cursor.setPosition(*end);
        cursor.insertText(sample.extra);
    }
    cursor.endEditBlock();
}

// Qt alone: the matches' extra taken out one by one through a cursor in one edit block (the editor's
// way), and the document's own undo of the edits that put it in.
void displayRemovals(benchmark::State& state) {
    const Sample sample = wordList(state.range(0));
    const std::unique_ptr<QTextDocument> document = displayOf(sample.text);
    const int extra = int(sample.extra.size());
    double cursorMs = 0, undoMs = 0;
    for (auto _ : state) {
        replaceAll(*document, sample);
        double start = threadCpuMs();
        QTextCursor cursor(document.get());
        cursor.beginEditBlock();
        for (size_t i = sample.ends.size(); i-- > 0;) {
            const int at = sample.ends[i] + int(i) * extra;
            cursor.setPosition(at);
            cursor.setPosition(at + extra, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        cursor.endEditBlock();
        cursorMs = threadCpuMs() - start;
        if (document->characterCount() - 1 != sample.text.size()) state.SkipWithError("the removals left another text");

        document->setUndoRedoEnabled(true);
        replaceAll(*document, sample);
        start = threadCpuMs();
        document->undo();
        undoMs = threadCpuMs() - start;
        document->setUndoRedoEnabled(false);
        state.SetIterationTime(cursorMs / 1000);
    }
    const double matches = double(sample.ends.size());
    state.counters["matches"] = matches;
    state.counters["cursor_ms"] = cursorMs;
    state.counters["cursor_us_per_edit"] = cursorMs * 1000 / matches;
    state.counters["own_undo_ms"] = undoMs;
    state.counters["own_undo_us_per_edit"] = undoMs * 1000 / matches;
}

// Qt alone: a long text put into a display a slice at a time, per line.
void displayFill(benchmark::State& state) {
    const QString text = wordList(state.range(0)).text;
    double ms = 0;
    int lines = 0;
    for (auto _ : state) {
        const double start = threadCpuMs();
        const std::unique_ptr<QTextDocument> document = displayOf(text);
        ms = threadCpuMs() - start;
        lines = document->blockCount();
        state.SetIterationTime(ms / 1000);
    }
    state.counters["fill_ms"] = ms;
    state.counters["lines"] = lines;
    state.counters["fill_us_per_line"] = ms * 1000 / lines;
}

// The editor: a Replace All and its undo at once after a word list opens, each until all it started
// is done, with the longest turn meanwhile.
void replaceAllWhileShowing(benchmark::State& state) {
    const text_shapes::Replacing replacing = text_shapes::replacing(text_shapes::Shape::wordList);
    for (auto _ : state) {
        EditorDocument document(QStringLiteral("/nonexistent/words.txt"),
                                text_shapes::make(text_shapes::Shape::wordList, state.range(0) * kMegabyte));
        FindState find;
        EditorController controller;
        CodeEditorView view(&document, &find, &controller);
        view.resize(900, 700);
        view.show();
        CodeEditorCoordinator& coordinator = *view.coordinator();
        const bool shownAtFirst = coordinator.isFullyShown();
        find.setCaseSensitive(true);
        find.setReplacement(replacing.replacement);
        find.setQuery(replacing.query);
        QElapsedTimer clock;
        clock.start();
        find.engine()->replaceAll();
        const Settled replaced = settleAfter(coordinator, clock, clock.nsecsElapsed() / 1e6);
        clock.restart();
        coordinator.undo();
        const Settled undone = settleAfter(coordinator, clock, clock.nsecsElapsed() / 1e6);
        state.SetIterationTime(replaced.worstTurnMs / 1000);
        state.counters["shown_at_first"] = shownAtFirst;
        state.counters["replace_all_ms"] = replaced.ms;
        state.counters["replace_all_worst_turn_ms"] = replaced.worstTurnMs;
        state.counters["undo_ms"] = undone.ms;
        state.counters["undo_worst_turn_ms"] = undone.worstTurnMs;
    }
}

} // namespace

BENCHMARK(displayRemovals)->Arg(1)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(displayFill)->Arg(1)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(replaceAllWhileShowing)->Arg(1)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return runWidgetBenchmarks(argc, argv);
}
