// Project search and quick open's filter on generated data: a tree of 20,000 files (about 126 MB,
// mostly ASCII source, a few files with accented, CJK and emoji lines), a tree of 200,000 small
// files, a folder of 20,000 entries and a list of 100,000 paths; and search on a real tree
// (/usr/share, or BRIMEL_BENCH_REAL_TREE). The terminal tools that do the same jobs are timed in
// the same run when installed: rg -F -n (all cores and -j1) and grep -rnF for the search, rg --files
// and find for the file list, ls -v for the folder, fzy -e for the filter.
// Targets, listing included: search ≤ 1× rg on all cores and ≤ 1× grep on one core, the first query
// of a fresh process included; first results on screen within 100 ms and no main-thread stall over
// 16 ms while a search runs; the file list ≤ 1.2× rg --files and find; listing and sorting the folder
// ≤ 1.2× ls -v; one keystroke's filtering over 100,000 names ≤ 10 ms median.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "AppState.h"
#include "Views/Navigation/FuzzyNames.h"
#include "Views/Navigation/ProjectSearch.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/Navigation/QuickOpenView.h"
#include "Workspace/FileNode.h"

namespace {

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 100;  // 20,000 files
constexpr int kRareHits = 39;
const QString kRare = QStringLiteral("QuokkaRendezvous");

const char* const kWords[] = {"int",    "return", "const",  "auto",   "value",  "result", "buffer", "index",
                              "render", "config", "update", "layout", "widget", "string", "count",  "offset",
                              "for",    "if",     "while",  "struct", "static", "void",   "size_t", "std::vector"};
const char* const kUnicodeLines[] = {"// Größe der Straße, café au lait\n", "// 検索結果を表示する 😀\n",
                                     "// İstanbul e\xcc\x81te\xcc\x81 naïve\n", "// Ωmega ſ ﬀ K\n"};

// Generated trees are kept between runs (making and removing 200,000 files takes minutes): each
// one is made again only when its marker is missing.
QString cacheFolder(const QString& name, const std::function<void(const QString&)>& make) {
    const QString base = qEnvironmentVariableIsEmpty("BRIMEL_BENCH_DIR")
                             ? QDir::tempPath() + QStringLiteral("/brimel-bench-search-1")
                             : qEnvironmentVariable("BRIMEL_BENCH_DIR");
    const QString folder = base + u'/' + name, marker = folder + QStringLiteral(".complete");
    if (!QFile::exists(marker)) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        make(folder);
        QFile(marker).open(QIODevice::WriteOnly);
    }
    return folder;
}

struct Tree {
    QString root;
    QStringList files;
    qint64 bytes = 0;
};

// Generated once per process: the same bytes every run.
const Tree& benchTree() {
    static const Tree tree = [] {
        Tree t;
        t.root = cacheFolder(QStringLiteral("tree"), [](const QString& root) {
            std::mt19937 rng(126);
            std::vector<int> rareFiles;
            for (int i = 0; i < kRareHits; ++i) rareFiles.push_back(int(rng() % (kFolders * kFilesPerFolder)));
            for (int d = 0; d < kFolders; ++d) {
                const QString folder = QStringLiteral("%1/module%2").arg(root).arg(d);
                QDir().mkpath(folder);
                for (int f = 0; f < kFilesPerFolder; ++f) {
                    const int id = d * kFilesPerFolder + f;
                    QByteArray text;
                    const int target = 1000 + int(rng() % 11600);  // about 6.3 kB on average
                    while (text.size() < target) {
                        if (rng() % 400 == 0) {
                            text += kUnicodeLines[rng() % 4];
                            continue;
                        }
                        text += QByteArray(int(rng() % 4) * 4, ' ');
                        for (int w = 0, n = 3 + int(rng() % 8); w < n; ++w) {
                            text += kWords[rng() % std::size(kWords)];
                            text += w + 1 < n ? " " : ";\n";
                        }
                    }
                    for (int r : rareFiles)
                        if (r == id) text += "    call(" + kRare.toLatin1() + ");\n";
                    const QString path = QStringLiteral("%1/file%2.cpp").arg(folder).arg(f);
                    QFile out(path);
                    if (out.open(QIODevice::WriteOnly)) out.write(text);
                }
            }
        });
        FileNode(t.root).allFiles(t.files);
        for (const QString& file : std::as_const(t.files)) t.bytes += QFileInfo(file).size();
        std::fprintf(stderr, "generated %lld files, %.1f MB, in %s\n", static_cast<long long>(t.files.size()),
                     double(t.bytes) / 1e6, qPrintable(t.root));
        return t;
    }();
    return tree;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    if (out.open(QIODevice::WriteOnly)) out.write(bytes);
}

