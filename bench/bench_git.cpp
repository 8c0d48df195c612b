// One full refresh of GitService against "git status --porcelain" alone, on a generated
// repository of 20,000 files of which 500 are changed; and the diff view over a 5 MB file
// rewritten whole: how soon its first lines show, how long the window ever stalls meanwhile,
// and how long until all of it is parsed, against "git diff" of the same file alone.
// The source-control panel over 1,000, 5,000 and 20,000 new files: a refresh until its first
// rows are drawn, a click on a row, a page of scrolling, and the window's CPU at rest beside one
// change, against "git status" of the same repository; and the branch popover's filter over
// 3,000 branches, a typed key and a cleared filter, against "git for-each-ref"; and the reading
// of a 20,000-change status listing holding one name that is not UTF-8; and the check for
// conflict markers before a commit in a merge stopped on 2,000 and 20,000 conflicted files,
// against "git diff --check".
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/resource.h>

#include "AppState.h"
#include "Git/GitService.h"
#include "Git/ProcessText.h"
#include "Platform/ResourceBundle.h"
#include "Platform/SettingsStore.h"
#include "Views/RootView.h"
#include "Views/SourceControl/BranchPopover.h"
#include "Views/SourceControl/ChangeListView.h"
#include "Views/SourceControl/ChangeRowDelegate.h"
#include "Views/SourceControl/DiffView.h"
#include "Views/SourceControl/SourceControlPanel.h"

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

// A folder of that name made once per process by make, with git's identity and configuration set.
const QString& generated(const QString& name, const std::function<void(const QString&)>& make) {
    static QMap<QString, QString> made;
    static QTemporaryDir dir;
    if (made.contains(name)) return made[name];
    benchRepository();  // the identity and configuration
    const QString root = dir.path() + u'/' + name;
    QDir().mkpath(root);
    make(root);
    return made[name] = root;
}

// A repository with one commit and count new files, 100 to a folder; generated once per count.
const QString& newFilesRepository(int count) {
    return generated(QStringLiteral("new%1").arg(count), [count](const QString& root) {
        writeFile(root + QStringLiteral("/README.md"), "hello\n");
        git(root, {"init", "-q"});
        git(root, {"add", "-A"});
        git(root, {"commit", "-q", "-m", "first"});
        for (int i = 0; i < count; ++i) {
            const QString folder = QStringLiteral("%1/part%2").arg(root).arg(i / 100);
            if (i % 100 == 0) QDir().mkpath(folder);
            writeFile(QStringLiteral("%1/new%2.txt").arg(folder).arg(i), "new\n");
        }
        // Untracked files inside folders are listed one by one only with this setting.
        git(root, {"config", "status.showUntrackedFiles", "all"});
        git(root, {"status", "--porcelain"});
    });
}

void waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 600000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

// A source-control panel the size of a sidebar, shown, over a repository that has been read.
struct ShownPanel {
    AppState app;
    SourceControlPanel panel{app};
    explicit ShownPanel(const QString& root) {
        panel.resize(320, 720);
        panel.show();
        bool attached = false;
        app.git().attach(root, [&] { attached = true; });
        waitFor([&] { return attached; });
        QCoreApplication::processEvents();
    }
    // Draws what is on screen now, as the next frame would.
    void frame() {
        QCoreApplication::processEvents();  // the list lays itself out in a posted event
        panel.changeList()->viewport()->repaint();
    }
};

QMap<int, Timing> g_afterPublish;  // from the published changes to the drawn rows
QMap<int, Timing> g_firstRows, g_rowClick, g_scroll, g_statusOf;

