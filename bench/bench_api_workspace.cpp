// The workspace's request files: a full rescan of a large folder, and one edit written back.
#include <benchmark/benchmark.h>

#include "API/APIService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QFile>
#include <QTemporaryDir>

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
