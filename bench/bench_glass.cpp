// What a frame costs while glass comes, goes or moves over a window of dense code, at 1040x720
// and 2560x1440: quick open's entrance, the find bar's entrance (it slides in from the top) and
// its widening for Replace, and the welcome screen's card over its moving backdrop. Every repaint
// of the window is timed; worst_ms is the longest. The peer, kate, draws no glass: it has no
// figure here. With BRIMEL_GLASS_SHOTS set to a folder, a picture of each scene at rest is kept.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <functional>
#include <optional>
#include <vector>

#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "Editor/FindState.h"
#include "Platform/SettingsStore.h"
#include "Views/FindBar.h"
#include "Views/OverlayTransition.h"
#include "Views/RootView.h"
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

// Long lines of code filling every row of the editor, the backdrop that is hardest to read over.
struct Sample : SampleProject {
    Sample()
        : SampleProject("dense.js", 600,
                        QStringLiteral("const line%1 = items.filter((x) => x.size > %1).map((x) => ({ name: x.name, total: "
                                       "x.total * %1, tabbed: '\\tline' })); // every line of the file is long")) {}
};

Sample& sample() {
    static Sample s;
    return s;
}

// Times each repaint of one window: the whole of what it redraws in one pass.
class FrameTimer : public QObject {
public:
    explicit FrameTimer(QWidget* window) : window_(window) { window->installEventFilter(this); }
    ~FrameTimer() override { stop(); }
    void stop() {
        if (window_) window_->removeEventFilter(this);
        window_ = nullptr;
    }
    std::vector<double> frames;     // wall time, ms
    std::vector<double> cpuFrames;  // the UI thread's own time, without what other processes took

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::UpdateRequest || inside_) return false;
        inside_ = true;
        QElapsedTimer clock;
        clock.start();
        const double cpu = threadCpuMs();
        QCoreApplication::sendEvent(watched, event);
        cpuFrames.push_back(threadCpuMs() - cpu);
        frames.push_back(double(clock.nsecsElapsed()) / 1e6);
        inside_ = false;
        return true;
    }

private:
    QWidget* window_;
    bool inside_ = false;
};

QSize sizeFor(int width) { return width >= 2560 ? QSize(2560, 1440) : QSize(1040, 720); }

MainWindow* openWindow(QSize size) {
    SettingsStore::shared().setFilePath(sample().dir.path() + "/settings.json");
    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
    MainWindow* window = WindowManager::shared().openWindow(sample().folder);
    window->resize(size);
    window->show();
    runFor(300);
    window->state().open(sample().file);
    runFor(1000);
    return window;
}

void keepShot(MainWindow* window, const QString& scene) {
    const QString folder = qEnvironmentVariable("BRIMEL_GLASS_SHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    window->grab().save(QStringLiteral("%1/%2-%3x%4.png").arg(folder, scene).arg(window->width()).arg(window->height()));
}

void report(benchmark::State& state, const FrameTimer& timer) {
    std::vector<double> frames = timer.frames, cpu = timer.cpuFrames;
    if (frames.empty()) {
        state.SkipWithError("no frame was drawn");
        return;
    }
    std::sort(frames.begin(), frames.end());
    std::sort(cpu.begin(), cpu.end());
    state.counters["frames"] = double(frames.size());
    state.counters["median_ms"] = frames[frames.size() / 2];
    state.counters["worst_ms"] = frames.back();
    state.counters["median_cpu_ms"] = cpu[cpu.size() / 2];
    state.counters["worst_cpu_ms"] = cpu.back();
}

// Runs the event loop until done() holds (or 10 s pass), then a little longer for the last frames.
void runUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 10000) runFor(5);
    runFor(100);
}

// Times the repaints of window while scene runs; then runs afterwards, closes the window and reports.
void timeFrames(benchmark::State& state, MainWindow* window, const std::function<void()>& scene,
                const std::function<void()>& afterwards) {
    FrameTimer timer(window);
    scene();
    timer.stop();
    afterwards();
    window->closeWithoutAsking();
    runFor(100);
    report(state, timer);
}

void BM_QuickOpenEntrance(benchmark::State& state) {
    for (auto _ : state) {
        MainWindow* window = openWindow(sizeFor(int(state.range(0))));
        AppState& app = window->state();
        timeFrames(
            state, window,
            [&] {
                app.setQuickOpenOpen(true);
                QWidget* overlay = window->rootView()->overlay(RootView::Overlay::quickOpen);
                runUntil([&] { return overlay && !OverlayTransition::isMoving(overlay); });
            },
            [&] {
                keepShot(window, "quick-open");
                app.setQuickOpenOpen(false);
                app.setPaletteOpen(true);
                runFor(600);
                keepShot(window, "command-palette");
            });
    }
}
BENCHMARK(BM_QuickOpenEntrance)->Arg(1040)->Arg(2560)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FindBarEntranceAndWidening(benchmark::State& state) {
    for (auto _ : state) {
        MainWindow* window = openWindow(sizeFor(int(state.range(0))));
        FindState& find = window->state().findState();
        timeFrames(
            state, window,
            [&] {
                find.setQuery(QStringLiteral("line"));
                window->state().setFindOpen(true);
                FindBar* bar = window->rootView()->findBar();
                runUntil([&] { return bar && !OverlayTransition::isMoving(bar); });
                keepShot(window, "find-bar");
                find.setShowReplace(true);
                runUntil([&] { return bar->currentBarWidth() == FindBar::barWidth(true); });
            },
            [&] { keepShot(window, "find-replace"); });
    }
}
BENCHMARK(BM_FindBarEntranceAndWidening)->Arg(1040)->Arg(2560)->Iterations(1)->Unit(benchmark::kMillisecond);

// The welcome screen's glass card over the full-strength backdrop, which moves under it at every
// frame: what each of those frames costs, the glass's reading of what lies behind included.
void BM_WelcomeFrames(benchmark::State& state) {
    for (auto _ : state) {
        SettingsStore::shared().setFilePath(sample().dir.path() + "/welcome.json");
        SettingsStore::shared().setValue(SettingsKey::onboarded, false);
        MainWindow* window = WindowManager::shared().openWindow(std::nullopt);
        window->resize(sizeFor(int(state.range(0))));
        window->show();
        runFor(2500);  // past the entrance of its rows
        timeFrames(state, window, [] { runFor(2000); }, [&] { keepShot(window, "welcome"); });
    }
}
BENCHMARK(BM_WelcomeFrames)->Arg(1040)->Arg(2560)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