// 200,000 small files in four groups of 50,000 (100 folders of 500 each), the rare word in a few.
constexpr int kBigGroups = 4, kBigFolders = 100, kBigFilesPerFolder = 500, kBigRareHits = 17;
const Tree& bigTree() {
    static const Tree tree = [] {
        Tree t;
        t.root = cacheFolder(QStringLiteral("big"), [](const QString& root) {
            std::mt19937 rng(200);
            const int total = kBigGroups * kBigFolders * kBigFilesPerFolder;
            std::vector<int> rareFiles;
            for (int i = 0; i < kBigRareHits; ++i) rareFiles.push_back(int(rng() % total));
            int id = 0;
            for (int g = 0; g < kBigGroups; ++g) {
                for (int d = 0; d < kBigFolders; ++d) {
                    const QString folder = QStringLiteral("%1/group%2/dir%3").arg(root).arg(g).arg(d);
                    QDir().mkpath(folder);
                    for (int f = 0; f < kBigFilesPerFolder; ++f, ++id) {
                        QByteArray text;
                        const int target = 200 + int(rng() % 1000);
                        while (text.size() < target) {
                            for (int w = 0, n = 3 + int(rng() % 8); w < n; ++w) {
                                text += kWords[rng() % std::size(kWords)];
                                text += w + 1 < n ? " " : ";\n";
                            }
                        }
                        if (std::find(rareFiles.begin(), rareFiles.end(), id) != rareFiles.end())
                            text += "    call(" + kRare.toLatin1() + ");\n";
                        writeFile(QStringLiteral("%1/src%2.c").arg(folder).arg(f), text);
                    }
                }
            }
        });
        std::fprintf(stderr, "200,000-file tree in %s\n", qPrintable(t.root));
        return t;
    }();
    return tree;
}
QString bigGroup() { return bigTree().root + QStringLiteral("/group0"); }

// One folder of 20,000 entries: numbered names in mixed case, some folders among them; in the mixed
// folder one name in a hundred carries an accented, CJK or emoji word.
void makeWideFolder(const QString& root, bool mixed) {
    static const char* const odd[] = {"café", "Größe", "检索", "😀", "naïve", "Émile"};
    std::mt19937 rng(20);
    for (int i = 0; i < 20'000; ++i) {
        QString name = QStringLiteral("%1%2_%3").arg(QString::fromLatin1(kWords[rng() % std::size(kWords)]))
                           .arg(rng() % 500).arg(i);
        if (mixed && i % 100 == 7) name += u'_' + QString::fromUtf8(odd[(i / 100) % std::size(odd)]);
        if (i % 50 == 0) QDir().mkpath(root + u'/' + name.toUpper());
        else writeFile(root + u'/' + name + QStringLiteral(".txt"), {});
    }
}
const QString& wideFolder() {
    static const QString folder = cacheFolder(QStringLiteral("wide"), [](const QString& root) { makeWideFolder(root, false); });
    return folder;
}
const QString& wideMixedFolder() {
    static const QString folder =
        cacheFolder(QStringLiteral("wide-mixed"), [](const QString& root) { makeWideFolder(root, true); });
    return folder;
}

const QString& realTree() {
    static const QString root = qEnvironmentVariableIsEmpty("BRIMEL_BENCH_REAL_TREE")
                                    ? QStringLiteral("/usr/share")
                                    : qEnvironmentVariable("BRIMEL_BENCH_REAL_TREE");
    return root;
}

