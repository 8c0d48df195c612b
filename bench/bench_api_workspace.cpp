// The workspace's request files: a full rescan of a large folder, one change taken in, and one edit
// written back.
#include <benchmark/benchmark.h>

#include "API/APIService.h"
#include "AppState.h"
#include "Views/Workbench/FileTreeModel.h"
#include "WidgetBenchMain.h"
#include "Workspace/FileNode.h"

#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QProcess>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
}

QByteArray requestsText(int count, int seed) {
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        text += "### Request " + QByteArray::number(i) + "\n";
        text += "POST https://api.example.com/items/" + QByteArray::number(seed) + "?page=" + QByteArray::number(i) + "\n";
        text += "Content-Type: application/json\nAuthorization: Bearer {{token}}\n\n{\"id\": " + QByteArray::number(i) + "}\n\n";
    }
    return text;
}

// 5,000 request files of two requests each, in 500 folders, beside a few environments.
void BM_ScanWorkspace(benchmark::State& state) {
    QTemporaryDir dir;
    for (int folder = 0; folder < 500; ++folder) {
        const QString path = dir.path() + QStringLiteral("/group%1").arg(folder);
        QDir().mkpath(path);
        for (int file = 0; file < 10; ++file)
            writeFile(path + QStringLiteral("/req%1.http").arg(file), requestsText(2, folder * 10 + file));
    }
    QDir().mkpath(dir.path() + "/environments");
    writeFile(dir.path() + "/environments/dev.env", "token=abc\nbase=https://dev\n");
    writeFile(dir.path() + "/environments/prod.json", R"({"token": "xyz", "retries": 3})");

    APIService service;
    service.setRoot(dir.path());
    for (auto _ : state) {
        service.reload();
        benchmark::DoNotOptimize(service.collections().size());
    }
    if (service.collections().size() != 5000) state.SkipWithError("scan found the wrong number of files");
}
BENCHMARK(BM_ScanWorkspace)->Unit(benchmark::kMillisecond);

// A folder of 50,000 files none of which is a request file, beside two that are: what a rescan
// costs when the open folder holds a large tree of other files. The peer finds the same two.
void BM_ScanFolderOfOtherFiles(benchmark::State& state) {
    QTemporaryDir dir;
    const QString many = dir.path() + QStringLiteral("/many");
    QDir().mkpath(many);
    for (int file = 0; file < 50'000; ++file) writeFile(many + QStringLiteral("/file%1.txt").arg(file), {});
    writeFile(dir.path() + "/a.http", requestsText(1, 1));
    writeFile(many + "/b.bru", "meta {\n  name: b\n}\nget {\n  url: https://example.com\n}\n");
    APIService service;
    service.setRoot(dir.path());
    for (auto _ : state) {
        service.reload();
        benchmark::DoNotOptimize(service.collections().size());
    }
    if (service.collections().size() != 2) state.SkipWithError("scan found the wrong number of files");
    QElapsedTimer timer;
    timer.start();
    const int peer = QProcess::execute("find", {dir.path(), "-name", "*.http", "-o", "-name", "*.bru"});
    state.counters["find_ms"] = peer == 0 ? double(timer.nsecsElapsed()) / 1e6 : -1;
}
BENCHMARK(BM_ScanFolderOfOtherFiles)->Unit(benchmark::kMillisecond)->Iterations(7);

// Milliseconds the peer's whole process takes, the median of three runs.
double peerMs(const QString& command) {
    QList<double> times;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (QProcess::execute("sh", {"-c", command}) != 0) return -1;
        times << double(timer.nsecsElapsed()) / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

void touch(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) std::abort();
    ::close(fd);
}

// A folder of 200,000 empty files, open in the explorer and scanned for request files: one file made
// and removed again, each change taken in as the watcher reports it. Flat (arg 0): all in the folder
// itself; deep (arg 1): 200 folders of 1,000 below it, the one that changes open. The peer lists the
// changed folder (ls -f) or walks the tree (find); relist_ms is what listing and scanning everything
// again, as before, costs in the same run.
void BM_ChangeInFolder200k(benchmark::State& state) {
    const bool deep = state.range(0) == 1;
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    QByteArray changing = root;
    for (int folder = 0; folder < (deep ? 200 : 1); ++folder) {
        const QByteArray in = deep ? root + "/d" + QByteArray::number(folder) : root;
        if (deep) QDir().mkpath(QFile::decodeName(in));
        for (int file = 0; file < (deep ? 1000 : 200'000); ++file) touch(in + "/f" + QByteArray::number(file) + ".txt");
        changing = in;
    }
    writeFile(dir.path() + "/a.http", requestsText(1, 1));
    FileNode node(dir.path());
    node.loadChildren();
    const QString relative = deep ? QFile::decodeName(changing.mid(root.size() + 1)) + "/new.txt" : QStringLiteral("new.txt");
    if (deep) {
        for (const FileNode::Ptr& child : *node.children())
            if (child->url() == QFile::decodeName(changing)) child->loadChildren();
    }
    APIService service;
    service.setRoot(dir.path());
    service.reload();
    const quint64 entriesBefore = FileNode::entriesRead();
    for (auto _ : state) {
        touch(changing + "/new.txt");
        node.applyChanges({relative});
        service.reload({relative});
        ::unlink((changing + "/new.txt").constData());
        node.applyChanges({relative});
        service.reload({relative});
    }
    state.counters["entries_per_change"] = double(FileNode::entriesRead() - entriesBefore) / double(2 * state.iterations());
    if (service.collections().size() != 1) state.SkipWithError("scan found the wrong number of files");
    QElapsedTimer timer;
    timer.start();
    node.refreshLoaded();
    service.reload();
    state.counters["relist_ms"] = double(timer.nsecsElapsed()) / 1e6;
    state.counters[deep ? "find_ms" : "ls_ms"] =
        peerMs(deep ? "find '" + dir.path() + "' > /dev/null" : "ls -f '" + QFile::decodeName(changing) + "' | wc -l > /dev/null");
}
BENCHMARK(BM_ChangeInFolder200k)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(50);

// The longest stretch the main thread went without answering while it was watched: a fine timer
// on it notes how late each of its firings came.
class LongestTurn {
public:
    LongestTurn() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, since_.restart());
        });
        since_.start();
        timer_.start(2);
    }
    qint64 ms() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

