// Editing text shaped like real code: JavaScript whose escaped quotes and regular expressions leave
// brackets open by the thousand, a JSON file nesting deeply on every line, a large paste, a file of
// empty lines. Each keystroke is timed from the key to the end of everything it started on the UI
// thread; the median and the worst are reported.
//
// `bench_real_code --write-sample=js|realjs|json|empty|short:MEGABYTES:PATH` writes one of these texts to a file
// and exits (scripts/measure-editor.sh opens them in the real window).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTemporaryDir>
#include <QTextDocument>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <vector>

#include "../tests/support/GeneratedCode.h"
#include "Editor/EditorController.h"
#include "Editor/ExactText.h"
#include "Editor/FindMatcher.h"
#include "Editor/FindState.h"
#include "Editor/FoldTracker.h"
#include "Platform/Lines.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "Workspace/EditorDocument.h"

#include "SettleAfter.h"
#include "WidgetBenchMain.h"

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

QString emptyLines(qsizetype count) { return QString(count, u'\n'); }
QString shortLines(qsizetype count) { return QStringLiteral("a\n").repeated(count); }

void report(benchmark::State& state, std::vector<double> times, const char* prefix = "") {
    std::sort(times.begin(), times.end());
    state.counters[std::string(prefix) + "median_ms"] = times[times.size() / 2];
    state.counters[std::string(prefix) + "worst_ms"] = times.back();
}

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Editor {
    explicit Editor(const QString& text, const QString& name)
        : document(QStringLiteral("/nonexistent/") + name, text), view(&document, &find, &controller) {
        view.resize(900, 700);
        view.show();
        QApplication::processEvents();
    }
    CodeEditorCoordinator& coordinator() { return *view.coordinator(); }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&view, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(&view, &release);
    }
    // A key and everything it started on the UI thread.
    double timedKey(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QElapsedTimer clock;
        clock.start();
        key(k, modifiers, text);
        QApplication::processEvents();
        return clock.nsecsElapsed() / 1e6;
    }

    EditorDocument document;
    FindState find;
    EditorController controller;
    CodeEditorView view;
};

