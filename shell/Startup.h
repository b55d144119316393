#pragma once

#include <QString>

class QApplication;

// The program's start-up order, shared by the main block and the tests that
// start the program the same way.
namespace Startup {

// Application title, font substitutions and regional settings; before any
// window exists.
void configure(QApplication &app);

// Creates the data module (a database that cannot be opened is reported in the
// default error dialog and start-up goes on with closed cursors), then the main
// window, then every other window once, hidden, in their fixed order.
// folder: where Hotel.db lives; empty means the executable's folder.
void createAll(const QString &folder = QString());

// Destroys the windows and then the data module.
void destroyAll();

} // namespace Startup
