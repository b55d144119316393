#pragma once

#include <QString>

class DatabaseTarget;

// The large database the benchmarks run on: $HOTEL_BENCH_DB if set, otherwise
// bench-data/Hotel.db under the build folder. It is generated (ten years of a
// 200-room hotel, fixed seed and day) when missing, which takes a while once.
// scale: 1 for the standard size; other scales get a file of their own.
// $HOTEL_BENCH_DB may also be a postgresql:// URL of a database on a server:
// the same rows are generated into it when it holds no tables (one database
// per scale is the caller's to choose). Returns what the data module opens:
// the file's folder, or the URL.
QString benchDatabaseFolder(double scale = 1.0);
// Whether the benchmarks run on a server's database.
bool benchOnServer(const QString &folder);
// The target of benchDatabaseFolder()'s answer.
DatabaseTarget benchTarget(const QString &folder);
// The scale asked for in $HOTEL_BENCH_SCALE (2 for twenty years), 1 when unset.
double benchScale();

// The floor of reading the hotel: the SQLite C API stepping every row of the
// six tables and reading every column, nothing kept. Returns the values read;
// -1 on a server's database, which has no such floor.
qint64 rawReadSixTables(const QString &folder);

// The file's size in bytes (the database alone, without working files); on a
// server, the database's size as the server reports it.
qint64 benchDatabaseSize(const QString &folder);
