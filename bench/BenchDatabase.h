#pragma once

#include <QString>

// The large database the benchmarks run on: $HOTEL_BENCH_DB if set, otherwise
// bench-data/Hotel.db under the build folder. It is generated (ten years of a
// 200-room hotel, fixed seed and day) when missing, which takes a while once.
// scale: 1 for the standard size; other scales get a file of their own.
QString benchDatabaseFolder(double scale = 1.0);
// The scale asked for in $HOTEL_BENCH_SCALE (2 for twenty years), 1 when unset.
double benchScale();

// The floor of reading the hotel: the SQLite C API stepping every row of the
// six tables and reading every column, nothing kept. Returns the values read.
qint64 rawReadSixTables(const QString &folder);

// The file's size in bytes (the database alone, without working files).
qint64 benchDatabaseSize(const QString &folder);
