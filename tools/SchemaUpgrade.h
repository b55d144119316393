#pragma once

#include <QString>
#include <QStringList>

// Brings a database made by an earlier version up to the program's schema: a
// file, or a database on a PostgreSQL server named by its URL.
namespace SchemaUpgrade {

// Adds to the existing SQLite file at `path` what the schema has and the file
// lacks: tables, columns of tables it has, indexes, views and triggers, in the
// schema's order and in one transaction. It never changes or removes anything
// the file has, rows included; an object of the same name is left as it is.
// Returns what was added, one entry per object ("table DatosDelHotel",
// "column Estadias.Nota", ...); nothing when the file lacks nothing.
//
// Throws DataError, with the file left as it was, when the file is missing, is
// read-only or no database, holds none of the schema's tables (it is some other
// program's database), or the engine refuses an addition (for instance a column
// that rows already in the table could not take).
//
// A server's database gains the tables, indexes, rules and triggers it lacks,
// likewise in one transaction.
QStringList upgrade(const QString &path);

// The same against another schema script (tests).
QStringList upgrade(const QString &path, const QString &schemaScript);

} // namespace SchemaUpgrade
