// The request editor while a large response is shown: one keystroke in the URL field with a
// 500 KB JSON response below it, and a 500 KB and a 5 MB JSON response coming in. Reports the median and the
// worst keystroke, and the longest the window went without handling events while a body came in.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "AppState.h"
#include "Views/HTTP/RequestView.h"
#include "Views/HTTP/ResponseBodyView.h"
#include "Views/HTTP/ResponseView.h"

#include "WidgetBenchMain.h"

namespace {

// An API's list of users, written on one line as servers send it.
QByteArray usersJson(qsizetype bytes) {
    QByteArray out = "[";
    for (int i = 0; out.size() < bytes; ++i) {
        const QByteArray n = QByteArray::number(i);
        if (i) out += ',';
        out += R"({"id":)" + n + R"(,"name":"User )" + n + R"(","email":"user)" + n +
               R"(@example.com","active":true,"score":)" + QByteArray::number(i * 7 % 1000) +
               R"(,"tags":["alpha","beta"],"address":{"city":"Town )" + n + R"(","zip":null}})";
    }
    return out + "]";
}

HTTPResponse jsonResponse(qsizetype bytes) {
    HTTPResponse response;
    response.status = 200;
    response.statusText = QStringLiteral("OK");
    response.headers = {{QStringLiteral("Content-Type"), QStringLiteral("application/json")}};
    response.body = usersJson(bytes);
    response.size = response.body.size();
    response.duration = 0.2;
    return response;
}

double turnMs(const std::function<void()>& work = {}) {
    QElapsedTimer t;
    t.start();
    if (work) work();
    QApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}

// Turns of the event loop until the body is shown whole and painted; the longest one.
double worstTurnUntilShown(ResponseBodyView& body, const std::function<void()>& start) {
    double worst = turnMs(start);
    while (body.isPreparing()) worst = std::max(worst, turnMs());
    return std::max(worst, turnMs([&] { body.viewport()->repaint(); }));
}

void BM_KeystrokeWhileALargeResponseIsShown(benchmark::State& state) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("api"));
    QFile file(dir.filePath(QStringLiteral("api/echo.http")));
    file.open(QIODevice::WriteOnly);
    file.write("### Echo JSON\nPOST https://example.com/echo\nContent-Type: application/json\n\n{\"a\":1}\n");
    file.close();
    AppState app;
    app.openFolder(dir.path());
    const APICollectionFile collection = app.api().collections().first();
    const HTTPRequest request = collection.requests.first();
    app.openRequest(request, collection);
    app.history().record(request, request.url, jsonResponse(state.range(0) * 1024));
    app.replay(app.history().entries().first().id);
    RequestView view(app, app.activeRequest()->file, app.activeRequest()->request);
    view.resize(1040, 720);
    view.show();
    ResponseBodyView& body = *view.responseView()->bodyView();
    worstTurnUntilShown(body, {});

    std::vector<double> times;
    for (auto _ : state) {
        for (int i = 0; i < 40; ++i) {
            times.push_back(turnMs([&] {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                QApplication::sendEvent(view.urlField(), &press);
                view.repaint();
            }));
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["worst_ms"] = times.back();
}
BENCHMARK(BM_KeystrokeWhileALargeResponseIsShown)->Arg(4)->Arg(500)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowALargeJsonResponse(benchmark::State& state) {
    const HTTPResponse response = jsonResponse(state.range(0) * 1024);
    ResponseBodyView body;
    body.resize(1000, 400);
    body.show();
    std::vector<double> worst;
    QElapsedTimer total;
    double totalMs = 0;
    for (auto _ : state) {
        HTTPResponse copy = response;
        copy.body.detach();  // a new body each time, as each send brings one
        total.start();
        worst.push_back(worstTurnUntilShown(body, [&] { body.apply(copy); }));
        totalMs = std::max(totalMs, total.nsecsElapsed() / 1e6);
    }
    std::sort(worst.begin(), worst.end());
    state.counters["worst_stall_median_ms"] = worst[worst.size() / 2];
    state.counters["worst_stall_ms"] = worst.back();
    state.counters["shown_after_ms"] = totalMs;
}
// 500 KB is still coloured; 5 MB is not.
BENCHMARK(BM_ShowALargeJsonResponse)->Arg(500)->Arg(5 * 1024)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
