// The workspace's request files: a full rescan of a large folder, one change taken in, and one edit
// written back.
#include <benchmark/benchmark.h>

#include "API/APIService.h"
#include "Workspace/FileNode.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
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

BENCHMARK_MAIN();
