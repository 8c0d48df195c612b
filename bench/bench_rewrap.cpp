// The editor's lines wrapped again on texts of several shapes at 10 MB (and 100 MB with
// BRIMEL_BENCH_100MB=1): the view made narrower and wider again, and the font size setting one step
// up and back down. For each, the longest turn of the event loop from the change until everything it
// started is done (how long a key typed meanwhile would wait), that time, and the blocks of the display
// read for joined lines or handed to the stock layout to forget meanwhile: none of these may grow
// with the file.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "../tests/support/TextShapes.h"
#include "AppState.h"
#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Platform/SettingsStore.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/Editor/DisplayRelease.h"
#include "Views/Editor/WrappingTextLayout.h"
#include "Workspace/EditorDocument.h"

#include "SettleAfter.h"
#include "ShapeEditor.h"
#include "WidgetBenchMain.h"

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

void rewrap(benchmark::State& state) {
    const auto shape = text_shapes::Shape(state.range(0));
    const qsizetype megabytes = state.range(1);
    if (megabytes >= 100 && qEnvironmentVariableIsEmpty("BRIMEL_BENCH_100MB")) {
        state.SkipWithError("100 MB only with BRIMEL_BENCH_100MB=1");
        return;
    }
    QTemporaryDir settings;
    SettingsStore::shared().setFilePath(settings.filePath(QStringLiteral("settings.json")));
    SettingsStore::shared().setValue(SettingsKey::fontSize, 13);
    for (auto _ : state) {
        releaseEarlierDisplays();
        Editor editor(text_shapes::make(shape, megabytes * kMegabyte), text_shapes::fileName(shape));
        editor.view->repaint();
        drain();
        editor.view->coordinator()->showAll();
        drain();
        CodeEditorCoordinator& coordinator = *editor.view->coordinator();
        QElapsedTimer clock;
        clock.start();
        settleAfter(coordinator, clock, 0, nullptr, true);
        const auto* layout = qobject_cast<WrappingTextLayout*>(editor.view->document()->documentLayout());
        const auto measure = [&](const std::string& name, const std::function<void()>& change) {
            const qsizetype reads = layout->blocksReadForJoins(), forgotten = layout->forgottenBlocks();
            clock.restart();
            change();
            const double first = msSince(clock);
            const Settled settled = settleAfter(coordinator, clock, first, nullptr, true);
            state.counters[name + "_worst_turn_ms"] = settled.worstTurnMs;
            state.counters[name + "_ms"] = settled.ms;
            state.counters[name + "_blocks_read"] = double(layout->blocksReadForJoins() - reads + layout->forgottenBlocks() - forgotten);
        };
        measure("narrower", [&] { editor.view->resize(700, 700); });
        measure("wider", [&] { editor.view->resize(900, 700); });
        measure("font_up", [] { SettingsStore::shared().setValue(SettingsKey::fontSize, 14); });
        measure("font_down", [] { SettingsStore::shared().setValue(SettingsKey::fontSize, 13); });
        state.counters["blocks"] = editor.view->document()->blockCount();
        state.SetIterationTime(0.001);
    }
    state.SetLabel(text_shapes::name(shape));
}

} // namespace

BENCHMARK(rewrap)
    ->Apply([](benchmark::internal::Benchmark* bench) {
        using text_shapes::Shape;
        for (const Shape shape : {Shape::code, Shape::wordList, Shape::prose, Shape::minified, Shape::emptyLines})
            for (const int megabytes : {10, 100})
                if (!(shape == Shape::emptyLines && megabytes >= 100)) bench->Args({int(shape), megabytes});
    })
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
