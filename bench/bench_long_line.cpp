// A minified file, one line of megabytes: how soon its first screen shows, and what each keystroke,
// caret move, click, selection and find step on that line costs (median and worst, each including
// the repaint it causes). And the peak memory of a window holding large real-shaped JavaScript
// files, open and after typing.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "AppState.h"
#include "BenchWindow.h"
#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "Workspace/EditorDocument.h"

#include "WidgetBenchMain.h"

namespace {

// JavaScript shaped as real code: modules of functions, classes and object literals, nested blocks,
// strings of every quote, template literals, regular expressions, comments and numbers. With
// `oneLine` the same statements run together as a minifier leaves them.
QString realShapedJavaScript(qsizetype units, bool oneLine) {
    QString out;
    out.reserve(units + 4096);
    const QString nl = oneLine ? QString() : QStringLiteral("\n");
    const QString in = oneLine ? QString() : QStringLiteral("  ");
    for (int i = 0; out.size() < units; ++i) {
        const QString n = QString::number(i);
        if (!oneLine && i % 5 == 0) out += "/**\n * Module " + n + ": reads options and caches results.\n */\n";
        out += "var m" + n + "=function(e,t,n){\"use strict\";" + nl;
        out += in + "const cache" + n + " = new Map(), limit = " + QString::number(i * 37 % 1000) + ".5e1;" + nl;
        out += in + "class Store" + n + " extends Base { constructor(opts) { super(opts); this.k = 'key-" + n + "'; }" + nl;
        out += in + in + "get(id) { if (!cache" + n + ".has(id)) { cache" + n + ".set(id, `v${id}-" + n + "`); } return cache" + n + ".get(id); } }" + nl;
        if (!oneLine) out += in + "// keep the order stable for callers\n";
        out += in + "e.exports={name:\"m" + n + "\",re:/[a-z]+\\d{2,}/gi,list:[1,2,3," + n + "],call:function(a){return a&&a.x?a.x*2:null}};" + nl;
        out += "};" + nl;
    }
    return out;
}

// A few turns of a real event loop, as the running program has.
void settle() {
    for (int i = 0; i < 3; ++i) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct LongLineEditor {
    explicit LongLineEditor(qsizetype megabytes)
        : document(QStringLiteral("/nonexistent/bundle.min.js"), realShapedJavaScript(megabytes * 1024 * 1024, true)) {}
    // Shows the editor and paints its first screen; the milliseconds that took.
    double show() {
        QElapsedTimer clock;
        clock.start();
        view = std::make_unique<CodeEditorView>(&document, &find, &controller);
        view->resize(1040, 720);
        view->show();
        QApplication::processEvents();
        view->viewport()->repaint();
        return clock.nsecsElapsed() / 1e6;
    }
    // One input event and everything it leads to, the repaint included: milliseconds.
    double time(const std::function<void()>& action) {
        QElapsedTimer clock;
        clock.start();
        action();
        QApplication::processEvents();
        view->viewport()->repaint();
        return clock.nsecsElapsed() / 1e6;
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(view.get(), &press);
    }
    void click(QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &release);
    }

    EditorDocument document;
    FindState find;
    EditorController controller;
    std::unique_ptr<CodeEditorView> view;
};

// Opening a one-line file: until its first screen is painted. Target: no later than a peer editor.
void BM_LongLineFirstScreen(benchmark::State& state) {
    for (auto _ : state) {
        LongLineEditor editor(state.range(0));
        state.SetIterationTime(editor.show() / 1e3);
    }
}
BENCHMARK(BM_LongLineFirstScreen)->Arg(1)->Arg(10)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// Keystrokes at the start, in the middle and at the end of the line. Target: median at most 16 ms,
// none over 100 ms.
void BM_LongLineKeystroke(benchmark::State& state) {
    LongLineEditor editor(state.range(0));
    editor.show();
    CodeEditorCoordinator& c = *editor.view->coordinator();
    std::vector<double> times;
    for (auto _ : state) {
        for (const qsizetype at : {qsizetype(100), c.text().size() / 2, c.text().size()}) {
            c.setSelection({at, 0}, true);
            settle();
            for (int i = 0; i < 10; ++i) times.push_back(editor.time([&] { editor.key(Qt::Key_unknown, {}, QStringLiteral("x")); }));
            times.push_back(editor.time([&] { editor.key(Qt::Key_Backspace, {}, QStringLiteral("\b")); }));
        }
        state.SetIterationTime(median(times) / 1e3);
    }
    state.counters["median_ms"] = median(times);
    state.counters["worst_ms"] = *std::max_element(times.begin(), times.end());
}
BENCHMARK(BM_LongLineKeystroke)->Arg(1)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Caret moves (Home, End, Ctrl+End, Ctrl+Home, arrows), a click, a selection and find steps on the
// line. Target: median at most 16 ms, none over 100 ms.
void BM_LongLineCaretMoves(benchmark::State& state) {
    LongLineEditor editor(state.range(0));
    editor.show();
    settle();
    std::vector<double> times;
    std::map<std::string, double> worst;  // per kind of move
    const auto timed = [&](const char* kind, const std::function<void()>& move) {
        const double ms = editor.time(move);
        times.push_back(ms);
        worst[kind] = std::max(worst[kind], ms);
        return ms;
    };
    double ctrlEnd = 0;
    for (auto _ : state) {
        ctrlEnd = timed("ctrl_end", [&] { editor.key(Qt::Key_End, Qt::ControlModifier); });
        for (int i = 0; i < 5; ++i) {
            timed("home", [&] { editor.key(Qt::Key_Home); });
            timed("end", [&] { editor.key(Qt::Key_End); });
            timed("left", [&] { editor.key(Qt::Key_Left); });
            timed("up", [&] { editor.key(Qt::Key_Up); });
            timed("shift_right", [&] { editor.key(Qt::Key_Right, Qt::ShiftModifier); });
            timed("click", [&] { editor.click(QPoint(200 + 40 * i, 100 + 30 * i)); });
        }
        timed("ctrl_home", [&] { editor.key(Qt::Key_Home, Qt::ControlModifier); });
        timed("find", [&] {
            editor.find.setQuery(QStringLiteral("cache1"));
            editor.view->setShowFind(true);
        });
        for (int i = 0; i < 5; ++i) timed("find_next", [&] { editor.view->coordinator()->findNext(); });
        state.SetIterationTime(median(times) / 1e3);
    }
    state.counters["median_ms"] = median(times);
    state.counters["worst_ms"] = *std::max_element(times.begin(), times.end());
    state.counters["ctrl_end_ms"] = ctrlEnd;
    for (const auto& [kind, ms] : worst) state.counters["worst_" + kind + "_ms"] = ms;
}
BENCHMARK(BM_LongLineCaretMoves)->Arg(1)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The process's peak resident memory since the last reset, in megabytes.
double peakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).simplified().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// A window opening a large real-shaped JavaScript file, then typing in it: peak memory of the
// process. Target: at most twice a peer editor's with the same file.
void BM_LargeJavaScriptPeakMemory(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bundle.js"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) state.SkipWithError("cannot write the sample file");
        file.write(realShapedJavaScript(state.range(0) * 1024 * 1024, false).toUtf8());
    }
    for (auto _ : state) {
        QMainWindow window;
        AppState* app = &showRootView(window);
        settle();
        resetPeak();
        const double before = peakMegabytes();
        app->open(path);
        settle();
        auto* view = window.findChild<CodeEditorView*>();
        if (!view) state.SkipWithError("the file did not open in an editor");
        // All of it in the editor.
        QElapsedTimer deadline;
        deadline.start();
        while (view && !view->coordinator()->isFullyShown() && deadline.elapsed() < 600000) settle();
        settle();
        state.counters["open_peak_MB"] = peakMegabytes();
        if (view) {
            view->coordinator()->setSelection({view->coordinator()->text().size() / 2, 0}, true);
            for (int i = 0; i < 20; ++i) {
                view->coordinator()->userChange(view->coordinator()->selection(), QStringLiteral("x"), true);
                settle();
            }
        }
        state.counters["typed_peak_MB"] = peakMegabytes();
        state.counters["before_MB"] = before;
    }
}
BENCHMARK(BM_LargeJavaScriptPeakMemory)->Arg(10)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
