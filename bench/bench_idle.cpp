// What an editor window costs at rest: CPU time per wall second of a 1280x820 window with a file
// open (alone, with the find bar, with quick open, with project search results), and of the
// welcome screen, each over 10 s once start-up has settled. The same is read for a peer editor
// (kate under Xvfb, when installed) on the same file, so both figures come from one run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/RootView.h"
#include "Platform/ResourceBundle.h"
#include "Platform/SettingsStore.h"
#include "WhatsNew.h"

#include "SampleProject.h"
#include "WidgetBenchMain.h"

namespace {

constexpr int kSettleMs = 3000;
constexpr int kMeasureMs = 10000;

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A folder with one source file that fills the editor.
struct Sample : SampleProject {
    Sample()
        : SampleProject("main.js", 400,
                        QStringLiteral("function item%1(value, other) { return value * %1 + other.length; } // note %1")) {}
};

Sample& sample() {
    static Sample s;
    return s;
}

// What the window shows while it rests.
enum class Scene { welcome, workbench, findBar, quickOpen, projectSearch, covered };

// Opens what scene shows over the workbench and lets it come to rest.
void openOver(MainWindow* window, Scene scene) {
    AppState& state = window->state();
    switch (scene) {
    case Scene::findBar:
        state.findState().setQuery(QStringLiteral("value"));
        state.setFindOpen(true);
        break;
    case Scene::quickOpen: state.setQuickOpenOpen(true); break;
    case Scene::projectSearch: {
        state.setProjectSearchOpen(true);
        auto* search = qobject_cast<ProjectSearchView*>(window->rootView()->overlay(RootView::Overlay::projectSearch));
        if (!search) break;
        search->setQuery(QStringLiteral("value"));
        search->runSearch();
        QElapsedTimer waited;
        waited.start();
        while ((search->isSearching() || search->hits().isEmpty()) && waited.elapsed() < 30000) runFor(50);
        break;
    }
    default: break;
    }
}

// Percent of one core the window uses at rest: a workbench with the sample file open (and what
// scene opens over it), or the welcome screen.
double windowAtRest(Scene scene) {
    const bool workbench = scene != Scene::welcome;
    SettingsStore::shared().setFilePath(sample().dir.path() + (workbench ? "/workbench.json" : "/welcome.json"));
    SettingsStore::shared().setValue(SettingsKey::onboarded, workbench);
    // At rest: no release-notes sheet over the window.
    SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
    MainWindow* window = WindowManager::shared().openWindow(workbench ? std::optional(sample().folder) : std::nullopt);
    window->resize(1280, 820);
    window->show();
    runFor(300);
    if (workbench) window->state().open(sample().file);
    runFor(300);
    openOver(window, scene);
    // Another window wholly over this one: nothing of it shows.
    std::unique_ptr<QWidget> cover;
    if (scene == Scene::covered) {
        cover = std::make_unique<QWidget>();
        cover->setGeometry(window->geometry().adjusted(-50, -80, 50, 50));
        cover->show();
        cover->raise();
    }
    runFor(kSettleMs);
    const double cpu = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(kMeasureMs);
    const double percent = (processCpuSeconds() - cpu) / (double(wall.nsecsElapsed()) / 1e9) * 100;
    window->closeWithoutAsking();
    // Gone before the next scene: a closed window is deleted later, by the loop that closed it,
    // which here is none; left alive, it would go on costing the scenes measured after it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    runFor(100);
    return percent;
}

// The pid of the process named name that descends from root, or 0.
pid_t descendantNamed(pid_t root, const QByteArray& name) {
    const auto statOf = [](const QString& pid) {
        QFile f("/proc/" + pid + "/stat");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const pid_t pid = pid_t(entry.toInt(&numeric));
        if (!numeric) continue;
        const QByteArray stat = statOf(entry);
        if (!stat.contains("(" + name + ")")) continue;
        for (pid_t p = pid; p > 1;) {
            if (p == root) return pid;
            const QByteArray s = statOf(QString::number(p));
            const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
            if (fields.size() < 2) break;
            p = pid_t(fields[1].toInt());
        }
    }
    return 0;
}

// utime + stime of pid in seconds.
double cpuSecondsOf(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Percent of one core the peer uses at rest on the sample file, or nothing when it cannot be run.
std::optional<double> peerAtRest(QString* why) {
    if (QStandardPaths::findExecutable("kate").isEmpty() || QStandardPaths::findExecutable("xvfb-run").isEmpty()) {
        *why = "kate or xvfb-run not installed";
        return std::nullopt;
    }
    QTemporaryDir home;
    QProcess xvfb;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    xvfb.setProcessEnvironment(env);
    xvfb.setProgram("xvfb-run");
    xvfb.setArguments({"-a", "-s", "-screen 0 1280x820x24", "kate", "-n", sample().file});
    xvfb.start();
    if (!xvfb.waitForStarted()) {
        *why = "xvfb-run did not start";
        return std::nullopt;
    }
    pid_t pid = 0;
    for (int i = 0; i < 100 && !pid; ++i) {
        runFor(100);
        pid = descendantNamed(pid_t(xvfb.processId()), "kate");
    }
    std::optional<double> percent;
    if (pid) {
        runFor(kSettleMs + 3000);  // it loads plugins and the file after its window shows
        const double cpu = cpuSecondsOf(pid);
        QElapsedTimer wall;
        wall.start();
        runFor(kMeasureMs);
        const double after = cpuSecondsOf(pid);
        if (cpu >= 0 && after >= 0) percent = (after - cpu) / (double(wall.nsecsElapsed()) / 1e9) * 100;
        kill(pid, SIGTERM);
    }
    if (!xvfb.waitForFinished(10000)) {
        xvfb.terminate();
        if (!xvfb.waitForFinished(5000)) xvfb.kill();
    }
    if (!percent) *why = "kate did not start";
    return percent;
}

void atRest(benchmark::State& state, Scene scene) {
    for (auto _ : state) state.counters["cpu_percent_of_core"] = windowAtRest(scene);
}
BENCHMARK_CAPTURE(atRest, workbench, Scene::workbench)->Name("BM_WorkbenchAtRest")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(atRest, findBar, Scene::findBar)
    ->Name("BM_WorkbenchWithFindBarAtRest")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(atRest, quickOpen, Scene::quickOpen)
    ->Name("BM_WorkbenchWithQuickOpenAtRest")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(atRest, projectSearch, Scene::projectSearch)
    ->Name("BM_WorkbenchWithSearchResultsAtRest")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(atRest, welcome, Scene::welcome)->Name("BM_WelcomeAtRest")->Iterations(1)->Unit(benchmark::kSecond);

// The workbench wholly behind another window. Only a windowing system says a window is covered:
// run under xvfb-run with QT_QPA_PLATFORM=xcb.
void BM_CoveredWorkbenchAtRest(benchmark::State& state) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        state.SkipWithError("a covered window needs X: run under xvfb-run with QT_QPA_PLATFORM=xcb");
        return;
    }
    atRest(state, Scene::covered);
}
BENCHMARK(BM_CoveredWorkbenchAtRest)->Iterations(1)->Unit(benchmark::kSecond);

void BM_PeerKateAtRest(benchmark::State& state) {
    for (auto _ : state) {
        QString why;
        const auto percent = peerAtRest(&why);
        if (!percent) {
            state.SkipWithError(why.toUtf8().constData());
            return;
        }
        state.counters["cpu_percent_of_core"] = *percent;
    }
}
BENCHMARK(BM_PeerKateAtRest)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
