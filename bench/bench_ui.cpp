// Cost of the theme's animated pieces per frame.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "UI/AuroraRenderer.h"
#include "UI/GlassBackdrop.h"

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

// One glass made anew: a 560x420 overlay card (at device pixel ratio 1 and 2) reads a changed
// backdrop of dense text and blurs it, what the card's first frame and every change behind it cost.
void BM_GlassBlur(benchmark::State& state) {
    const qreal dpr = qreal(state.range(0));
    QImage window(QSize(1280, 800) * dpr, QImage::Format_ARGB32_Premultiplied);
    window.setDevicePixelRatio(dpr);
    int round = 0;
    GlassBackdrop backdrop;
    for (auto _ : state) {
        state.PauseTiming();
        window.fill(QColor(0x1c, 0x1b, 0x22));
        {
            QPainter p(&window);
            p.setPen(Qt::white);
            for (int y = 14; y < 800; y += 16)
                p.drawText(QPointF(380, y), QStringLiteral("const line%1 = items.filter((x) => x.size > 1).map(f);").arg(y + round));
        }
        ++round;
        state.ResumeTiming();
        QPainter p(&window);
        benchmark::DoNotOptimize(backdrop.paint(p, nullptr, QRectF(360, 90, 560, 420), 16));
    }
    state.counters["blurs"] = backdrop.blurCount();
}
BENCHMARK(BM_GlassBlur)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
