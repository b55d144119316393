#pragma once

#include "DataError.h"
#include "Startup.h"

#include <QApplication>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdio>

// Helpers shared by the benchmarks that drive windows on the offscreen platform.

// Drops the offscreen platform's notes that it cannot fade a window or pass on
// size hints; repeated at every window shown, they would bury the figures.
inline void quietPlatformNotes()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (message.startsWith(QLatin1String("This plugin does not support")))
            return;
        if (previous)
            previous(type, context, message);
    });
}

// Runs the posted events: pending layouts, the expose of a window just shown,
// and the paints they cause.
inline void settle()
{
    QCoreApplication::processEvents();
}

// The main block of a benchmark that drives windows: the offscreen platform
// unless another is asked for, the program's start-up settings, `setUp` (a
// DataError it throws ends the run with its message), the benchmarks, then
// `tearDown`, while the application still exists.
template<typename SetUp, typename TearDown>
int runWindowBenchmarks(int argc, char **argv, SetUp &&setUp, TearDown &&tearDown)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quietPlatformNotes();
    QApplication app(argc, argv);
    Startup::configure(app);
    benchmark::Initialize(&argc, argv);
    try {
        setUp();
    } catch (const DataError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tearDown();
    return 0;
}
