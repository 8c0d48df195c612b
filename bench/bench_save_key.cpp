// A key typed right after a save of a large file is started: the UI thread's time for the key,
// while the save is reading the text, and (for comparison) with the text held by another owner,
// which the key then has to copy.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <memory>

#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "WidgetBenchMain.h"
#include "Workspace/EditorDocument.h"
#include "Workspace/TextFingerprint.h"
#include "Platform/TextFile.h"

namespace {

QString words(qsizetype units) {
    static const QString line = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda\n");
    QString text = line.repeated(units / line.size() + 1);
    text.truncate(units);
    return text;
}

void typeKey(QWidget* view, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(view, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(view, &release);
}

void settle() {
    for (int i = 0; i < 8; ++i) QApplication::processEvents();
}

// range(0): megabytes; range(1): 1 = a save reads the text, 2 = a save has read it, 0 = another
// owner holds it.
void BM_KeyAfterSave(benchmark::State& state) {
    const qsizetype units = state.range(0) * 1024 * 1024;
    const bool saving = state.range(1) >= 1;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    QString content = words(units);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) state.SkipWithError("no file");
        file.write(content.toUtf8());
    }
    EditorDocument document(path, content);
    content = QString();
    FindState find;
    EditorController controller;
    auto view = std::make_unique<CodeEditorView>(&document, &find, &controller);
    view->resize(800, 600);
    view->show();
    settle();
    view->coordinator()->setSelection({10, 0});
    typeKey(view.get(), QStringLiteral("z"));  // the first edit lets go of the text as opened
    settle();
    bool finished = false;
    QObject::connect(&document, &EditorDocument::saveFinished, [&] { finished = true; });
    for (auto _ : state) {
        finished = false;
        QString held;
        if (saving) document.saveInBackground();
        else held = document.text();
        if (state.range(1) == 2) document.awaitSaveRead();
        QElapsedTimer timer;
        timer.start();
        typeKey(view.get(), QStringLiteral("y"));
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        held = QString();
        while (saving && !finished) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        settle();
    }
}
BENCHMARK(BM_KeyAfterSave)->Args({100, 1})->Args({200, 1})->Args({200, 2})->Args({100, 0})->Args({200, 0})
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// What a save reads before it lets go of the text: its bytes (0), its print (1), or both in one
// pass on one thread (2).
void BM_SaveRead(benchmark::State& state) {
    const QString text = words(state.range(0) * 1024 * 1024);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (state.range(1) == 0) {
            benchmark::DoNotOptimize(TextFile::encodeUtf8(text));
        } else if (state.range(1) == 1) {
            benchmark::DoNotOptimize(TextFingerprint::of(text));
        } else {
            // The same read in one pass on one thread, for comparison.
            QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
            benchmark::DoNotOptimize(encoder.encode(text));
            benchmark::DoNotOptimize(QStringView(text).isValidUtf16());
            benchmark::DoNotOptimize(qHash(text));
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_SaveRead)->Args({200, 0})->Args({200, 1})->Args({200, 2})->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
