#pragma once

#include <QString>

// Writes new database files from the schema. Never overwrites: a file that
// already exists makes every function fail with DataError and is left as it was.
namespace DatabaseFactory {

// A database with the six tables and no rows.
void createEmpty(const QString &path);

} // namespace DatabaseFactory
