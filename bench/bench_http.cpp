// 1,000 sequential sends to a loopback server: the program's client against the generated cURL
// command run 1,000 times in a shell loop. The server answers from a thread of its own.
// Then, against a local "python3 -m http.server": large bodies (5 MB and 40 MB) against curl
// writing them to a file, with the peak memory a send adds, and 300 sends on fresh connections
// against one curl process fetching the same 300 URLs.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

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

// A "python3 -m http.server" on a free loopback port, serving a folder of body files.
class PythonServer {
public:
    PythonServer() {
        for (qint64 mb : {5, 40}) {
            QFile file(dir_.filePath(QStringLiteral("%1mb.bin").arg(mb)));
            if (!file.open(QIODevice::WriteOnly)) return;
            const QByteArray block(1024 * 1024, 'b');
            for (qint64 i = 0; i < mb; ++i) file.write(block);
        }
        QFile small(dir_.filePath(QStringLiteral("small.json")));
        if (small.open(QIODevice::WriteOnly)) small.write("{\"ok\":true}");
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        process_.setWorkingDirectory(dir_.path());
        // Its log line per request goes nowhere, so reading it costs neither side anything.
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(port_),
                                                   QStringLiteral("--bind"), QStringLiteral("127.0.0.1")});
        if (!process_.waitForStarted(10000)) return;
        // Ready once it accepts a connection.
        for (int i = 0; i < 200 && !ready_; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            ready_ = socket.waitForConnected(100);
            if (!ready_) QThread::msleep(50);
        }
    }
    ~PythonServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    bool ready() const { return ready_; }
    QString url(const QString& name) const { return QStringLiteral("http://127.0.0.1:%1/%2").arg(port_).arg(name); }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    bool ready_ = false;
};

PythonServer& pythonServer() {
    static PythonServer instance;
    return instance;
}

// A memory figure of /proc/self/status in bytes: "VmHWM" (the peak since the last reset) or "VmRSS".
qint64 statusBytes(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':')) return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
// Makes the peak what is resident now.
void resetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

std::optional<HTTPSendResult> sendOnce(const HTTPRequest& request) {
    std::optional<HTTPSendResult> out;
    QEventLoop loop;
    HTTPClient::send(request, {}, [&](const HTTPSendResult& result) {
        out = result;
        loop.quit();
    });
    loop.exec();
    return out;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double curlSeconds(const QStringList& arguments) {
    QElapsedTimer timer;
    timer.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"), arguments);
    curl.waitForFinished(-1);
    return curl.exitCode() == 0 ? double(timer.nsecsElapsed()) / 1e9 : -1;
}

struct LargeFigures {
    double programMs = 0, curlMs = 0, peakBytes = 0;
};
QMap<int, LargeFigures> g_large;

// Runs alternate with curl writing the same body to a file, so both see the same machine.
void BM_LargeBody(benchmark::State& state) {
    const int mb = int(state.range(0));
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty() || !pythonServer().ready()) {
        state.SkipWithError("curl or python3 is missing");
        return;
    }
    const QString name = QStringLiteral("%1mb.bin").arg(mb);
    HTTPRequest request;
    request.url = pythonServer().url(name);
    const QString out = pythonServer().path(QStringLiteral("curl-out.bin"));
    std::vector<double> program, curl;
    qint64 peak = 0;
    bool failed = false;
    for (auto _ : state) {
        for (int run = 0; run < 7; ++run) {
            const qint64 before = statusBytes("VmRSS");
            resetPeakRss();
            QElapsedTimer timer;
            timer.start();
            const std::optional<HTTPSendResult> result = sendOnce(request);
            program.push_back(double(timer.nsecsElapsed()) / 1e6);
            peak = std::max(peak, statusBytes("VmHWM") - before);
            failed = failed || !result || !result->ok() || result->response->size != mb * 1024 * 1024;
            curl.push_back(curlSeconds({QStringLiteral("-s"), QStringLiteral("-o"), out, pythonServer().url(name)}) * 1e3);
        }
    }
    if (failed) state.SkipWithError("a send failed");
    LargeFigures& figures = g_large[mb];
    figures = {median(program), median(curl), double(peak)};
    state.counters["program_ms"] = figures.programMs;
    state.counters["curl_file_ms"] = figures.curlMs;
    state.counters["ratio"] = figures.programMs / figures.curlMs;
    state.counters["peak_MB_added"] = figures.peakBytes / (1024.0 * 1024.0);
    state.counters["peak_per_body"] = figures.peakBytes / double(mb * 1024 * 1024);
}
BENCHMARK(BM_LargeBody)->Arg(5)->Arg(40)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kFreshSends = 300;
double g_freshProgramMs = 0, g_freshCurlMs = 0;

// Sends on a fresh connection each, the server closing after each answer: the program's loop in
// one process against one curl process fetching the same URLs.
void BM_FreshConnectionLoop(benchmark::State& state) {
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty() || !pythonServer().ready()) {
        state.SkipWithError("curl or python3 is missing");
        return;
    }
    HTTPRequest request;
    request.url = pythonServer().url(QStringLiteral("small.json"));
    KeyValueItem close;
    close.key = QStringLiteral("Connection");
    close.value = QStringLiteral("close");
    request.headers = {close};
    QStringList curlArguments{QStringLiteral("-s"), QStringLiteral("-H"), QStringLiteral("Connection: close")};
    for (int i = 0; i < kFreshSends; ++i) curlArguments << QStringLiteral("-o") << QStringLiteral("/dev/null") << request.url;
    std::vector<double> program, curl;
    int failures = 0;
    for (auto _ : state) {
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < kFreshSends; ++i) {
                const std::optional<HTTPSendResult> result = sendOnce(request);
                failures += !result || !result->ok();
            }
            program.push_back(double(timer.nsecsElapsed()) / 1e6 / kFreshSends);
            curl.push_back(curlSeconds(curlArguments) * 1e3 / kFreshSends);
        }
    }
    if (failures > 0) state.SkipWithError("some sends failed");
    g_freshProgramMs = median(program);
    g_freshCurlMs = median(curl);
    state.counters["program_ms_per_send"] = g_freshProgramMs;
    state.counters["curl_ms_per_send"] = g_freshCurlMs;
    state.counters["ratio"] = g_freshProgramMs / g_freshCurlMs;
}
BENCHMARK(BM_FreshConnectionLoop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (g_programMs > 0 && g_curlMs > 0)
        std::printf("%d sends: program %.0f ms, curl loop %.0f ms, ratio program/curl %.2f\n", kSends, g_programMs,
                    g_curlMs, g_programMs / g_curlMs);
    for (auto it = g_large.cbegin(); it != g_large.cend(); ++it)
        std::printf("%d MB body: program %.1f ms, curl writing a file %.1f ms, ratio %.2f; peak memory added %.1f MB (%.2f x the body)\n",
                    it.key(), it->programMs, it->curlMs, it->programMs / it->curlMs, it->peakBytes / (1024.0 * 1024.0),
                    it->peakBytes / (double(it.key()) * 1024 * 1024));
    if (g_freshProgramMs > 0 && g_freshCurlMs > 0)
        std::printf("%d sends on fresh connections: program %.3f ms a send, one curl process %.3f ms a send, ratio %.2f\n",
                    kFreshSends, g_freshProgramMs, g_freshCurlMs, g_freshProgramMs / g_freshCurlMs);
    benchmark::Shutdown();
    return 0;
}