const QStringList& benchPaths() {
    static const QStringList paths = [] {
        static const char* const parts[] = {"src",    "util",  "render", "config", "core",  "view", "model",
                                            "net",    "io",    "parser", "widget", "test",  "lib",  "engine",
                                            "shader", "cache", "plugin", "theme",  "index", "sync"};
        static const char* const odd[] = {"straße", "café", "e\xcc\x81te\xcc\x81", "İnfo", "検索", "😀"};
        static const char* const exts[] = {".cpp", ".h", ".py", ".md", ".json", ".ts", ".rs", ".go"};
        std::mt19937 rng(100);
        QStringList out;
        out.reserve(100'000);
        for (int i = 0; i < 100'000; ++i) {
            QString path = QStringLiteral("/work/project");
            for (int d = 0, n = 2 + int(rng() % 4); d < n; ++d)
                path += u'/' + QString::fromUtf8(parts[rng() % std::size(parts)]);
            QString name = QString::fromUtf8(parts[rng() % std::size(parts)]) + u'_' +
                           QString::fromUtf8(parts[rng() % std::size(parts)]);
            if (rng() % 50 == 0) name += u'_' + QString::fromUtf8(odd[rng() % std::size(odd)]);
            out << path + u'/' + name + QString::number(i % 97) + QString::fromUtf8(exts[rng() % std::size(exts)]);
        }
        return out;
    }();
    return paths;
}

QStringList fileNames(const QStringList& paths) {
    QStringList names;
    for (const QString& p : paths) names << p.sliced(p.lastIndexOf(u'/') + 1);
    return names;
}

// Median wall time of a whole peer process, output discarded; negative when it is missing.
double peerMs(const QString& program, const QStringList& arguments, const QString& input = {}, int runs = 7) {
    if (QStandardPaths::findExecutable(program).isEmpty()) return -1;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        if (!input.isEmpty()) p.setStandardInputFile(input);
        QElapsedTimer timer;
        timer.start();
        p.start(program, arguments);
        p.waitForFinished(-1);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<double> g_searchAll, g_searchOne, g_withListing, g_withListingOne, g_keystroke, g_viewRows, g_viewKeystroke;
double g_idleStall = 0, g_startCall = 0, g_firstResults = 0, g_allResults = 0, g_longestStall = 0, g_prepare = 0;

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void searchBench(benchmark::State& state, int threads, std::vector<double>& into) {
    const Tree& tree = benchTree();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const ProjectSearch::Result r = ProjectSearch::search(kRare, tree.files, {}, threads);
        into.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (r.hits.size() != kRareHits) state.SkipWithError("unexpected number of hits");
    }
    state.SetBytesProcessed(state.iterations() * tree.bytes);
}

void BM_ProjectSearchAllCores(benchmark::State& state) { searchBench(state, 0, g_searchAll); }
BENCHMARK(BM_ProjectSearchAllCores)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(9);

void BM_ProjectSearchOneCore(benchmark::State& state) { searchBench(state, 1, g_searchOne); }

// Listing the folder as quick open does, then searching: what the overlay's Return costs.
void BM_ProjectSearchWithListing(benchmark::State& state) {
    const Tree& tree = benchTree();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const ProjectSearch::Result r = ProjectSearch::searchFolder(kRare, tree.root);
        g_withListing.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (r.hits.size() != kRareHits) state.SkipWithError("unexpected number of hits");
    }
}
BENCHMARK(BM_ProjectSearchWithListing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(9);

// The same on one thread: what a user waits for on a machine with one core free, beside grep.
void BM_ProjectSearchWithListingOneCore(benchmark::State& state) {
    const Tree& tree = benchTree();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const ProjectSearch::Result r = ProjectSearch::searchFolder(kRare, tree.root, {}, 1);
        g_withListingOne.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (r.hits.size() != kRareHits) state.SkipWithError("unexpected number of hits");
    }
}
BENCHMARK(BM_ProjectSearchWithListingOneCore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ProjectSearchOneCore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The longest stretch in which a 1 ms timer on the main thread did not run, between start() and
// the loop quitting; tick runs on each of its turns.
double longestStall(QEventLoop& loop, const std::function<void()>& start, const std::function<void()>& tick = {}) {
    QElapsedTimer sinceTick;
    double stall = 0;
    QTimer probe;
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        stall = std::max(stall, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
        if (tick) tick();
    });
    probe.start();
    sinceTick.start();
    start();
    loop.exec();
    return std::max(stall, double(sinceTick.nsecsElapsed()) / 1e6);
}

