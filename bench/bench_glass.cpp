// What a frame costs while glass comes, goes or moves over a window of dense code, at 1040x720 and
// 2560x1440: quick open's entrance, the find bar's entrance, the find bar widening for Replace,
// and the window resized under open quick open (its card moves and reads what lies behind it
// again). Every repaint of the window is timed; worst_ms is the longest. The peer, kate, draws no
// glass: it has no figure here. With BRIMEL_GLASS_SHOTS set to a folder, a picture of each scene
// at rest is kept there.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "Editor/FindState.h"
#include "Platform/SettingsStore.h"
#include "Views/FindBar.h"
#include "Views/RootView.h"
#include "WhatsNew.h"

#include "WidgetBenchMain.h"

namespace {

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Long lines of code filling every row of the editor, the backdrop that is hardest to read over.
struct Sample {
    QTemporaryDir dir;
    QString folder = dir.path() + "/project";
    QString file = folder + "/dense.js";
    Sample() {
        QDir().mkpath(folder);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        for (int i = 0; i < 600; ++i)
            f.write(QStringLiteral("const line%1 = items.filter((x) => x.size > %1).map((x) => ({ name: x.name, total: "
                                   "x.total * %1, tabbed: '\\tline' })); // every line of the file is long\n")
                        .arg(i)
                        .toUtf8());
    }
};

Sample& sample() {
    static Sample s;
    return s;
}

// Times each repaint of one window: the whole of what it redraws in one pass.
class FrameTimer : public QObject {
public:
    explicit FrameTimer(QWidget* window) : window_(window) { window->installEventFilter(this); }
    ~FrameTimer() override {
        if (window_) window_->removeEventFilter(this);
    }
    std::vector<double> frames;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::UpdateRequest || inside_) return false;
        inside_ = true;
        QElapsedTimer clock;
        clock.start();
        QCoreApplication::sendEvent(watched, event);
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

void report(benchmark::State& state, std::vector<double> frames) {
    if (frames.empty()) {
        state.SkipWithError("no frame was drawn");
        return;
    }
    std::sort(frames.begin(), frames.end());
    state.counters["frames"] = double(frames.size());
    state.counters["median_ms"] = frames[frames.size() / 2];
    state.counters["worst_ms"] = frames.back();
}

// Runs the event loop until done() holds (or 10 s pass), then a little longer for the last frames.
void runUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 10000) runFor(5);
    runFor(100);
}

void BM_QuickOpenEntrance(benchmark::State& state) {
    for (auto _ : state) {
        MainWindow* window = openWindow(sizeFor(int(state.range(0))));
        std::vector<double> frames;
        {
            FrameTimer timer(window);
            window->state().setQuickOpenOpen(true);
            QWidget* overlay = window->rootView()->overlay(RootView::Overlay::quickOpen);
            runUntil([&] { return overlay && !overlay->graphicsEffect(); });
            frames = timer.frames;
        }
        keepShot(window, "quick-open");
        window->state().setPaletteOpen(false);
        window->state().setQuickOpenOpen(false);
        window->state().setPaletteOpen(true);
        runFor(600);
        keepShot(window, "command-palette");
        window->closeWithoutAsking();
        runFor(100);
        report(state, frames);
    }
}
BENCHMARK(BM_QuickOpenEntrance)->Arg(1040)->Arg(2560)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FindBarEntranceAndWidening(benchmark::State& state) {
    for (auto _ : state) {
        MainWindow* window = openWindow(sizeFor(int(state.range(0))));
        std::vector<double> frames;
        {
            FrameTimer timer(window);
            window->state().findState().setQuery(QStringLiteral("line"));
            window->state().setFindOpen(true);
            FindBar* bar = window->rootView()->findBar();
            runUntil([&] { return bar && !bar->graphicsEffect(); });
            keepShot(window, "find-bar");
            window->state().findState().setShowReplace(true);
            runUntil([&] { return bar->currentBarWidth() == FindBar::barWidth(true); });
            frames = timer.frames;
        }
        keepShot(window, "find-replace");
        window->closeWithoutAsking();
        runFor(100);
        report(state, frames);
    }
}
BENCHMARK(BM_FindBarEntranceAndWidening)->Arg(1040)->Arg(2560)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_QuickOpenWhileTheWindowResizes(benchmark::State& state) {
    for (auto _ : state) {
        const QSize size = sizeFor(int(state.range(0)));
        MainWindow* window = openWindow(size);
        window->state().setQuickOpenOpen(true);
        QWidget* overlay = window->rootView()->overlay(RootView::Overlay::quickOpen);
        runUntil([&] { return overlay && !overlay->graphicsEffect(); });
        std::vector<double> frames;
        {
            FrameTimer timer(window);
            for (int i = 1; i <= 30; ++i) {
                window->resize(size - QSize(4 * (i % 10), 2 * (i % 10)));
                runFor(5);
            }
            frames = timer.frames;
        }
        window->closeWithoutAsking();
        runFor(100);
        report(state, frames);
    }
}
BENCHMARK(BM_QuickOpenWhileTheWindowResizes)->Arg(1040)->Arg(2560)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
