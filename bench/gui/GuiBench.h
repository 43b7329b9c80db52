#pragma once

#include "gui/AppRunner.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>

namespace corvel::bench {

// Where a benchmark's window keeps its files: folders of its own under root.
inline AppRunner::Options runnerOptionsIn(const QString &root)
{
    AppRunner::Options options;
    options.shippedDir = QCoreApplication::applicationDirPath();
    options.appPath = root + QStringLiteral("/app");
    options.configRoot = root + QStringLiteral("/config");
    options.dataRoot = root + QStringLiteral("/data");
    QDir().mkpath(options.appPath);
    return options;
}

// The main() of a widget benchmark: offscreen unless another platform is asked for.
inline int runWidgetBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace corvel::bench
