// What one frame of the animations costs in a 1280x820 workbench with a file open: the shared
// clock is stepped by hand (its time too, so every run draws the same moments) and each frame's
// repaint is let happen, timed as the UI thread's CPU. Frames on which the backdrop moves are
// counted apart from those on which only the status dot pulses.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QEventLoop>
#include <QTimer>
#include <ctime>
#include <optional>

#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "Platform/SettingsStore.h"
#include "UI/AuroraBackground.h"
#include "UI/Timeline.h"
#include "WhatsNew.h"

#include "SampleProject.h"
#include "ThreadCpu.h"
#include "WidgetBenchMain.h"

namespace {

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Sample : SampleProject {
    Sample()
        : SampleProject("main.js", 400,
                        QStringLiteral("function item%1(value, other) { return value * %1 + other.length; } // note %1")) {}
};

void BM_WorkbenchFrame(benchmark::State& state) {
    static Sample sample;
    SettingsStore::shared().setFilePath(sample.dir.path() + "/frames.json");
    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
    double now = 1000;
    Timeline::setClock([&] { return now; });
    MainWindow* window = WindowManager::shared().openWindow(std::optional(sample.folder));
    window->resize(1280, 820);
    window->show();
    runFor(300);
    window->state().open(sample.file);
    runFor(1500);
    const auto* aurora = window->findChild<AuroraBackground*>();
    constexpr int kFrames = 600;
    double backdropMs = 0, otherMs = 0;
    int backdropFrames = 0, otherFrames = 0;
    for (auto _ : state) {
        for (int i = 0; i < kFrames; ++i) {
            now += Timeline::kFrameIntervalMs / 1000.0;
            const double before = aurora ? aurora->frameTime() : 0;
            const double cpu = threadCpuMs();
            Timeline::advanceClock();
            // The window asks for its repaint on a short timer of its own: waiting costs no CPU.
            runFor(12);
            const double spent = threadCpuMs() - cpu;
            if (aurora && aurora->frameTime() != before) {
                backdropMs += spent;
                ++backdropFrames;
            } else {
                otherMs += spent;
                ++otherFrames;
            }
        }
    }
    // What the screen shows after those frames and one more backdrop frame at a set moment, for
    // comparing builds: the same moment must give the same picture.
    if (const QByteArray path = qgetenv("BRIMEL_FRAMES_GRAB"); !path.isEmpty() && aurora) {
        now = 2000;
        for (int i = 0; i < 12 && aurora->frameTime() != now; ++i) {
            Timeline::advanceClock();
            runFor(12);
        }
        runFor(100);
        window->screen()->grabWindow(window->winId()).save(QString::fromLocal8Bit(path));
    }
    state.counters["ms_per_backdrop_frame"] = backdropFrames ? backdropMs / backdropFrames : 0;
    state.counters["ms_per_other_frame"] = otherFrames ? otherMs / otherFrames : 0;
    state.counters["backdrop_frames"] = backdropFrames;
    window->closeWithoutAsking();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Timeline::setClock({});
}
BENCHMARK(BM_WorkbenchFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
