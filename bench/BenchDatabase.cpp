#include "BenchDatabase.h"

#include "DatabaseFactory.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

QString benchDatabaseFolder(double scale)
{
    QString base = qEnvironmentVariable("HOTEL_BENCH_DB");
    // The build folder by default: a run from anywhere never writes into the sources.
    QString folder = base.isEmpty() ? QStringLiteral(HOTEL_BENCH_DATA_DIR) : QFileInfo(base).absolutePath();
    if (scale != 1.0)
        folder += QStringLiteral("/scale-%1").arg(scale);
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("Hotel.db"));
    if (!QFileInfo::exists(path)) {
        QTextStream err(stderr);
        err << "Generating the large database " << path << " ..." << Qt::endl;
        QElapsedTimer t;
        t.start();
        DatabaseFactory::LargeOptions options;
        options.today = QDate(2026, 12, 1);
        options.seed = 1;
        options.scale = scale;
        DatabaseFactory::createLarge(path, options);
        err << "done in " << t.elapsed() / 1000.0 << " s" << Qt::endl;
    }
    return folder;
}

double benchScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("HOTEL_BENCH_SCALE").toDouble(&ok);
    return ok && scale > 0 ? scale : 1.0;
}

qint64 rawReadSixTables(const QString &folder)
{
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(QStringLiteral("Hotel.db")));
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    qint64 values = 0;
    for (const char *table : {"Huespedes", "TiposDeHabitacion", "Habitaciones", "Servicios", "Estadias",
                              "ConsumoDeServicios"}) {
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = QByteArray("SELECT * FROM ") + table;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return -1;
        }
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    benchmark::DoNotOptimize(sqlite3_column_int64(stmt, c));
                    break;
                case SQLITE_FLOAT:
                    benchmark::DoNotOptimize(sqlite3_column_double(stmt, c));
                    break;
                case SQLITE_TEXT:
                    benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                    benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
                    break;
                case SQLITE_BLOB:
                    benchmark::DoNotOptimize(sqlite3_column_blob(stmt, c));
                    benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
                    break;
                default:
                    break;
                }
                ++values;
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return values;
}

qint64 benchDatabaseSize(const QString &folder)
{
    return QFileInfo(QDir(folder).filePath(QStringLiteral("Hotel.db"))).size();
}
