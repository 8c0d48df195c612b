// Cost of the theme's animated pieces per frame.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "UI/AuroraRenderer.h"

namespace {

// One aurora frame for a 1440x900 window at the workbench's intensity, drawn onto the window's
// backing image, as the timeline does up to 30 times a second. Target: under 4 ms on one core.
void BM_AuroraFrame(benchmark::State& state) {
    QImage window(1440, 900, QImage::Format_ARGB32_Premultiplied);
    window.fill(QColor(0x1c, 0x1b, 0x22));
    AuroraRenderer renderer;
    double now = 700000000.0;
    for (auto _ : state) {
        QPainter p(&window);
        renderer.render(p, QRectF(0, 0, 1440, 900), now, 0.5);
        now += 1.0 / 30;
        benchmark::DoNotOptimize(window.constBits());
    }
}
BENCHMARK(BM_AuroraFrame)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
