#pragma once

#include <QString>
#include <QStringList>

// The program's database schema as an SQLite script, and the reading of such
// scripts.
namespace SchemaScript {

// What makes a new SQLite file: its tables, indexes and triggers, as the
// engine writes them (see Engine), each statement ending with a semicolon.
QString text();

// The statements of a schema script, split at the semicolons that end a line
// (a trigger's body ends at its END); lines that are only a comment are left
// out.
QStringList statements(const QString &script);

// The definitions between the outer parentheses of a CREATE TABLE statement,
// split at the commas between them, with comments removed and blanks trimmed:
// the columns and the table's constraints, in order. Commas inside parentheses,
// quotes and comments do not split.
QStringList tableDefinitions(const QString &createTable);

// The column a definition of tableDefinitions() declares (its first word, quotes
// removed), or an empty string for a table constraint (CONSTRAINT, PRIMARY KEY,
// UNIQUE, CHECK, FOREIGN KEY).
QString definedColumn(const QString &definition);

} // namespace SchemaScript
