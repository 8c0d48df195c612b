#pragma once
// The main() of the benchmarks that build real widgets: a widget application (offscreen unless a
// platform is chosen) that finds this build's resource bundle.
#include <QApplication>
#include <benchmark/benchmark.h>

#include "Platform/ResourceBundle.h"

inline int runWidgetBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ResourceBundle::setOverridePath(QStringLiteral(BRIMEL_BUNDLE_DIR));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