void BM_ChangeListFirstRows(benchmark::State& state) {
    const int count = int(state.range(0));
    const QString& root = newFilesRepository(count);
    ShownPanel shown(root);
    if (shown.app.git().changes().size() != count) {
        state.SkipWithError("unexpected number of changes");
        return;
    }
    QElapsedTimer timer;
    const QString extra = root + QStringLiteral("/extra.txt");
    for (auto _ : state) {
        // One file more or less each time, so every reading changes the lists and fills them anew.
        if (QFile::exists(extra)) QFile::remove(extra);
        else writeFile(extra, "x\n");
        bool refreshed = false;
        qint64 publishedNs = 0;
        const QMetaObject::Connection published = QObject::connect(
            &shown.app.git(), &GitService::changesChanged, [&] { publishedNs = timer.nsecsElapsed(); });
        timer.start();
        shown.app.git().refresh([&] { refreshed = true; });
        waitFor([&] { return refreshed; });
        ChangeRowDelegate::paintedRows = 0;
        shown.frame();
        QObject::disconnect(published);
        g_firstRows[count].totalNs += double(timer.nsecsElapsed());
        g_afterPublish[count].totalNs += double(timer.nsecsElapsed() - publishedNs);
        g_afterPublish[count].iterations += 1;
        g_firstRows[count].iterations += 1;
        if (ChangeRowDelegate::paintedRows == 0) state.SkipWithError("no rows were drawn");
    }
    QFile::remove(extra);
    state.counters["changes"] = double(count);
}
BENCHMARK(BM_ChangeListFirstRows)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The lists alone, without git: new changes in, first rows drawn.
void BM_ChangeListFill(benchmark::State& state) {
    const int count = int(state.range(0));
    QList<GitFileChange> lists[2];
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < 2; ++k)
            lists[k].append({QStringLiteral("part%1/new%2-%3.txt").arg(i / 100).arg(i).arg(k), u'?', u'?', {}});
    AppState app;
    ChangeListView list(app);
    list.resize(320, 720);
    list.show();
    int k = 0;
    for (auto _ : state) {
        list.setChanges(lists[k++ % 2]);
        QCoreApplication::processEvents();
        list.viewport()->repaint();
    }
}
BENCHMARK(BM_ChangeListFill)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GitStatusOfNewFiles(benchmark::State& state) {
    const int count = int(state.range(0));
    timeGit(state, newFilesRepository(count), {QStringLiteral("status"), QStringLiteral("--porcelain=v1"), QStringLiteral("-z")},
            g_statusOf[count]);
}
BENCHMARK(BM_GitStatusOfNewFiles)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ChangeListClick(benchmark::State& state) {
    const int count = int(state.range(0));
    ShownPanel shown(newFilesRepository(count));
    ChangeListView* list = shown.panel.changeList();
    QElapsedTimer timer;
    int i = 0;
    for (auto _ : state) {
        const QPoint at = list->rowRect(1 + (i++ % 5)).center();
        timer.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        shown.frame();
        g_rowClick[count].totalNs += double(timer.nsecsElapsed());
        g_rowClick[count].iterations += 1;
    }
    if (!shown.app.activeDiff()) state.SkipWithError("the click chose no change");
}
BENCHMARK(BM_ChangeListClick)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChangeListScrollPage(benchmark::State& state) {
    const int count = int(state.range(0));
    ShownPanel shown(newFilesRepository(count));
    QScrollBar* bar = shown.panel.changeList()->verticalScrollBar();
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        bar->setValue(bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep());
        shown.frame();
        g_scroll[count].totalNs += double(timer.nsecsElapsed());
        g_scroll[count].iterations += 1;
    }
}
BENCHMARK(BM_ChangeListScrollPage)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QMap<int, double> g_idle;

