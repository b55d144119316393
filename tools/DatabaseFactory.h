#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

// Writes new databases from the schema: files, or the tables of an empty
// database on a PostgreSQL server. Every function takes a target, a file's path
// or a postgresql:// URL (see DatabaseTarget). Never overwrites: a file that
// already exists, or a database that already holds tables, makes every function
// fail with DataError and is left as it was. A file is built under a temporary
// name in the same folder and renamed when it is complete; on failure the
// temporary file is removed and DataError thrown. Tables, rows, rules and
// triggers are written in one transaction, with the relations enforced.
namespace DatabaseFactory {

// Rows written, per table.
struct Counts
{
    qint64 roomTypes = 0;
    qint64 rooms = 0;
    qint64 services = 0;
    qint64 guests = 0;
    qint64 stays = 0;
    qint64 consumptions = 0;
};

// The history of a busy hotel, for measuring the program with years of data.
// The counts are targets: stays come out within a few per cent of `stays`,
// consumptions likewise; the other counts are exact.
struct LargeOptions
{
    // The day the history is anchored to: stays run from `years` before it to a
    // few months after. Invalid means the current day.
    QDate today;
    int years = 10;
    int rooms = 200;
    int guests = 50000;
    int stays = 200000;
    int consumptions = 600000;
    // Multiplies rooms, guests, stays and consumptions alike (each at least 1),
    // so the occupancy stays the same at any size.
    double scale = 1.0;
    // The same seed and day give the same rows.
    quint32 seed = 1;
};

// A database with the six tables and no rows.
void createEmpty(const QString &path);

// A small hotel in use: five room types with photos, twenty rooms on three
// floors, ten services, thirty guests, and stays from about three weeks before
// `today` to three weeks after it: invoiced ("Facturada") before today, occupied
// ("Ocupada") over today, reserved ("Reservada") after it; the begun ones with
// one to five consumptions. The same `today` always gives the same rows.
Counts createDemo(const QString &path, QDate today);

// The same kind of hotel at scale, from `options`; see LargeOptions. Throws
// DataError for options out of range (a count below zero, rooms or guests below
// one, years outside 1..100, a scale that is not positive).
Counts createLarge(const QString &path, const LargeOptions &options = {});

// Whether the target already holds a database: the file exists, or the
// database on the server holds tables. Throws DataError when it cannot tell.
bool exists(const QString &target);

// About one guest in eight of a large database has this as first surname, so
// that a name filter on it matches many rows.
QString commonSurname();

} // namespace DatabaseFactory
