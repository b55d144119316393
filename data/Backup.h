#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

class Database;

// Copies of an SQLite database file: the day's copy in the folder "copias"
// beside it, the thinning of old copies, and putting a copy back. Database files
// are read and written through SQLite's online backup API only (closing any
// other descriptor of a database file would drop the engine's locks); restore()
// alone asks the system about the locks on the file it replaces. Failures throw
// DataError saying what failed and where.
namespace Backup {

// "copias" beside the database file.
QString folderOf(const QString &databasePath);
// The copy of a day: "Hotel-2024-05-01.db" for Hotel.db, named after the
// database file's base name.
QString copyName(const QString &databasePath, QDate day);
// The day in the name of one of this database's copies; an invalid date for any
// other name.
QDate dayOfCopy(const QString &databasePath, const QString &fileName);

// Which copies to remove on `today`, given the days of the copies there are: all
// but the 30 newest and the first copy of each of the 12 newest months that have
// one. A copy dated after today (the clock was put back) is kept and takes no
// place. Ascending order.
QList<QDate> toRemove(const QList<QDate> &copies, QDate today);

enum class DailyOutcome { Made, AlreadyThere };

// Unless the copy of `today` exists, copies the open database into the folder of
// copies in one step of the backup API (a consistent state even while another
// program writes), checks the copy with integrity_check, and then removes the
// old copies that toRemove() names. A failed copy leaves no file behind.
DailyOutcome makeDailyCopy(Database &db, QDate today);

// Puts the copy at `copy` back as the database at `target`: checks the copy
// before anything is replaced, refuses while another program has `target` open
// (or this one), and keeps the replaced file, with any working files of the
// engine beside it, as "<base>-replaced-YYYY-MM-DD-HHMMSS.db" (from `now`),
// untouched: a damaged file is moved, never opened. The restored file is
// written under a temporary name and renamed into place. Returns the path the
// replaced file was kept at (its working files beside it; only those when the
// file itself was gone), or an empty string when nothing was there. For the
// creation tool; the program never restores the file it has open.
QString restore(const QString &copy, const QString &target, const QDateTime &now);

} // namespace Backup