// The fold upkeep alone: a letter typed at spread-out places through the whole text.
void foldUpkeepRealCode(benchmark::State& state) {
    QString text = generated_code::realShapedJavaScript(state.range(0) * kMegabyte);
    FoldTracker tracker;
    tracker.reset(text);
    std::mt19937 random(9);
    std::vector<double> times;
    double worst = 0;
    for (auto _ : state) {
        const qsizetype at = qsizetype(random() % quint32(text.size()));
        text.insert(at, u'x');
        QElapsedTimer clock;
        clock.start();
        tracker.edit(text, at, 0, 1);
        const double ms = clock.nsecsElapsed() / 1e6;
        if (ms > worst) {
            worst = ms;
            state.counters["worst_scanned"] = double(tracker.lastScanLength());
        }
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    report(state, times);
    state.counters["regions"] = double(tracker.regions().size());
}

// Typing into the editor at a place 90% through the text, where the most brackets are open.
void keystrokeRealCode(benchmark::State& state) {
    Editor editor(generated_code::realShapedJavaScript(state.range(0) * kMegabyte), QStringLiteral("real.js"));
    CodeEditorCoordinator& coordinator = editor.coordinator();
    coordinator.showAll();
    coordinator.setSelection({coordinator.text().size() / 10 * 9, 0}, true);
    QApplication::processEvents();
    std::vector<double> times;
    for (auto _ : state) {
        const double ms = editor.timedKey(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    report(state, times);
}

// A paste of 5 MB into a small file, then three keys typed at once: from the paste until the third
// key's work is done.
void keysAfterPaste(benchmark::State& state) {
    const QString pasted = generated_code::realShapedJavaScript(5 * kMegabyte, 2);
    for (auto _ : state) {
        Editor editor(generated_code::realShapedJavaScript(20 * 1024), QStringLiteral("paste.js"));
        editor.view.setFocus();
        QApplication::clipboard()->setText(pasted);
        QElapsedTimer clock;
        clock.start();
        const double paste = editor.timedKey(Qt::Key_V, Qt::ControlModifier);
        std::vector<double> keys;
        for (const char* k : {"a", "b", "c"}) keys.push_back(editor.timedKey(Qt::Key_unknown, Qt::NoModifier, QString::fromLatin1(k)));
        const double total = clock.nsecsElapsed() / 1e6;
        state.SetIterationTime(total / 1000);
        state.counters["paste_ms"] = paste;
        state.counters["paste_and_3_keys_ms"] = total;
        report(state, keys, "key_");
    }
}

// A JSON file of 2 MB nesting 20 objects on every line: three keys in the middle (until their work on
// the UI thread is done, and until their colours are), five pages down.
void nestedJson(benchmark::State& state) {
    for (auto _ : state) {
        Editor editor(generated_code::nestedJson(2 * kMegabyte, 20), QStringLiteral("nested.json"));
        CodeEditorCoordinator& coordinator = editor.coordinator();
        coordinator.showAll();
        coordinator.setSelection({coordinator.text().text().indexOf(u'\n', coordinator.text().size() / 2) + 3, 0}, true);
        // The parse runs on its own thread; a wait for it blocks, so that it has its core to itself.
        const auto settle = [&] {
            while (!coordinator.coloursSettled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QApplication::processEvents();
        };
        settle();
        std::vector<double> keys, pages;
        QElapsedTimer clock;
        clock.start();
        for (const char* k : {"1", "2", "3"}) keys.push_back(editor.timedKey(Qt::Key_unknown, Qt::NoModifier, QString::fromLatin1(k)));
        const double typed = clock.nsecsElapsed() / 1e6;
        settle();
        const double coloured = clock.nsecsElapsed() / 1e6;
        clock.restart();
        for (int i = 0; i < 5; ++i) pages.push_back(editor.timedKey(Qt::Key_PageDown));
        const double paged = clock.nsecsElapsed() / 1e6;
        state.SetIterationTime((typed + paged) / 1000);
        state.counters["3_keys_ms"] = typed;
        state.counters["3_keys_coloured_ms"] = coloured;
        state.counters["5_pages_ms"] = paged;
        report(state, keys, "key_");
        report(state, pages, "page_");
    }
}

// The same lines put into a bare display document, as the editor puts them (slices of 16K units in
// one edit block): the cost of the display's own blocks, which the editor's figures include.
double bareDisplayMs(const QString& text) {
    QElapsedTimer clock;
    clock.start();
    QTextDocument display;
    display.setUndoRedoEnabled(false);
    QTextCursor cursor(&display);
    cursor.beginEditBlock();
    for (qsizetype from = 0; from < text.size(); from += 16 * 1024)
        cursor.insertText(ExactText::display(QStringView(text).mid(from, 16 * 1024)));
    cursor.endEditBlock();
    return clock.nsecsElapsed() / 1e6;
}

// A million lines: until the first screen shows, and until all of it is in the display.
void linesOpen(benchmark::State& state, const QString& text, const QString& name) {
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        Editor editor(text, name);
        const double shown = clock.nsecsElapsed() / 1e6;
        double worstTurn = 0;
        while (!editor.coordinator().isFullyShown()) worstTurn = std::max(worstTurn, turn());
        const double all = clock.nsecsElapsed() / 1e6;
        state.SetIterationTime(shown / 1000);
        state.counters["open_ms"] = shown;
        state.counters["all_shown_ms"] = all;
        state.counters["worst_turn_ms"] = worstTurn;
        state.counters["bare_display_ms"] = bareDisplayMs(text);
    }
}

void emptyLinesOpen(benchmark::State& state) { linesOpen(state, emptyLines(1'000'000), QStringLiteral("empty.txt")); }

void shortLinesOpen(benchmark::State& state) { linesOpen(state, shortLines(1'000'000), QStringLiteral("short.txt")); }

// Real JavaScript (the grammar sources under third_party and the system's script libraries) joined
// until the text holds `size` units, each copy wrapped so that brackets stay balanced.
QString realJavaScript(qsizetype size) {
    const QDir root = QFileInfo(QStringLiteral(__FILE__)).dir();
    QStringList paths{QStringLiteral("/usr/share/javascript/jquery/jquery.js"),
                      QStringLiteral("/usr/share/javascript/underscore/underscore.js")};
    QDirIterator it(root.filePath(QStringLiteral("../third_party/node_modules")), {QStringLiteral("*.js")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) paths << it.next();
    QString pieces;
    for (const QString& path : paths) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) pieces += QString::fromUtf8(file.readAll()) + u'\n';
    }
    if (pieces.isEmpty()) pieces = generated_code::realShapedJavaScript(kMegabyte);
    QString text;
    text.reserve(size + pieces.size());
    while (text.size() < size) text += pieces;
    return text;
}

// Whole-text operations on 30 MB of real JavaScript: Replace All of "prototype" and its undo, find of
// "e", going to line 850,000, folding a block of 200,000 lines. Each until settled, with its worst turn.
// realJavaScript() after a block of 200,000 lines (to fold), `size` units in all.
QString realJavaScriptWithBlock(qsizetype size) {
    const QString block = QStringLiteral("function block() {\n") + QStringLiteral("  step();\n").repeated(199'998) +
                          QStringLiteral("}\n");
    return block + realJavaScript(size - block.size());
}

void wholeTextOperations(benchmark::State& state) {
    const QString text = realJavaScriptWithBlock(30 * kMegabyte);
    for (auto _ : state) {
        // A text of its own, as one read from a file is: one shared with this benchmark would be
        // copied whole at its first edit.
        Editor editor(QString(text.constData(), text.size()), QStringLiteral("real.js"));
        CodeEditorCoordinator& coordinator = editor.coordinator();
        QElapsedTimer clock;
        clock.start();
        settleAfter(coordinator, clock, 0);
        const auto timed = [&](const char* name, const std::function<void()>& operation) {
            // The whole process's processor time too: work on other threads is work the machine does.
            const double cpuBefore = processCpuMs();
            QElapsedTimer opClock;
            opClock.start();
            operation();
            const double first = opClock.nsecsElapsed() / 1e6;
            const Settled settled = settleAfter(coordinator, opClock, first, &editor.find);
            state.counters[std::string(name) + "_ms"] = settled.ms;
            state.counters[std::string(name) + "_worst_turn_ms"] = settled.worstTurnMs;
            state.counters[std::string(name) + "_cpu_ms"] = processCpuMs() - cpuBefore;
        };
        editor.find.setReplacement(QStringLiteral("proto_type"));
        editor.find.setQuery(QStringLiteral("prototype"));
        editor.find.setCaseSensitive(true);
        editor.view.setShowFind(true);
        QApplication::processEvents();
        while (editor.find.counting()) QApplication::processEvents();
        state.counters["prototype_matches"] = editor.find.matchCount();
        timed("replace_all", [&] { editor.find.engine()->replaceAll(); });
        timed("undo", [&] { coordinator.undo(); });
        timed("find_e", [&] {
            editor.find.setQuery(QStringLiteral("e"));
            editor.view.updateFromModel();
        });
        state.counters["e_matches"] = editor.find.matchCount();
        editor.view.setShowFind(false);
        QApplication::processEvents();
        state.counters["lines"] = coordinator.lineCount();
        timed("go_to_line_850000", [&] { editor.controller.goToLine(850000); });
        // The block spanning the most lines.
        const FoldRegion* largest = nullptr;
        qsizetype largestLines = 0;
        for (const FoldRegion& region : coordinator.foldRegions()) {
            const qsizetype lines = Lines::breakCount(QStringView(coordinator.text().text()).sliced(
                region.hiddenRange.location, region.hiddenRange.length));
            if (lines > largestLines) largest = &region, largestLines = lines;
        }
        state.counters["folded_lines"] = double(largestLines);
        if (largest) {
            const qsizetype header = largest->headerLineStart;
            timed("fold", [&] { coordinator.toggleFold(header); });
        }
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    }
}

// Processor time of the children that have ended, in milliseconds.
double childrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Counting every match of a plain query in 30 MB of real JavaScript, as a new query in the find bar
// does: "e" (millions of matches) and "prototype", without case. Each as the median of five runs, wall
// and processor time of every thread; the places listed as stepping needs them, for comparison; and
// ripgrep and grep counting the same in the same file.
void findCount(benchmark::State& state) {
    const QString text = realJavaScriptWithBlock(30 * kMegabyte);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("real.js"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) return state.SkipWithError("cannot write the sample");
    file.close();
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (auto _ : state) {
        for (const char* query : {"e", "prototype"}) {
            FindState find;
            find.setQuery(QString::fromLatin1(query));
            const RegularExpression expression = *find.makeRegex();
            const qsizetype reach = FindMatcher::literalReach(find.query().size());
            std::vector<double> wall, cpu, listedWall, listedCpu;
            qsizetype counted = 0, listed = 0;
            for (int run = 0; run < 5; ++run) {
                QElapsedTimer clock;
                clock.start();
                double cpuBefore = processCpuMs();
                counted = FindMatcher::literalCount(expression, text)->counted;
                wall.push_back(clock.nsecsElapsed() / 1e6);
                cpu.push_back(processCpuMs() - cpuBefore);
                clock.restart();
                cpuBefore = processCpuMs();
                listed = FindMatcher::literalMatches(expression, reach, text).matches.size();
                listedWall.push_back(clock.nsecsElapsed() / 1e6);
                listedCpu.push_back(processCpuMs() - cpuBefore);
            }
            const std::string name(query);
            state.counters[name + "_matches"] = double(counted);
            state.counters[name + "_listed_matches"] = double(listed);
            state.counters[name + "_count_ms"] = median(wall);
            state.counters[name + "_count_cpu_ms"] = median(cpu);
            state.counters[name + "_list_ms"] = median(listedWall);
            state.counters[name + "_list_cpu_ms"] = median(listedCpu);
            // The peers, the same query without case in the same file.
            const QList<std::pair<std::string, QString>> peers = {
                {"rg", QStringLiteral("rg --count-matches -i %1 %2 > /dev/null")},
                {"grep", QStringLiteral("grep -o -i %1 %2 | wc -l > /dev/null")}};
            for (const auto& [peer, command] : peers) {
                std::vector<double> peerWall, peerCpu;
                for (int run = 0; run < 5; ++run) {
                    QElapsedTimer clock;
                    clock.start();
                    const double cpuBefore = childrenCpuMs();
                    if (std::system(command.arg(QString::fromLatin1(query), path).toLocal8Bit().constData()) != 0)
                        return state.SkipWithError("a peer failed");
                    peerWall.push_back(clock.nsecsElapsed() / 1e6);
                    peerCpu.push_back(childrenCpuMs() - cpuBefore);
                }
                state.counters[name + "_" + peer + "_ms"] = median(peerWall);
                state.counters[name + "_" + peer + "_cpu_ms"] = median(peerCpu);
            }
        }
    }
}

// A sample for the real-window measurement.
QString sample(const QString& kind, qsizetype size) {
    return kind == u"json" ? generated_code::nestedJson(size, 20)
           : kind == u"empty" ? emptyLines(size)
           : kind == u"short" ? shortLines(size / 2)
           : kind == u"realjs" ? realJavaScriptWithBlock(size)
                               : generated_code::realShapedJavaScript(size);
}

} // namespace

BENCHMARK(foldUpkeepRealCode)->Arg(10)->Arg(50)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(keystrokeRealCode)->Arg(10)->Arg(50)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(keysAfterPaste)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(nestedJson)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(emptyLinesOpen)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(shortLinesOpen)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(wholeTextOperations)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(findCount)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (writeRequestedSample(argc, argv, sample)) return 0;
    return runWidgetBenchmarks(argc, argv);
}
