// The editor on texts of every shape: source code, a word list, numeric columns, a hex dump, prose,
// CJK prose, one minified line, empty lines and JSON nested a level a line, at 1 and 10 MB (and 100 MB with
// BRIMEL_BENCH_100MB=1). For each: opening until the first screen is painted, a letter typed in the
// middle (and a quote), a page down, a click, a double click, a drag, a find of a common letter, and a
// Replace All of a token found a few times a kilobyte and its undo (with the longest turn of each), each timed
// from the event to the end of everything it started on the UI thread. Every figure is given per
// operation and per megabyte of text: what a keystroke, a scroll or a click costs must not grow
// with the file, and what opening and finding cost must grow no faster than it.
//
// `bench_text_shapes --write-sample=SHAPE:MEGABYTES:PATH` writes one of these texts to a file and exits
// (scripts/measure-editor.sh opens them in the real window).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../tests/support/TextShapes.h"
#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/Editor/DisplayRelease.h"
#include "Workspace/EditorDocument.h"

#include "SettleAfter.h"
#include "ShapeEditor.h"
#include "ThreadCpu.h"
#include "WidgetBenchMain.h"

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Texts of 100 MB and more only when asked for: true (with the reason given) when not.
bool skipLong(benchmark::State& state, qsizetype megabytes) {
    if (megabytes < 100 || !qEnvironmentVariableIsEmpty("BRIMEL_BENCH_100MB")) return false;
    state.SkipWithError("100 MB and more only with BRIMEL_BENCH_100MB=1");
    return true;
}

