#pragma once

#include <QDate>
#include <QString>

class QApplication;

// The program's start-up order, shared by the main block and the tests that
// start the program the same way.
namespace Startup {

// Font substitutions, the program's icon and regional settings; before any
// window exists.
void configure(QApplication &app);

// Creates the data module (a database that cannot be opened is reported in the
// default error dialog and start-up goes on with closed cursors), then the main
// window, then every other window once, hidden, in their fixed order.
// folder: where Hotel.db lives; empty means the executable's folder.
void createAll(const QString &folder = QString());
// The same on the database `target` names (a file path). A `targetError` (the
// configuration cannot be read) is reported in its place, in the same dialog,
// and the cursors stay closed.
void createAllOn(const QString &target, const QString &targetError = QString());

// The day's copy of the open database, made by createAll on the first start of
// each day; `today` is the clock's day. A copy that fails shows one information
// dialog a day saying what failed and where, and never stops the program. The
// day of the last such dialog for each database is kept in
// $XDG_STATE_HOME/hotel/copias.ini.
void makeDailyCopy(QDate today);

// Destroys the windows and then the data module.
void destroyAll();

} // namespace Startup