// The overlay as the user drives it: Return to search, then the list on screen, measuring the
// main thread's longest stall meanwhile; and, for comparison, the same wait with nothing running.
void BM_ProjectSearchOverlay(benchmark::State& state) {
    const Tree& tree = benchTree();
    AppState app;
    app.openFolder(tree.root);
    for (auto _ : state) {
        ProjectSearchView view(app);
        view.resize(1000, 700);
        view.show();
        view.setQuery(kRare);
        view.repaint();  // its first paint is not the search's
        QEventLoop loop;
        QObject::connect(&view, &ProjectSearchView::searchFinished, &loop, &QEventLoop::quit);
        QElapsedTimer total;
        double first = -1;
        // A timer turn after the rows went in: the window has painted them by then.
        const auto shown = [&] {
            if (first < 0 && !view.hits().isEmpty()) first = double(total.nsecsElapsed()) / 1e6;
        };
        g_longestStall = std::max(g_longestStall, longestStall(
                                                      loop,
                                                      [&] {
                                                          total.start();
                                                          view.runSearch();
                                                          g_startCall = std::max(g_startCall, double(total.nsecsElapsed()) / 1e6);
                                                      },
                                                      shown));
        g_allResults = std::max(g_allResults, double(total.nsecsElapsed()) / 1e6);
        g_firstResults = std::max(g_firstResults, first < 0 ? g_allResults : first);
        if (view.hits().size() != kRareHits) state.SkipWithError("unexpected number of hits");

        QEventLoop idle;
        QTimer::singleShot(100, &idle, &QEventLoop::quit);
        g_idleStall = std::max(g_idleStall, longestStall(idle, [] {}));
    }
}
BENCHMARK(BM_ProjectSearchOverlay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_QuickOpenPrepare(benchmark::State& state) {
    const QStringList names = fileNames(benchPaths());
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        FuzzyNames prepared(names);
        benchmark::DoNotOptimize(prepared.size());
        g_prepare = double(timer.nsecsElapsed()) / 1e6;
    }
}
BENCHMARK(BM_QuickOpenPrepare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Typing a few queries letter by letter, as the overlay filters on every keystroke.
void BM_QuickOpenKeystroke(benchmark::State& state) {
    FuzzyNames prepared(fileNames(benchPaths()));
    const QStringList typed = {"e", "cfg", "utilrndr", "zzq", "straße", "検索", "render_config42.cpp"};
    for (auto _ : state) {
        for (const QString& query : typed) {
            for (qsizetype n = 1; n <= query.size(); ++n) {
                QElapsedTimer timer;
                timer.start();
                benchmark::DoNotOptimize(prepared.filter(query.first(n), 60).size());
                g_keystroke.push_back(double(timer.nsecsElapsed()) / 1e6);
            }
        }
    }
}
BENCHMARK(BM_QuickOpenKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// The overlay's whole keystroke on the generated tree: filtering and rebuilding the rows.
void BM_QuickOpenViewKeystroke(benchmark::State& state) {
    const Tree& tree = benchTree();
    AppState app;
    app.openFolder(tree.root);
    app.setQuickOpenOpen(true);
    QuickOpenView view(app);
    view.resize(1000, 700);
    view.show();
    const QString typed = QStringLiteral("file42.cpp");
    for (auto _ : state) {
        for (qsizetype n = 0; n <= typed.size(); ++n) {
            QElapsedTimer timer;
            timer.start();
            view.setQuery(typed.first(n));
            g_viewRows.push_back(double(timer.nsecsElapsed()) / 1e6);
            QCoreApplication::processEvents();  // and painted
            g_viewKeystroke.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
}
BENCHMARK(BM_QuickOpenViewKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

std::vector<double> g_bigAll, g_bigOne, g_list50k, g_list200k, g_wide, g_wideMixed, g_realAll, g_realOne, g_refreshWide;

void timed(benchmark::State& state, std::vector<double>& into, const std::function<qsizetype()>& work,
           qsizetype expected = -1) {
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const qsizetype got = work();
        into.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (expected >= 0 && got != expected) state.SkipWithError("unexpected count");
    }
}

void BM_ProjectSearch200kAllCores(benchmark::State& state) {
    timed(state, g_bigAll, [] { return ProjectSearch::searchFolder(kRare, bigTree().root).hits.size(); }, kBigRareHits);
}
BENCHMARK(BM_ProjectSearch200kAllCores)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ProjectSearch200kOneCore(benchmark::State& state) {
    timed(state, g_bigOne, [] { return ProjectSearch::searchFolder(kRare, bigTree().root, {}, 1).hits.size(); },
          kBigRareHits);
}
BENCHMARK(BM_ProjectSearch200kOneCore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ProjectSearchRealTreeAllCores(benchmark::State& state) {
    timed(state, g_realAll, [] { return ProjectSearch::searchFolder(kRare, realTree()).hits.size(); });
}
BENCHMARK(BM_ProjectSearchRealTreeAllCores)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ProjectSearchRealTreeOneCore(benchmark::State& state) {
    timed(state, g_realOne, [] { return ProjectSearch::searchFolder(kRare, realTree(), {}, 1).hits.size(); });
}
BENCHMARK(BM_ProjectSearchRealTreeOneCore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The file list behind quick open and project search.
qsizetype fileListSize(const QString& root) {
    QStringList files;
    FileNode(root).allFiles(files);
    return files.size();
}
void BM_FileList50k(benchmark::State& state) {
    timed(state, g_list50k, [] { return fileListSize(bigGroup()); }, kBigFolders * kBigFilesPerFolder);
}
BENCHMARK(BM_FileList50k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);

void BM_FileList200k(benchmark::State& state) {
    timed(state, g_list200k, [] { return fileListSize(bigTree().root); },
          kBigGroups * kBigFolders * kBigFilesPerFolder);
}
BENCHMARK(BM_FileList200k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Opening a folder of 20,000 entries in the explorer: listed and sorted for display.
qsizetype listFolder(const QString& folder) {
    FileNode node(folder);
    node.loadChildren();
    return node.children()->size();
}
void BM_ListFolder20k(benchmark::State& state) {
    timed(state, g_wide, [] { return listFolder(wideFolder()); }, 20'000);
}
BENCHMARK(BM_ListFolder20k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);

void BM_ListFolder20kMixed(benchmark::State& state) {
    timed(state, g_wideMixed, [] { return listFolder(wideMixedFolder()); }, 20'000);
}
BENCHMARK(BM_ListFolder20kMixed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);

// The same folder, open in the explorer, listed again after a change somewhere under the open folder.
void BM_RefreshFolder20k(benchmark::State& state) {
    FileNode node(wideFolder());
    node.loadChildren();
    timed(state, g_refreshWide, [&node] {
        node.refreshLoaded();
        return node.children()->size();
    }, 20'000);
}
BENCHMARK(BM_RefreshFolder20k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);

// The first search of a fresh process, from the call to the last hit, and the peer's whole process,
// run in turn so that both see the same load: the medians over several pairs.
struct Paired {
    double ours = 0, peer = 0;
};
Paired firstQueryVs(const QString& root, int threads, const QString& peer, const QStringList& peerArguments,
                    int runs = 7) {
    std::vector<double> ours, theirs;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {"--first-query", root, kRare, QString::number(threads)});
        p.waitForFinished(-1);
        bool ok = false;
        const double ms = QString::fromLatin1(p.readAllStandardOutput()).section(u' ', 0, 0).toDouble(&ok);
        if (ok) ours.push_back(ms);
        theirs.push_back(peerMs(peer, peerArguments, {}, 1));
    }
    return {median(ours), median(theirs)};
}

// The folder listed here and by the peer in turn, so that both see the same load: the medians.
Paired listingVs(const QString& folder, int runs = 9) {
    std::vector<double> ours, theirs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        listFolder(folder);
        ours.push_back(double(timer.nsecsElapsed()) / 1e6);
        theirs.push_back(peerMs("ls", {"-v", folder}, {}, 1));
    }
    return {median(ours), median(theirs)};
}

int firstQueryChild(const QString& root, const QString& query, int threads) {
    QElapsedTimer timer;
    timer.start();
    const ProjectSearch::Result r = ProjectSearch::searchFolder(query, root, {}, threads);
    std::printf("%.3f %lld\n", double(timer.nsecsElapsed()) / 1e6, static_cast<long long>(r.hits.size()));
    return 0;
}

void printRatio(const char* what, double ours, const char* peer, double theirs, double target) {
    std::printf("%s: %.1f ms (%s %.1f ms, ratio %.2f; target %.1f)\n", what, ours, peer, theirs,
                theirs > 0 ? ours / theirs : 0.0, target);
}

void printScale() {
    const Tree& big = bigTree();
    const QString rareLatin = kRare;
    const double rgBig = peerMs("rg", {"-F", "-n", rareLatin, big.root}, {}, 5);
    const double grepBig = peerMs("grep", {"-rnF", rareLatin, big.root}, {}, 3);
    const double rgReal = peerMs("rg", {"-F", "-n", rareLatin, realTree()}, {}, 5);
    const double grepReal = peerMs("grep", {"-rnF", rareLatin, realTree()}, {}, 3);
    std::printf("\nfirst query of a fresh process, listing included (peers run in turn with it):\n");
    const auto pairedRatio = [](const char* what, const Paired& p, const char* peer) {
        printRatio(what, p.ours, peer, p.peer, 1.0);
    };
    pairedRatio("  20,000 files, all cores", firstQueryVs(benchTree().root, 0, "rg", {"-F", "-n", rareLatin, benchTree().root}),
                "rg -F -n");
    pairedRatio("  20,000 files, one core", firstQueryVs(benchTree().root, 1, "grep", {"-rnF", rareLatin, benchTree().root}),
                "grep -rnF");
    pairedRatio("  200,000 files, all cores", firstQueryVs(big.root, 0, "rg", {"-F", "-n", rareLatin, big.root}, 5),
                "rg -F -n");
    pairedRatio("  200,000 files, one core", firstQueryVs(big.root, 1, "grep", {"-rnF", rareLatin, big.root}, 3),
                "grep -rnF");
    pairedRatio("  real tree, all cores", firstQueryVs(realTree(), 0, "rg", {"-F", "-n", rareLatin, realTree()}, 5),
                "rg -F -n");
    pairedRatio("  real tree, one core", firstQueryVs(realTree(), 1, "grep", {"-rnF", rareLatin, realTree()}, 3),
                "grep -rnF");
    std::printf("later queries, listing included (%s: %lld files; %s):\n", qPrintable(big.root),
                static_cast<long long>(kBigGroups * kBigFolders * kBigFilesPerFolder), qPrintable(realTree()));
    printRatio("  200,000 files, all cores", median(g_bigAll), "rg -F -n", rgBig, 1.0);
    printRatio("  200,000 files, one core", median(g_bigOne), "grep -rnF", grepBig, 1.0);
    printRatio("  real tree, all cores", median(g_realAll), "rg -F -n", rgReal, 1.0);
    printRatio("  real tree, one core", median(g_realOne), "grep -rnF", grepReal, 1.0);
    for (const QString& root : {big.root, realTree()}) {
        ProjectSearch::Work work;
        ProjectSearch::searchFolder(kRare, root, {}, 0, {}, &work);
        std::printf("  %s: %lld pieces of work handed over, %lld opened by whole path\n", qPrintable(root),
                    static_cast<long long>(work.handOvers.load()), static_cast<long long>(work.openedByPath.load()));
    }
    std::printf("file list behind quick open:\n");
    printRatio("  50,000 files", median(g_list50k), "rg --files -j1", peerMs("rg", {"--files", "-j1", bigGroup()}), 1.2);
    printRatio("  50,000 files", median(g_list50k), "find -type f", peerMs("find", {bigGroup(), "-type", "f"}), 1.2);
    printRatio("  200,000 files", median(g_list200k), "rg --files", peerMs("rg", {"--files", big.root}, {}, 5), 1.2);
    printRatio("  200,000 files", median(g_list200k), "find -type f", peerMs("find", {big.root, "-type", "f"}, {}, 5), 1.2);
    printRatio("folder of 20,000 entries listed and sorted", median(g_wide), "ls -v", peerMs("ls", {"-v", wideFolder()}), 1.2);
    printRatio("  the same folder listed again, its nodes kept", median(g_refreshWide), "ls -v",
               peerMs("ls", {"-v", wideFolder()}), 1.2);
    for (const auto& [what, folder] : {std::pair{"  the same, run in turn with the peer", wideFolder()},
                                       std::pair{"  one name in a hundred not ASCII, in turn", wideMixedFolder()}}) {
        const Paired p = listingVs(folder);
        printRatio(what, p.ours, "ls -v", p.peer, 1.2);
    }
    std::fflush(stdout);
}

void printPeers() {
    const Tree& tree = benchTree();
    const double rg = peerMs("rg", {"-F", "-n", kRare, tree.root});
    const double rg1 = peerMs("rg", {"-F", "-n", "-j1", kRare, tree.root});
    const double grep = peerMs("grep", {"-rnF", kRare, tree.root});
    const double all = median(g_searchAll), one = median(g_searchOne);
    std::printf("\nproject search, %d hits: all cores %.1f ms (rg -F -n %.1f ms, ratio %.2f); one core %.1f ms "
                "(rg -j1 %.1f ms; grep -rnF %.1f ms, ratio %.2f)\n",
                kRareHits, all, rg, rg > 0 ? all / rg : 0.0, one, rg1, grep, grep > 0 ? one / grep : 0.0);
    std::printf("first search of this process (its threads and caches new): %.1f ms\n",
                g_searchAll.empty() ? 0.0 : g_searchAll.front());
    // The whole search as a user waits for it, listing included, against the whole peer process.
    const double whole = median(g_withListing), wholeOne = median(g_withListingOne);
    std::printf("listing the folder and searching, all cores: %.1f ms (rg -F -n %.1f ms, ratio %.2f; target 1.5)\n",
                whole, rg, rg > 0 ? whole / rg : 0.0);
    std::printf("listing the folder and searching, one core: %.1f ms (grep -rnF %.1f ms, ratio %.2f; target 1.0)\n",
                wholeOne, grep, grep > 0 ? wholeOne / grep : 0.0);
    std::printf("overlay: first results on screen after %.1f ms at worst (target 100), all of them after %.1f ms; "
                "longest main-thread stall %.1f ms (starting the search %.1f ms; longest stall with nothing running "
                "%.1f ms)\n",
                g_firstResults, g_allResults, g_longestStall, g_startCall, g_idleStall);

    QTemporaryDir dir;
    const QString list = dir.filePath("paths.txt");
    QFile out(list);
    if (out.open(QIODevice::WriteOnly)) out.write(benchPaths().join(u'\n').toUtf8() + '\n');
    out.close();
    const double keyMax = g_keystroke.empty() ? 0 : *std::max_element(g_keystroke.begin(), g_keystroke.end());
    std::printf("quick open over %lld names: prepared once in %.1f ms; one keystroke median %.3f ms, worst %.2f ms\n",
                static_cast<long long>(benchPaths().size()), g_prepare, median(g_keystroke), keyMax);
    const double viewMax = g_viewKeystroke.empty() ? 0 : *std::max_element(g_viewKeystroke.begin(), g_viewKeystroke.end());
    const double rowsMax = g_viewRows.empty() ? 0 : *std::max_element(g_viewRows.begin(), g_viewRows.end());
    std::printf("quick open overlay over the %lld-file tree, one keystroke: filtered and rows rebuilt median %.2f ms, "
                "worst %.2f ms; painted too median %.2f ms, worst %.2f ms\n",
                static_cast<long long>(tree.files.size()), median(g_viewRows), rowsMax, median(g_viewKeystroke), viewMax);
    for (const char* q : {"e", "cfg", "utilrndr"})
        std::printf("  fzy -e %s: %.1f ms (whole process)\n", q, peerMs("fzy", {"-e", q}, list));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--first-query") == 0)
        return firstQueryChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), std::atoi(argv[4]));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchTree();  // generated before any timing
    bigTree();
    wideFolder();
    wideMixedFolder();
    benchmark::RunSpecifiedBenchmarks();
    printPeers();
    printScale();
    benchmark::Shutdown();
    return 0;
}
