// Memory of a window that opens many large documents in tabs and closes them again: what the
// process holds before, while they are open, and after they are all closed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QMainWindow>
#include <QTemporaryDir>

#include "AppState.h"
#include "BenchWindow.h"
#include "Platform/ResourceBundle.h"
#include "Workspace/EditorDocument.h"

#include "WidgetBenchMain.h"

namespace {

// A field of the process's memory summary, in megabytes: "Rss" is all resident memory, including
// clean pages of libraries the kernel can drop; "Private_Dirty" is what the process itself holds.
double megabytes(const QByteArray& field) {
    QFile rollup(QStringLiteral("/proc/self/smaps_rollup"));
    if (!rollup.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : rollup.readAll().split('\n'))
        if (line.startsWith(field + ':')) return line.mid(field.size() + 1).simplified().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// A few turns of a real event loop, as the running program has, so deferred deletions happen.
void settle() {
    for (int i = 0; i < 3; ++i) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// 100 tabs of 2 MB source files, each shown in the editor as it opens, then every tab closed.
// Target: after closing, resident memory within 20% of the figure before opening.
void BM_OpenAndCloseTabs(benchmark::State& state) {
    const int count = int(state.range(0));
    QTemporaryDir dir;
    QString text;
    for (int i = 0; text.size() < 2 * 1024 * 1024; ++i)
        text += QStringLiteral("function f%1(a, b) { return a + b * %1; } // \"note\" %1\n").arg(i);
    for (int i = 0; i < count; ++i) {
        QFile file(dir.filePath(QStringLiteral("file%1.js").arg(i)));
        if (!file.open(QIODevice::WriteOnly)) state.SkipWithError("cannot write the sample files");
        file.write(text.toUtf8());
    }
    text.clear();

    for (auto _ : state) {
        QMainWindow window;
        AppState* app = &showRootView(window);
        settle();
        const double before = megabytes("Rss");
        const double privateBefore = megabytes("Private_Dirty");
        for (int i = 0; i < count; ++i) {
            app->open(dir.filePath(QStringLiteral("file%1.js").arg(i)));
            settle();
        }
        const double open = megabytes("Rss");
        while (!app->documents().isEmpty()) {
            app->close(app->documents().back());
            settle();
        }
        const double after = megabytes("Rss");
        const double privateAfter = megabytes("Private_Dirty");
        state.counters["before_MB"] = before;
        state.counters["open_MB"] = open;
        state.counters["closed_MB"] = after;
        state.counters["closed_vs_before"] = before > 0 ? after / before : 0;
        state.counters["private_before_MB"] = privateBefore;
        state.counters["private_closed_MB"] = privateAfter;
    }
}
BENCHMARK(BM_OpenAndCloseTabs)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