// Percent of a core a whole window uses at rest with the source-control panel showing.
void BM_SourceControlWindowAtRest(benchmark::State& state) {
    const int count = int(state.range(0));
    const QString& root = newFilesRepository(count);
    QTemporaryDir settings;
    SettingsStore::shared().setFilePath(settings.path() + QStringLiteral("/settings.json"));
    for (auto _ : state) {
        QMainWindow window;
        auto* app = new AppState(&window);
        window.setCentralWidget(new RootView(*app, {}, &window));
        window.resize(1280, 820);
        window.show();
        app->openFolder(root);
        app->setSidebar(SidebarPanel::sourceControl);
        waitFor([&] { return app->git().changes().size() == count; });
        QEventLoop settle;
        QTimer::singleShot(2000, &settle, &QEventLoop::quit);
        settle.exec();
        const double cpu = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop rest;
        QTimer::singleShot(5000, &rest, &QEventLoop::quit);
        rest.exec();
        g_idle[count] = (processCpuSeconds() - cpu) / (double(wall.nsecsElapsed()) / 1e9) * 100;
        state.counters["cpu_percent_of_core"] = g_idle[count];
    }
}
BENCHMARK(BM_SourceControlWindowAtRest)->Arg(1)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);

constexpr int kBranches = 3000;
const QString& branchRepository() {
    static QTemporaryDir dir;
    static const QString path = [] {
        benchRepository();
        const QString root = dir.path() + QStringLiteral("/branches");
        QDir().mkpath(root);
        writeFile(root + QStringLiteral("/README.md"), "hello\n");
        git(root, {"init", "-q"});
        git(root, {"add", "-A"});
        git(root, {"commit", "-q", "-m", "first"});
        QProcess p;
        p.setWorkingDirectory(root);
        p.start(QStringLiteral("git"), {QStringLiteral("update-ref"), QStringLiteral("--stdin")});
        p.waitForStarted();
        for (int i = 0; i < kBranches; ++i)
            p.write(QStringLiteral("create refs/heads/feature/topic-%1 HEAD\n").arg(i, 4, 10, QChar(u'0')).toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(-1);
        return root;
    }();
    return path;
}

Timing g_filterKey, g_filterClear, g_forEachRef;

void BM_BranchFilterKey(benchmark::State& state) {
    AppState app;
    bool attached = false;
    app.git().attach(branchRepository(), [&] { attached = true; });
    waitFor([&] { return attached; });
    if (app.git().branches().size() < kBranches) {
        state.SkipWithError("unexpected number of branches");
        return;
    }
    QWidget anchor;
    anchor.show();
    BranchPopover* popover = BranchPopover::show(app, &anchor);
    QLineEdit* field = popover->filterField();
    QElapsedTimer timer;
    for (auto _ : state) {
        // A typed key narrows the list; taking it back shows every branch again.
        timer.start();
        QTest::keyClick(field, Qt::Key_1);
        QCoreApplication::processEvents();
        popover->repaint();
        if (popover->shownNames().size() >= kBranches) state.SkipWithError("the filter did not narrow the list");
        g_filterKey.totalNs += double(timer.nsecsElapsed());
        g_filterKey.iterations += 1;
        timer.start();
        QTest::keyClick(field, Qt::Key_Backspace);
        QCoreApplication::processEvents();
        popover->repaint();
        g_filterClear.totalNs += double(timer.nsecsElapsed());
        g_filterClear.iterations += 1;
    }
    popover->close();
}
BENCHMARK(BM_BranchFilterKey)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GitForEachRefBranches(benchmark::State& state) {
    timeGit(state, branchRepository(),
            {QStringLiteral("for-each-ref"), QStringLiteral("--format=%(refname:short)\t%(upstream:short)"),
             QStringLiteral("refs/heads")},
            g_forEachRef);
}
BENCHMARK(BM_GitForEachRefBranches)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading a status listing of that many changes with one name that is not UTF-8 among them: the
// part of a refresh spent on the main thread after git, against git status of as many new files.
void BM_StatusListingWithOneNameNotUtf8(benchmark::State& state) {
    QByteArray listing;
    for (int i = 0; i < state.range(0); ++i) {
        listing += "1 .M N... 100644 100644 100644 e69de29 e69de29 src/f " + QByteArray::number(i) + ".txt" + '\0';
        if (i == state.range(0) / 2) listing += QByteArray("? odd/caf\xe9.txt") + '\0';
    }
    for (auto _ : state) benchmark::DoNotOptimize(GitService::parseStatus(ProcessText::decodeExact(listing)).changes.size());
}
BENCHMARK(BM_StatusListingWithOneNameNotUtf8)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A merge stopped with that many files in conflict, each holding its markers.
const QString& conflictRepository(int files) {
    return generated(QStringLiteral("conflicts%1").arg(files), [files](const QString& root) {
        QDir().mkpath(root + QStringLiteral("/d"));
        const auto writeAll = [&](const QByteArray& first) {
            for (int i = 0; i < files; ++i) writeFile(QStringLiteral("%1/d/f%2.txt").arg(root).arg(i), first + "\nline\n");
        };
        writeAll("base");
        git(root, {"init", "-q"});
        git(root, {"add", "-A"});
        git(root, {"commit", "-q", "-m", "base"});
        git(root, {"checkout", "-q", "-b", "other"});
        writeAll("theirs");
        git(root, {"commit", "-q", "-a", "-m", "theirs"});
        git(root, {"checkout", "-q", "-"});
        writeAll("ours");
        git(root, {"commit", "-q", "-a", "-m", "ours"});
        QProcess merge;  // fails, as it should: the conflicts are the point
        merge.setWorkingDirectory(root);
        merge.start(QStringLiteral("git"), {QStringLiteral("merge"), QStringLiteral("-q"), QStringLiteral("other")});
        merge.waitForFinished(-1);
    });
}

QMap<int, Timing> g_conflictCheck, g_diffCheck;

// The check a commit makes for conflict markers left in the work tree (on the main thread once
// git has answered), against "git diff --check" alone.
void BM_ConflictMarkerCheck(benchmark::State& state) {
    const int files = int(state.range(0));
    GitService service;
    QEventLoop loop;
    service.attach(conflictRepository(files), [&] { loop.quit(); });
    loop.exec();
    QElapsedTimer timer;
    qsizetype marked = 0;
    for (auto _ : state) {
        timer.start();
        service.conflictMarkers(true, [&](const QStringList& paths) {
            marked = paths.size();
            loop.quit();
        });
        loop.exec();
        g_conflictCheck[files].totalNs += double(timer.nsecsElapsed());
        g_conflictCheck[files].iterations += 1;
    }
    if (marked != files) state.SkipWithError("not every conflicted file was found");
}
BENCHMARK(BM_ConflictMarkerCheck)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_GitDiffCheck(benchmark::State& state) {
    const int files = int(state.range(0));
    timeGit(state, conflictRepository(files), {QStringLiteral("diff"), QStringLiteral("--check"), QStringLiteral("HEAD")},
            g_diffCheck[files]);
}
BENCHMARK(BM_GitDiffCheck)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

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
    for (int count : g_firstRows.keys())
        std::printf("%d new files: first rows %.1f ms (of it after the published changes %.1f ms; git status %.1f ms, "
                    "ratio %.2f), click %.2f ms, page scroll %.2f ms\n",
                    count, g_firstRows[count].mean() / 1e6, g_afterPublish[count].mean() / 1e6, g_statusOf[count].mean() / 1e6,
                    g_statusOf[count].mean() > 0 ? g_firstRows[count].mean() / g_statusOf[count].mean() : 0,
                    g_rowClick[count].mean() / 1e6, g_scroll[count].mean() / 1e6);
    for (int count : g_idle.keys()) std::printf("window at rest with %d changes: %.1f %% of a core\n", count, g_idle[count]);
    if (g_filterKey.iterations > 0)
        std::printf("%d branches: filter key %.2f ms, cleared filter %.2f ms; git for-each-ref %.1f ms\n", kBranches,
                    g_filterKey.mean() / 1e6, g_filterClear.mean() / 1e6, g_forEachRef.mean() / 1e6);
    for (int files : g_conflictCheck.keys())
        std::printf("%d conflicted files: marker check %.1f ms; git diff --check %.1f ms\n", files,
                    g_conflictCheck[files].mean() / 1e6, g_diffCheck[files].mean() / 1e6);
    benchmark::Shutdown();
    return 0;
}
