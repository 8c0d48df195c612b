// 1,000 sequential sends to a loopback server: the program's client against the generated cURL
// command run 1,000 times in a shell loop. The server answers from a thread of its own.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>
#include <memory>

#include "API/CodeGen.h"
#include "API/HTTPClient.h"
#include "tests/API/LoopbackServer.h"

namespace {

constexpr int kSends = 1000;

// The loopback server, running an event loop in its own thread for the life of the process.
class ServerThread {
public:
    ServerThread() {
        thread_.start();
        host_.moveToThread(&thread_);
        QMetaObject::invokeMethod(&host_, [this] {
            server_ = std::make_unique<loopback::LoopbackServer>();
            server_->respondWith({200, "OK", {{"Content-Type", "application/json"}}, "{\"ok\":true}"});
        }, Qt::BlockingQueuedConnection);
    }
    ~ServerThread() {
        QMetaObject::invokeMethod(&host_, [this] { server_.reset(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    loopback::LoopbackServer& server() { return *server_; }

private:
    QThread thread_;
    QObject host_;
    std::unique_ptr<loopback::LoopbackServer> server_;
};

ServerThread& serverThread() {
    static ServerThread instance;
    return instance;
}

HTTPRequest benchRequest() {
    HTTPRequest r;
    r.name = QStringLiteral("bench");
    r.method = HTTPMethod::post;
    r.url = QStringLiteral("{{base}}/items");
    KeyValueItem header;
    header.key = QStringLiteral("X-Bench");
    header.value = QStringLiteral("1");
    r.headers = {header};
    r.body = QStringLiteral("{\"n\": 1}");
    r.bodyKind = BodyKind::json;
    return r;
}

HTTPClient::Environment benchEnvironment() { return {{QStringLiteral("base"), serverThread().server().url(QString())}}; }

double g_programMs = 0, g_curlMs = 0;

void BM_ProgramSends(benchmark::State& state) {
    const HTTPRequest request = benchRequest();
    const HTTPClient::Environment env = benchEnvironment();
    serverThread().server().clearReceived();
    int failures = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kSends; ++i) {
            QEventLoop loop;
            HTTPClient::send(request, env, [&](const HTTPSendResult& result) {
                failures += !result.ok();
                loop.quit();
            });
            loop.exec();
        }
        g_programMs = double(timer.nsecsElapsed()) / 1e6;
    }
    if (failures > 0) state.SkipWithError("some sends failed");
    state.counters["sends"] = kSends;
    state.counters["ms_per_send"] = g_programMs / kSends;
    state.counters["received"] = serverThread().server().receivedCount();
}
BENCHMARK(BM_ProgramSends)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlLoop(benchmark::State& state) {
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        state.SkipWithError("curl is not installed");
        return;
    }
    const QString command = CodeGen::snippet(benchRequest(), CodeGenTarget::curl, benchEnvironment());
    const QString loop = QStringLiteral("for i in $(seq %1); do %2 --silent --output /dev/null || exit 1; done")
                             .arg(kSends)
                             .arg(command);
    serverThread().server().clearReceived();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QProcess shell;
        shell.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), loop});
        shell.waitForFinished(-1);
        g_curlMs = double(timer.nsecsElapsed()) / 1e6;
        if (shell.exitCode() != 0) state.SkipWithError("curl failed");
    }
    state.counters["sends"] = kSends;
    state.counters["ms_per_send"] = g_curlMs / kSends;
    state.counters["received"] = serverThread().server().receivedCount();
}
BENCHMARK(BM_CurlLoop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (g_programMs > 0 && g_curlMs > 0)
        std::printf("%d sends: program %.0f ms, curl loop %.0f ms, ratio program/curl %.2f\n", kSends, g_programMs,
                    g_curlMs, g_programMs / g_curlMs);
    benchmark::Shutdown();
    return 0;
}