// Runs the event loop until done holds (and still holds after the watcher's quiet period), or a
// minute has passed; false on the minute.
bool runUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    std::optional<qint64> heldSince;
    while (clock.elapsed() < 60'000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        if (!done()) heldSince.reset();
        else if (!heldSince) heldSince = clock.elapsed();
        else if (clock.elapsed() - *heldSince > 800) return true;
    }
    return false;
}

// A folder of 200,000 empty files open in a window's state, its explorer rows shown in a list,
// while another process changes 20,000 entries as fast as it can: made and then removed in the
// folder itself (arg 0); made and then removed, 100 in each of the 200 open folders of a deep tree
// (arg 1); a subtree of 20 folders of 1,000 removed and made again (arg 2); renamed in the folder
// itself (arg 3). longest_turn_ms is the longest the main thread went without answering until
// the rows and the request files are right again; the peer lists the folder (ls -f) or walks the
// tree (find) in the same run.
void BM_BurstInFolder200k(benchmark::State& state) {
    const int kind = int(state.range(0));
    const bool deep = kind == 1 || kind == 2;
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const int folders = deep ? 200 : 1, perFolder = deep ? 1000 : 200'000;
    QList<QByteArray> folderPaths;
    for (int folder = 0; folder < folders; ++folder) {
        const QByteArray in = deep ? root + "/d" + QByteArray::number(folder) : root;
        if (deep) QDir().mkpath(QFile::decodeName(in));
        for (int file = 0; file < perFolder; ++file) touch(in + "/f" + QByteArray::number(file) + ".txt");
        folderPaths << in;
    }
    writeFile(dir.path() + "/a.http", requestsText(1, 1));
    AppState app;
    app.openFolder(dir.path());
    if (deep)
        for (const FileNode::Ptr& child : *app.rootNode()->children()) {
            child->loadChildren();
            child->setIsExpanded(true);
        }
    FileTreeModel model(app);
    QListView list;
    list.setUniformItemSizes(true);
    list.setModel(&model);
    list.resize(300, 800);
    list.show();
    QCoreApplication::processEvents();
    const int rowsBefore = model.rowCount();

    const auto change = [&](bool forth) {
        if (kind == 2) {
            // Removed files first, then the folder; made again the other way round.
            for (int folder = 0; folder < 20; ++folder) {
                const QByteArray in = folderPaths[folder];
                if (!forth) ::mkdir(in.constData(), 0755);
                for (int file = 0; file < 1000; ++file) {
                    const QByteArray path = in + "/f" + QByteArray::number(file) + ".txt";
                    if (forth) ::unlink(path.constData());
                    else touch(path);
                }
                if (forth) ::rmdir(in.constData());
            }
            return;
        }
        for (int i = 0; i < 20'000; ++i) {
            const QByteArray in = folderPaths[deep ? i % folders : 0];
            if (kind == 3) {
                const QByteArray from = in + "/f" + QByteArray::number(i) + ".txt", to = in + "/g" + QByteArray::number(i) + ".txt";
                if (::rename((forth ? from : to).constData(), (forth ? to : from).constData()) != 0) std::abort();
            } else {
                const QByteArray name = in + "/burst" + QByteArray::number(i) + ".txt";
                if (forth) touch(name);
                else ::unlink(name.constData());
            }
        }
    };
    qint64 longest = 0;
    int wrong = 0;
    for (auto _ : state) {
        for (const bool forth : {true, false}) {
            // A folder made again comes back closed.
            const int expected = kind == 2 ? rowsBefore - 20'000 - (forth ? 20 : 0)
                                           : rowsBefore + (kind != 3 && forth ? 20'000 : 0);
            LongestTurn turn;
            std::atomic<bool> madeAll{false};
            std::thread producer([&] {
                change(forth);
                madeAll = true;
            });
            const bool settled = runUntil([&] {
                return madeAll && model.rowCount() == expected &&
                       app.api().collections().size() == 1;
            });
            producer.join();
            if (!settled) ++wrong;
            longest = std::max(longest, turn.ms());
        }
    }
    state.counters["longest_turn_ms"] = double(longest);
    state.counters["rows"] = model.rowCount();
    if (wrong) state.SkipWithError("the rows or the request files did not end up right");
    state.counters[deep ? "find_ms" : "ls_ms"] =
        peerMs(deep ? "find '" + dir.path() + "' > /dev/null" : "ls -f '" + dir.path() + "' | wc -l > /dev/null");
}
BENCHMARK(BM_BurstInFolder200k)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// One request of a 200-request file edited and the whole file written back.
void BM_EditWriteBack(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/big.http";
    writeFile(path, requestsText(200, 1));
    APIService service;
    service.setRoot(dir.path());
    service.reload();
    HTTPRequest request = service.collections().first().requests[100];
    int edit = 0;
    for (auto _ : state) {
        request.url = QStringLiteral("https://api.example.com/edited/%1").arg(++edit);
        if (!service.update(request, path)) state.SkipWithError("the edit was not written");
    }
}
BENCHMARK(BM_EditWriteBack)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
