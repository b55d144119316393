#pragma once

#include <QCoreApplication>
#include <QString>

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
