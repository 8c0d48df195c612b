// One full refresh of GitService against "git status --porcelain" alone, on a generated
// repository of 20,000 files of which 500 are changed.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "Git/GitService.h"

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

void BM_GitStatusPorcelain(benchmark::State& state) {
    const QString& root = benchRepository();
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        QProcess p;
        p.setWorkingDirectory(root);
        p.start(QStringLiteral("git"), {QStringLiteral("status"), QStringLiteral("--porcelain")});
        p.waitForFinished(-1);
        benchmark::DoNotOptimize(p.readAllStandardOutput().size());
        g_status.totalNs += timer.nsecsElapsed();
        g_status.iterations += 1;
    }
}
BENCHMARK(BM_GitStatusPorcelain)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (g_refresh.iterations > 0 && g_status.iterations > 0)
        std::printf("full refresh %.2f ms, git status --porcelain %.2f ms, ratio %.2f\n", g_refresh.mean() / 1e6,
                    g_status.mean() / 1e6, g_refresh.mean() / g_status.mean());
    benchmark::Shutdown();
    return 0;
}
