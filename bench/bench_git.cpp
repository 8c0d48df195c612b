// One full refresh of GitService against "git status --porcelain" alone, on a generated
// repository of 20,000 files of which 500 are changed; and the diff view over a 5 MB file
// rewritten whole: how soon its first lines show, how long the window ever stalls meanwhile,
// and how long until all of it is parsed, against "git diff" of the same file alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "AppState.h"
#include "Git/GitService.h"
#include "Platform/ResourceBundle.h"
#include "Views/SourceControl/DiffView.h"

namespace {

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 100;  // 20,000 files
constexpr int kChangedEvery = 40;     // 500 changed

bool git(const QString& dir, const QStringList& arguments) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("git"), arguments);
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "git %s failed: %s\n", qPrintable(arguments.join(u' ')), p.readAll().constData());
        return false;
    }
    return true;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

// Generated once per process.
const QString& benchRepository() {
    static QTemporaryDir dir;
    static const QString path = [] {
        qputenv("GIT_CONFIG_GLOBAL", "/dev/null");
        qputenv("GIT_CONFIG_NOSYSTEM", "1");
        qputenv("GIT_AUTHOR_NAME", "Bench");
        qputenv("GIT_AUTHOR_EMAIL", "bench@example.invalid");
        qputenv("GIT_COMMITTER_NAME", "Bench");
        qputenv("GIT_COMMITTER_EMAIL", "bench@example.invalid");
        const QString root = dir.path() + QStringLiteral("/repo");
        QDir().mkpath(root);
        for (int d = 0; d < kFolders; ++d) {
            const QString folder = QStringLiteral("%1/module%2").arg(root).arg(d);
            QDir().mkpath(folder);
            for (int f = 0; f < kFilesPerFolder; ++f)
                writeFile(QStringLiteral("%1/file%2.txt").arg(folder).arg(f),
                          QByteArray("line of content ") + QByteArray::number(d * kFilesPerFolder + f) + '\n');
        }
        git(root, {"init", "-q"});
        git(root, {"add", "-A"});
        git(root, {"commit", "-q", "-m", "generated"});
        int changed = 0;
        for (int i = 0; i < kFolders * kFilesPerFolder; i += kChangedEvery, ++changed)
            writeFile(QStringLiteral("%1/module%2/file%3.txt").arg(root).arg(i / kFilesPerFolder).arg(i % kFilesPerFolder),
                      "changed\n");
        // Settle the index once so both measurements see the same steady state.
        git(root, {"status", "--porcelain"});
        std::fprintf(stderr, "generated %d files, %d changed, in %s\n", kFolders * kFilesPerFolder, changed,
                     qPrintable(root));
        return root;
    }();
    return path;
}

struct Timing {
    double totalNs = 0;
    double iterations = 0;
    double mean() const { return iterations > 0 ? totalNs / iterations : 0; }
};
Timing g_refresh, g_status;

void BM_GitServiceRefresh(benchmark::State& state) {
    const QString& root = benchRepository();
    GitService service;
    QEventLoop loop;
    service.attach(root, [&] { loop.quit(); });
    loop.exec();
    if (service.changes().size() != kFolders * kFilesPerFolder / kChangedEvery) {
        state.SkipWithError("unexpected number of changes");
        return;
    }
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        service.refresh([&] { loop.quit(); });
        loop.exec();
        g_refresh.totalNs += timer.nsecsElapsed();
        g_refresh.iterations += 1;
        benchmark::DoNotOptimize(service.changes().size());
    }
    state.counters["changes"] = double(service.changes().size());
}
BENCHMARK(BM_GitServiceRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();

// git run alone in the repository, as the peer of what the program does with its output.
void timeGit(benchmark::State& state, const QString& root, const QStringList& arguments, Timing& timing) {
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        QProcess p;
        p.setWorkingDirectory(root);
        p.start(QStringLiteral("git"), arguments);
        p.waitForFinished(-1);
        benchmark::DoNotOptimize(p.readAllStandardOutput().size());
        timing.totalNs += double(timer.nsecsElapsed());
        timing.iterations += 1;
    }
}

