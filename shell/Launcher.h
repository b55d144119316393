#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The installed program's launcher, behind the menu entry and /usr/bin/hotel.
// The program itself opens Hotel.db beside its executable or the file it is
// told, and never creates one; an installed program cannot keep its data beside
// /usr/bin, so unless the command line or hotel.conf names a database, the
// launcher starts it on the user's own file, $XDG_DATA_HOME/hotel/Hotel.db,
// which it makes with hotel-createdb on the very first start.
namespace Launcher {

struct Paths
{
    QString program;  // the program's executable
    QString createdb; // hotel-createdb
    QString dataHome; // the user's data folder ($XDG_DATA_HOME)
    QString configHome;
};

// The user's database: dataHome/hotel/Hotel.db.
QString userDatabase(const Paths &paths);

// What to start the program with, given the launcher's arguments (its own name
// first, Qt's options already taken out) and all of them (`original`, passed on
// untouched so the program sees Qt's options too).
struct Plan
{
    QStringList arguments; // for the program, without its name
    // The user's database, when the program is to open it; empty when the
    // command line or hotel.conf chose, or for --help and --version.
    QString userDatabase;
};
Plan plan(const QStringList &arguments, const QStringList &original, const Paths &paths);

// On the very first start: asks once whether to begin with an empty hotel or
// the demonstration data and writes `database` with hotel-createdb. Ready when
// the database is there to start on; NotNow when the user chose to leave
// (nothing is written, and the next start asks again); Failed when the folder or
// the tool failed, after the reason has been shown in the default error dialog.
enum class FirstStart { Ready, NotNow, Failed };
FirstStart firstStart(const QString &database, const Paths &paths, QWidget *parent = nullptr);

// The texts of the first-start question and its answers, in their order.
QString questionText();
QStringList answers();

} // namespace Launcher
