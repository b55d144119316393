#pragma once

#include "Regional.h"
#include "TestSupport.h"

#include <QApplication>
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

// What every target shares: an application on the offscreen platform (pictures
// and fonts need one) and fixed regional settings, made once per process.
namespace FuzzSupport {

inline void initialize()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    Regional::setSettings(spanishSettings());
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// A broken promise of the code under test: libFuzzer keeps the input.
[[noreturn]] inline void broken(const char *what, const QString &detail = QString())
{
    qFatal("%s: %s", what, qPrintable(detail));
}

} // namespace FuzzSupport
