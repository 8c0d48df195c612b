#pragma once
// The main() of the benchmarks that build real widgets: a widget application (offscreen unless a
// platform is chosen) that finds this build's resource bundle.
#include <QApplication>
#include <QFile>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <cstring>
#include <functional>

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

// For `--write-sample=KIND:MEGABYTES:PATH`: writes the text `make(kind, units)` gives to PATH and
// returns true (also for a malformed request); false when not asked to.
inline bool writeRequestedSample(int argc, char** argv, const std::function<QString(const QString&, qsizetype)>& make) {
    const char* flag = "--write-sample=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], flag, std::strlen(flag)) != 0) continue;
        const QStringList parts = QString::fromLocal8Bit(argv[i] + std::strlen(flag)).split(u':');
        if (parts.size() != 3) return true;
        QFile file(parts[2]);
        if (file.open(QIODevice::WriteOnly)) file.write(make(parts[0], qsizetype(parts[1].toDouble() * 1024 * 1024)).toUtf8());
        return true;
    }
    return false;
}