void textShapes(benchmark::State& state) {
    const auto shape = text_shapes::Shape(state.range(0));
    const qsizetype megabytes = state.range(1);
    if (skipLong(state, megabytes)) return;
    if (megabytes >= 100 && shape == text_shapes::Shape::emptyLines) {
        // A hundred million lines: the window holding every one of them takes more memory than this
        // machine has (a known limit of the display, not of what is measured here).
        state.SkipWithError("100 MB of empty lines is 100 million lines: not measured");
        return;
    }
    qsizetype size = 0;
    double bytes = 0;
    for (auto _ : state) {
        releaseEarlierDisplays();
        QString text = text_shapes::make(shape, megabytes * kMegabyte);
        size = text.size();
        bytes = double(text_shapes::detail::utf8Bytes(text));
        QElapsedTimer clock;
        clock.start();
        Editor editor(std::move(text), text_shapes::fileName(shape));
        editor.view->repaint();
        drain();
        const double open = msSince(clock);
        // What a long text puts into the window after its first screen, and what opening leaves for
        // later turns (colours, the fold scan, grouping empty lines), before the measures: else the
        // first keys, pages and clicks pay for the opening's turns. Both are reported as opening's.
        editor.view->coordinator()->showAll();
        drain();
        clock.restart();
        const Settled opened = settleAfter(*editor.view->coordinator(), clock, 0, nullptr, true);

        // The caret into the middle, then letters typed there.
        editor.view->coordinator()->setSelection({size / 2, 0}, true);
        drain();
        std::vector<double> typing, typingCpu;
        qsizetype movedBefore = 0;  // units the text's storage moved, after the first key brought it there
        const qsizetype movedBeforeFirst = editor.view->coordinator()->text().unitsMoved();
        // More keys with BRIMEL_BENCH_KEYS, for a profile of typing alone.
        const int keys = qEnvironmentVariableIsSet("BRIMEL_BENCH_KEYS") ? qMax(2, qEnvironmentVariableIntValue("BRIMEL_BENCH_KEYS")) : 20;
        for (int i = 0; i < keys; ++i) {
            if (i == 1) movedBefore = editor.view->coordinator()->text().unitsMoved();
            clock.restart();
            const double cpu0 = threadCpuMs();
            editor.key(Qt::Key_unknown, QStringLiteral("x"));
            drain();
            typing.push_back(msSince(clock));
            typingCpu.push_back(threadCpuMs() - cpu0);
        }
        const double movedPerKey = double(editor.view->coordinator()->text().unitsMoved() - movedBefore) / double(typing.size() - 1);
        // A quote pairs with every later quote the other way: strings and folds change to the end.
        clock.restart();
        editor.key(Qt::Key_unknown, QStringLiteral("'"));
        drain();
        const double quote = msSince(clock);
        std::vector<double> paging;
        for (int i = 0; i < 10; ++i) {
            clock.restart();
            editor.key(Qt::Key_PageDown);
            drain();
            paging.push_back(msSince(clock));
        }
        const QPoint middle(editor.view->viewport()->width() / 3, editor.view->viewport()->height() / 2);
        std::vector<double> clicking;
        for (int i = 0; i < 10; ++i) {
            clock.restart();
            editor.mouse(QEvent::MouseButtonPress, middle + QPoint(0, 3 * i), Qt::LeftButton);
            editor.mouse(QEvent::MouseButtonRelease, middle + QPoint(0, 3 * i), Qt::NoButton);
            drain();
            clicking.push_back(msSince(clock));
        }
        clock.restart();
        editor.mouse(QEvent::MouseButtonPress, middle, Qt::LeftButton);
        editor.mouse(QEvent::MouseButtonRelease, middle, Qt::NoButton);
        editor.mouse(QEvent::MouseButtonDblClick, middle, Qt::LeftButton);
        editor.mouse(QEvent::MouseButtonRelease, middle, Qt::NoButton);
        drain();
        const double doubleClick = msSince(clock);
        clock.restart();
        editor.mouse(QEvent::MouseButtonPress, middle, Qt::LeftButton);
        for (int step = 1; step <= 10; ++step) editor.mouse(QEvent::MouseMove, middle + QPoint(5 * step, 15 * step), Qt::LeftButton);
        editor.mouse(QEvent::MouseButtonRelease, middle + QPoint(50, 150), Qt::NoButton);
        drain();
        const double drag = msSince(clock);
        clock.restart();
        editor.find.setQuery(QStringLiteral("e"));
        editor.view->setShowFind(true);
        drain();
        const double findShown = msSince(clock);
        // The count of a long text's matches comes from other threads: the find is done when it has.
        while (editor.find.counting()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double find = msSince(clock);
        const double findMatches = editor.find.matchCount();

        // Replace All of a token found a few times a kilobyte, then its undo: each until all it
        // started is done, with the longest turn meanwhile (how long a key typed then would wait).
        const text_shapes::Replacing replacing = text_shapes::replacing(shape);
        editor.find.setShowReplace(true);  // as a user opens the replace row before a Replace All
        editor.find.setCaseSensitive(true);
        editor.find.setReplacement(replacing.replacement);
        editor.find.setQuery(replacing.query);
        editor.view->updateFromModel();
        while (editor.find.counting()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double replaceMatches = editor.find.matchCount();
        CodeEditorCoordinator& coordinator = *editor.view->coordinator();
        // The keys typed above hold after-edit work back for a typist's pause, which is not the
        // replacement's to wait for.
        for (QElapsedTimer pause; !pause.isValid() || pause.elapsed() <= CodeEditorCoordinator::kTypingPauseMs;) {
            if (!pause.isValid()) pause.start();
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        settleAfter(coordinator, clock, 0, &editor.find, true);
        const auto timed = [&](const std::function<void()>& operation) {
            clock.restart();
            operation();
            return settleAfter(coordinator, clock, msSince(clock), &editor.find, true);
        };
        const qsizetype sizeBefore = coordinator.text().size();
        const Settled replaced = timed([&] { editor.find.engine()->replaceAll(); });
        // Counted from the text itself: a replacement that did less than it found shows here.
        const qsizetype growth = replacing.replacement.size() - replacing.query.size();
        const double replacedCount = double(coordinator.text().size() - sizeBefore) / double(growth);
        const Settled undone = timed([&] { coordinator.undo(); });
        const bool undoneWhole = coordinator.text().size() == sizeBefore;

        state.SetIterationTime(open / 1000);
        const double mb = double(megabytes);
        state.counters["open_ms"] = open;
        state.counters["open_ms_per_MB"] = open / mb;
        state.counters["open_settled_ms"] = opened.ms;
        state.counters["open_worst_turn_ms"] = opened.worstTurnMs;
        state.counters["type_median_ms"] = median(typing);
        state.counters["type_worst_ms"] = *std::max_element(typing.begin(), typing.end());
        // The first key at a new place brings the text's storage there.
        state.counters["type_first_ms"] = typing.front();
        state.counters["type_cpu_median_ms"] = median(typingCpu);
        state.counters["type_units_moved"] = movedPerKey;
        state.counters["type_first_units_moved"] = double(movedBefore - movedBeforeFirst);
        state.counters["type_quote_ms"] = quote;
        state.counters["page_median_ms"] = median(paging);
        state.counters["click_median_ms"] = median(clicking);
        state.counters["double_click_ms"] = doubleClick;
        state.counters["drag_ms"] = drag;
        state.counters["find_ms"] = find;
        state.counters["find_shown_ms"] = findShown;
        state.counters["find_ms_per_MB"] = find / mb;
        state.counters["matches"] = findMatches;
        state.counters["replace_matches"] = replaceMatches;
        state.counters["replace_replaced"] = replacedCount;
        state.counters["replace_all_ms"] = replaced.ms;
        state.counters["replace_all_ms_per_MB"] = replaced.ms / mb;
        state.counters["replace_all_us_per_match"] = replaceMatches > 0 ? replaced.ms * 1000 / replaceMatches : 0;
        state.counters["replace_all_worst_turn_ms"] = replaced.worstTurnMs;
        state.counters["undo_ms"] = undone.ms;
        state.counters["undo_ms_per_MB"] = undone.ms / mb;
        state.counters["undo_worst_turn_ms"] = undone.worstTurnMs;
        state.counters["undo_whole"] = undoneWhole;
        state.counters["bytes"] = bytes;
    }
    state.SetLabel(text_shapes::name(shape));
}

// The UI thread's time for a click, a double click and a drag near the top, the middle and the end
// of a text of 1 and 200 MB (200 MB with BRIMEL_BENCH_100MB=1): each must stay within a frame,
// whatever the size and the place.
void clickPlaces(benchmark::State& state) {
    const auto shape = text_shapes::Shape(state.range(0));
    const qsizetype megabytes = state.range(1);
    if (skipLong(state, megabytes)) return;
    const QString text = text_shapes::make(shape, megabytes * kMegabyte);
    for (auto _ : state) {
        releaseEarlierDisplays();
        Editor editor(text, text_shapes::fileName(shape));
        editor.view->repaint();
        drain();
        editor.view->coordinator()->showAll();
        drain();
        const QPoint middle(editor.view->viewport()->width() / 3, editor.view->viewport()->height() / 2);
        double worstClick = 0, worstDouble = 0, worstDrag = 0;
        // What opening leaves for later turns (colour points, folds) is not the click's: measured
        // apart, and let finish before each place's clicks.
        double backgroundCpu = 0;
        const auto settle = [&] {
            for (double cpu0 = threadCpuMs(), spent = 1e9; spent > 1; cpu0 = threadCpuMs()) {
                drain();
                spent = threadCpuMs() - cpu0;
                backgroundCpu += spent;
            }
        };
        const auto measure = [&](const char* place, qsizetype at) {
            editor.view->coordinator()->setSelection({at, 0}, true);
            settle();
            std::vector<double> clicks;
            for (int i = 0; i < 5; ++i) {
                const double cpu0 = threadCpuMs();
                editor.mouse(QEvent::MouseButtonPress, middle + QPoint(0, 3 * i), Qt::LeftButton);
                editor.mouse(QEvent::MouseButtonRelease, middle + QPoint(0, 3 * i), Qt::NoButton);
                drain();
                clicks.push_back(threadCpuMs() - cpu0);
            }
            double cpu0 = threadCpuMs();
            editor.mouse(QEvent::MouseButtonDblClick, middle, Qt::LeftButton);
            editor.mouse(QEvent::MouseButtonRelease, middle, Qt::NoButton);
            drain();
            const double doubleClick = threadCpuMs() - cpu0;
            cpu0 = threadCpuMs();
            editor.mouse(QEvent::MouseButtonPress, middle, Qt::LeftButton);
            for (int step = 1; step <= 10; ++step) editor.mouse(QEvent::MouseMove, middle + QPoint(5 * step, 15 * step), Qt::LeftButton);
            editor.mouse(QEvent::MouseButtonRelease, middle + QPoint(50, 150), Qt::NoButton);
            drain();
            const double drag = threadCpuMs() - cpu0;
            state.counters[std::string(place) + "_click_cpu_ms"] = median(clicks);
            state.counters[std::string(place) + "_double_click_cpu_ms"] = doubleClick;
            state.counters[std::string(place) + "_drag_cpu_ms"] = drag;
            worstClick = std::max(worstClick, *std::max_element(clicks.begin(), clicks.end()));
            worstDouble = std::max(worstDouble, doubleClick);
            worstDrag = std::max(worstDrag, drag);
        };
        settle();
        state.counters["background_cpu_ms"] = backgroundCpu;
        measure("top", 200);
        measure("middle", text.size() / 2);
        measure("end", text.size() - 200);
        state.counters["click_worst_cpu_ms"] = worstClick;
        state.counters["double_click_worst_cpu_ms"] = worstDouble;
        state.counters["drag_worst_cpu_ms"] = worstDrag;
        state.SetIterationTime(worstClick / 1000);
    }
    state.SetLabel(text_shapes::name(shape));
}

void shapeArguments(benchmark::internal::Benchmark* bench) {
    for (const text_shapes::Shape shape : text_shapes::measured())
        for (const int megabytes : {1, 10, 100}) bench->Args({int(shape), megabytes});
}

// A sample for the real-window measurement.
QString sample(const QString& kind, qsizetype size) {
    for (const text_shapes::Shape shape : text_shapes::measured())
        if (kind == QLatin1String(text_shapes::name(shape))) return text_shapes::make(shape, size);
    return {};
}

} // namespace

BENCHMARK(textShapes)->Apply(shapeArguments)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(clickPlaces)
    ->Apply([](benchmark::internal::Benchmark* bench) {
        for (const text_shapes::Shape shape : text_shapes::measured())
            if (shape != text_shapes::Shape::emptyLines)
                for (const int megabytes : {1, 200}) bench->Args({int(shape), megabytes});
    })
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (writeRequestedSample(argc, argv, sample)) return 0;
    return runWidgetBenchmarks(argc, argv);
}