void BM_GitStatusPorcelain(benchmark::State& state) {
    timeGit(state, benchRepository(), {QStringLiteral("status"), QStringLiteral("--porcelain")}, g_status);
}
BENCHMARK(BM_GitStatusPorcelain)->Unit(benchmark::kMillisecond)->UseRealTime();

// A repository holding one 5 MB file of 100,000 lines, every line of it rewritten.
constexpr int kRewriteLines = 100000;
const QString& rewriteRepository() {
    static QTemporaryDir dir;
    static const QString path = [] {
        benchRepository();  // the identity and configuration
        const QString root = dir.path() + QStringLiteral("/rewrite");
        QDir().mkpath(root);
        QByteArray before, after;
        for (int i = 0; i < kRewriteLines; ++i) {
            before += QByteArray("the original text of line ") + QByteArray::number(i) + QByteArray(20, 'a') + '\n';
            after += QByteArray("every line is different now ") + QByteArray::number(i) + QByteArray(20, 'b') + '\n';
        }
        writeFile(root + QStringLiteral("/big.txt"), before);
        git(root, {"init", "-q"});
        git(root, {"add", "-A"});
        git(root, {"commit", "-q", "-m", "big"});
        writeFile(root + QStringLiteral("/big.txt"), after);
        std::fprintf(stderr, "rewrote %d lines (%lld bytes) in %s\n", kRewriteLines, qlonglong(after.size()),
                     qPrintable(root));
        return root;
    }();
    return path;
}

Timing g_firstLines, g_complete, g_gitDiff;
double g_worstStallMs = 0;

void BM_DiffViewWholeFileRewrite(benchmark::State& state) {
    const QString& root = rewriteRepository();
    AppState app;
    QEventLoop loop;
    app.git().attach(root, [&] { loop.quit(); });
    loop.exec();
    const GitFileChange change{QStringLiteral("big.txt"), u' ', u'M', {}};
    for (auto _ : state) {
        // The longest time the window's event loop went without a turn.
        QElapsedTimer sinceTick;
        double worst = 0;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            worst = std::max(worst, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.start();
        });
        QElapsedTimer timer;
        timer.start();
        sinceTick.start();
        ticker.start();
        DiffView view(app, change);
        double firstNs = -1;
        while (view.lines().size() < 2 * kRewriteLines) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (firstNs < 0 && !view.isLoading()) firstNs = double(timer.nsecsElapsed());
            if (timer.elapsed() > 120000) {
                state.SkipWithError("the diff never arrived whole");
                return;
            }
        }
        g_complete.totalNs += double(timer.nsecsElapsed());
        g_complete.iterations += 1;
        g_firstLines.totalNs += firstNs;
        g_firstLines.iterations += 1;
        ticker.stop();
        g_worstStallMs = std::max(g_worstStallMs, worst);
        state.counters["first_lines_ms"] = firstNs / 1e6;
        state.counters["worst_stall_ms"] = worst;
    }
}
BENCHMARK(BM_DiffViewWholeFileRewrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_GitDiffWholeFileRewrite(benchmark::State& state) {
    timeGit(state, rewriteRepository(), {QStringLiteral("diff"), QStringLiteral("--"), QStringLiteral("big.txt")},
            g_gitDiff);
}
BENCHMARK(BM_GitDiffWholeFileRewrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    ResourceBundle::setOverridePath(QStringLiteral(BRIMEL_BUNDLE_DIR));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (g_refresh.iterations > 0 && g_status.iterations > 0)
        std::printf("full refresh %.2f ms, git status --porcelain %.2f ms, ratio %.2f\n", g_refresh.mean() / 1e6,
                    g_status.mean() / 1e6, g_refresh.mean() / g_status.mean());
    if (g_firstLines.iterations > 0 && g_gitDiff.iterations > 0)
        std::printf("5 MB rewrite: first lines %.1f ms, whole diff %.1f ms, worst stall %.1f ms; git diff alone %.1f ms\n",
                    g_firstLines.mean() / 1e6, g_complete.mean() / 1e6, g_worstStallMs, g_gitDiff.mean() / 1e6);
    benchmark::Shutdown();
    return 0;
}
